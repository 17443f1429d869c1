// Port names and their devices, and the text form of line settings: nothing here opens a port
// except to show that an empty name leads nowhere.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "platform/Serial.h"

namespace {

HANDLE OpenByName(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(SerialDeviceNames, ComNumbersInAnyCaseAreUsbSerialAdaptersAndOtherNamesAreUnderDev) {
  const std::pair<const char*, const char*> names[] = {
      {"com1", "/dev/ttyUSB0"},
      {"COM1", "/dev/ttyUSB0"},
      {"cOm3", "/dev/ttyUSB2"},
      {"COM9", "/dev/ttyUSB8"},
      {"COM10", "/dev/ttyUSB9"},
      {"com256", "/dev/ttyUSB255"},
      // No number, a zero, a leading zero or trailing text make no COM port number.
      {"COM", "/dev/COM"},
      {"COM0", "/dev/COM0"},
      {"COM01", "/dev/COM01"},
      {"COM1x", "/dev/COM1x"},
      {"xCOM1", "/dev/xCOM1"},
      {"ttyACM0", "/dev/ttyACM0"},
      {"ttyS0", "/dev/ttyS0"},
      {"pts/3", "/dev/pts/3"},
      {"/dev/pts/3", "/dev/pts/3"},
      {"/tmp/port", "/tmp/port"},
  };
  for (const auto& [name, device] : names) EXPECT_EQ(SerialDevicePath(name), device) << name;
}

TEST(SerialDeviceNames, AnEmptyNameLeadsNowhereAndDoesNotOpen) {
  EXPECT_EQ(SerialDevicePath(""), "");
  EXPECT_EQ(SerialDevicePath(nullptr), "");
  EXPECT_EQ(OpenByName(""), INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenByName(nullptr), INVALID_HANDLE_VALUE);
}

// A record whose every byte is set, so that any change shows.
DCB FilledRecord() {
  DCB dcb;
  std::memset(static_cast<void*>(&dcb), 0xA5, sizeof dcb);
  return dcb;
}

// The text fills only rate, parity, data and stop bits; everything else stays as the device
// reported it.
TEST(BuildCommDCBA, ParityLettersStopBitsAndBlanksFillOnlyTheirFields) {
  struct Case {
    const char* text;
    DWORD baud;
    BYTE parity;
    BYTE byteSize;
    BYTE stopBits;
  };
  const Case cases[] = {
      {"14400,N,8,1", 14400, NOPARITY, 8, ONESTOPBIT},
      {"9600,e,7,2", 9600, EVENPARITY, 7, TWOSTOPBITS},
      {"110,O,5,1.5", 110, ODDPARITY, 5, ONE5STOPBITS},
      {"300,m,6,1", 300, MARKPARITY, 6, ONESTOPBIT},
      {"1200,S,8,2", 1200, SPACEPARITY, 8, TWOSTOPBITS},
      {"115200,n,8,1", 115200, NOPARITY, 8, ONESTOPBIT},
      {" 14400 , N , 8 , 1 ", 14400, NOPARITY, 8, ONESTOPBIT},
  };
  for (const Case& c : cases) {
    DCB dcb = FilledRecord();
    ASSERT_TRUE(BuildCommDCBA(c.text, &dcb)) << c.text;
    EXPECT_EQ(dcb.BaudRate, c.baud) << c.text;
    EXPECT_EQ(dcb.Parity, c.parity) << c.text;
    EXPECT_EQ(dcb.ByteSize, c.byteSize) << c.text;
    EXPECT_EQ(dcb.StopBits, c.stopBits) << c.text;
    DCB rest = FilledRecord();
    rest.BaudRate = dcb.BaudRate;
    rest.Parity = dcb.Parity;
    rest.ByteSize = dcb.ByteSize;
    rest.StopBits = dcb.StopBits;
    EXPECT_EQ(std::memcmp(&rest, &dcb, sizeof(DCB)), 0) << c.text;
  }
}

TEST(BuildCommDCBA, MalformedTextsFailAndLeaveTheRecordUnchanged) {
  const char* texts[] = {
      nullptr,
      "",
      "14400",
      "14400,N,8",
      "14400,N,8,1,",
      "14400,N,8,1,1",
      ",N,8,1",
      "14400,,8,1",
      "14400,N,,1",
      "14400,N,8,",
      "abc,N,8,1",
      "-1,N,8,1",
      "+9600,N,8,1",
      "0,N,8,1",
      "9999999999,N,8,1",
      "14400,X,8,1",
      "14400,NN,8,1",
      "14400,N,4,1",
      "14400,N,9,1",
      "14400,N,88,1",
      "14400,N,8,0",
      "14400,N,8,3",
      "14400,N,8,1.6",
      "14400,N,8,1.",
      "14400;N;8;1",
      "14 400,N,8,1",
  };
  for (const char* text : texts) {
    DCB dcb = FilledRecord();
    const DCB before = dcb;
    EXPECT_FALSE(BuildCommDCBA(text, &dcb)) << '"' << text << '"';
    EXPECT_EQ(std::memcmp(&dcb, &before, sizeof(DCB)), 0) << '"' << text << '"';
  }
  EXPECT_FALSE(BuildCommDCBA("14400,N,8,1", nullptr));
}

}  // namespace
