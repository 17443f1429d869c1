#include "platform/SocketWatcher.h"
#include "platform/SocketPosix.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <memory>
#include <mutex>
#include <vector>

namespace WinSock {
namespace {

// Where one socket's notifications go, which it asked for, its notifiers and where it stands
// in the re-enabling rules. Lives on while one of its own notifications is being handled, so a
// socket closed by the handler of its own notification goes when that handling ends.
class SocketWatcher : public std::enable_shared_from_this<SocketWatcher> {
 public:
  SocketWatcher(int fd, bool accepted) : fd_(fd), accepted_(accepted) {}
  SocketWatcher(const SocketWatcher&) = delete;
  SocketWatcher& operator=(const SocketWatcher&) = delete;

  // Each of these runs with the watchers' lock held.
  void Select(HWND window, UINT msg, long events);
  void BecomeListening();
  void AcceptCalled(bool starved);
  void ReceiveCalled();
  void SendWouldBlock();
  void Close();
  // Accept notifications come again now that a descriptor was given back.
  void EndStarvation();

 private:
  struct Notification {
    HWND window = nullptr;
    UINT msg = 0;
    int fd = -1;
    long event = 0;
    int code = 0;
  };

  void Arm();
  std::unique_ptr<QSocketNotifier> MakeNotifier(int type, void (SocketWatcher::*handler)());
  void Drop(std::unique_ptr<QSocketNotifier>& notifier);
  // On the GUI thread, in a notifier's activation; they take the lock themselves.
  void OnReadable();
  void OnWritable();
  void Hand(const Notification& notification);
  void EndHandling();

  const int fd_;
  HWND window_ = nullptr;
  UINT msg_ = 0;
  long events_ = 0;
  std::unique_ptr<QSocketNotifier> reader_;
  std::unique_ptr<QSocketNotifier> writer_;
  bool listening_ = false;
  // Came from accept: a connection, even when the peer reset it before it was accepted and the
  // system no longer calls it connected. Its reset is still to be reported.
  const bool accepted_;
  bool closeReported_ = false;
  // An accept failed for lack of descriptors and no spare was left: accept notifications wait
  // until a descriptor is given back.
  bool starved_ = false;
  // False from a read notification until the next receive, which alone brings the next one. The
  // read notifier stays on meanwhile: the usual round (a notification, a receive of everything)
  // then never changes the set of descriptors the event loop watches, which would wake it up.
  // Only when it finds data still waiting for that receive does the notifier go off.
  bool readArmed_ = true;
  // Notifications of this socket being handled now (one inside another when a handler runs a
  // loop of its own), and the notifiers given up meanwhile: one of them may be the one whose
  // activation is under way, so they are deleted only once the outermost handling has ended.
  int handlings_ = 0;
  std::vector<std::unique_ptr<QSocketNotifier>> dropped_;
};

// Guards the table below and every watcher's state.
std::mutex watchLock;

// The watcher of each descriptor that has one.
std::vector<std::shared_ptr<SocketWatcher>>& Watchers() {
  static auto* watchers = new std::vector<std::shared_ptr<SocketWatcher>>();
  return *watchers;
}

std::shared_ptr<SocketWatcher>* Slot(int fd, bool grow) {
  auto& watchers = Watchers();
  if (fd < 0) return nullptr;
  if (static_cast<size_t>(fd) >= watchers.size()) {
    if (!grow) return nullptr;
    watchers.resize(static_cast<size_t>(fd) + 1);
  }
  return &watchers[static_cast<size_t>(fd)];
}

SocketWatcher* Find(int fd) {
  auto* slot = Slot(fd, false);
  return slot ? slot->get() : nullptr;
}

// Enables a notifier from whatever thread asks; the notifier belongs to the GUI thread.
void Enable(QSocketNotifier* notifier) {
  if (!notifier || notifier->isEnabled()) return;
  if (notifier->thread() == QThread::currentThread()) {
    notifier->setEnabled(true);
  } else {
    QMetaObject::invokeMethod(
        notifier, [notifier] { notifier->setEnabled(true); }, Qt::QueuedConnection);
  }
}

bool IsConnectedSocket(int fd) {
  ::sockaddr_in address{};
  socklen_t length = sizeof address;
  return ::getpeername(fd, reinterpret_cast<::sockaddr*>(&address), &length) == 0;
}

bool IsListeningSocket(int fd) {
  int value = 0;
  socklen_t length = sizeof value;
  return ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &value, &length) == 0 && value != 0;
}

// Deletes the notifiers once the activation that is ending now has returned: a queued call is
// taken up by whichever loop runs next, which is never inside that activation.
void DeleteAfterActivation(std::vector<std::unique_ptr<QSocketNotifier>> notifiers) {
  auto held = std::make_shared<std::vector<std::unique_ptr<QSocketNotifier>>>(std::move(notifiers));
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [held] { held->clear(); }, Qt::QueuedConnection);
}

}  // namespace

void SocketWatcher::Select(HWND window, UINT msg, long events) {
  Drop(reader_);
  Drop(writer_);
  window_ = window;
  msg_ = msg;
  events_ = window ? events : 0;
  listening_ = IsListeningSocket(fd_);
  closeReported_ = false;
  starved_ = false;
  readArmed_ = true;
  if (events_ != 0) Arm();
}

void SocketWatcher::BecomeListening() {
  listening_ = true;
  Drop(writer_);
  Arm();
}

void SocketWatcher::AcceptCalled(bool starved) {
  // Each accept call arms the next accept notification.
  if (!listening_) return;
  starved_ = starved;
  if (!starved) Enable(reader_.get());
}

void SocketWatcher::ReceiveCalled() {
  // A receive arms the next read notification (which comes only while data remains).
  if (listening_ || closeReported_) return;
  readArmed_ = true;
  Enable(reader_.get());
}

void SocketWatcher::SendWouldBlock() {
  // The next write notification comes when the socket can take data again.
  if (!(events_ & FD_WRITE)) return;
  if (!writer_) {
    writer_ = MakeNotifier(QSocketNotifier::Write, &SocketWatcher::OnWritable);
  } else {
    Enable(writer_.get());
  }
}

void SocketWatcher::Close() {
  Drop(reader_);
  Drop(writer_);
  window_ = nullptr;
  events_ = 0;
}

void SocketWatcher::EndStarvation() {
  if (!starved_) return;
  starved_ = false;
  Enable(reader_.get());
}

// Creates the notifiers the socket needs in its present role.
void SocketWatcher::Arm() {
  if (listening_) {
    if ((events_ & FD_ACCEPT) && !reader_) {
      reader_ = MakeNotifier(QSocketNotifier::Read, &SocketWatcher::OnReadable);
    }
    if (reader_ && !starved_) reader_->setEnabled(true);
    return;
  }
  if (!accepted_ && !IsConnectedSocket(fd_)) return;
  if ((events_ & (FD_READ | FD_CLOSE)) && !reader_ && !closeReported_) {
    reader_ = MakeNotifier(QSocketNotifier::Read, &SocketWatcher::OnReadable);
  }
  if ((events_ & FD_WRITE) && !writer_) {
    // Enabled on creation: the one write notification after set-up.
    writer_ = MakeNotifier(QSocketNotifier::Write, &SocketWatcher::OnWritable);
  }
}

std::unique_ptr<QSocketNotifier> SocketWatcher::MakeNotifier(int type,
                                                             void (SocketWatcher::*handler)()) {
  auto notifier = std::make_unique<QSocketNotifier>(fd_, static_cast<QSocketNotifier::Type>(type));
  QObject::connect(notifier.get(), &QSocketNotifier::activated,
                   [watcher = weak_from_this(), handler] {
                     // Held for the whole handling, even when the handler closes the socket.
                     if (auto self = watcher.lock()) (self.get()->*handler)();
                   });
  return notifier;
}

void SocketWatcher::Drop(std::unique_ptr<QSocketNotifier>& notifier) {
  if (!notifier) return;
  notifier->setEnabled(false);
  if (handlings_ > 0) {
    dropped_.push_back(std::move(notifier));
  } else {
    notifier.reset();
  }
}

void SocketWatcher::OnReadable() {
  Notification notification;
  {
    std::lock_guard<std::mutex> guard(watchLock);
    if (!reader_) return;
    auto report = [&](long event, int code) {
      if (!(events_ & event)) return;
      notification = Notification{window_, msg_, fd_, event, code};
    };
    if (listening_) {
      reader_->setEnabled(false);
      report(FD_ACCEPT, 0);
    } else if (!readArmed_) {
      // Data still waits for the receive that follows the last read notification.
      reader_->setEnabled(false);
    } else {
      char byte;
      const ssize_t n = ::recv(fd_, &byte, 1, ::MSG_PEEK | MSG_DONTWAIT);
      if (n > 0) {
        readArmed_ = false;
        report(FD_READ, 0);
      } else if (n == 0) {
        reader_->setEnabled(false);
        closeReported_ = true;
        report(FD_CLOSE, 0);
      } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        // Nothing after all; the notifier stays armed.
      } else if (errno == ENOTCONN) {
        // Neither listening nor connected yet: nothing to report until it is.
        reader_->setEnabled(false);
      } else {
        const int code = ErrorCodeFromErrno(errno);
        reader_->setEnabled(false);
        closeReported_ = true;
        report(FD_CLOSE, code);
      }
    }
  }
  Hand(notification);
}

void SocketWatcher::OnWritable() {
  Notification notification;
  {
    std::lock_guard<std::mutex> guard(watchLock);
    if (!writer_) return;
    writer_->setEnabled(false);
    // Nothing can be written to a connection that is gone.
    if ((events_ & FD_WRITE) && !closeReported_) {
      notification = Notification{window_, msg_, fd_, FD_WRITE, 0};
    }
  }
  Hand(notification);
}

// With no message queued ahead of it, the window gets the notification at once: what posting it
// and taking it up as the next message would do, without a round through the event queue (which
// costs a wake-up of the loop and another pass of it per notification). Otherwise it is posted
// behind the others. A window that is gone takes neither (SendMessage and PostMessage both look).
void SocketWatcher::Hand(const Notification& notification) {
  if (!notification.window) return;
  const LPARAM lParam =
      MakeLParam(static_cast<WORD>(notification.event), static_cast<WORD>(notification.code));
  const auto wParam = static_cast<WPARAM>(notification.fd);
  if (MessagesWaiting()) {
    PostMessage(notification.window, notification.msg, wParam, lParam);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(watchLock);
    ++handlings_;
  }
  struct EndOfHandling {
    SocketWatcher& watcher;
    ~EndOfHandling() { watcher.EndHandling(); }
  } end{*this};
  SendMessage(notification.window, notification.msg, wParam, lParam);
}

void SocketWatcher::EndHandling() {
  std::vector<std::unique_ptr<QSocketNotifier>> done;
  {
    std::lock_guard<std::mutex> guard(watchLock);
    if (--handlings_ == 0) done.swap(dropped_);
  }
  if (!done.empty()) DeleteAfterActivation(std::move(done));
}

void WatchSelection(int fd, HWND window, UINT msg, long events) {
  std::lock_guard<std::mutex> guard(watchLock);
  auto* slot = Slot(fd, window && events != 0);
  if (!slot) return;
  if (!*slot) {
    if (!window || events == 0) return;
    *slot = std::make_shared<SocketWatcher>(fd, false);
  }
  (*slot)->Select(window, msg, events);
}

void WatchListening(int fd) {
  std::lock_guard<std::mutex> guard(watchLock);
  if (SocketWatcher* watcher = Find(fd)) watcher->BecomeListening();
}

void WatchAccept(int listener, bool starved, int accepted) {
  std::lock_guard<std::mutex> guard(watchLock);
  if (SocketWatcher* watcher = Find(listener)) watcher->AcceptCalled(starved);
  if (accepted < 0) return;
  auto& slot = *Slot(accepted, true);
  // A descriptor closed behind the library's back leaves its watcher; it is not this socket's.
  if (slot) slot->Close();
  slot = std::make_shared<SocketWatcher>(accepted, true);
}

void WatchReceive(int fd) {
  std::lock_guard<std::mutex> guard(watchLock);
  if (SocketWatcher* watcher = Find(fd)) watcher->ReceiveCalled();
}

void WatchSendWouldBlock(int fd) {
  std::lock_guard<std::mutex> guard(watchLock);
  if (SocketWatcher* watcher = Find(fd)) watcher->SendWouldBlock();
}

void WatchClose(int fd) {
  std::shared_ptr<SocketWatcher> closed;
  {
    std::lock_guard<std::mutex> guard(watchLock);
    auto* slot = Slot(fd, false);
    if (!slot || !*slot) return;
    closed.swap(*slot);
    closed->Close();
  }
}

void WatchDescriptorReturned() {
  std::lock_guard<std::mutex> guard(watchLock);
  for (auto& watcher : Watchers()) {
    if (watcher) watcher->EndStarvation();
  }
}

}  // namespace WinSock
