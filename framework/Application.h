#pragma once
// The application object: owns the toolkit, the main form and the message loop with its idle
// step, and shows exceptions that reach it. There is one, reachable through Application.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Component.h"
#include "framework/Exceptions.h"
#include "framework/HiddenWindow.h"

class QApplication;
class TForm;

using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;

class TApplication : public TComponent {
 public:
  // Creates the toolkit's application; argc and argv must outlive the object.
  TApplication(int& argc, char** argv);
  ~TApplication() override;
  std::string ClassName() const override { return "TApplication"; }

  void Initialize();

  // Constructs a form owned by the application, runs its creation step (OnCreate, whose
  // exceptions are shown and swallowed) and makes the first one created the main form.
  template <class T>
  void CreateForm(T*& reference) {
    T* form = new T(this);
    reference = form;
    AdoptForm(form);
  }

  // Shows the main form (unless ShowMainForm is false) and runs the message loop until the main
  // form closes or Terminate.
  void Run();
  // Ends the message loop once the current message has been handled.
  void Terminate();

  TForm* MainForm() const { return mainForm_; }

  // Call inside a catch block: shows the exception being handled (never an EAbort). With
  // OnException set, that handler is called instead of the dialog.
  void HandleException(TObject* sender);
  // The exception dialog: error icon, one OK button, Title as caption. One at a time; messages
  // that arrive while a dialog is open wait (the newest 100) and follow it.
  void ShowException(const Exception& e);
  // The dialog text for a message: a full stop is added when the last character is above '.'.
  static std::string DialogText(const std::string& message);

  // The executable's file name, cut at its first full stop, all but the first letter lower case.
  const std::string& Title() const { return title_; }
  static std::string TitleOf(const char* executablePath);

  TExceptionEvent OnException;
  // Whether Run shows the main form; a program that nobody can see leaves it hidden and draws
  // nothing.
  bool ShowMainForm = true;

  // The application's own hidden window; WM_NULL messages to it are wake-ups.
  HWND Handle() const { return window_->Handle(); }
  THiddenWindow& Window() { return *window_; }
  // Posts the wake-up message (WM_NULL) to the application's window; safe from any thread and
  // never blocks.
  void PostWakeMessage() { window_->Post(WM_NULL, 0, 0); }
  // What the application's window does with a wake-up, besides waking the loop.
  void SetWakeHandler(std::function<void()> handler);

  // Steps run each time the loop is about to wait for messages. A step returns true when it
  // found work, and the loop then looks again instead of waiting.
  using IdleStep = std::function<bool()>;
  void AddIdleStep(IdleStep step);
  // Runs the idle steps once; true when any found work.
  bool RunIdleSteps();

  // Steps run when the application object is destroyed, after its forms are gone.
  void AddShutdownStep(std::function<void()> step);

  // Ends the program from a termination signal: the main form is closed as by the user.
  void RequestClose();

 private:
  void AdoptForm(TForm* form);
  // Writes the message to standard error, then shows it (or hands it to OnException).
  void Report(TObject* sender, const Exception& e);
  void ShowQueuedExceptions();
  void ShowDialog(const std::string& text);

  std::unique_ptr<QApplication> qtApp_;
  std::unique_ptr<THiddenWindow> window_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool running_ = false;
  std::string title_;
  std::function<void()> wakeHandler_;
  std::vector<IdleStep> idleSteps_;
  std::vector<std::function<void()>> shutdownSteps_;
  bool inIdle_ = false;
  bool dialogOpen_ = false;
  std::deque<std::string> waitingMessages_;
  int droppedMessages_ = 0;
  bool closeRequested_ = false;
};

extern TApplication* Application;

// Runs code on behalf of sender where an exception must travel no further (an event handler
// called from the toolkit or a message window): an exception is shown by the application.
// False when one was thrown.
template <class F>
bool RunGuarded(TObject* sender, F&& action) {
  try {
    action();
    return true;
  } catch (...) {
    if (Application) Application->HandleException(sender);
    return false;
  }
}
