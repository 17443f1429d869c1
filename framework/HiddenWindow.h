#pragma once
// The framework's hidden windows: a message window whose procedure dispatches messages by number
// to handlers and the rest to a default handler. An exception that escapes a handler goes to the
// application's exception handler, with the window's owner as sender; the loop goes on.

#include <functional>
#include <map>

#include "framework/Component.h"
#include "platform/MessageWindow.h"

class THiddenWindow {
 public:
  using Handler = std::function<void(TMessage&)>;

  // sender is what the application's exception handler is told raised an escaped exception.
  explicit THiddenWindow(TObject* sender);
  ~THiddenWindow();
  THiddenWindow(const THiddenWindow&) = delete;
  THiddenWindow& operator=(const THiddenWindow&) = delete;

  HWND Handle() const { return handle_; }

  void SetHandler(UINT msg, Handler handler) { handlers_[msg] = std::move(handler); }
  // Messages without a handler; by default the platform's default window procedure.
  void SetDefaultHandler(Handler handler) { defaultHandler_ = std::move(handler); }

  // Safe from any thread.
  bool Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return PostMessage(handle_, msg, wParam, lParam) != FALSE;
  }

 private:
  void Dispatch(TMessage& message);

  TObject* sender_;
  HWND handle_ = nullptr;
  std::map<UINT, Handler> handlers_;
  Handler defaultHandler_;
};
