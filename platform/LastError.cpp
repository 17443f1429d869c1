#include "platform/LastError.h"

namespace {
thread_local DWORD lastError = 0;
}

DWORD GetLastError() {
  return lastError;
}

void SetLastError(DWORD code) {
  lastError = code;
}

BOOL FailWith(int code) {
  SetLastError(static_cast<DWORD>(code));
  return FALSE;
}
