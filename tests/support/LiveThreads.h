#pragma once
// The number of thread objects alive now, read from the thread facility under its lock.

#include "thread/Thread.h"

inline int LiveThreadCount() {
  TThreadFacility& facility = ThreadFacility();
  CriticalSectionGuard guard(facility.SyncLock);
  return facility.LiveThreadCount;
}
