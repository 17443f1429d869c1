#pragma once
// The calling thread's last error code, as the operating-system calls of this layer leave it.
// Codes are the C library's errno values.

#include "platform/WinTypes.h"

DWORD GetLastError();
void SetLastError(DWORD code);
// Leaves the errno value code as the last error and returns FALSE, as a failed call does.
BOOL FailWith(int code);
