#include "app/Form1.h"

#include <ctime>
#include <functional>

#include "app/FormDescriptions.h"
#include "app/LogEcho.h"
#include "app/Read.h"
#include "app/RelayCommands.h"
#include "app/SerialLink.h"
#include "app/StartOptions.h"
#include "app/TallyvaneIcon.h"
#include "components/DisplayComponents.h"

TForm1* Form1 = nullptr;

namespace {

TTimeOfDay LocalTimeOfDay() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return TTimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace

std::function<TTimeOfDay()> TForm1::Clock = LocalTimeOfDay;

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  Form1 = this;
  Field("Panel3", Panel3);
  Field("Label9", Label9);
  Field("Label12", Label12);
  Field("TabbedNotebook1", TabbedNotebook1);
  Field("ServerSocket1", ServerSocket1);
  Field("Memo1", Memo1);
  Field("Edit2", Edit2);
  Field("PerformanceGraph1", PerformanceGraph1);
  Field("Panel1", Panel1);
  Field("Panel2", Panel2);
  Field("Panel4", Panel4);
  Field("Panel5", Panel5);
  Field("Panel6", Panel6);
  Field("Panel7", Panel7);
  Field("Panel8", Panel8);
  Field("Panel9", Panel9);
  Field("Label3", Label3);
  Field("Panel10", Panel10);
  Field("Panel11", Panel11);
  Field("Panel12", Panel12);
  Field("Panel13", Panel13);
  Field("Panel14", Panel14);
  Field("Panel15", Panel15);
  Field("Panel16", Panel16);
  Field("Panel17", Panel17);
  Field("Label4", Label4);
  Field("Label5", Label5);
  Field("CheckBox2", CheckBox2);
  Field("Button1", Button1);
  Field("ComboBox1", ComboBox1);
  Field("Label1", Label1);
  Method<TCloseEvent>("FormClose", std::bind_front(&TForm1::FormClose, this));
  Method<TNotifyEvent>("FormCreate", std::bind_front(&TForm1::FormCreate, this));
  Method<TSocketNotifyEvent>("ServerSocket1ClientRead",
                             std::bind_front(&TForm1::ServerSocket1ClientRead, this));
  Method<TSocketNotifyEvent>("ServerSocket1ClientConnect",
                             std::bind_front(&TForm1::ServerSocket1ClientConnect, this));
  Method<TSocketNotifyEvent>("ServerSocket1ClientDisconnect",
                             std::bind_front(&TForm1::ServerSocket1ClientDisconnect, this));
  Method<TNotifyEvent>("Button1Click", std::bind_front(&TForm1::Button1Click, this));
  Method<TNotifyEvent>("ComboBox1Change", std::bind_front(&TForm1::ComboBox1Change, this));
  ReadDescription(kForm1Description);
  SetIconImage(kTallyvaneIcon);
}

TPanel* TForm1::RelayIndicator(int relay) const {
  TPanel* const indicators[kRelayCount] = {Panel1,  Panel2,  Panel4,  Panel5,  Panel6,  Panel7,
                                           Panel8,  Panel9,  Panel10, Panel11, Panel12, Panel13,
                                           Panel14, Panel15, Panel16, Panel17};
  if (relay < 1 || relay > kRelayCount) return nullptr;
  return indicators[relay - 1];
}

void TForm1::FormCreate(TObject*) {
  for (const char* item : {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"})
    ComboBox1->AddItem(item);
  // The program's own selection does not run ComboBox1Change: the buffer keeps "com1".
  ComboBox1->SetItemIndex(0);
  ApplyStartOptions(*this);
  if (!ServerSocket1->ListeningEndpoint()->IsConnected()) ServerSocket1->OpenServer();
  Memo1->SetText("");
  OpenPort();
  if (PortHandle == INVALID_HANDLE_VALUE) ShowPortNotFound();
  ConfigurePort();
  Read = TThread::Create<TRead>(false);
  if (PortHandle == INVALID_HANDLE_VALUE) return;
  GreetBoard();
  ShowPortFound();
}

void TForm1::FormClose(TObject*, TCloseAction&) {
  // Clients still connected are dropped without their disconnect events.
  ServerSocket1->CloseServer();
  if (Read) {
    Read->RequestTerminate();
    // It ends after its current cycle and deletes itself; the pointer must not outlive it.
    Read = nullptr;
  }
}

void TForm1::ServerSocket1ClientConnect(TObject*, TCustomWinSocket* Socket) {
  AppendTimeStamp();
  AppendToLog("PC with IP ");
  AppendToLog(Socket->PeerAddressText());
  AppendToLog(" connected\r\n");
}

void TForm1::ServerSocket1ClientDisconnect(TObject*, TCustomWinSocket* Socket) {
  AppendTimeStamp();
  AppendToLog("PC with IP ");
  AppendToLog(Socket->PeerAddressText());
  AppendToLog(" disconnected\r\n");
}

void TForm1::ServerSocket1ClientRead(TObject*, TCustomWinSocket* Socket) {
  const std::string text = Socket->ReceiveAllText();
  // The edit holds zero-terminated text, so a zero byte ends what reaches the board.
  Edit2->SetText(text);
  char forBoard[10];
  const int count = Edit2->GetTextBuf(forBoard, sizeof forBoard);
  SendToBoard(forBoard, count);
  Socket->SendString(text);
  AppendTimeStamp();
  if (const TRelayCommand* command = FindRelayCommand(text)) ApplyRelayCommand(*command);
  if (Label9->Color() == clRed) {
    AppendToLog("Virtual COM Port is not opened!\r\n");
    Socket->SendString("There is some problem with the remote PC");
    Socket->SendString("Virtual COM Port is not opened!");
  }
}

void TForm1::Button1Click(TObject*) {
  Memo1->SetText("  ");
}

void TForm1::ComboBox1Change(TObject*) {
  // The selector's text goes in as a zero-terminated buffer of kPortNameSize would take it.
  PortName = ComboBox1->GetText().substr(0, kPortNameSize - 1);
}

void TForm1::AppendToLog(const std::string& text) {
  Memo1->ReplaceSelection(text);
  EchoLogPiece(text);
}

void TForm1::AppendTimeStamp() {
  if (!CheckBox2->Checked()) return;
  const TTimeOfDay now = Clock();
  // Standard output stamps its lines with the date as well, so this stamp stays in the window.
  Memo1->ReplaceSelection(std::to_string(now.hour));
  Memo1->ReplaceSelection(":");
  Memo1->ReplaceSelection(std::to_string(now.minute));
  Memo1->ReplaceSelection(":");
  Memo1->ReplaceSelection(std::to_string(now.second));
  Memo1->ReplaceSelection(" ");
}

void TForm1::ShowPortNotFound() {
  Label9->SetCaption(kPortNotFoundText);
  Label12->SetCaption(" ");
  Panel3->SetColor(clRed);
}

void TForm1::ShowPortFound() {
  Label9->SetCaption(kPortFoundText);
  Panel3->SetColor(clLime);
}

void TForm1::ApplyRelayCommand(const TRelayCommand& command) {
  constexpr int kOnRowTop = 32;
  constexpr int kOffRowTop = 72;
  AppendToLog(command.logLine);
  const int top = command.on ? kOnRowTop : kOffRowTop;
  if (command.relay == 0) {
    for (int relay = 1; relay <= kRelayCount; ++relay) RelayIndicator(relay)->SetTop(top);
  } else {
    RelayIndicator(command.relay)->SetTop(top);
  }
}

void RegisterRelayServerClasses() {
  RegisterSocketComponents();
  RegisterDisplayComponents();
  RegisterComponentClass({"TForm1", "TForm", nullptr, {}});
}
