#pragma once
// The readiness notifications of WSAAsyncSelect: one watcher per socket, from its accept or its
// first selection to its closesocket. The calls of the library tell the watchers what they did
// to a socket, by descriptor; the watchers turn readiness into window messages with the Windows
// re-enabling rules.

#include <memory>
#include <vector>

#include "platform/MessageWindow.h"

class QSocketNotifier;

namespace WinSock {

// Where one socket's notifications go, which it asked for, its notifiers and where it stands
// in the re-enabling rules. Lives on while one of its own notifications is being handled, so a
// socket closed by the handler of its own notification goes when that handling ends.
class SocketWatcher : public std::enable_shared_from_this<SocketWatcher> {
 public:
  SocketWatcher(int fd, bool accepted);
  ~SocketWatcher();
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
  struct Notification;

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

// What the calls did to a socket, by descriptor.
void WatchSelection(int fd, HWND window, UINT msg, long events);
void WatchListening(int fd);
void WatchAccept(int listener, bool starved, int accepted);
void WatchReceive(int fd);
void WatchSendWouldBlock(int fd);
// Before the descriptor is closed: its notifications end here.
void WatchClose(int fd);
// After a descriptor was given back.
void WatchDescriptorReturned();

}  // namespace WinSock
