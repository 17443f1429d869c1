#include "net/ServerSocket.h"

#include <strings.h>

#include "framework/ClassRegistry.h"
#include "net/SocketError.h"

// ---- TAbstractSocket ----

void TAbstractSocket::SetActive(bool value) {
  if (value == active_) return;
  if (IsDesigning() || IsLoading()) active_ = value;
  if (!IsLoading()) ApplyActive(value);
}

void TAbstractSocket::SetPort(int value) {
  if (value == port_) return;
  if (active_ && !IsLoading()) throw ESocketError("Can't change value while socket is active");
  port_ = value;
}

void TAbstractSocket::SetService(const std::string& value) {
  if (::strcasecmp(value.c_str(), service_.c_str()) == 0) return;
  if (active_ && !IsLoading()) throw ESocketError("Can't change value while socket is active");
  service_ = value;
}

void TAbstractSocket::SetAddress(const std::string& value) {
  if (value == addressText_) return;
  if (active_ && !IsLoading()) throw ESocketError("Can't change value while socket is active");
  addressText_ = value;
}

void TAbstractSocket::Loaded() {
  TComponent::Loaded();
  ApplyActive(active_);
}

// ---- TCustomSocket ----

void TCustomSocket::HookEndpoint(TCustomWinSocket* endpoint) {
  endpoint->SetSocketEventSink([this](TCustomWinSocket*, TCustomWinSocket* socket,
                                      TSocketEventKind kind) { RelaySocketEvent(socket, kind); });
  endpoint->SetErrorEventSink([this](TCustomWinSocket*, TCustomWinSocket* socket, TErrorEvent kind,
                                     int& code) { RelayErrorEvent(socket, kind, code); });
}

void TCustomSocket::RelaySocketEvent(TCustomWinSocket* socket, TSocketEventKind kind) {
  // The slot of each kind, in the order of the kinds.
  static TSocketNotifyEvent TCustomSocket::*const slots[] = {
      &TCustomSocket::onLookup_,     &TCustomSocket::onConnecting_, &TCustomSocket::onConnect_,
      &TCustomSocket::onDisconnect_, &TCustomSocket::OnListen,      &TCustomSocket::OnAccept,
      &TCustomSocket::onWrite_,      &TCustomSocket::onRead_};
  static_assert(sizeof slots / sizeof slots[0] == sekRead + 1, "a slot for every kind");
  if (kind == sekConnect || kind == sekListen) SetActiveFlag(true);
  if (kind == sekDisconnect) SetActiveFlag(false);
  const TSocketNotifyEvent& handler = this->*slots[kind];
  if (handler) handler(this, socket);
}

void TCustomSocket::RelayErrorEvent(TCustomWinSocket* socket, TErrorEvent kind, int& code) {
  if (onError_) onError_(this, socket, kind, code);
}

// ---- TCustomServerSocket ----

TCustomServerSocket::~TCustomServerSocket() {
  // Closes the server: every client endpoint goes without client events.
  endpoint_.reset();
}

void TCustomServerSocket::ApplyActive(bool value) {
  if (value == endpoint_->IsConnected() || IsDesigning()) return;
  if (endpoint_->IsConnected()) {
    endpoint_->CloseEndpoint(endpoint_->SocketHandle());
    return;
  }
  // No host name: a listening set-up takes an address only.
  endpoint_->StartListening("", AddressText(), Service(), static_cast<WORD>(Port() & 0xFFFF), 5,
                            ServerType() == stThreadBlocking);
}

// ---- TServerSocket ----

TServerSocket::TServerSocket(TComponent* owner) : TCustomServerSocket(owner) {
  endpoint_ = std::make_unique<TServerWinSocket>(WinSock::INVALID_SOCKET);
  HookEndpoint(endpoint_.get());
  endpoint_->SetThreadCacheSize(10);
}

// ---- Registration ----

void RegisterSocketComponents() {
  TComponentClass serverSocket;
  serverSocket.name = "TServerSocket";
  serverSocket.parent = "TComponent";
  serverSocket.create = [](TComponent* owner) -> TComponent* { return new TServerSocket(owner); };
  serverSocket.properties = {
      {"Active", BoolSetter(&TAbstractSocket::SetActive), ""},
      {"Port", IntSetter(&TAbstractSocket::SetPort), ""},
      {"Service", StringSetter(&TAbstractSocket::SetService), ""},
      {"ServerType",
       EnumSetter(&TCustomServerSocket::SetServerType, {"stNonBlocking", "stThreadBlocking"}), ""},
      {"ThreadCacheSize", IntSetter(&TCustomServerSocket::SetThreadCacheSize), "10"},
      {"OnListen", EventSetter(&TCustomSocket::OnListen), ""},
      {"OnAccept", EventSetter(&TCustomSocket::OnAccept), ""},
      {"OnGetSocket", EventSetter(&TCustomServerSocket::SetOnGetSocket), ""},
      {"OnClientConnect", EventSetter(&TCustomServerSocket::SetOnClientConnect), ""},
      {"OnClientDisconnect", EventSetter(&TCustomServerSocket::SetOnClientDisconnect), ""},
      {"OnClientRead", EventSetter(&TCustomServerSocket::SetOnClientRead), ""},
      {"OnClientWrite", EventSetter(&TCustomServerSocket::SetOnClientWrite), ""},
      {"OnClientError", EventSetter(&TCustomServerSocket::SetOnClientError), ""},
  };
  RegisterComponentClass(std::move(serverSocket));
}
