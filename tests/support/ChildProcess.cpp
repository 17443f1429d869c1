#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && status_ < 0) {
    kill(pid_, SIGKILL);
    WaitForExit(5000);
  }
  if (!stderrPath_.empty()) unlink(stderrPath_.c_str());
  if (!stdoutPath_.empty()) unlink(stdoutPath_.c_str());
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment,
                         bool keepStandardOutput) {
  char pathTemplate[] = "/tmp/tallyvane-child-XXXXXX";
  const int errFd = mkstemp(pathTemplate);
  if (errFd < 0) return false;
  stderrPath_ = pathTemplate;
  int outFd = -1;
  if (keepStandardOutput) {
    char outTemplate[] = "/tmp/tallyvane-child-XXXXXX";
    outFd = mkstemp(outTemplate);
    if (outFd < 0) return false;
    stdoutPath_ = outTemplate;
  }
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    // A test or benchmark killed from outside must not leave its program, screen or peer
    // running on the private machine's devices.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    // As from a terminal, whatever the test was started under (nohup, say): what the program
    // does with these signals is its own doing.
    signal(SIGHUP, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    dup2(errFd, STDERR_FILENO);
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      dup2(devNull, STDIN_FILENO);
      dup2(devNull, STDOUT_FILENO);
    }
    if (outFd >= 0) dup2(outFd, STDOUT_FILENO);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(errFd);
  if (outFd >= 0) close(outFd);
  return true;
}

void ChildProcess::Signal(int signal) const {
  if (pid_ > 0) kill(pid_, signal);
}

int ChildProcess::WaitForExit(int timeoutMs) {
  if (status_ >= 0) return status_;
  PollUntil(
      [this] {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
      },
      timeoutMs);
  return status_;
}

bool PollUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool ChildProcess::Running() {
  return pid_ > 0 && WaitForExit(0) < 0;
}

std::string ChildProcess::StandardOutput() const {
  std::ifstream in(stdoutPath_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ChildProcess::StandardError() const {
  std::ifstream in(stderrPath_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool HasSanitizerReport(const std::string& text) {
  for (const char* marker : {"AddressSanitizer", "LeakSanitizer", "ThreadSanitizer",
                             "UndefinedBehaviorSanitizer", "runtime error:"})
    if (text.find(marker) != std::string::npos) return true;
  return false;
}
