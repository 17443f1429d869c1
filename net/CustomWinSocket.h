#pragma once
// A socket endpoint: one platform socket with its local address, a hidden notification window
// that turns the socket library's readiness messages into calls, a lock and two event sinks.
// In the non-blocking mode everything runs on the GUI thread, inside the message loop.

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "framework/Component.h"
#include "platform/Sockets.h"

class THiddenWindow;

enum TSocketEventKind {
  sekLookup,
  sekConnecting,
  sekConnect,
  sekDisconnect,
  sekListen,
  sekAccept,
  sekWrite,
  sekRead
};

enum TErrorEvent {
  errGeneral,
  errSend,
  errReceive,
  errConnect,
  errDisconnect,
  errAccept,
  errLookup
};

// The readiness notifications an endpoint's window asks for; the bits are the library's
// network-event bits, so the byte is the event mask.
using TNotifyStyles = BYTE;
constexpr TNotifyStyles nsRead = 0x01;
constexpr TNotifyStyles nsWrite = 0x02;
constexpr TNotifyStyles nsOutOfBand = 0x04;
constexpr TNotifyStyles nsAccept = 0x08;
constexpr TNotifyStyles nsConnect = 0x10;
constexpr TNotifyStyles nsClose = 0x20;

enum TResolveState { rsIdle, rsAddress, rsService };

constexpr UINT MSG_SOCKET_NOTIFY = WM_USER + 1;
constexpr UINT MSG_SOCKET_FREE = WM_USER + 2;
constexpr UINT MSG_LOOKUP_DONE = WM_USER + 3;

class TCustomWinSocket;

using TSocketEventSink =
    std::function<void(TCustomWinSocket* Sender, TCustomWinSocket* Socket, TSocketEventKind Kind)>;
using TSocketErrorSink = std::function<void(TCustomWinSocket* Sender, TCustomWinSocket* Socket,
                                            TErrorEvent ErrorEvent, int& ErrorCode)>;

// The handler types of the socket events that applications attach.
using TSocketNotifyEvent = std::function<void(TObject* Sender, TCustomWinSocket* Socket)>;
using TSocketErrorEvent = std::function<void(TObject* Sender, TCustomWinSocket* Socket,
                                             TErrorEvent ErrorEvent, int& ErrorCode)>;

class TCustomWinSocket : public TObject {
 public:
  explicit TCustomWinSocket(WinSock::SOCKET handle);
  ~TCustomWinSocket() override;

  bool IsConnected() const { return connected_; }
  WinSock::SOCKET SocketHandle() const { return handle_; }

  // Every byte waiting now, as that many 8-bit characters; empty when nothing waits, when the
  // receive would block and when not connected.
  std::string ReceiveAllText();
  // One send of the whole text: the count the socket took, -1 when it would block, 0 when not
  // connected.
  int SendString(const std::string& text);
  // The peer's dotted address; empty when not connected.
  std::string PeerAddressText();

  // With count -1 the number of bytes waiting; otherwise one receive of at most count bytes.
  int ReceiveInto(void* buffer, int count);
  int SendBytes(const void* buffer, int count);

  virtual void AcceptReady(WinSock::SOCKET handle);
  virtual void ConnectReady(WinSock::SOCKET handle);
  // Closes the socket if handle is the endpoint's own; a pending lookup is cancelled either way.
  virtual void CloseEndpoint(WinSock::SOCKET handle);
  virtual void ReadReady(WinSock::SOCKET handle);
  virtual void WriteReady(WinSock::SOCKET handle);

  TNotifyStyles NotifyStyles() const { return styles_; }
  void SetNotifyStyles(TNotifyStyles styles);

  void StartListening(const std::string& hostName, const std::string& addressText,
                      const std::string& service, WORD port, int queueSize, bool blocking);

  // The hidden window, created on first call on the calling thread.
  HWND NotificationWindow();
  // Destroys the endpoint later, from the message loop, never inside one of its own handlers.
  void ScheduleFree();

  virtual void FireSocketEvent(TCustomWinSocket* socket, TSocketEventKind kind);
  virtual void FireErrorEvent(TCustomWinSocket* socket, TErrorEvent kind, int& code);

  void SetSocketEventSink(TSocketEventSink sink) { socketSink_ = std::move(sink); }
  void SetErrorEventSink(TSocketErrorSink sink) { errorSink_ = std::move(sink); }

  // "Windows socket error: <system text> (<code>), on API '<api>'".
  static std::string SocketErrorMessage(int code, const std::string& api);
  // The system's text for a code without trailing control characters, blanks and full stops.
  static std::string SystemErrorText(int code);

 protected:
  std::recursive_mutex& EndpointLock() { return lock_; }
  void ApplyNotifyStyles();
  void ContinueSetup(const std::string& hostName, const std::string& addressText,
                     const std::string& service, WORD port, int queueSize, bool outgoing);
  void BindAndListen(int queueSize);
  // Result 0 gives 0; would-block gives its code; anything else throws the socket error.
  static int CheckSocketCall(int result, const std::string& api);
  // The first steps of destruction (events off, close); derived destructors run it first so
  // that their own close runs.
  void BeginDestruction();
  // Messages without a handler of their own.
  virtual void DefaultHandler(TMessage& message);
  // The peer's address when the system cannot tell it any more (a connection reset early).
  void RememberPeerAddress(const std::string& address) { knownPeerAddress_ = address; }

 private:
  void HandleSocketNotify(TMessage& message);
  void HandleFreeRequest(TMessage& message);
  void HandleLookupDone(TMessage& message);
  void ResetAddress();
  // A failed send or receive: -1 when it would block; otherwise the error event, the close,
  // and an exception for a code the handler left set.
  int TransferFailed(TErrorEvent kind, const char* call);

  WinSock::SOCKET handle_ = WinSock::INVALID_SOCKET;
  bool connected_ = false;
  std::unique_ptr<THiddenWindow> window_;
  WinSock::sockaddr_in address_{};
  TNotifyStyles styles_ = nsRead | nsWrite | nsConnect | nsClose;
  TResolveState resolveState_ = rsIdle;
  HANDLE lookupTask_ = nullptr;
  TSocketEventSink socketSink_;
  TSocketErrorSink errorSink_;
  std::recursive_mutex lock_;
  std::unique_ptr<char[]> lookupBuffer_;
  bool keptOutgoing_ = false;
  int keptQueueSize_ = 0;
  // The peer's address as last seen: a connection the peer reset no longer tells it, and its
  // disconnect event still asks.
  std::string knownPeerAddress_;
  bool destructionBegun_ = false;
};
