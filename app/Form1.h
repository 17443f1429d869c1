#pragma once
// The relay server's main window: status line, indicator row, log, port selector, "Clear" and
// "Time". All of the program's own logic runs in its handlers, on the GUI thread.

#include <functional>
#include <string>

#include "components/Perfgrap/Perfgrap.h"
#include "framework/Button.h"
#include "framework/ComboBox.h"
#include "framework/Edit.h"
#include "framework/Form.h"
#include "framework/Label.h"
#include "framework/Memo.h"
#include "framework/Panel.h"
#include "framework/TabbedNotebook.h"
#include "net/ServerSocket.h"

struct TRelayCommand;

inline constexpr const char* kPortNotFoundText =
    "FTDI chip is not found, Virtual Com Port is not opened ";
inline constexpr const char* kPortFoundText = "FTDI chip is found, Virtual Com Port is opened ";

struct TTimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* owner);
  std::string ClassName() const override { return "TForm1"; }

  TPanel* Panel3 = nullptr;
  TLabel* Label9 = nullptr;
  TLabel* Label12 = nullptr;
  TTabbedNotebook* TabbedNotebook1 = nullptr;
  TServerSocket* ServerSocket1 = nullptr;
  TMemo* Memo1 = nullptr;
  TEdit* Edit2 = nullptr;
  TPerformanceGraph* PerformanceGraph1 = nullptr;
  TPanel* Panel1 = nullptr;
  TPanel* Panel2 = nullptr;
  TPanel* Panel4 = nullptr;
  TPanel* Panel5 = nullptr;
  TPanel* Panel6 = nullptr;
  TPanel* Panel7 = nullptr;
  TPanel* Panel8 = nullptr;
  TPanel* Panel9 = nullptr;
  TLabel* Label3 = nullptr;
  TPanel* Panel10 = nullptr;
  TPanel* Panel11 = nullptr;
  TPanel* Panel12 = nullptr;
  TPanel* Panel13 = nullptr;
  TPanel* Panel14 = nullptr;
  TPanel* Panel15 = nullptr;
  TPanel* Panel16 = nullptr;
  TPanel* Panel17 = nullptr;
  TLabel* Label4 = nullptr;
  TLabel* Label5 = nullptr;
  TCheckBox* CheckBox2 = nullptr;
  TButton* Button1 = nullptr;
  TComboBox* ComboBox1 = nullptr;
  TLabel* Label1 = nullptr;

  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormCreate(TObject* Sender);
  void ServerSocket1ClientRead(TObject* Sender, TCustomWinSocket* Socket);
  void ServerSocket1ClientConnect(TObject* Sender, TCustomWinSocket* Socket);
  void ServerSocket1ClientDisconnect(TObject* Sender, TCustomWinSocket* Socket);
  void Button1Click(TObject* Sender);
  void ComboBox1Change(TObject* Sender);

  void AppendToLog(const std::string& text);
  void AppendTimeStamp();
  void ShowPortNotFound();
  void ShowPortFound();
  // Logs the command and moves its relays' indicators to the ON or the OFF row.
  void ApplyRelayCommand(const TRelayCommand& command);

  // The indicator panel of relay 1 to 16 (Panel3 is the status line, so relay 3 is Panel4).
  TPanel* RelayIndicator(int relay) const;

  // Where time stamps read the local wall-clock time; tests put a fixed clock here.
  static std::function<TTimeOfDay()> Clock;
};

extern TForm1* Form1;

// Makes the relay server's classes known to form descriptions.
void RegisterRelayServerClasses();
