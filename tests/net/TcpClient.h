#pragma once
// Real TCP peers for the socket tests, on plain POSIX sockets. Kept apart from the socket
// library's header, whose names the POSIX headers also declare.

#include <cstdint>
#include <functional>
#include <string>

// A remote PC: connects to 127.0.0.1, sends, and collects what arrives without ever blocking,
// so that the test thread can go on running the message loop.
class TcpClient {
 public:
  TcpClient() = default;
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  // Connects to 127.0.0.1 (or another address of the loopback) from the given local address of
  // the loopback (any when empty).
  bool Connect(uint16_t port, const std::string& from = "", const std::string& to = "127.0.0.1");
  bool Send(const std::string& bytes);
  // Takes what has arrived so far; true when anything came.
  bool Pump();
  const std::string& Received() const { return received_; }
  void ClearReceived() { received_.clear(); }
  // What has arrived, handed over and forgotten.
  std::string TakeReceived();
  // For a server in another process, where no message loop needs to run: takes what arrives
  // until done holds for it, the server closes or the time runs out; true when done holds.
  bool WaitUntil(const std::function<bool(const std::string&)>& done, int timeoutMs = 10000);
  // The server closed (end of stream or reset seen by Pump).
  bool PeerClosed() const { return peerClosed_; }
  // Closes with a reset instead of the normal shut-down.
  void Reset();
  void Close();

 private:
  int fd_ = -1;
  std::string received_;
  bool peerClosed_ = false;
};

// Another program's listener on a port.
class PortHolder {
 public:
  explicit PortHolder(uint16_t port);
  ~PortHolder();
  bool Holding() const { return fd_ >= 0; }
  void Release();

 private:
  int fd_ = -1;
};

// A port nobody listens on right now.
uint16_t FreePort();
// Shuts the sending direction of a socket, so that a later send fails hard.
void ShutdownSending(int fd);
// A connection's keep-alive and delay settings, as the system reports them.
struct ConnectionSettings {
  bool keepAlive = false;
  int keepIdle = -1;
  int keepInterval = -1;
  int keepCount = -1;
  bool noDelay = false;
};
ConnectionSettings SettingsOf(int fd);
// Number of descriptors the process has open.
int OpenDescriptorCount();
