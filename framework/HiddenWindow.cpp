#include "framework/HiddenWindow.h"

#include "framework/Application.h"

THiddenWindow::THiddenWindow(TObject* sender) : sender_(sender) {
  handle_ = CreateMessageWindow([this](TMessage& message) { Dispatch(message); });
}

THiddenWindow::~THiddenWindow() {
  DestroyMessageWindow(handle_);
}

void THiddenWindow::Dispatch(TMessage& message) {
  RunGuarded(sender_, [this, &message] {
    auto it = handlers_.find(message.Msg);
    if (it != handlers_.end()) {
      // The handler may destroy this window (a deferred free); copy it first.
      Handler handler = it->second;
      handler(message);
    } else if (defaultHandler_) {
      defaultHandler_(message);
    } else {
      message.Result = DefWindowProc(handle_, message.Msg, message.WParam, message.LParam);
    }
  });
}
