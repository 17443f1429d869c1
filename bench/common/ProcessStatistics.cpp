#include "bench/common/ProcessStatistics.h"

#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string ProcPath(pid_t pid, const std::string& rest) {
  return "/proc/" + (pid == 0 ? std::string("self") : std::to_string(pid)) + "/" + rest;
}

uint64_t ClockNs(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000 + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace

uint64_t ThreadCpuNs(pid_t pid, pid_t tid) {
  std::ifstream file(ProcPath(pid, "task/" + std::to_string(tid) + "/schedstat"));
  uint64_t ns = 0;
  file >> ns;
  return ns;
}

uint64_t ProcessCpuNs(pid_t pid) {
  uint64_t sum = 0;
  DIR* tasks = opendir(ProcPath(pid, "task").c_str());
  if (!tasks) return 0;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    sum += ThreadCpuNs(pid, static_cast<pid_t>(std::atol(entry->d_name)));
  }
  closedir(tasks);
  return sum;
}

uint64_t ThisThreadCpuNs() {
  return ClockNs(CLOCK_THREAD_CPUTIME_ID);
}

uint64_t ThisProcessCpuNs() {
  return ClockNs(CLOCK_PROCESS_CPUTIME_ID);
}

uint64_t MachineBusyNs() {
  std::ifstream stat("/proc/stat");
  std::string cpu;
  uint64_t user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
  stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
  return (user + nice + system + irq + softirq + steal) * (1000000000 / sysconf(_SC_CLK_TCK));
}

long ResidentBytes(pid_t pid) {
  std::ifstream statm(ProcPath(pid, "statm"));
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}
