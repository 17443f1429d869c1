// Line settings as the far end of the line sees them: a pseudo-terminal reports what the port
// was given through the kernel's own terminal record. A pseudo-terminal always keeps 8 data bits
// and no parity, whatever it is told, so only rates, stop bits and the other flags can be seen
// to arrive.
#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <cstring>

#include "platform/Serial.h"
#include "support/PseudoTerminal.h"

namespace {

// The flag bits that rate, byte size, parity and stop bits live in.
constexpr uint32_t kLineBits = CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

class SerialLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board.IsOpen());
    port = CreateFileA(board.SlavePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
  }
  void TearDown() override { CloseHandle(port); }

  // Gives the device settings of its own, as a driver might report them: 57600 baud, 2 stop
  // bits, hardware flow control, parity checking and XON/XOFF output control.
  void GiveDeviceItsOwnSettings() {
    termios2 settings{};
    ASSERT_EQ(ioctl(board.MasterFd(), TCGETS2, &settings), 0);
    settings.c_cflag &= ~(CBAUD | CIBAUD);
    settings.c_cflag |= BOTHER | CSTOPB | CRTSCTS | CLOCAL;
    settings.c_iflag |= IXON | INPCK;
    settings.c_ospeed = 57600;
    settings.c_ispeed = 57600;
    settings.c_cc[VSTART] = 0x11;
    settings.c_cc[VSTOP] = 0x13;
    ASSERT_EQ(ioctl(board.MasterFd(), TCSETS2, &settings), 0);
  }

  PseudoTerminal board;
  HANDLE port = INVALID_HANDLE_VALUE;
};

TEST_F(SerialLineTest, GetCommStateReportsTheDevicesSettings) {
  GiveDeviceItsOwnSettings();
  DCB dcb;
  dcb.DCBlength = 28;
  ASSERT_TRUE(GetCommState(port, &dcb));
  EXPECT_EQ(dcb.DCBlength, 28u);
  EXPECT_EQ(dcb.BaudRate, 57600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
  EXPECT_EQ(dcb.fBinary, 1u);
  EXPECT_EQ(dcb.fParity, 1u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
  EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_HANDSHAKE);
  EXPECT_EQ(dcb.fOutX, 1u);
  EXPECT_EQ(dcb.fInX, 0u);
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
}

TEST_F(SerialLineTest, TheBoardsSettingsReachTheLineAndNothingElseChanges) {
  GiveDeviceItsOwnSettings();
  const LineSettings before = board.ReadLineSettings();

  // The serial link's configuration steps.
  DCB dcb;
  dcb.DCBlength = 28;
  ASSERT_TRUE(GetCommState(port, &dcb));
  ASSERT_TRUE(BuildCommDCBA("14400,N,8,1", &dcb));
  ASSERT_TRUE(SetCommState(port, &dcb));

  const LineSettings after = board.ReadLineSettings();
  EXPECT_EQ(after.baud, 14400u);
  EXPECT_EQ(after.inputBaud, 14400u);
  EXPECT_EQ(after.dataBits, 8);
  EXPECT_FALSE(after.parity);
  EXPECT_EQ(after.stopBits, 1);
  // Flow control, modem-line handling and every other flag are as the device had them.
  EXPECT_EQ(after.cflag & ~kLineBits, before.cflag & ~kLineBits);
  EXPECT_NE(after.cflag & CRTSCTS, 0u);
  EXPECT_EQ(after.iflag, before.iflag);
  EXPECT_EQ(after.oflag, before.oflag);
  EXPECT_EQ(after.lflag, before.lflag);

  // The port reads back what it was given.
  DCB readBack;
  ASSERT_TRUE(GetCommState(port, &readBack));
  EXPECT_EQ(readBack.BaudRate, 14400u);
  EXPECT_EQ(readBack.ByteSize, 8);
  EXPECT_EQ(readBack.Parity, NOPARITY);
  EXPECT_EQ(readBack.StopBits, ONESTOPBIT);
  EXPECT_EQ(readBack.fOutxCtsFlow, 1u);
}

TEST_F(SerialLineTest, FlowControlBitsInTheRecordDoNotReachTheDevice) {
  const LineSettings before = board.ReadLineSettings();
  DCB dcb;
  ASSERT_TRUE(GetCommState(port, &dcb));
  dcb.fOutxCtsFlow = 1;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  dcb.fOutX = 1;
  dcb.fInX = 1;
  dcb.fParity = 1;
  ASSERT_TRUE(SetCommState(port, &dcb));
  const LineSettings after = board.ReadLineSettings();
  EXPECT_EQ(after.cflag & CRTSCTS, before.cflag & CRTSCTS);
  EXPECT_EQ(after.iflag, before.iflag);
}

TEST_F(SerialLineTest, RatesAndStopBitsReachTheLineExactly) {
  struct Case {
    const char* text;
    unsigned baud;
    int stopBits;
  };
  // Standard rates, rates between them and one beyond the old table.
  const Case cases[] = {
      {"9600,N,8,2", 9600, 2},   {"110,N,8,1", 110, 1},       {"14400,N,8,2", 14400, 2},
      {"28800,N,8,1", 28800, 1}, {"250000,N,8,2", 250000, 2}, {"14400,N,8,1", 14400, 1},
  };
  for (const Case& c : cases) {
    DCB dcb;
    ASSERT_TRUE(GetCommState(port, &dcb));
    ASSERT_TRUE(BuildCommDCBA(c.text, &dcb)) << c.text;
    ASSERT_TRUE(SetCommState(port, &dcb)) << c.text;
    const LineSettings line = board.ReadLineSettings();
    EXPECT_EQ(line.baud, c.baud) << c.text;
    EXPECT_EQ(line.inputBaud, c.baud) << c.text;
    EXPECT_EQ(line.stopBits, c.stopBits) << c.text;

    DCB readBack;
    ASSERT_TRUE(GetCommState(port, &readBack));
    EXPECT_EQ(readBack.BaudRate, dcb.BaudRate) << c.text;
    EXPECT_EQ(readBack.StopBits, dcb.StopBits) << c.text;
  }
}

TEST_F(SerialLineTest, SettingsTheLineCannotTakeAreRefusedWithoutEffect) {
  DCB good;
  ASSERT_TRUE(GetCommState(port, &good));
  ASSERT_TRUE(BuildCommDCBA("14400,N,8,1", &good));
  ASSERT_TRUE(SetCommState(port, &good));
  const LineSettings before = board.ReadLineSettings();

  auto refused = [&](void (*spoil)(DCB&)) {
    DCB dcb = good;
    spoil(dcb);
    return !SetCommState(port, &dcb);
  };
  EXPECT_TRUE(refused([](DCB& d) { d.BaudRate = 0; }));
  EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 4; }));
  EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 9; }));
  EXPECT_TRUE(refused([](DCB& d) { d.Parity = 5; }));
  EXPECT_TRUE(refused([](DCB& d) { d.StopBits = 3; }));
  EXPECT_TRUE(refused([](DCB& d) { d.StopBits = ONE5STOPBITS; }));  // with 8 data bits
  EXPECT_TRUE(refused([](DCB& d) {
    d.ByteSize = 5;
    d.StopBits = TWOSTOPBITS;
  }));
  EXPECT_FALSE(SetCommState(port, nullptr));
  EXPECT_FALSE(GetCommState(port, nullptr));

  const LineSettings after = board.ReadLineSettings();
  EXPECT_EQ(after.baud, before.baud);
  EXPECT_EQ(after.cflag, before.cflag);
}

}  // namespace
