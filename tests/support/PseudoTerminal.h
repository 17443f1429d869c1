#pragma once
// A pseudo-terminal standing in for the relay board: the program opens the slave end as its
// serial port, the test reads the bytes written from the master end and the line settings the
// program gave the port. The board can be "unplugged" (the pseudo-terminal goes away and its
// device path with it) and plugged in again as a new one, and a symbolic link can stand for
// the device, the way a test puts a pseudo-terminal behind /dev/ttyUSB0.

#include <cstddef>
#include <cstdint>
#include <string>

// Line settings of a terminal as the kernel holds them.
struct LineSettings {
  unsigned baud = 0;       // output rate in bits per second, custom rates included
  unsigned inputBaud = 0;  // input rate
  int dataBits = 0;        // 5 to 8
  bool parity = false;     // a parity bit is sent
  int stopBits = 0;        // 1 or 2
  // The raw flag words, for checking that settings nobody asked for stayed as they were.
  uint32_t cflag = 0;
  uint32_t iflag = 0;
};

class PseudoTerminal {
 public:
  // Opens a pseudo-terminal in the kernel's default (cooked) mode. IsOpen() tells whether that
  // worked.
  PseudoTerminal();
  // Closes the terminal and removes the symbolic link, if any.
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool IsOpen() const { return master_ >= 0; }
  // The device path of the slave end, e.g. "/dev/pts/4".
  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }

  // Everything that arrives until nothing more has come for the given time (0: only what is
  // there now).
  std::string ReadAvailable(int quietMs = 0);
  // Reads until count bytes have come or timeoutMs has passed; returns what came.
  std::string WaitForBytes(size_t count, int timeoutMs);
  // The count bytes expected, however long they take on a busy machine (up to timeoutMs), and
  // whatever else follows them until nothing more has come for quietMs.
  std::string WaitForBytesThenQuiet(size_t count, int timeoutMs = 5000, int quietMs = 100);
  // The board answers: the bytes go to the port's side of the line.
  bool Send(const std::string& bytes);

  // The line settings the slave end was given, as the program last set them.
  LineSettings ReadLineSettings() const;

  // Closes the pseudo-terminal: its device path disappears and whoever still has the slave
  // open gets errors on every write, like a pulled USB adapter.
  void Unplug();
  // Opens a new pseudo-terminal (with a new slave path); a symbolic link follows it.
  void Replug();

  // Makes linkPath a symbolic link to the slave (replacing an existing link, never another
  // kind of file). Returns false when that cannot be done.
  bool CreateSymlink(const std::string& linkPath);
  void RemoveSymlink();

 private:
  void Open();

  int master_ = -1;
  int slave_ = -1;  // kept open so that the master never sees the line hung up between opens
  std::string slavePath_;
  std::string symlinkPath_;
};
