#include "app/SerialLink.h"

HANDLE PortHandle = nullptr;
std::string PortName = "com1";
COMMTIMEOUTS SavedTimeouts = {};
COMMTIMEOUTS WorkingTimeouts = {};
DCB LineConfiguration = {};

void OpenPort() {
  PortHandle = CreateFileA(PortName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
}

void ConfigurePort() {
  // Results are not checked: on a port that is not open every call fails and changes nothing.
  GetCommTimeouts(PortHandle, &SavedTimeouts);
  WorkingTimeouts.ReadTotalTimeoutConstant = 100;
  WorkingTimeouts.ReadTotalTimeoutMultiplier = 0;
  WorkingTimeouts.WriteTotalTimeoutMultiplier = 0;
  WorkingTimeouts.WriteTotalTimeoutConstant = 0;
  SetCommTimeouts(PortHandle, &WorkingTimeouts);
  LineConfiguration.DCBlength = 28;
  GetCommState(PortHandle, &LineConfiguration);
  BuildCommDCBA(kLineSettings, &LineConfiguration);
  SetCommState(PortHandle, &LineConfiguration);
}

void GreetBoard() {
  TransmitCommChar(PortHandle, '?');
  TransmitCommChar(PortHandle, '/');
  TransmitCommChar(PortHandle, '/');
}

void SendToBoard(const char* chars, int count) {
  for (int i = 0; i < count; ++i) TransmitCommChar(PortHandle, chars[i]);
}

void ClosePort() {
  SetCommTimeouts(PortHandle, &SavedTimeouts);
  CloseHandle(PortHandle);
}
