// Opening, holding and writing to a port, against a pseudo-terminal as the device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/Serial.h"
#include "support/PseudoTerminal.h"

namespace {

constexpr int kArrivalMs = 2000;  // generous: passing it means the bytes never came

HANDLE OpenPath(const std::string& path, DWORD access = GENERIC_READ | GENERIC_WRITE) {
  return CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Whether a descriptor of the device sees it in exclusive mode.
bool InExclusiveMode(int fd) {
  int exclusive = 0;
  return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// The line settings of a handle that is no open port can neither be read, which leaves the record
// as it was, nor set.
void ExpectLineSettingsRefused(HANDLE handle) {
  DCB dcb;
  std::memset(static_cast<void*>(&dcb), 0x5A, sizeof dcb);
  const DCB before = dcb;
  EXPECT_FALSE(GetCommState(handle, &dcb));
  EXPECT_EQ(std::memcmp(&dcb, &before, sizeof dcb), 0);
  ASSERT_TRUE(BuildCommDCBA("14400,N,8,1", &dcb));
  EXPECT_FALSE(SetCommState(handle, &dcb));
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board.IsOpen());
    char pattern[] = "/tmp/tallyvane-serial-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory = pattern;
  }
  void TearDown() override {
    board.RemoveSymlink();
    std::filesystem::remove_all(directory);
  }

  // Another program's descriptor of the board's device.
  int OpenAsOtherProgram() const {
    return open(board.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }

  PseudoTerminal board;
  std::string directory;
};

TEST_F(SerialPortTest, WhileWeHoldThePortNobodyElseGetsItExclusively) {
  HANDLE port = OpenPath(board.SlavePath());
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  ASSERT_NE(port, nullptr);

  // Not we ourselves a second time,
  EXPECT_EQ(OpenPath(board.SlavePath()), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBUSY));
  // nor another program: its lock fails and it finds the terminal in exclusive mode (a plain
  // open fails outright unless the other program is privileged).
  const int other = OpenAsOtherProgram();
  if (other >= 0) {
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_TRUE(InExclusiveMode(other));
    close(other);
  } else {
    EXPECT_EQ(errno, EBUSY);
  }

  // Closing lets go of both, so the next open (the watchdog's reopen) succeeds.
  ASSERT_TRUE(CloseHandle(port));
  const int afterwards = OpenAsOtherProgram();
  ASSERT_GE(afterwards, 0);
  EXPECT_FALSE(InExclusiveMode(afterwards));
  EXPECT_EQ(flock(afterwards, LOCK_EX | LOCK_NB), 0);
  close(afterwards);
  for (int cycle = 0; cycle < 3; ++cycle) {
    port = OpenPath(board.SlavePath());
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << "cycle " << cycle;
    ASSERT_TRUE(CloseHandle(port));
  }
}

TEST_F(SerialPortTest, AProgramThatEndsWithThePortOpenLeavesTheLineFree) {
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Ends the way the program does, without closing the port.
    std::exit(OpenPath(board.SlavePath()) == INVALID_HANDLE_VALUE ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  const int afterwards = OpenAsOtherProgram();
  ASSERT_GE(afterwards, 0);
  EXPECT_FALSE(InExclusiveMode(afterwards));
  close(afterwards);
}

TEST_F(SerialPortTest, APortAnotherProgramHoldsDoesNotOpen) {
  // Held by an flock lock.
  const int locker = OpenAsOtherProgram();
  ASSERT_GE(locker, 0);
  ASSERT_EQ(flock(locker, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(OpenPath(board.SlavePath()), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBUSY));
  close(locker);

  // Held in the terminal's exclusive mode; we may be privileged enough to open it anyway,
  // but must not take it.
  const int holder = OpenAsOtherProgram();
  ASSERT_GE(holder, 0);
  ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
  EXPECT_EQ(OpenPath(board.SlavePath()), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBUSY));
  // Our failed attempt left the other program's exclusive mode alone.
  EXPECT_TRUE(InExclusiveMode(holder));
  ioctl(holder, TIOCNXCL);
  close(holder);

  HANDLE port = OpenPath(board.SlavePath());
  EXPECT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(port));
}

TEST_F(SerialPortTest, ThingsThatAreNotTerminalsAreRefused) {
  const std::string file = directory + "/regular";
  FILE* created = fopen(file.c_str(), "w");
  ASSERT_NE(created, nullptr);
  fputs("not a port", created);
  fclose(created);
  const std::string linkToFile = directory + "/linkToFile";
  std::filesystem::create_symlink(file, linkToFile);
  const std::string fifo = directory + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A pseudo-terminal master is a terminal, but the board would be the program itself.
  const std::string linkToMultiplexer = directory + "/ttyUSB0";
  std::filesystem::create_symlink("/dev/ptmx", linkToMultiplexer);

  for (const std::string& path :
       {file, linkToFile, directory, fifo, std::string("/dev/null"), std::string("/dev/zero"),
        directory + "/missing", std::string("/dev/ptmx"), linkToMultiplexer,
        "/proc/self/fd/" + std::to_string(board.MasterFd())}) {
    EXPECT_EQ(OpenPath(path), INVALID_HANDLE_VALUE) << path;
  }
  // Refusing the regular file did not touch it.
  EXPECT_EQ(std::filesystem::file_size(file), 10u);
}

TEST_F(SerialPortTest, OurOwnControllingTerminalIsRefused) {
  // A child process in a session of its own makes the board's terminal its controlling
  // terminal; setting that line or writing to it from the background would stop the process.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setsid() < 0) _exit(10);
    const int controlling = open(board.SlavePath().c_str(), O_RDWR);
    if (controlling < 0) _exit(11);
    if (OpenPath(board.SlavePath()) != INVALID_HANDLE_VALUE) _exit(1);
    if (CreateFileA("tty", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr) !=
        INVALID_HANDLE_VALUE) {
      _exit(2);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SerialPortTest, AccessAndCreationMode) {
  EXPECT_EQ(OpenPath(board.SlavePath(), 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA(board.SlavePath().c_str(), GENERIC_WRITE, 0, nullptr, 2, 0, nullptr),
            INVALID_HANDLE_VALUE);
  // Read-only access cannot send.
  HANDLE readOnly = OpenPath(board.SlavePath(), GENERIC_READ);
  ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(TransmitCommChar(readOnly, 'x'));
  EXPECT_TRUE(CloseHandle(readOnly));
  HANDLE writeOnly = OpenPath(board.SlavePath(), GENERIC_WRITE);
  ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(TransmitCommChar(writeOnly, 'w'));
  EXPECT_TRUE(CloseHandle(writeOnly));
  EXPECT_EQ(board.WaitForBytes(1, kArrivalMs), "w");
  EXPECT_EQ(board.ReadAvailable(20), "");
}

TEST_F(SerialPortTest, EachTransmitCommCharSendsExactlyOneByteInOrder) {
  HANDLE port = OpenPath(board.SlavePath());
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(TransmitCommChar(port, '?'));
  EXPECT_EQ(board.ReadAvailable(), "?");  // already there: nothing is held back
  EXPECT_TRUE(TransmitCommChar(port, '/'));
  EXPECT_TRUE(TransmitCommChar(port, '/'));
  EXPECT_EQ(board.WaitForBytes(2, kArrivalMs), "//");
  EXPECT_TRUE(CloseHandle(port));
  EXPECT_EQ(board.ReadAvailable(20), "");
}

TEST_F(SerialPortTest, AByteTheDeviceCannotTakeIsLostWithoutWaiting) {
  HANDLE port = OpenPath(board.SlavePath());
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  // Nobody reads the board: sooner or later the terminal is full and refuses the next byte,
  // and the call returns at once rather than waiting for room.
  long accepted = 0;
  constexpr long kLimit = 16L * 1024 * 1024;
  while (accepted < kLimit && TransmitCommChar(port, 'a')) ++accepted;
  ASSERT_LT(accepted, kLimit);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(EAGAIN));
  EXPECT_FALSE(TransmitCommChar(port, 'b'));

  // What was taken arrives; the refused bytes never do, and once there is room again the port
  // goes on.
  std::string arrived;
  for (std::string piece; !(piece = board.ReadAvailable(50)).empty();) arrived += piece;
  EXPECT_EQ(arrived.size(), static_cast<size_t>(accepted));
  EXPECT_EQ(arrived.find('b'), std::string::npos);
  EXPECT_TRUE(TransmitCommChar(port, 'c'));
  EXPECT_EQ(board.WaitForBytes(1, kArrivalMs), "c");
  EXPECT_TRUE(CloseHandle(port));
}

// Opened through a symbolic link, as /dev/ttyUSB0 may be one, the port is the device; when the
// device vanishes, calls fail and nothing worse.
TEST_F(SerialPortTest, ALinkToTheTerminalIsTheSameDeviceAndItsVanishingOnlyMakesCallsFail) {
  const std::string link = directory + "/ttyUSB0";
  ASSERT_TRUE(board.CreateSymlink(link));
  HANDLE port = OpenPath(link);
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  const std::string oldPath = board.SlavePath();
  // The lock is on the device, not on the name it was opened by.
  EXPECT_EQ(OpenPath(oldPath), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(TransmitCommChar(port, '?'));
  EXPECT_EQ(board.WaitForBytes(1, kArrivalMs), "?");

  board.Unplug();
  EXPECT_FALSE(TransmitCommChar(port, '?'));
  const DWORD code = GetLastError();
  EXPECT_TRUE(code == EIO || code == ENXIO || code == ENODEV) << code;
  ExpectLineSettingsRefused(port);
  EXPECT_TRUE(CloseHandle(port));
  // Neither the old device nor the dangling link opens.
  EXPECT_EQ(OpenPath(oldPath), INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenPath(link), INVALID_HANDLE_VALUE);

  // Plugged in again (a new terminal behind the same link): the port opens and works.
  board.Replug();
  ASSERT_TRUE(board.IsOpen());
  port = OpenPath(link);
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(TransmitCommChar(port, '/'));
  EXPECT_EQ(board.WaitForBytes(1, kArrivalMs), "/");
  EXPECT_TRUE(CloseHandle(port));
}

TEST_F(SerialPortTest, CallsOnHandlesThatAreNotOpenFailWithoutEffect) {
  HANDLE closed = OpenPath(board.SlavePath());
  ASSERT_NE(closed, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(CloseHandle(closed));
  HANDLE live = OpenPath(board.SlavePath());
  ASSERT_NE(live, INVALID_HANDLE_VALUE);
  EXPECT_NE(live, closed);  // a closed handle never comes back as a new port's
  int stackObject = 0;

  COMMTIMEOUTS stored{1, 2, 3, 4, 5};
  ASSERT_TRUE(SetCommTimeouts(live, &stored));
  for (HANDLE handle : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, closed,
                        static_cast<HANDLE>(&stackObject)}) {
    COMMTIMEOUTS timeouts{9, 9, 9, 9, 9};
    EXPECT_FALSE(GetCommTimeouts(handle, &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 9u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 9u);
    EXPECT_FALSE(SetCommTimeouts(handle, &timeouts));
    ExpectLineSettingsRefused(handle);
    EXPECT_FALSE(TransmitCommChar(handle, 'x'));
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
  }
  // The open port saw none of it.
  EXPECT_EQ(board.ReadAvailable(20), "");
  COMMTIMEOUTS timeouts{};
  ASSERT_TRUE(GetCommTimeouts(live, &timeouts));
  EXPECT_EQ(timeouts.ReadIntervalTimeout, 1u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 5u);
  EXPECT_NE(board.ReadLineSettings().baud, 14400u);
  EXPECT_TRUE(CloseHandle(live));
  EXPECT_FALSE(CloseHandle(live));
}

TEST_F(SerialPortTest, TimeoutsAreKeptPerHandle) {
  HANDLE port = OpenPath(board.SlavePath());
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  COMMTIMEOUTS timeouts{7, 7, 7, 7, 7};
  ASSERT_TRUE(GetCommTimeouts(port, &timeouts));
  const COMMTIMEOUTS none{};  // every field 0
  EXPECT_EQ(std::memcmp(&timeouts, &none, sizeof none), 0);

  COMMTIMEOUTS working{0, 0, 100, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port, &working));
  COMMTIMEOUTS readBack{};
  ASSERT_TRUE(GetCommTimeouts(port, &readBack));
  EXPECT_EQ(readBack.ReadTotalTimeoutConstant, 100u);
  EXPECT_FALSE(GetCommTimeouts(port, nullptr));
  EXPECT_FALSE(SetCommTimeouts(port, nullptr));

  // A second port has its own, and a reopened port starts afresh.
  PseudoTerminal second;
  ASSERT_TRUE(second.IsOpen());
  HANDLE other = OpenPath(second.SlavePath());
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(GetCommTimeouts(other, &readBack));
  EXPECT_EQ(readBack.ReadTotalTimeoutConstant, 0u);
  EXPECT_TRUE(CloseHandle(other));
  EXPECT_TRUE(CloseHandle(port));
  port = OpenPath(board.SlavePath());
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(GetCommTimeouts(port, &readBack));
  EXPECT_EQ(readBack.ReadTotalTimeoutConstant, 0u);
  EXPECT_TRUE(CloseHandle(port));
}

}  // namespace
