// Line settings as the far end of the line sees them: a pseudo-terminal reports what the port
// was given through the kernel's own terminal record. A pseudo-terminal always keeps 8 data bits
// and no parity, whatever it is told, so only rates, stop bits and the other flags can be seen
// to arrive. The pseudo-terminal starts in the kernel's default mode, as a plugged-in adapter.
#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <string>

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

// The port reports the device's own settings; the board's then reach the line, and the device's
// handshake stays.
TEST_F(SerialLineTest, TheDevicesSettingsAreReportedAndTheBoardsReachTheLine) {
  GiveDeviceItsOwnSettings();
  const LineSettings before = board.ReadLineSettings();
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

  // The serial link's configuration steps.
  ASSERT_TRUE(BuildCommDCBA("14400,N,8,1", &dcb));
  ASSERT_TRUE(SetCommState(port, &dcb));

  // The rate arrives (every rate and stop bit count: the table below), and the settings the
  // record carried through unchanged are as the device had them.
  const LineSettings after = board.ReadLineSettings();
  EXPECT_EQ(after.baud, 14400u);
  EXPECT_EQ(after.cflag & ~kLineBits, before.cflag & ~kLineBits);
  EXPECT_NE(after.cflag & CRTSCTS, 0u);
  EXPECT_EQ(after.iflag & (IXON | IXOFF | INPCK), before.iflag & (IXON | IXOFF | INPCK));
}

TEST_F(SerialLineTest, FlowControlInTheRecordReachesTheDeviceAndReadsBack) {
  // On, and off again: the record is the whole truth about flow control.
  DCB dcb;
  termios2 line{};
  for (const bool on : {true, false}) {
    SCOPED_TRACE(on ? "on" : "off");
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.fOutxCtsFlow = dcb.fOutX = dcb.fInX = dcb.fParity = on;
    dcb.fRtsControl = on ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.XonChar = 0x01;
    dcb.XoffChar = 0x02;
    ASSERT_TRUE(SetCommState(port, &dcb));
    ASSERT_EQ(ioctl(board.MasterFd(), TCGETS2, &line), 0);
    EXPECT_EQ((line.c_cflag & CRTSCTS) != 0, on);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | INPCK), on ? IXON | IXOFF | INPCK : 0u);
    EXPECT_EQ(line.c_cc[VSTART], 0x01);
    EXPECT_EQ(line.c_cc[VSTOP], 0x02);
    DCB readBack;
    ASSERT_TRUE(GetCommState(port, &readBack));
    EXPECT_EQ(readBack.fOutxCtsFlow, on ? 1u : 0u);
    EXPECT_EQ(readBack.fRtsControl == RTS_CONTROL_HANDSHAKE, on);
    EXPECT_EQ(readBack.fOutX, on ? 1u : 0u);
    EXPECT_EQ(readBack.fInX, on ? 1u : 0u);
    EXPECT_EQ(readBack.fParity, on ? 1u : 0u);
    EXPECT_EQ(readBack.XonChar, 0x01);
    EXPECT_EQ(readBack.XoffChar, 0x02);
  }

  // One character cannot both stop and start the line.
  dcb.fOutX = 1;
  dcb.XonChar = dcb.XoffChar = 0x13;
  EXPECT_FALSE(SetCommState(port, &dcb));
  ASSERT_EQ(ioctl(board.MasterFd(), TCGETS2, &line), 0);
  EXPECT_EQ(line.c_iflag & IXON, 0u);
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

// ---- The line is raw: exactly the bytes written, in both directions ----

TEST_F(SerialLineTest, TheOpenMakesTheLineRawWhateverModeTheDeviceCameUpIn) {
  // The fixture's port was opened on a terminal in the kernel's default mode.
  termios2 line{};
  ASSERT_EQ(ioctl(board.MasterFd(), TCGETS2, &line), 0);
  EXPECT_EQ(line.c_oflag & OPOST, 0u);
  EXPECT_EQ(line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
  DCB dcb;
  ASSERT_TRUE(GetCommState(port, &dcb));
  EXPECT_EQ(dcb.fOutX, 0u);
  EXPECT_EQ(dcb.fInX, 0u);
}

// The board's answers, its XOFF and its interrupt, suspend and end-of-file characters come back
// to it as nothing and stop nothing; every byte value and line end reaches it as sent.
TEST_F(SerialLineTest, EveryByteReachesTheBoardUnchangedAndItsAnswersAreNotEchoed) {
  DCB dcb;
  ASSERT_TRUE(GetCommState(port, &dcb));
  ASSERT_TRUE(BuildCommDCBA("14400,N,8,1", &dcb));
  ASSERT_TRUE(SetCommState(port, &dcb));
  ASSERT_TRUE(board.Send("OK\r\n\x13\x03\x1a\x04"));
  EXPECT_EQ(board.ReadAvailable(100), "");
  std::string sent = "03+//\r\n";
  for (int value = 0; value < 256; ++value) sent += static_cast<char>(value);
  for (const char c : sent) ASSERT_TRUE(TransmitCommChar(port, c));
  EXPECT_EQ(board.WaitForBytes(sent.size(), 2000), sent);
  EXPECT_EQ(board.ReadAvailable(50), "");
}

TEST_F(SerialLineTest, SoftwareFlowControlWorksWhenTheRecordAsksForIt) {
  DCB dcb;
  ASSERT_TRUE(GetCommState(port, &dcb));
  dcb.fOutX = 1;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  ASSERT_TRUE(SetCommState(port, &dcb));
  ASSERT_TRUE(board.Send("\x13"));
  EXPECT_EQ(board.ReadAvailable(100), "");  // the stop character is not echoed either
  // A stopped line takes nothing; the character is lost, as any the device does not take.
  EXPECT_FALSE(TransmitCommChar(port, 'a'));
  EXPECT_EQ(board.ReadAvailable(100), "");
  // The start character reaches the line discipline a moment after the board sent it.
  ASSERT_TRUE(board.Send("\x11"));
  bool taken = false;
  for (int attempt = 0; attempt < 200 && !taken; ++attempt) {
    taken = TransmitCommChar(port, 'b');
    if (!taken) usleep(10000);
  }
  EXPECT_TRUE(taken);
  EXPECT_EQ(board.WaitForBytes(1, 2000), "b");
}

}  // namespace
