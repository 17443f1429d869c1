#include "platform/Serial.h"

// The kernel's own terminal record (termios2) carries an exact rate in bits per second, which
// the C library's <termios.h> cannot express and whose definitions clash with it, so this file
// talks to the terminal through ioctl alone and never includes <termios.h>.
#include <asm/termbits.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>

#include "platform/MessageWindow.h"
#include "platform/SerialLineSettings.h"
#include "platform/SerialOutput.h"

namespace {

struct OpenPort {
  int fd = -1;
  COMMTIMEOUTS timeouts;
  std::unique_ptr<SerialOutput> output;
};

// Guards the port table. Calls come from the GUI thread, but a lock costs
// nothing here: no call under it can block.
std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}

// Open ports by handle value. Handle values are never reused, so a closed handle cannot come
// to name a port opened later.
std::map<uintptr_t, OpenPort>& Ports() {
  static std::map<uintptr_t, OpenPort> ports;
  return ports;
}
uintptr_t nextHandleValue = 0x1000;

// What the port closed last had not handed to the kernel yet; the next open of the same device
// sends it, any other open drops it.
UnsentTexts& LeftOver() {
  static UnsentTexts unsent;
  return unsent;
}

void DropLeftOver() {
  UnsentTexts& unsent = LeftOver();
  ReportDroppedTexts(unsent.devicePath, unsent.texts.size());
  unsent = UnsentTexts{};
}

// Whether this thread has gathered characters that are not handed on yet.
thread_local bool gatheredHere = false;

// Texts are also handed on when the event loop is about to wait: a handler that runs a loop of
// its own (a dialog) does not end its message first.
void HandOverBeforeTheLoopWaits() {
  static QPointer<QAbstractEventDispatcher> watched;
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (dispatcher == nullptr || dispatcher == watched) return;
  watched = dispatcher;
  QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                   [] { TransmitGatheredCommChars(); });
}

// n for "COMn" with n from 1 and no leading zero, else 0.
int ComPortNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 7 || strncasecmp(name.c_str(), "com", 3) != 0) return 0;
  if (name[3] == '0') return 0;
  int number = 0;
  const char* end = name.data() + name.size();
  const auto [stop, error] = std::from_chars(name.data() + 3, end, number);
  return error == std::errc{} && stop == end && number > 0 ? number : 0;
}

// Unix98 pseudo-terminal slaves have these majors and no entry under /sys.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;

// The master side of a pseudo-terminal is no line with a board at its far end: it is the far
// end of one. Opening the multiplexer (/dev/ptmx, 5:2) even makes a new pseudo-terminal each
// time, which nobody would ever read. Old-style masters have major 2, Unix98 ones 128 to 135.
bool IsPseudoTerminalMaster(dev_t device) {
  const unsigned deviceMajor = major(device);
  return (deviceMajor == 5 && minor(device) == 2) || deviceMajor == 2 ||
         (deviceMajor >= 128 && deviceMajor <= 135);
}

// Whether a character device is a terminal, decided before opening it: opening some devices
// acts on the machine (a watchdog timer starts counting down, say), and the port name comes
// from the user. Without /sys the question cannot be asked, and the checks after the open
// have to do.
bool IsTerminalDevice(dev_t device) {
  const unsigned deviceMajor = major(device);
  if (deviceMajor >= kFirstPtySlaveMajor && deviceMajor <= kLastPtySlaveMajor) return true;
  if (access("/sys/dev/char", F_OK) != 0) return true;
  const std::string entry = "/sys/dev/char/" + std::to_string(deviceMajor) + ":" +
                            std::to_string(minor(device)) + "/subsystem";
  std::error_code error;
  const std::filesystem::path subsystem = std::filesystem::canonical(entry, error);
  return !error && subsystem.filename() == "tty";
}

// The open port of a handle, or null (with EBADF as last error) for anything else. The text
// gathered for the port goes on first: every other call sees the port after it.
OpenPort* FindPort(HANDLE port) {
  const auto found = Ports().find(reinterpret_cast<uintptr_t>(port));
  if (found == Ports().end()) {
    SetLastError(EBADF);
    return nullptr;
  }
  found->second.output->EndText();
  return &found->second;
}

int OpenFlags(DWORD access) {
  const bool reads = (access & GENERIC_READ) != 0;
  const bool writes = (access & GENERIC_WRITE) != 0;
  if (reads && writes) return O_RDWR;
  if (writes) return O_WRONLY;
  if (reads) return O_RDONLY;
  return -1;
}

// Opens the device and takes it exclusively; -1 with errno set on failure.
int OpenExclusive(const std::string& path, int accessFlags, dev_t& device) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return -1;
  if (!S_ISCHR(status.st_mode) || IsPseudoTerminalMaster(status.st_rdev) ||
      !IsTerminalDevice(status.st_rdev)) {
    errno = ENOTTY;
    return -1;
  }
  int fd;
  do {
    fd = open(path.c_str(), accessFlags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;

  auto refuse = [fd](int code) {
    close(fd);
    errno = code;
    return -1;
  };
  // The path may have been replaced between the check and the open.
  if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) return refuse(ENOTTY);
  termios2 settings;
  if (ioctl(fd, TCGETS2, &settings) != 0) return refuse(ENOTTY);
  // Whatever its device number, a descriptor that has a pseudo-terminal number is a master.
  unsigned ptyNumber = 0;
  if (ioctl(fd, TIOCGPTN, &ptyNumber) == 0) return refuse(ENOTTY);
  // Our own controlling terminal would stop the whole process (SIGTTOU) when a background
  // process sets its line or writes to it.
  pid_t session;
  if (ioctl(fd, TIOCGSID, &session) == 0) return refuse(EBUSY);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return refuse(errno == EWOULDBLOCK ? EBUSY : errno);
  // A privileged process may open a terminal in exclusive mode, so look for the mode as well
  // as relying on the open to fail.
  int exclusive = 0;
  if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) return refuse(EBUSY);
  if (ioctl(fd, TIOCEXCL) != 0) return refuse(errno);
  // A port does no character processing; a terminal comes up cooked (line ends translated,
  // input echoed back to the device, XON/XOFF obeyed), so the line is made raw at once.
  MakeRaw(settings);
  if (ioctl(fd, TCSETS2, &settings) != 0) return refuse(errno);
  device = status.st_rdev;
  return fd;
}

void CloseDevice(int fd) {
  // The terminal keeps its exclusive mode beyond our close (a pseudo-terminal slave does while
  // its master lives), which would lock out our own next open.
  ioctl(fd, TIOCNXCL);
  close(fd);
}

// The kernel closes the ports still open when the process ends, but a terminal keeps its
// exclusive mode beyond that close (see CloseDevice): the next start of the program, or anyone
// else, would find the line locked.
void ReleaseExclusiveModeAtExit() {
  std::lock_guard<std::mutex> guard(TableLock());
  for (const auto& [handle, port] : Ports()) ioctl(port.fd, TIOCNXCL);
}

}  // namespace

HANDLE CreateFileA(const char* fileName, DWORD access, DWORD /*shareMode*/, void* /*security*/,
                   DWORD creation, DWORD /*flags*/, HANDLE /*templateFile*/) {
  std::lock_guard<std::mutex> guard(TableLock());
  auto fail = [](int code) {
    DropLeftOver();
    SetLastError(static_cast<DWORD>(code));
    return INVALID_HANDLE_VALUE;
  };
  const int accessFlags = OpenFlags(access);
  if (accessFlags < 0 || creation != OPEN_EXISTING) return fail(EINVAL);
  const std::string path = SerialDevicePath(fileName);
  if (path.empty()) return fail(ENOENT);
  dev_t device = 0;
  const int fd = OpenExclusive(path, accessFlags, device);
  if (fd < 0) return fail(errno);
  const uintptr_t handle = nextHandleValue;
  nextHandleValue += 0x10;
  auto output = std::make_unique<SerialOutput>(fd, path, device, [handle] {
    std::lock_guard<std::mutex> guard(TableLock());
    const auto found = Ports().find(handle);
    if (found != Ports().end()) found->second.output->Drain();
  });
  UnsentTexts& unsent = LeftOver();
  if (unsent.devicePath == path && unsent.device == device) {
    output->Adopt(std::move(unsent));
    unsent = UnsentTexts{};
  } else {
    DropLeftOver();
  }
  Ports()[handle] = OpenPort{fd, COMMTIMEOUTS{}, std::move(output)};
  // Registered after the table exists, so that it runs before the table is destroyed.
  static std::once_flag exitHandler;
  std::call_once(exitHandler, [] { std::atexit(ReleaseExclusiveModeAtExit); });
  return reinterpret_cast<HANDLE>(handle);
}

BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) {
  std::lock_guard<std::mutex> guard(TableLock());
  OpenPort* open = FindPort(port);
  if (open == nullptr) return FALSE;
  if (timeouts == nullptr) return FailWith(EINVAL);
  *timeouts = open->timeouts;
  return TRUE;
}

BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) {
  std::lock_guard<std::mutex> guard(TableLock());
  OpenPort* open = FindPort(port);
  if (open == nullptr) return FALSE;
  if (timeouts == nullptr) return FailWith(EINVAL);
  open->timeouts = *timeouts;
  return TRUE;
}

BOOL GetCommState(HANDLE port, DCB* dcb) {
  std::lock_guard<std::mutex> guard(TableLock());
  OpenPort* open = FindPort(port);
  if (open == nullptr) return FALSE;
  if (dcb == nullptr) return FailWith(EINVAL);
  termios2 settings;
  if (ioctl(open->fd, TCGETS2, &settings) != 0) return FailWith(errno);
  // Not every terminal has modem lines (a pseudo-terminal has none); DTR and RTS then count as
  // on, as a port that has them starts out.
  int modemLines = TIOCM_DTR | TIOCM_RTS;
  if (ioctl(open->fd, TIOCMGET, &modemLines) != 0) modemLines = TIOCM_DTR | TIOCM_RTS;

  ReadLineSettings(settings, modemLines, *dcb);
  return TRUE;
}

BOOL SetCommState(HANDLE port, DCB* dcb) {
  std::lock_guard<std::mutex> guard(TableLock());
  OpenPort* open = FindPort(port);
  if (open == nullptr) return FALSE;
  if (dcb == nullptr || !LineSettingsValid(*dcb)) return FailWith(EINVAL);
  termios2 settings;
  if (ioctl(open->fd, TCGETS2, &settings) != 0) return FailWith(errno);
  WriteLineSettings(*dcb, settings);
  // Applied at once: waiting for the output to drain could hang on a stalled line.
  if (ioctl(open->fd, TCSETS2, &settings) != 0) return FailWith(errno);
  open->output->ReadLineRate();
  // The modem lines the record holds steady; a handshake drives RTS itself. A terminal without
  // modem lines (a pseudo-terminal) refuses these, which changes nothing.
  const int dtr = TIOCM_DTR;
  ioctl(open->fd, dcb->fDtrControl == DTR_CONTROL_DISABLE ? TIOCMBIC : TIOCMBIS, &dtr);
  if (dcb->fRtsControl != RTS_CONTROL_HANDSHAKE) {
    const int rts = TIOCM_RTS;
    ioctl(open->fd, dcb->fRtsControl == RTS_CONTROL_DISABLE ? TIOCMBIC : TIOCMBIS, &rts);
  }
  return TRUE;
}

BOOL TransmitCommChar(HANDLE port, char character) {
  std::lock_guard<std::mutex> guard(TableLock());
  const auto found = Ports().find(reinterpret_cast<uintptr_t>(port));
  if (found == Ports().end()) return FailWith(EBADF);
  SerialOutput& output = *found->second.output;
  if (HandlingMessage()) {
    output.Gather(character);
    gatheredHere = true;
    HandOverBeforeTheLoopWaits();
    return TRUE;
  }
  output.EndText();
  // Terminals raise no SIGPIPE; a pulled adapter only makes the write fail (EIO, ENODEV, ENXIO).
  if (!output.SendNow(character)) return FailWith(errno);
  return TRUE;
}

void TransmitGatheredCommChars() {
  if (!gatheredHere) return;
  gatheredHere = false;
  std::lock_guard<std::mutex> guard(TableLock());
  for (auto& [handle, open] : Ports()) open.output->EndText();
}

BOOL CloseHandle(HANDLE port) {
  std::lock_guard<std::mutex> guard(TableLock());
  OpenPort* open = FindPort(port);
  if (open == nullptr) return FALSE;
  UnsentTexts unsent = open->output->Close();
  CloseDevice(open->fd);
  Ports().erase(reinterpret_cast<uintptr_t>(port));
  if (!unsent.texts.empty()) {
    DropLeftOver();
    LeftOver() = std::move(unsent);
  }
  return TRUE;
}

std::string SerialDevicePath(const char* portName) {
  if (portName == nullptr || portName[0] == '\0') return "";
  const std::string name = portName;
  if (const int number = ComPortNumber(name); number > 0) {
    return "/dev/ttyUSB" + std::to_string(number - 1);
  }
  if (name[0] == '/') return name;
  return "/dev/" + name;
}
