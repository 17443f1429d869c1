#include "platform/MessageWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <mutex>
#include <unordered_set>

#include "platform/Serial.h"

namespace {

const QEvent::Type kMessageEventType = static_cast<QEvent::Type>(QEvent::User + 0x0400);

class MessageEvent : public QEvent {
 public:
  explicit MessageEvent(const TMessage& message) : QEvent(kMessageEventType), message_(message) {}
  TMessage& Message() { return message_; }

 private:
  TMessage message_;
};

// Live windows; guards against posting to a window that another thread is destroying.
std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_set<HWND>& Registry() {
  static std::unordered_set<HWND> windows;
  return windows;
}

// Messages posted to any window and not yet delivered or dropped.
std::atomic<int> waitingMessages{0};

// Window procedures running on this thread, nested ones included.
thread_local int messageDepth = 0;

// The characters a message sent to a serial port leave together once it has been handled.
struct MessageScope {
  MessageScope() { ++messageDepth; }
  ~MessageScope() {
    if (--messageDepth == 0) TransmitGatheredCommChars();
  }
  MessageScope(const MessageScope&) = delete;
  MessageScope& operator=(const MessageScope&) = delete;
};

}  // namespace

class MessageWindowImpl : public QObject {
 public:
  explicit MessageWindowImpl(WindowProcedure procedure) : procedure_(std::move(procedure)) {}

  void Deliver(TMessage& message) {
    MessageScope scope;
    procedure_(message);
  }

  std::atomic<int> pending{0};

 protected:
  bool event(QEvent* event) override {
    // A poster on another thread builds the event under the registry lock. Taking the lock here
    // makes that hand-over visible to ThreadSanitizer, which cannot see the toolkit's own
    // queue locking.
    { std::lock_guard<std::mutex> guard(RegistryLock()); }
    if (event->type() != kMessageEventType) return QObject::event(event);
    pending.fetch_sub(1, std::memory_order_relaxed);
    waitingMessages.fetch_sub(1, std::memory_order_relaxed);
    // The procedure may destroy this window; nothing of it is touched afterwards.
    Deliver(static_cast<MessageEvent*>(event)->Message());
    return true;
  }

 private:
  WindowProcedure procedure_;
};

HWND CreateMessageWindow(WindowProcedure procedure) {
  auto* window = new MessageWindowImpl(std::move(procedure));
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry().insert(window);
  return window;
}

void DestroyMessageWindow(HWND window) {
  if (!window) return;
  {
    std::lock_guard<std::mutex> guard(RegistryLock());
    if (Registry().erase(window) == 0) return;
  }
  // Deleting the object removes the events still posted to it.
  waitingMessages.fetch_sub(window->pending.load(std::memory_order_relaxed),
                            std::memory_order_relaxed);
  delete window;
}

BOOL PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  if (!window || Registry().count(window) == 0) return FALSE;
  window->pending.fetch_add(1, std::memory_order_relaxed);
  waitingMessages.fetch_add(1, std::memory_order_relaxed);
  QCoreApplication::postEvent(window, new MessageEvent(TMessage{msg, wParam, lParam, 0}));
  return TRUE;
}

LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard<std::mutex> guard(RegistryLock());
    if (!window || Registry().count(window) == 0) return 0;
  }
  TMessage message{msg, wParam, lParam, 0};
  window->Deliver(message);
  return message.Result;
}

LRESULT DefWindowProc(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

bool MessagesWaiting() {
  return waitingMessages.load(std::memory_order_relaxed) > 0;
}

bool HandlingMessage() {
  return messageDepth > 0;
}
