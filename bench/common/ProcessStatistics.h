#pragma once
// What the kernel tells of a process: CPU time (the scheduler's own account, in nanoseconds) and
// resident memory.

#include <sys/types.h>

#include <cstdint>

uint64_t ThreadCpuNs(pid_t pid, pid_t tid);
// Every living thread of the process.
uint64_t ProcessCpuNs(pid_t pid);
uint64_t ThisThreadCpuNs();
// This process, threads that have ended included.
uint64_t ThisProcessCpuNs();
// Busy time of every processor of the machine (all but idle and I/O wait).
uint64_t MachineBusyNs();
// pid 0 is this process.
long ResidentBytes(pid_t pid = 0);
