#pragma once
// The handful of scalar types and constants the program's calls are written against.

#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HANDLE = void*;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t{0});

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_SIZE = 0x0005;  // LParam: new client width (low word) and height (high word)
constexpr UINT WM_USER = 0x0400;

inline WORD LoWord(LPARAM value) {
  return static_cast<WORD>(static_cast<uintptr_t>(value) & 0xFFFF);
}
inline WORD HiWord(LPARAM value) {
  return static_cast<WORD>((static_cast<uintptr_t>(value) >> 16) & 0xFFFF);
}
inline LPARAM MakeLParam(WORD low, WORD high) {
  return static_cast<LPARAM>(static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16));
}
