#include "net/ServerWinSocket.h"

#include <algorithm>
#include <functional>

#include "net/SocketError.h"

using namespace WinSock;

namespace {

// Runs its action when the scope ends, by a return or an exception.
template <class Action>
struct OnScopeExit {
  Action action;
  ~OnScopeExit() { action(); }
};

}  // namespace

// ---- Listening endpoint ----

TServerWinSocket::TServerWinSocket(SOCKET handle) : TCustomWinSocket(handle) {
  SetNotifyStyles(nsAccept);
}

TServerWinSocket::~TServerWinSocket() {
  // Runs the server close while this is still a listening endpoint.
  BeginDestruction();
}

void TServerWinSocket::SetServerType(TServerType type) {
  if (type == serverType_) return;
  if (IsConnected()) throw ESocketError("Can't change value while socket is active");
  serverType_ = type;
  SetNotifyStyles(type == stThreadBlocking ? 0 : nsAccept);
}

void TServerWinSocket::AddConnection(TServerClientWinSocket* endpoint) {
  std::lock_guard<std::mutex> guard(listLock_);
  if (std::find(clients_.begin(), clients_.end(), endpoint) == clients_.end()) {
    clients_.push_back(endpoint);
  }
}

void TServerWinSocket::RemoveConnection(TServerClientWinSocket* endpoint) {
  std::lock_guard<std::mutex> guard(listLock_);
  auto it = std::find(clients_.begin(), clients_.end(), endpoint);
  if (it != clients_.end()) clients_.erase(it);
}

void TServerWinSocket::AcceptReady(SOCKET handle) {
  // A late notification for a socket number this endpoint no longer owns names someone else's.
  if (handle == INVALID_SOCKET || handle != SocketHandle()) return;
  sockaddr_in peer{};
  int length = sizeof peer;
  const SOCKET client = accept(handle, reinterpret_cast<sockaddr*>(&peer), &length);
  if (client == INVALID_SOCKET) return;
  // htonl swaps both ways: the peer's address in host byte order.
  if (PeerFilter && !PeerFilter(htonl(peer.sin_addr.s_addr), inet_ntoa(peer.sin_addr))) {
    closesocket(client);
    return;
  }
  SetConnectionOptions(client);
  // A peer that reset the connection before it was accepted no longer has an address the
  // system will tell; the one accept returned goes with the new endpoint.
  acceptedHandle_ = client;
  acceptedPeerAddress_ = inet_ntoa(peer.sin_addr);
  OnScopeExit forget{[this] {
    acceptedHandle_ = INVALID_SOCKET;
    acceptedPeerAddress_.clear();
  }};
  TServerClientWinSocket* endpoint = ProvideClientEndpoint(client);
  FireSocketEvent(endpoint, sekAccept);
}

std::string TServerWinSocket::TakeAcceptedSocket(SOCKET handle) {
  if (handle != acceptedHandle_) return {};
  acceptedHandle_ = INVALID_SOCKET;
  return acceptedPeerAddress_;
}

void TServerWinSocket::SetConnectionOptions(SOCKET client) {
  auto set = [client](int level, int option, int value) {
    setsockopt(client, level, option, reinterpret_cast<const char*>(&value), sizeof value);
  };
  // A remote PC that loses power or its network never closes or resets the connection. Probes
  // after a minute of silence, ten seconds apart, find it gone within about 90 seconds, and
  // the connection then ends the way a reset one does.
  set(SOL_SOCKET, SO_KEEPALIVE, 1);
  set(IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdleSeconds);
  set(IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveIntervalSeconds);
  set(IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
  // A reply is several sends (the echo, then the failure texts); none of them may wait for
  // the peer's delayed acknowledgement of the one before.
  set(IPPROTO_TCP, TCP_NODELAY, 1);
}

TServerClientWinSocket* TServerWinSocket::ProvideClientEndpoint(SOCKET handle) {
  TServerClientWinSocket* endpoint = nullptr;
  try {
    if (OnGetSocket) OnGetSocket(this, static_cast<int>(handle), endpoint);
  } catch (...) {
    // An endpoint that took the socket has closed it, or will: closing it here as well could
    // close a descriptor opened meanwhile under the same number.
    if (acceptedHandle_ == handle) closesocket(handle);
    throw;
  }
  if (!endpoint) endpoint = new TServerClientWinSocket(handle, this);
  return endpoint;
}

void TServerWinSocket::CloseEndpoint(SOCKET handle) {
  std::lock_guard<std::recursive_mutex> guard(EndpointLock());
  for (;;) {
    TServerClientWinSocket* last = nullptr;
    {
      std::lock_guard<std::mutex> listGuard(listLock_);
      if (clients_.empty()) break;
      last = clients_.back();
      clients_.pop_back();
    }
    // Its events are switched off before its socket closes: no disconnect event.
    delete last;
  }
  TCustomWinSocket::CloseEndpoint(handle);
}

void TServerWinSocket::DispatchClientEvent(TCustomWinSocket*, TCustomWinSocket* socket,
                                           TSocketEventKind kind) {
  switch (kind) {
    case sekConnect:
      ClientConnected(socket);
      break;
    case sekDisconnect:
      ClientDisconnected(socket);
      break;
    case sekRead:
      ClientReadable(socket);
      break;
    case sekWrite:
      ClientWritable(socket);
      break;
    default:
      break;
  }
}

void TServerWinSocket::DispatchClientError(TCustomWinSocket*, TCustomWinSocket* socket,
                                           TErrorEvent kind, int& code) {
  ClientFailed(socket, kind, code);
}

void TServerWinSocket::ClientConnected(TCustomWinSocket* endpoint) {
  if (OnClientConnect) OnClientConnect(this, endpoint);
}

void TServerWinSocket::ClientReadable(TCustomWinSocket* endpoint) {
  if (OnClientRead) OnClientRead(this, endpoint);
}

void TServerWinSocket::ClientWritable(TCustomWinSocket* endpoint) {
  if (OnClientWrite) OnClientWrite(this, endpoint);
}

void TServerWinSocket::ClientDisconnected(TCustomWinSocket* endpoint) {
  // The free is scheduled even when the handler throws, so the endpoint does not linger.
  OnScopeExit scheduleFree{[endpoint, enabled = serverType_ == stNonBlocking] {
    if (enabled) endpoint->ScheduleFree();
  }};
  if (OnClientDisconnect) OnClientDisconnect(this, endpoint);
}

void TServerWinSocket::ClientFailed(TCustomWinSocket* endpoint, TErrorEvent kind, int& code) {
  if (OnClientError) OnClientError(this, endpoint, kind, code);
}

// ---- Client endpoint ----

TServerClientWinSocket::TServerClientWinSocket(SOCKET handle, TServerWinSocket* server)
    : TCustomWinSocket(handle), server_(server) {
  const std::string acceptedPeer = server_->TakeAcceptedSocket(handle);
  if (!acceptedPeer.empty()) RememberPeerAddress(acceptedPeer);
  server_->AddConnection(this);
  try {
    if (server_->NotifyStyles() != 0) {
      SetSocketEventSink(std::bind_front(&TServerWinSocket::DispatchClientEvent, server));
      SetErrorEventSink(std::bind_front(&TServerWinSocket::DispatchClientError, server));
      ApplyNotifyStyles();
    }
    if (IsConnected()) FireSocketEvent(this, sekConnect);
  } catch (...) {
    // The unfinished endpoint goes again: out of the list, socket closed, no disconnect event.
    server_->RemoveConnection(this);
    throw;
  }
}

TServerClientWinSocket::~TServerClientWinSocket() {
  server_->RemoveConnection(this);
}
