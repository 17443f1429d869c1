#pragma once
// Serial ports in the shape the program's serial link is written against: a port is opened by
// a device name such as "COM1", its line settings travel in a DCB record, its timeouts in a
// COMMTIMEOUTS record, and characters go out one at a time.
//
// Device names: "COMn" (any letter case, n from 1 to 9999 without leading zeros) is
// /dev/ttyUSB(n-1), where USB-serial adapters appear; a name that begins with "/" is a path as
// it stands; any other name is taken under /dev/ ("ttyACM0", "ttyS0", "pts/3", and "COM0" or
// "COM01" too). An empty name opens nothing.
//
// A port is held exclusively: the open takes an flock lock and the terminal's exclusive mode,
// and it fails when another program holds either. Both end with the process, also for a port it
// never closed. The open makes the line raw, as a serial port is: no line-end translation, no
// echo of what the device sends, no line editing or signal characters, no software flow
// control; every byte goes out as written. Only terminal devices open; regular files,
// directories, other character devices, the master side of a pseudo-terminal (/dev/ptmx among
// them) and the caller's own controlling terminal are refused. Nothing here blocks: the device
// is opened non-blocking and every call returns at once.
//
// Handles are checked against the table of open ports, so a null, invalid or closed handle
// makes every call fail without effect. Failed calls leave an errno value for GetLastError.

#include <string>

#include "platform/LastError.h"
#include "platform/WinTypes.h"

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
// The only creation mode a port accepts: devices are never created.
constexpr DWORD OPEN_EXISTING = 3;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;

constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;

constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;

// Line settings of a port, laid out as the 28-byte record the program sizes it by.
struct DCB {
  DWORD DCBlength = 0;
  DWORD BaudRate = 0;
  DWORD fBinary : 1 = 0;
  DWORD fParity : 1 = 0;
  DWORD fOutxCtsFlow : 1 = 0;
  DWORD fOutxDsrFlow : 1 = 0;
  DWORD fDtrControl : 2 = 0;
  DWORD fDsrSensitivity : 1 = 0;
  DWORD fTXContinueOnXoff : 1 = 0;
  DWORD fOutX : 1 = 0;
  DWORD fInX : 1 = 0;
  DWORD fErrorChar : 1 = 0;
  DWORD fNull : 1 = 0;
  DWORD fRtsControl : 2 = 0;
  DWORD fAbortOnError : 1 = 0;
  DWORD fDummy2 : 17 = 0;
  WORD wReserved = 0;
  WORD XonLim = 0;
  WORD XoffLim = 0;
  BYTE ByteSize = 0;
  BYTE Parity = 0;
  BYTE StopBits = 0;
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  WORD wReserved1 = 0;
};
static_assert(sizeof(DCB) == 28);

// Timeouts of a port in milliseconds. They are kept per handle and read back as set, but they
// govern no transfer: output never waits, and ports are never read.
struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout = 0;
  DWORD ReadTotalTimeoutMultiplier = 0;
  DWORD ReadTotalTimeoutConstant = 0;
  DWORD WriteTotalTimeoutMultiplier = 0;
  DWORD WriteTotalTimeoutConstant = 0;
};

// Opens the port of the device name exclusively. access is GENERIC_READ and/or GENERIC_WRITE;
// shareMode, security, flags and templateFile are ignored (a port is never shared, I/O is
// never overlapped); creation must be OPEN_EXISTING. INVALID_HANDLE_VALUE on failure.
HANDLE CreateFileA(const char* fileName, DWORD access, DWORD shareMode, void* security,
                   DWORD creation, DWORD flags, HANDLE templateFile);
// A fresh handle reports all timeouts zero; afterwards what SetCommTimeouts stored.
BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts);
BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts);
// Fills the record from the device's current settings: rate, byte size, parity, stop bits,
// parity checking (fParity), software flow control (fOutX, fInX, XonChar, XoffChar), the
// hardware handshake (fOutxCtsFlow with fRtsControl RTS_CONTROL_HANDSHAKE, one setting here)
// and the DTR and RTS lines (on when the device has no modem lines). Fields with no meaning
// on this system read as a plain port has them: fBinary and fTXContinueOnXoff 1, the rest 0.
// DCBlength becomes the record's size.
BOOL GetCommState(HANDLE port, DCB* dcb);
// Reads "baud,parity,data,stop" (e.g. "14400,N,8,1"; parity N, E, O, M or S in either case;
// data 5 to 8; stop 1, 1.5 or 2; blanks around the fields allowed) into BaudRate, Parity,
// ByteSize and StopBits. A malformed text fails and leaves the record unchanged.
BOOL BuildCommDCBA(const char* definition, DCB* dcb);
// Applies every field GetCommState fills from the device back to it: BaudRate (any rate, set
// exactly), ByteSize, Parity, StopBits, fParity, fOutX, fInX, XonChar, XoffChar, the hardware
// handshake (fOutxCtsFlow or fRtsControl RTS_CONTROL_HANDSHAKE), and DTR and RTS (DISABLE
// lowers the line, any other control raises it). The other fields have no meaning here and are
// ignored; the line stays raw. So a record filled by GetCommState and changed in a few fields
// changes only those on the device. Fails without effect for values the line cannot take
// (rate 0, byte size outside 5..8, 1.5 stop bits except with 5 data bits, 2 stop bits with 5
// data bits, software flow control with XonChar equal to XoffChar).
BOOL SetCommState(HANDLE port, DCB* dcb);
// Sends one byte. The bytes sent while one message is handled form one text, which goes to the
// device in one write, before the event loop waits again, the thread sleeps, sends on a socket or
// uses the port otherwise (TransmitGatheredCommChars); outside a message each byte is a text of
// its own. A text
// reaches the line whole or not at all, in order: what the device cannot take yet waits in a
// queue of a few seconds of line time that the event loop hands on, and when that is full a new
// text is dropped whole and standard error says so (at most a line a second). Without the event
// loop's thread a byte the device does not take at once is lost and the call fails. Fails for
// a port that is not open.
BOOL TransmitCommChar(HANDLE port, char character);
// Hands the texts this thread has gathered to their ports. The message windows call it after
// each message, Sleep before sleeping, send before sending, and the event loop before it waits.
void TransmitGatheredCommChars();
// Releases the port and its locks. First the line sends what the device holds, for as long as
// that takes and never more than 100 ms; what a stalled line still holds then is discarded, as
// closing must not wait on it. The texts still waiting in the queue go out after the next open of
// the same device and are dropped by any other open. A handle closes once; later calls fail.
BOOL CloseHandle(HANDLE handle);

// The device path a port name leads to by the mapping above. Empty for an empty or null name.
std::string SerialDevicePath(const char* portName);
