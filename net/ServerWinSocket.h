#pragma once
// The server side of the socket layer: the listening endpoint, which accepts connections and
// keeps its client list, and the client endpoint of one accepted connection. Client events go
// through the listening endpoint's slots, with the listening endpoint as Sender.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "net/CustomWinSocket.h"

class TServerClientWinSocket;

enum TServerType { stNonBlocking, stThreadBlocking };

// Decides whether an accepted peer is served: its address in host byte order and as dotted
// decimal text.
using TPeerFilter = std::function<bool(uint32_t Address, const std::string& AddressText)>;

using TGetSocketEvent =
    std::function<void(TObject* Sender, int Socket, TServerClientWinSocket*& ClientSocket)>;

class TServerWinSocket : public TCustomWinSocket {
 public:
  explicit TServerWinSocket(WinSock::SOCKET handle);
  ~TServerWinSocket() override;

  TServerType ServerType() const { return serverType_; }
  void SetServerType(TServerType type);
  int ThreadCacheSize() const { return threadCacheSize_; }
  void SetThreadCacheSize(int size) { threadCacheSize_ = size; }

  // The client list, in accept order.
  void AddConnection(TServerClientWinSocket* endpoint);
  void RemoveConnection(TServerClientWinSocket* endpoint);

  void AcceptReady(WinSock::SOCKET handle) override;
  // Closes the server: every client endpoint still listed is destroyed without client events
  // (last accepted first), then the listening socket is closed.
  void CloseEndpoint(WinSock::SOCKET handle) override;

  virtual TServerClientWinSocket* ProvideClientEndpoint(WinSock::SOCKET handle);
  // Called by the endpoint that takes over a just accepted socket, which from then on closes it
  // whatever happens next: the peer address accept returned for it. Empty for any other socket.
  std::string TakeAcceptedSocket(WinSock::SOCKET handle);
  virtual void ClientReadable(TCustomWinSocket* endpoint);
  virtual void ClientWritable(TCustomWinSocket* endpoint);
  virtual void ClientConnected(TCustomWinSocket* endpoint);
  virtual void ClientDisconnected(TCustomWinSocket* endpoint);
  virtual void ClientFailed(TCustomWinSocket* endpoint, TErrorEvent kind, int& code);

  // The sinks every client endpoint gets in the non-blocking mode.
  void DispatchClientEvent(TCustomWinSocket* sender, TCustomWinSocket* socket,
                           TSocketEventKind kind);
  void DispatchClientError(TCustomWinSocket* sender, TCustomWinSocket* socket, TErrorEvent kind,
                           int& code);

  TGetSocketEvent OnGetSocket;
  TSocketNotifyEvent OnClientConnect;
  TSocketNotifyEvent OnClientDisconnect;
  TSocketNotifyEvent OnClientRead;
  TSocketNotifyEvent OnClientWrite;
  TSocketErrorEvent OnClientError;
  // When set, a connection whose peer it refuses is closed as soon as it is accepted: no client
  // endpoint is made, no event runs and nothing is received from it or sent to it.
  TPeerFilter PeerFilter;

  // Keepalive of accepted connections: idle time before the first probe, time between probes,
  // probes unanswered before the connection counts as gone.
  static constexpr int kKeepAliveIdleSeconds = 60;
  static constexpr int kKeepAliveIntervalSeconds = 10;
  static constexpr int kKeepAliveProbes = 3;

 private:
  // Keepalive and immediate sends for an accepted connection.
  static void SetConnectionOptions(WinSock::SOCKET client);

  WinSock::SOCKET acceptedHandle_ = WinSock::INVALID_SOCKET;
  std::string acceptedPeerAddress_;
  TServerType serverType_ = stNonBlocking;
  int threadCacheSize_ = 0;
  std::vector<TServerClientWinSocket*> clients_;
  std::mutex listLock_;
};

class TServerClientWinSocket : public TCustomWinSocket {
 public:
  // Adds itself to the server's client list and, when connected, runs the connect event.
  TServerClientWinSocket(WinSock::SOCKET handle, TServerWinSocket* server);
  ~TServerClientWinSocket() override;

 private:
  TServerWinSocket* server_;
};
