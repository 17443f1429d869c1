#include "platform/SerialLineSettings.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/LastError.h"

namespace {

// The size flags of five to eight data bits, and the parity flags by parity value (NOPARITY to
// SPACEPARITY).
constexpr tcflag_t kSizeFlags[] = {CS5, CS6, CS7, CS8};
constexpr tcflag_t kParityFlags[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                     PARENB | CMSPAR};
// The parity letters of a definition, by parity value.
constexpr std::string_view kParityLetters = "NOEMS";
// The stop-bit fields of a definition, by stop-bit value (ONESTOPBIT to TWOSTOPBITS).
constexpr std::string_view kStopBitFields[] = {"1", "1.5", "2"};

BYTE ParityOf(tcflag_t cflag) {
  if ((cflag & PARENB) == 0) return NOPARITY;
  const bool odd = (cflag & PARODD) != 0;
  if ((cflag & CMSPAR) != 0) return odd ? MARKPARITY : SPACEPARITY;
  return odd ? ODDPARITY : EVENPARITY;
}

std::string Trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool ParseBaudRate(const std::string& field, DWORD& rate) {
  if (field.size() > 9) return false;
  DWORD value = 0;
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value);
  if (error != std::errc{} || stop != end || value == 0) return false;
  rate = value;
  return true;
}

bool ParseParity(const std::string& field, BYTE& parity) {
  if (field.size() != 1) return false;
  const size_t found =
      kParityLetters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(field[0]))));
  if (found == std::string_view::npos) return false;
  parity = static_cast<BYTE>(found);
  return true;
}

bool ParseStopBits(const std::string& field, BYTE& stopBits) {
  const auto* found = std::find(std::begin(kStopBitFields), std::end(kStopBitFields), field);
  if (found == std::end(kStopBitFields)) return false;
  stopBits = static_cast<BYTE>(found - kStopBitFields);
  return true;
}

}  // namespace

BYTE ByteSizeOf(tcflag_t cflag) {
  const auto* size = std::find(std::begin(kSizeFlags), std::end(kSizeFlags), cflag & CSIZE);
  return static_cast<BYTE>(5 + (size - kSizeFlags));
}

bool LineSettingsValid(const DCB& dcb) {
  if (dcb.BaudRate == 0) return false;
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8) return false;
  if (dcb.Parity > SPACEPARITY) return false;
  if (dcb.StopBits > TWOSTOPBITS) return false;
  if (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5) return false;
  if (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5) return false;
  // Software flow control cannot tell stop from start by one and the same character.
  if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar) return false;
  return true;
}

void MakeRaw(termios2& settings, bool outputFlowControl, bool inputFlowControl) {
  settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON |
                        IXANY | IXOFF | IMAXBEL | IUTF8);
  if (outputFlowControl) settings.c_iflag |= IXON;
  if (inputFlowControl) settings.c_iflag |= IXOFF;
  settings.c_oflag &= ~OPOST;
  settings.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | ICANON | ISIG |
                        IEXTEN | XCASE);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
}

void ReadLineSettings(const termios2& settings, int modemLines, DCB& dcb) {
  // One flag carries both directions of the hardware handshake here.
  const bool hardwareFlow = (settings.c_cflag & CRTSCTS) != 0;
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = settings.c_ospeed;
  dcb.fBinary = 1;
  dcb.fParity = (settings.c_iflag & INPCK) != 0;
  dcb.fOutxCtsFlow = hardwareFlow;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = (modemLines & TIOCM_DTR) != 0 ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 1;
  dcb.fOutX = (settings.c_iflag & IXON) != 0;
  dcb.fInX = (settings.c_iflag & IXOFF) != 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  if (hardwareFlow) {
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  } else {
    dcb.fRtsControl = (modemLines & TIOCM_RTS) != 0 ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  }
  dcb.fAbortOnError = 0;
  dcb.ByteSize = ByteSizeOf(settings.c_cflag);
  dcb.Parity = ParityOf(settings.c_cflag);
  if ((settings.c_cflag & CSTOPB) == 0) {
    dcb.StopBits = ONESTOPBIT;
  } else {
    // With five data bits the second stop bit is half a bit long.
    dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  }
  dcb.XonChar = static_cast<char>(settings.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(settings.c_cc[VSTOP]);
}

void WriteLineSettings(const DCB& dcb, termios2& settings) {
  // The rate goes in as a number (BOTHER), so rates without a B constant, such as 14400, come
  // out exactly; no separate input rate (CIBAUD zero means the same as output).
  settings.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  // The record is checked before it is written: size and parity index the tables.
  settings.c_cflag |= BOTHER | kSizeFlags[dcb.ByteSize - 5] | kParityFlags[dcb.Parity];
  if (dcb.StopBits != ONESTOPBIT) settings.c_cflag |= CSTOPB;
  if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) settings.c_cflag |= CRTSCTS;
  settings.c_ospeed = dcb.BaudRate;
  settings.c_ispeed = dcb.BaudRate;
  settings.c_iflag &= ~INPCK;
  if (dcb.fParity) settings.c_iflag |= INPCK;
  settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  MakeRaw(settings, dcb.fOutX != 0, dcb.fInX != 0);
}

BOOL BuildCommDCBA(const char* definition, DCB* dcb) {
  if (definition == nullptr || dcb == nullptr) return FailWith(EINVAL);
  std::string fields[4];
  const std::string whole = definition;
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = whole.find(',', start);
    if ((i < 3) != (comma != std::string::npos)) return FailWith(EINVAL);
    fields[i] = Trimmed(
        whole.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    start = comma + 1;
  }
  DWORD baudRate = 0;
  BYTE parity = 0;
  BYTE stopBits = 0;
  const std::string& data = fields[2];
  if (!ParseBaudRate(fields[0], baudRate) || !ParseParity(fields[1], parity) || data.size() != 1 ||
      data[0] < '5' || data[0] > '8' || !ParseStopBits(fields[3], stopBits)) {
    return FailWith(EINVAL);
  }
  dcb->BaudRate = baudRate;
  dcb->Parity = parity;
  dcb->ByteSize = static_cast<BYTE>(data[0] - '0');
  dcb->StopBits = stopBits;
  return TRUE;
}
