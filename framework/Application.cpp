#include "framework/Application.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <cctype>
#include <cstdio>

#include "framework/Form.h"
#include "framework/FramePacer.h"
#include "framework/StandardClasses.h"
#include "platform/TerminationSignals.h"

TApplication* Application = nullptr;

std::string TApplication::TitleOf(const char* path) {
  std::string name = path ? path : "";
  const size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t dot = name.find('.');
  if (dot != std::string::npos) name.erase(dot);
  for (size_t i = 1; i < name.size(); ++i)
    name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
  return name;
}

namespace {

// The newest messages kept while an exception dialog is open.
constexpr size_t kMaxWaitingMessages = 100;

QPointer<QMessageBox>& OpenDialog() {
  static QPointer<QMessageBox> dialog;
  return dialog;
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : TComponent(nullptr) {
  if (!QApplication::instance()) qtApp_ = std::make_unique<QApplication>(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  Application = this;
  title_ = TitleOf(argc > 0 ? argv[0] : nullptr);
  window_ = std::make_unique<THiddenWindow>(this);
  window_->SetHandler(WM_NULL, [this](TMessage&) {
    if (wakeHandler_) wakeHandler_();
  });
  if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [this] {
      // Work found in the idle step means the loop must look again instead of sleeping.
      if (RunIdleSteps()) PostWakeMessage();
    });
  }
  InstallFramePacer();
  RegisterStandardClasses();
}

TApplication::~TApplication() {
  RemoveTerminationSignals();
  DestroyComponents();
  mainForm_ = nullptr;
  for (auto& step : shutdownSteps_) step();
  shutdownSteps_.clear();
  if (auto* dispatcher = QAbstractEventDispatcher::instance())
    QObject::disconnect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, nullptr, nullptr);
  window_.reset();
  RemoveFramePacer();
  if (Application == this) Application = nullptr;
  qtApp_.reset();
}

void TApplication::Initialize() {
  InstallTerminationSignals([this] { RequestClose(); });
}

void TApplication::AdoptForm(TForm* form) {
  if (!mainForm_) mainForm_ = form;
  form->AfterConstruction();
}

void TApplication::Run() {
  if (closeRequested_) {
    // A termination signal came while the form was being created.
    if (mainForm_) mainForm_->Close();
    return;
  }
  running_ = true;
  if (mainForm_ && ShowMainForm && !terminated_) mainForm_->Show();
  if (!terminated_) QApplication::exec();
  running_ = false;
}

void TApplication::Terminate() {
  terminated_ = true;
  QCoreApplication::exit(0);
}

void TApplication::HandleException(TObject* sender) {
  try {
    throw;
  } catch (const EAbort&) {
    return;
  } catch (const Exception& e) {
    Report(sender, e);
  } catch (const std::exception& e) {
    Report(sender, Exception(e.what()));
  } catch (...) {
    Report(sender, Exception("Unknown exception"));
  }
}

void TApplication::Report(TObject* sender, const Exception& e) {
  // A headless server has no one to read the dialog: the message also goes to standard error.
  std::fprintf(stderr, "%s: %s\n", title_.c_str(), DialogText(e.Message()).c_str());
  if (OnException)
    OnException(sender, e);
  else
    ShowException(e);
}

std::string TApplication::DialogText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

void TApplication::ShowException(const Exception& e) {
  const std::string text = DialogText(e.Message());
  if (dialogOpen_) {
    // A dialog runs a nested loop; new errors wait for it instead of stacking more dialogs.
    waitingMessages_.push_back(text);
    if (waitingMessages_.size() > kMaxWaitingMessages) {
      waitingMessages_.pop_front();
      ++droppedMessages_;
    }
    return;
  }
  dialogOpen_ = true;
  ShowDialog(text);
  ShowQueuedExceptions();
  dialogOpen_ = false;
}

void TApplication::ShowQueuedExceptions() {
  while (!waitingMessages_.empty() && !closeRequested_) {
    const std::string text = waitingMessages_.front();
    waitingMessages_.pop_front();
    ShowDialog(text);
  }
  if (droppedMessages_ > 0 && !closeRequested_) {
    const int dropped = droppedMessages_;
    droppedMessages_ = 0;
    ShowDialog(
        FormatText("%d further error messages were not shown; see the standard error "
                   "output",
                   dropped));
  }
  waitingMessages_.clear();
  droppedMessages_ = 0;
}

void TApplication::ShowDialog(const std::string& text) {
  if (closeRequested_) return;
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(title_), QString::fromLatin1(text),
                  QMessageBox::Ok);
  OpenDialog() = &box;
  box.exec();
  OpenDialog() = nullptr;
}

void TApplication::SetWakeHandler(std::function<void()> handler) {
  wakeHandler_ = std::move(handler);
}

void TApplication::AddIdleStep(IdleStep step) {
  idleSteps_.push_back(std::move(step));
}

bool TApplication::RunIdleSteps() {
  if (inIdle_) return false;
  inIdle_ = true;
  bool foundWork = false;
  for (size_t i = 0; i < idleSteps_.size(); ++i)
    RunGuarded(this, [&] { foundWork = idleSteps_[i]() || foundWork; });
  inIdle_ = false;
  return foundWork;
}

void TApplication::AddShutdownStep(std::function<void()> step) {
  shutdownSteps_.push_back(std::move(step));
}

void TApplication::RequestClose() {
  closeRequested_ = true;
  if (OpenDialog()) OpenDialog()->reject();
  if (mainForm_ && running_) mainForm_->Close();
}
