#include "net/CustomWinSocket.h"

#include <utility>

#include "framework/HiddenWindow.h"
#include "net/Networks.h"
#include "net/SocketError.h"

using namespace WinSock;

namespace {

// One start-up record for the whole program.
WSADATA startupData;

void AcquireSocketLibrary() {
  const int code = WSAStartup(0x0101, &startupData);
  if (code != 0) throw ESocketError(TCustomWinSocket::SocketErrorMessage(code, "WSAStartup"));
}

// The count cannot underflow here: every endpoint started the library once. A destructor must
// not throw, so a failure would only be ignored.
void ReleaseSocketLibrary() {
  WSACleanup();
}

TErrorEvent ErrorKindOf(WORD event) {
  static const std::pair<long, TErrorEvent> kinds[] = {{FD_READ, errReceive},
                                                       {FD_WRITE, errSend},
                                                       {FD_ACCEPT, errAccept},
                                                       {FD_CONNECT, errConnect},
                                                       {FD_CLOSE, errDisconnect}};
  for (const auto& [networkEvent, kind] : kinds)
    if (networkEvent == event) return kind;
  return errGeneral;
}

}  // namespace

TCustomWinSocket::TCustomWinSocket(SOCKET handle) {
  AcquireSocketLibrary();
  handle_ = handle;
  ResetAddress();
  connected_ = handle_ != INVALID_SOCKET;
  if (connected_) {
    sockaddr_in peer{};
    int length = sizeof peer;
    if (getpeername(handle_, reinterpret_cast<sockaddr*>(&peer), &length) == 0) {
      knownPeerAddress_ = inet_ntoa(peer.sin_addr);
    }
  }
}

TCustomWinSocket::~TCustomWinSocket() {
  BeginDestruction();
  // Messages still waiting for the window (a free request among them) go with it.
  window_.reset();
  ReleaseSocketLibrary();
}

void TCustomWinSocket::BeginDestruction() {
  if (destructionBegun_) return;
  destructionBegun_ = true;
  socketSink_ = nullptr;
  try {
    if (connected_ && handle_ != INVALID_SOCKET) CloseEndpoint(handle_);
  } catch (const Exception&) {
    // Nothing can be reported from a destructor; the socket is released below.
  }
  // A set-up still under way must not write into the lookup buffer once it is freed, and its
  // socket is not left open.
  if (lookupTask_) {
    WSACancelAsyncRequest(lookupTask_);
    lookupTask_ = nullptr;
  }
  if (handle_ != INVALID_SOCKET) {
    closesocket(handle_);
    handle_ = INVALID_SOCKET;
    connected_ = false;
  }
}

void TCustomWinSocket::ResetAddress() {
  // Any address, port 0.
  address_ = sockaddr_in{};
  address_.sin_family = AF_INET;
}

std::string TCustomWinSocket::SystemErrorText(int code) {
  std::string text = SocketErrorText(code);
  auto trailing = [](unsigned char c) { return c < 0x20 || c == 0x7F || c == ' ' || c == '.'; };
  while (!text.empty() && trailing(text.back())) text.pop_back();
  return text;
}

std::string TCustomWinSocket::SocketErrorMessage(int code, const std::string& api) {
  return FormatText("Windows socket error: %s (%d), on API '%s'", SystemErrorText(code).c_str(),
                    code, api.c_str());
}

int TCustomWinSocket::CheckSocketCall(int result, const std::string& api) {
  if (result == 0) return 0;
  const int code = WSAGetLastError();
  if (code == WSAEWOULDBLOCK) return code;
  throw ESocketError(SocketErrorMessage(code, api));
}

HWND TCustomWinSocket::NotificationWindow() {
  if (!window_) {
    window_ = std::make_unique<THiddenWindow>(this);
    window_->SetHandler(MSG_SOCKET_NOTIFY, [this](TMessage& m) { HandleSocketNotify(m); });
    window_->SetHandler(MSG_SOCKET_FREE, [this](TMessage& m) { HandleFreeRequest(m); });
    window_->SetHandler(MSG_LOOKUP_DONE, [this](TMessage& m) { HandleLookupDone(m); });
    window_->SetDefaultHandler([this](TMessage& m) { DefaultHandler(m); });
  }
  return window_->Handle();
}

void TCustomWinSocket::DefaultHandler(TMessage& message) {
  message.Result = DefWindowProc(window_ ? window_->Handle() : nullptr, message.Msg, message.WParam,
                                 message.LParam);
}

void TCustomWinSocket::ScheduleFree() {
  if (window_) window_->Post(MSG_SOCKET_FREE, 0, 0);
}

void TCustomWinSocket::SetNotifyStyles(TNotifyStyles styles) {
  if (styles == styles_) return;
  styles_ = styles;
  if (handle_ != INVALID_SOCKET) ApplyNotifyStyles();
}

void TCustomWinSocket::ApplyNotifyStyles() {
  if (styles_ != 0) {
    WSAAsyncSelect(handle_, NotificationWindow(), MSG_SOCKET_NOTIFY, styles_);
  } else {
    WSAAsyncSelect(handle_, nullptr, 0, 0);
    WinSock::u_long blocking = 0;
    ioctlsocket(handle_, FIONBIO, &blocking);
  }
}

void TCustomWinSocket::FireSocketEvent(TCustomWinSocket* socket, TSocketEventKind kind) {
  if (socketSink_) socketSink_(this, socket, kind);
}

void TCustomWinSocket::FireErrorEvent(TCustomWinSocket* socket, TErrorEvent kind, int& code) {
  if (errorSink_) errorSink_(this, socket, kind, code);
}

// ---- Listening ----

void TCustomWinSocket::StartListening(const std::string& hostName, const std::string& addressText,
                                      const std::string& service, WORD port, int queueSize,
                                      bool blocking) {
  // A set-up still waiting for its lookup has a socket too; a second one would leak it.
  if (connected_ || handle_ != INVALID_SOCKET) throw ESocketError("Can't listen on an open socket");
  handle_ = socket(AF_INET, SOCK_STREAM, 0);
  if (handle_ == INVALID_SOCKET) throw ESocketError("Can't create new socket");
  try {
    FireSocketEvent(this, sekLookup);
    if (blocking) throw ESocketError("Thread-blocking sockets are not available");
    ContinueSetup(hostName, addressText, service, port, queueSize, false);
  } catch (...) {
    CloseEndpoint(handle_);
    throw;
  }
}

void TCustomWinSocket::ContinueSetup(const std::string& /*hostName*/,
                                     const std::string& addressText, const std::string& service,
                                     WORD port, int queueSize, bool outgoing) {
  try {
    for (;;) {
      switch (resolveState_) {
        case rsIdle:
          address_.sin_addr.s_addr = INADDR_ANY;
          if (!addressText.empty()) {
            const std::optional<uint32_t> address = ParseIPv4Address(addressText);
            if (!address) throw ESocketError(SocketErrorMessage(WSAEINVAL, "bind"));
            address_.sin_addr.s_addr = htonl(*address);
          }
          resolveState_ = rsAddress;
          break;
        case rsAddress:
          if (!service.empty()) {
            if (!lookupBuffer_) lookupBuffer_ = std::make_unique<char[]>(1024);
            keptQueueSize_ = queueSize;
            keptOutgoing_ = outgoing;
            lookupTask_ = WSAAsyncGetServByName(NotificationWindow(), MSG_LOOKUP_DONE,
                                                service.c_str(), "tcp", lookupBuffer_.get(), 1024);
            CheckSocketCall(lookupTask_ ? 0 : 1, "WSAASyncGetServByName");
            resolveState_ = rsService;
            return;
          }
          resolveState_ = rsService;
          address_.sin_port = htons(port);
          break;
        case rsService:
          resolveState_ = rsIdle;
          if (!outgoing) BindAndListen(queueSize);
          return;
      }
    }
  } catch (...) {
    CloseEndpoint(handle_);
    throw;
  }
}

void TCustomWinSocket::BindAndListen(int queueSize) {
  // So that a server closed with clients still connected can listen on its port again at once;
  // a port another socket listens on stays taken.
  const int reuse = 1;
  setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
             sizeof reuse);
  CheckSocketCall(bind(handle_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_),
                  "bind");
  ApplyNotifyStyles();
  if (queueSize > 5) queueSize = 5;
  FireSocketEvent(this, sekListen);
  CheckSocketCall(listen(handle_, queueSize), "listen");
  resolveState_ = rsIdle;
  connected_ = true;
}

void TCustomWinSocket::HandleLookupDone(TMessage& message) {
  if (!lookupTask_ || reinterpret_cast<HANDLE>(message.WParam) != lookupTask_) return;
  lookupTask_ = nullptr;
  const int error = HiWord(message.LParam);
  if (error != 0) {
    int code = error;
    FireErrorEvent(this, errLookup, code);
    CloseEndpoint(handle_);
    if (code != 0) throw ESocketError(SocketErrorMessage(error, "ASync Lookup"));
    return;
  }
  if (resolveState_ == rsService) {
    const auto* entry = reinterpret_cast<const servent*>(lookupBuffer_.get());
    address_.sin_port = static_cast<u_short>(entry->s_port);
    ContinueSetup("", "", "", 0, keptQueueSize_, keptOutgoing_);
  }
}

// ---- Notifications ----

void TCustomWinSocket::HandleSocketNotify(TMessage& message) {
  const auto handle = static_cast<SOCKET>(message.WParam);
  const WORD event = LoWord(message.LParam);
  const WORD error = HiWord(message.LParam);
  if (error != 0) {
    // A late error for a socket this endpoint no longer has concerns nobody.
    if (handle_ == INVALID_SOCKET || handle != handle_) return;
    int code = error;
    FireErrorEvent(this, ErrorKindOf(event), code);
    // A connection the peer reset is gone: close it the normal way (disconnect event, free
    // later) rather than keep its socket until the server closes.
    if (event == FD_CLOSE) CloseEndpoint(handle);
    if (code != 0) throw ESocketError(FormatText("Asynchronous socket error %d", code));
    return;
  }
  switch (event) {
    case FD_ACCEPT:
      AcceptReady(handle);
      break;
    case FD_CONNECT:
      ConnectReady(handle);
      break;
    case FD_CLOSE:
      CloseEndpoint(handle);
      break;
    case FD_READ:
      ReadReady(handle);
      break;
    case FD_WRITE:
      WriteReady(handle);
      break;
  }
}

void TCustomWinSocket::HandleFreeRequest(TMessage&) {
  delete this;
}

void TCustomWinSocket::AcceptReady(SOCKET) {}
void TCustomWinSocket::ConnectReady(SOCKET) {}

void TCustomWinSocket::ReadReady(SOCKET handle) {
  if (handle_ != INVALID_SOCKET && handle == handle_) FireSocketEvent(this, sekRead);
}

void TCustomWinSocket::WriteReady(SOCKET handle) {
  if (handle_ != INVALID_SOCKET && handle == handle_) FireSocketEvent(this, sekWrite);
}

// ---- Connection operations ----

int TCustomWinSocket::ReceiveInto(void* buffer, int count) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (count == -1 && connected_) {
    WinSock::u_long waiting = 0;
    ioctlsocket(handle_, FIONREAD, &waiting);
    return static_cast<int>(waiting);
  }
  if (!connected_) return 0;
  const int result = recv(handle_, static_cast<char*>(buffer), count, 0);
  return result != SOCKET_ERROR ? result : TransferFailed(errReceive, "recv");
}

int TCustomWinSocket::TransferFailed(TErrorEvent kind, const char* call) {
  int code = WSAGetLastError();
  if (code == WSAEWOULDBLOCK) return -1;
  FireErrorEvent(this, kind, code);
  CloseEndpoint(handle_);
  if (code != 0) throw ESocketError(SocketErrorMessage(code, call));
  return -1;
}

std::string TCustomWinSocket::ReceiveAllText() {
  const int waiting = ReceiveInto(nullptr, -1);
  std::string text(waiting > 0 ? static_cast<size_t>(waiting) : 0, '\0');
  const int received = ReceiveInto(text.data(), static_cast<int>(text.size()));
  text.resize(received > 0 ? static_cast<size_t>(received) : 0);
  return text;
}

int TCustomWinSocket::SendBytes(const void* buffer, int count) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (!connected_) return 0;
  const int result = send(handle_, static_cast<const char*>(buffer), count, 0);
  return result != SOCKET_ERROR ? result : TransferFailed(errSend, "send");
}

int TCustomWinSocket::SendString(const std::string& text) {
  return SendBytes(text.data(), static_cast<int>(text.size()));
}

std::string TCustomWinSocket::PeerAddressText() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (!connected_) return "";
  sockaddr_in peer{};
  int length = sizeof peer;
  const int result = getpeername(handle_, reinterpret_cast<sockaddr*>(&peer), &length);
  if (result != 0 && WSAGetLastError() == WSAENOTCONN && !knownPeerAddress_.empty()) {
    return knownPeerAddress_;
  }
  CheckSocketCall(result, "getpeername");
  knownPeerAddress_ = inet_ntoa(peer.sin_addr);
  return knownPeerAddress_;
}

// ---- Closing ----

void TCustomWinSocket::CloseEndpoint(SOCKET handle) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (lookupTask_) {
    HANDLE task = lookupTask_;
    lookupTask_ = nullptr;
    CheckSocketCall(WSACancelAsyncRequest(task), "WSACancelASyncRequest");
  }
  if (handle == INVALID_SOCKET || handle != handle_) return;
  auto closed = [this] {
    handle_ = INVALID_SOCKET;
    ResetAddress();
    connected_ = false;
    resolveState_ = rsIdle;
  };
  try {
    FireSocketEvent(this, sekDisconnect);
  } catch (...) {
    // The handler's exception goes on, but the socket is not left open behind it.
    if (closesocket(handle_) == 0) closed();
    throw;
  }
  CheckSocketCall(closesocket(handle_), "closesocket");
  closed();
}
