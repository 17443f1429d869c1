// Sets every priority level after every other on a worker thread as a user without privileges
// would. Started as root, it takes the RLIMIT_NICE given as its argument (soft and hard), drops
// to the unused user and group 65534 and then works through the levels; started as another
// user, it only lowers its soft limit to the one given. It prints one line per level, as it was
// first set from normal: "<level> <policy> <nice>"; then a line for each
// transition that failed or left another state than that, and "done". "skip" when the limit
// given cannot be had.
#include <grp.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/Exceptions.h"
#include "thread/Thread.h"

namespace {

class HeldThread : public TThread {
 public:
  HeldThread() : TThread(true) {}

 protected:
  void Run() override {}
};

const char* const kNames[] = {"plIdle",        "plLowest",  "plBelowNormal", "plNormal",
                              "plAboveNormal", "plHighest", "plTimeCritical"};

std::string PolicyName(int policy) {
  switch (policy & ~SCHED_RESET_ON_FORK) {
    case SCHED_OTHER:
      return "normal";
    case SCHED_BATCH:
      return "batch";
    case SCHED_IDLE:
      return "idle";
    default:
      return "other:" + std::to_string(policy);
  }
}

std::string StateOf(TThread& thread) {
  const pid_t tid = static_cast<pid_t>(thread.OsThreadId);
  return PolicyName(sched_getscheduler(tid)) + " " +
         std::to_string(getpriority(PRIO_PROCESS, static_cast<id_t>(tid)));
}

bool BecomeOrdinaryUser(rlim_t limit) {
  if (geteuid() != 0) {
    rlimit current{};
    getrlimit(RLIMIT_NICE, &current);
    if (limit > current.rlim_max) return false;
    current.rlim_cur = limit;
    return setrlimit(RLIMIT_NICE, &current) == 0;
  }
  // Threads begin at the nice value of the thread that makes them: 0, as for a login.
  setpriority(PRIO_PROCESS, 0, 0);
  // Raising the hard limit takes CAP_SYS_RESOURCE, which a container may withhold even from
  // root.
  const rlimit wanted{limit, limit};
  if (setrlimit(RLIMIT_NICE, &wanted) != 0) return false;
  if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0 || setuid(0) == 0) {
    std::printf("error: could not drop privileges\n");
    std::exit(2);
  }
  // Changing identity makes the process undumpable, which would keep the sanitizers out of
  // its own memory map at exit.
  prctl(PR_SET_DUMPABLE, 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  if (!BecomeOrdinaryUser(static_cast<rlim_t>(std::atoi(argv[1])))) {
    std::printf("skip\n");
    return 0;
  }
  auto* thread = TThread::Create<HeldThread>();
  std::string states[7];
  for (int level = 0; level < 7; ++level) {
    try {
      thread->SetPriorityLevel(plNormal);
      thread->SetPriorityLevel(static_cast<TThreadPriority>(level));
      states[level] = StateOf(*thread);
      std::printf("%s %s\n", kNames[level], states[level].c_str());
    } catch (const Exception& e) {
      std::printf("%s failed: %s\n", kNames[level], e.Message().c_str());
    }
  }
  for (int from = 0; from < 7; ++from) {
    for (int to = 0; to < 7; ++to) {
      try {
        thread->SetPriorityLevel(static_cast<TThreadPriority>(from));
        thread->SetPriorityLevel(static_cast<TThreadPriority>(to));
        const std::string state = StateOf(*thread);
        if (state != states[to])
          std::printf("%s -> %s gave %s\n", kNames[from], kNames[to], state.c_str());
      } catch (const Exception& e) {
        std::printf("%s -> %s failed: %s\n", kNames[from], kNames[to], e.Message().c_str());
      }
    }
  }
  delete thread;
  std::printf("done\n");
  return 0;
}
