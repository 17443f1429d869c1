#pragma once
// Bytes the process holds on its heap now, as its allocator counts them.

#include <malloc.h>

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' allocator, which the C library's statistics do not see.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

inline size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}
