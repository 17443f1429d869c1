#include "support/PrivateSystem.h"

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

bool entered = false;
std::string problem = "the private machine was not set up (EnterPrivateSystem not called)";

bool Fail(const std::string& step) {
  problem = "no private namespaces here: " + step + ": " + std::strerror(errno);
  return false;
}

bool WriteFile(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return written;
}

bool EnterNamespaces() {
  if (geteuid() == 0) {
    if (unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) return Fail("unshare");
    return true;
  }
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0) return Fail("unshare");
  if (!WriteFile("/proc/self/setgroups", "deny") ||
      !WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
      !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
    return Fail("user namespace mapping");
  }
  return true;
}

bool BindDevice(const std::string& stage, const char* name) {
  const std::string target = stage + "/" + name;
  const int fd = open(target.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return Fail("create " + target);
  close(fd);
  const std::string source = std::string("/dev/") + name;
  if (mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0)
    return Fail("bind " + source);
  return true;
}

// A /dev with the harmless devices and a pseudo-terminal instance of its own: no serial
// adapters, no other terminals, nothing else of the machine's.
bool MakePrivateDev() {
  char pattern[] = "/tmp/tallyvane-dev-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return Fail("mkdtemp");
  const std::string stage = pattern;
  if (mount("tmpfs", stage.c_str(), "tmpfs", MS_NOSUID | MS_NOEXEC, "mode=755") != 0)
    return Fail("mount tmpfs for /dev");
  for (const char* device : {"null", "zero", "full", "random", "urandom", "tty"})
    if (!BindDevice(stage, device)) return false;
  const std::string pts = stage + "/pts";
  const std::string shm = stage + "/shm";
  if (mkdir(pts.c_str(), 0755) != 0 || mkdir(shm.c_str(), 01777) != 0) return Fail("mkdir");
  if (mount("devpts", pts.c_str(), "devpts", MS_NOSUID | MS_NOEXEC,
            "newinstance,ptmxmode=0666,mode=0620") != 0)
    return Fail("mount devpts");
  if (symlink("pts/ptmx", (stage + "/ptmx").c_str()) != 0) return Fail("symlink ptmx");
  if (mount("tmpfs", shm.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0)
    return Fail("mount /dev/shm");
  if (mount(stage.c_str(), "/dev", nullptr, MS_MOVE, nullptr) != 0) return Fail("move to /dev");
  rmdir(stage.c_str());
  return true;
}

bool BringUpLoopback() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail("socket");
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
  up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  const int savedErrno = errno;
  close(fd);
  errno = savedErrno;
  return up || Fail("loopback up");
}

// Runs a program to its end; true when it exited with 0.
bool RunQuietly(const char* const* argv) {
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    execvp(argv[0], const_cast<char* const*>(argv));
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void EnterPrivateSystem() {
  if (entered) return;
  if (!EnterNamespaces()) return;
  // Nothing mounted from here on reaches the machine's own mount table.
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    Fail("make mounts private");
    return;
  }
  if (!MakePrivateDev()) return;
  // X servers started here meet only each other; the rest of /tmp stays the machine's, for the
  // work tree may well be in it.
  mkdir("/tmp/.X11-unix", 01777);
  if (mount("tmpfs", "/tmp/.X11-unix", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0) {
    Fail("mount /tmp/.X11-unix");
    return;
  }
  if (!BringUpLoopback()) return;
  entered = true;
  problem.clear();
}

bool InPrivateSystem() {
  return entered;
}

const std::string& PrivateSystemProblem() {
  return problem;
}

bool AddPrivateService(const std::string& name, int port) {
  if (!entered) return false;
  static const std::string path = "/dev/shm/tallyvane-services";
  static std::string services;
  if (services.empty()) {
    std::ifstream original("/etc/services");
    services.assign(std::istreambuf_iterator<char>(original), std::istreambuf_iterator<char>());
    services += '\n';
    std::ofstream(path).flush();
    if (mount(path.c_str(), "/etc/services", nullptr, MS_BIND, nullptr) != 0) return false;
  }
  services += name + ' ' + std::to_string(port) + "/tcp\n";
  // Written through the bind mount's source, so the name service reads it at its next lookup.
  std::ofstream file(path, std::ios::trunc);
  file << services;
  return static_cast<bool>(file.flush());
}

bool SilenceAddress(const std::string& address) {
  if (!entered) return false;
  const std::string route = address + "/32";
  const char* const argv[] = {"ip",          "route", "add",   "blackhole",
                              route.c_str(), "table", "local", nullptr};
  return RunQuietly(argv);
}
