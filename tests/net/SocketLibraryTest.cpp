// The socket library stand-in: error codes and texts, the start-up count, and the readiness
// messages of WSAAsyncSelect with their re-enabling rules, against real TCP peers.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Sockets.h"
#include "tests/net/NetTestSupport.h"
#include "tests/net/TcpClient.h"
#include "tests/support/HeapInUse.h"

using namespace WinSock;

namespace {

constexpr UINT kNotify = WM_USER + 50;

struct Notification {
  SOCKET socket;
  WORD event;
  WORD error;
};

// A window that records every readiness message it gets, and hands it to react if set.
class RecordingWindow {
 public:
  RecordingWindow() {
    window = CreateMessageWindow([this](TMessage& m) {
      if (m.Msg == kNotify) {
        notes.push_back({static_cast<SOCKET>(m.WParam), LoWord(m.LParam), HiWord(m.LParam)});
        if (react) react(notes.back());
      } else {
        others.push_back(m);
      }
    });
  }
  ~RecordingWindow() { DestroyMessageWindow(window); }

  int Count(WORD event) const {
    int count = 0;
    for (const auto& note : notes) count += note.event == event ? 1 : 0;
    return count;
  }

  HWND window;
  std::function<void(Notification)> react;
  std::vector<Notification> notes;
  std::vector<TMessage> others;
};

class SocketLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(WSAStartup(0x0101, &data), 0); }
  void TearDown() override {
    for (SOCKET s : sockets) closesocket(s);
    EXPECT_EQ(WSACleanup(), 0);
  }

  SOCKET Keep(SOCKET s) {
    sockets.push_back(s);
    return s;
  }

  // The listener: a socket on a free port, with its accept notifications going to the window.
  void Listen() {
    port = FreePort();
    listener = Keep(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(WSAAsyncSelect(listener, recorder.window, kNotify, FD_ACCEPT), 0);
    EXPECT_EQ(listen(listener, 5), 0);
  }

  // A peer's connection to the listener, accepted with read, write and close notifications.
  SOCKET Accepted(TcpClient& peer) {
    EXPECT_TRUE(peer.Connect(port));
    EXPECT_TRUE(RunUntil([&] { return recorder.Count(FD_ACCEPT) > 0; }));
    recorder.notes.clear();
    SOCKET s = Keep(accept(listener, nullptr, nullptr));
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(WSAAsyncSelect(s, recorder.window, kNotify, FD_READ | FD_WRITE | FD_CLOSE), 0);
    return s;
  }

  // Closes a socket the fixture keeps, not to be closed again at the end.
  void Close(SOCKET s) {
    sockets.erase(std::remove(sockets.begin(), sockets.end(), s), sockets.end());
    EXPECT_EQ(closesocket(s), 0);
  }

  // The listener and the client's connection to it.
  SOCKET Connection() {
    Listen();
    return Accepted(client);
  }

  WSADATA data{};
  RecordingWindow recorder;
  std::vector<SOCKET> sockets;
  uint16_t port = 0;
  SOCKET listener = INVALID_SOCKET;
  TcpClient client;
};

TEST(SocketErrorCodes, AreTheWindowsNumbersWithTheCLibrarysTexts) {
  const std::pair<int, int> codes[] = {
      {EWOULDBLOCK, WSAEWOULDBLOCK}, {EAGAIN, 10035}, {EADDRINUSE, 10048},  {ECONNRESET, 10054},
      {ECONNREFUSED, 10061},         {EMFILE, 10024}, {EPIPE, WSAESHUTDOWN}};
  for (const auto& [error, code] : codes) {
    EXPECT_EQ(ErrorCodeFromErrno(error), code) << error;
    if (error != EPIPE) {
      EXPECT_EQ(SocketErrorText(code), std::strerror(error));
    }
  }
  EXPECT_EQ(SocketErrorText(WSANO_DATA), "Valid name, no data record of requested type");
}

TEST(SocketLibraryStartUp, IsAReferenceCount) {
  // Nothing else in this program keeps the library started between tests.
  WSADATA data{};
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(WSACleanup(), 0);
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_NE(s, INVALID_SOCKET);
  closesocket(s);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSAStartup(0x0000, &data), WSAVERNOTSUPPORTED);
}

TEST_F(SocketLibraryTest, AcceptIsNotifiedOnceUntilTheNextAcceptCall) {
  Listen();
  TcpClient first, second;
  ASSERT_TRUE(first.Connect(port));
  ASSERT_TRUE(second.Connect(port));
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_ACCEPT) == 1; }));
  RunFor(30);
  EXPECT_EQ(recorder.Count(FD_ACCEPT), 1);
  EXPECT_EQ(recorder.notes[0].socket, listener);
  Keep(accept(listener, nullptr, nullptr));
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_ACCEPT) == 2; }));
  sockaddr_in peer{};
  int length = sizeof peer;
  Keep(accept(listener, reinterpret_cast<sockaddr*>(&peer), &length));
  EXPECT_STREQ(inet_ntoa(peer.sin_addr), "127.0.0.1");
  RunFor(30);
  EXPECT_EQ(recorder.Count(FD_ACCEPT), 2);
}

TEST_F(SocketLibraryTest, ReadIsNotifiedOncePerReceiveWhileDataRemains) {
  SOCKET s = Connection();
  // Write once after set-up.
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_WRITE) == 1; }));
  client.Send("abcd");
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_READ) == 1; }));
  client.Send("efgh");
  RunFor(30);
  EXPECT_EQ(recorder.Count(FD_READ), 1);
  char buffer[16];
  EXPECT_EQ(recv(s, buffer, 2, 0), 2);
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_READ) == 2; }));
  WinSock::u_long waiting = 0;
  EXPECT_EQ(ioctlsocket(s, FIONREAD, &waiting), 0);
  EXPECT_EQ(waiting, 6u);
  EXPECT_EQ(recv(s, buffer, 6, 0), 6);
  RunFor(30);
  EXPECT_EQ(recorder.Count(FD_READ), 2);
  EXPECT_EQ(recorder.Count(FD_WRITE), 1);
  EXPECT_EQ(recorder.Count(FD_CLOSE), 0);
  EXPECT_EQ(recv(s, buffer, 6, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
}

TEST_F(SocketLibraryTest, ANormalCloseIsNotifiedOnceAfterTheDataIsRead) {
  SOCKET s = Connection();
  client.Send("xy");
  client.Close();
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_READ) == 1; }));
  EXPECT_EQ(recorder.Count(FD_CLOSE), 0);
  char buffer[4];
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 2);
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_CLOSE) == 1; }));
  EXPECT_EQ(recorder.notes.back().error, 0);
  EXPECT_EQ(recorder.notes.back().socket, s);
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 0);
  RunFor(30);
  EXPECT_EQ(recorder.Count(FD_CLOSE), 1);
}

TEST_F(SocketLibraryTest, WriteIsNotifiedAgainAfterASendThatWouldHaveBlocked) {
  SOCKET s = Connection();
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_WRITE) == 1; }));
  const std::string block(65536, 'x');
  int sent = 0;
  while (send(s, block.data(), static_cast<int>(block.size()), 0) > 0) sent += 1;
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  RunFor(30);
  EXPECT_EQ(recorder.Count(FD_WRITE), 1);
  ASSERT_TRUE(RunUntil([&] {
    client.Pump();
    client.ClearReceived();
    return recorder.Count(FD_WRITE) == 2;
  }));
  EXPECT_GT(sent, 0);
}

TEST_F(SocketLibraryTest, ClosingASocketDropsItsNotifications) {
  SOCKET s = Connection();
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_WRITE) == 1; }));
  Close(s);
  // A new socket that gets the same descriptor number starts without the old one's settings.
  Keep(socket(AF_INET, SOCK_STREAM, 0));
  client.Send("late");
  RunFor(50);
  EXPECT_EQ(recorder.Count(FD_READ), 0);
  EXPECT_EQ(recorder.Count(FD_CLOSE), 0);
}

// A handler that runs a loop of its own inside its notification, as the error dialog of a reset
// does: sockets that come and go meanwhile are released as they close, not when it returns.
TEST_F(SocketLibraryTest, SocketsClosedWhileAHandlerRunsALoopAreReleasedAsTheyClose) {
  Listen();
  auto round = [&] {
    TcpClient client;
    SOCKET s = Accepted(client);
    client.Close();
    return RunUntil([&] { return recorder.Count(FD_CLOSE) == 1; }) &&
           recorder.notes.back().socket == s;
  };
  constexpr int kRounds = 200;
  long growth = -1;
  recorder.react = [&](Notification note) {
    if (note.event != FD_CLOSE) return;
    Close(note.socket);
    if (note.error == 0 || growth >= 0) return;
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(round());
    const size_t before = HeapInUse();
    for (int i = 0; i < kRounds; ++i) ASSERT_TRUE(round());
    growth = static_cast<long>(HeapInUse()) - static_cast<long>(before);
  };
  TcpClient reset;
  Accepted(reset);
  reset.Reset();
  ASSERT_TRUE(RunUntil([&] { return growth >= 0; }, 60000));
  EXPECT_LT(growth, kRounds * 64);
}

TEST_F(SocketLibraryTest, AConnectionThatFindsNoDescriptorIsRefusedAndServingGoesOn) {
  Listen();
  TcpClient served, refused, later;
  SOCKET s = Accepted(served);
  ASSERT_TRUE(refused.Connect(port));
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_ACCEPT) == 1; }));
  // Use up every descriptor the process may have.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(OpenDescriptorCount() + 8);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  std::vector<SOCKET> filler;
  for (;;) {
    SOCKET f = socket(AF_INET, SOCK_STREAM, 0);
    if (f == INVALID_SOCKET) break;
    filler.push_back(f);
  }
  EXPECT_EQ(WSAGetLastError(), WSAEMFILE);
  EXPECT_EQ(accept(listener, nullptr, nullptr), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEMFILE);
  // The waiting connection was taken off the queue and closed, so no accept storm follows.
  ASSERT_TRUE(RunUntilClosed(refused));
  RunFor(50);
  EXPECT_EQ(recorder.Count(FD_ACCEPT), 1);
  // The connection already served is still served.
  served.Send("still here");
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_READ) == 1; }));
  char buffer[16];
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 10);
  for (SOCKET f : filler) closesocket(f);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  ASSERT_TRUE(later.Connect(port));
  ASSERT_TRUE(RunUntil([&] { return recorder.Count(FD_ACCEPT) == 2; }));
  EXPECT_NE(Keep(accept(listener, nullptr, nullptr)), INVALID_SOCKET);
}

TEST_F(SocketLibraryTest, ServiceLookupsEndAsAMessageAndCanBeCancelled) {
  std::vector<char> buffer(1024);
  HANDLE task = WSAAsyncGetServByName(recorder.window, WM_USER + 60, "http", "tcp", buffer.data(),
                                      static_cast<int>(buffer.size()));
  ASSERT_NE(task, nullptr);
  ASSERT_TRUE(RunUntil([&] { return !recorder.others.empty(); }));
  EXPECT_EQ(recorder.others[0].Msg, WM_USER + 60);
  EXPECT_EQ(recorder.others[0].WParam, reinterpret_cast<WPARAM>(task));
  EXPECT_EQ(HiWord(recorder.others[0].LParam), 0);
  const auto* entry = reinterpret_cast<const servent*>(buffer.data());
  EXPECT_EQ(static_cast<u_short>(entry->s_port), htons(80));
  EXPECT_STREQ(entry->s_name, "http");

  // (An unknown service's error is checked where it shows, in the listening endpoint.)
  recorder.others.clear();
  std::vector<char> cancelledBuffer(1024, 0);
  HANDLE cancelled = WSAAsyncGetServByName(recorder.window, WM_USER + 60, "http", "tcp",
                                           cancelledBuffer.data(), 1024);
  EXPECT_EQ(WSACancelAsyncRequest(cancelled), 0);
  RunFor(100);
  // Only a lookup that had already ended when it was cancelled can have reported.
  for (const TMessage& message : recorder.others) {
    EXPECT_EQ(message.WParam, reinterpret_cast<WPARAM>(cancelled));
    EXPECT_EQ(HiWord(message.LParam), 0);
  }
  EXPECT_EQ(WSACancelAsyncRequest(nullptr), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

}  // namespace
