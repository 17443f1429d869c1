#pragma once
// The one serial port of the relay board: its handle, the name it is opened by, the records
// its configuration goes through, and the operations on it. Everything here runs on the GUI
// thread, so nothing is locked.

#include <string>

#include "platform/Serial.h"

// Null before the first open attempt; afterwards the open handle or INVALID_HANDLE_VALUE.
extern HANDLE PortHandle;
// The device name every open uses: "com1" unless the command line names another. It takes a
// name of any length (a /dev/serial/by-id path); the selector writes at most 9 characters.
extern std::string PortName;
constexpr int kPortNameSize = 10;
extern COMMTIMEOUTS SavedTimeouts;
extern COMMTIMEOUTS WorkingTimeouts;
extern DCB LineConfiguration;

// The board's fixed line settings.
inline constexpr const char* kLineSettings = "14400,N,8,1";

void OpenPort();
void ConfigurePort();
void GreetBoard();
void SendToBoard(const char* chars, int count);
void ClosePort();
