#pragma once
// Serial ports through the calls the program is written against, over Linux tty devices.
//
// Device names: "COMn" in any letter case is /dev/ttyUSB(n-1), where USB-serial adapters
// appear; a name beginning with "/" is a path as it stands; any other name is taken under
// /dev/ ("ttyACM0", "ttyS0", "pts/3"). Opens are exclusive and never block; the line settings
// go to the device exactly, custom rates such as 14400 baud included. Every call on a handle
// that is not open fails without effect.

#include <string>

#include "platform/WinTypes.h"

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

// Line settings, laid out as the 28-byte record of the original platform.
struct DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD fBinary : 1;
  DWORD fParity : 1;
  DWORD fOutxCtsFlow : 1;
  DWORD fOutxDsrFlow : 1;
  DWORD fDtrControl : 2;
  DWORD fDsrSensitivity : 1;
  DWORD fTXContinueOnXoff : 1;
  DWORD fOutX : 1;
  DWORD fInX : 1;
  DWORD fErrorChar : 1;
  DWORD fNull : 1;
  DWORD fRtsControl : 2;
  DWORD fAbortOnError : 1;
  DWORD fDummy2 : 17;
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
};
static_assert(sizeof(DCB) == 28);

// Timeouts in milliseconds. They are kept per handle and read back as set; the program only
// writes to the port and never waits on it, so they do not drive any input or output here.
struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};

HANDLE CreateFileA(const char* fileName, DWORD access, DWORD shareMode, void* security,
                   DWORD creation, DWORD flags, HANDLE templateFile);
BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts);
BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts);
BOOL GetCommState(HANDLE port, DCB* dcb);
// Parses "baud,parity,data,stop" (e.g. "14400,N,8,1") into dcb; a malformed text leaves it
// unchanged and fails.
BOOL BuildCommDCBA(const char* definition, DCB* dcb);
BOOL SetCommState(HANDLE port, DCB* dcb);
// Writes one byte at once, without waiting; a byte the device does not take is lost.
BOOL TransmitCommChar(HANDLE port, char character);
BOOL CloseHandle(HANDLE handle);

// The device a port name opens ("" for an empty name).
std::string SerialDevicePath(const char* portName);

// For tests: makes a port name (matched in any letter case) open another device, such as a
// pseudo-terminal. Nothing the user can do reaches these.
void SetSerialDeviceRedirect(const std::string& portName, const std::string& devicePath);
void ClearSerialDeviceRedirects();
