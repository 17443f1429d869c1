#pragma once
// The server socket component: publishes the listening endpoint's settings and events as
// properties and turns writing Active into opening or closing the server. Its Active flag
// follows the listening endpoint's own events (listen: true, disconnect: false).

#include <memory>
#include <string>

#include "framework/Component.h"
#include "net/ServerWinSocket.h"

// Active, Port, Service and activation.
class TAbstractSocket : public TComponent {
 public:
  explicit TAbstractSocket(TComponent* owner) : TComponent(owner) {}

  bool Active() const { return active_; }
  void SetActive(bool value);
  int Port() const { return port_; }
  void SetPort(int value);
  const std::string& Service() const { return service_; }
  void SetService(const std::string& value);
  // The IPv4 address to listen on, as dotted decimal text; empty for every interface.
  void SetAddress(const std::string& value);

  void OpenServer() { SetActive(true); }
  void CloseServer() { SetActive(false); }

  void Loaded() override;

 protected:
  virtual void RelaySocketEvent(TCustomWinSocket* socket, TSocketEventKind kind) = 0;
  virtual void RelayErrorEvent(TCustomWinSocket* socket, TErrorEvent kind, int& code) = 0;
  virtual void ApplyActive(bool value) = 0;

  // Only the endpoint's events set the flag at run time.
  void SetActiveFlag(bool value) { active_ = value; }
  const std::string& AddressText() const { return addressText_; }

 private:
  bool active_ = false;
  int port_ = 0;
  std::string addressText_;
  std::string service_;
};

// The component's own notification slots and its handling of the endpoint's events.
class TCustomSocket : public TAbstractSocket {
 public:
  using TAbstractSocket::TAbstractSocket;

  TSocketNotifyEvent OnListen;
  TSocketNotifyEvent OnAccept;

 protected:
  void HookEndpoint(TCustomWinSocket* endpoint);
  void RelaySocketEvent(TCustomWinSocket* socket, TSocketEventKind kind) override;
  void RelayErrorEvent(TCustomWinSocket* socket, TErrorEvent kind, int& code) override;

  // Not published on the server component; they stay empty in this system.
  TSocketNotifyEvent onLookup_;
  TSocketNotifyEvent onConnect_;
  TSocketNotifyEvent onConnecting_;
  TSocketNotifyEvent onDisconnect_;
  TSocketNotifyEvent onRead_;
  TSocketNotifyEvent onWrite_;
  TSocketErrorEvent onError_;
};

// Owns the listening endpoint and forwards the server's properties and events to it.
class TCustomServerSocket : public TCustomSocket {
 public:
  using TCustomSocket::TCustomSocket;
  ~TCustomServerSocket() override;

  TServerWinSocket* ListeningEndpoint() const { return endpoint_.get(); }

  TServerType ServerType() const { return endpoint_->ServerType(); }
  void SetServerType(TServerType type) { endpoint_->SetServerType(type); }
  int ThreadCacheSize() const { return endpoint_->ThreadCacheSize(); }
  void SetThreadCacheSize(int size) { endpoint_->SetThreadCacheSize(size); }

  const TSocketNotifyEvent& OnClientRead() const { return endpoint_->OnClientRead; }
  void SetOnClientRead(TSocketNotifyEvent handler) { endpoint_->OnClientRead = std::move(handler); }
  const TSocketNotifyEvent& OnClientWrite() const { return endpoint_->OnClientWrite; }
  void SetOnClientWrite(TSocketNotifyEvent handler) {
    endpoint_->OnClientWrite = std::move(handler);
  }
  const TSocketNotifyEvent& OnClientConnect() const { return endpoint_->OnClientConnect; }
  void SetOnClientConnect(TSocketNotifyEvent handler) {
    endpoint_->OnClientConnect = std::move(handler);
  }
  const TSocketNotifyEvent& OnClientDisconnect() const { return endpoint_->OnClientDisconnect; }
  void SetOnClientDisconnect(TSocketNotifyEvent handler) {
    endpoint_->OnClientDisconnect = std::move(handler);
  }
  const TSocketErrorEvent& OnClientError() const { return endpoint_->OnClientError; }
  void SetOnClientError(TSocketErrorEvent handler) {
    endpoint_->OnClientError = std::move(handler);
  }
  const TGetSocketEvent& OnGetSocket() const { return endpoint_->OnGetSocket; }
  void SetOnGetSocket(TGetSocketEvent handler) { endpoint_->OnGetSocket = std::move(handler); }

 protected:
  void ApplyActive(bool value) override;

  std::unique_ptr<TServerWinSocket> endpoint_;
};

class TServerSocket : public TCustomServerSocket {
 public:
  explicit TServerSocket(TComponent* owner);
  std::string ClassName() const override { return "TServerSocket"; }
};

// Makes "TServerSocket" known to form descriptions.
void RegisterSocketComponents();
