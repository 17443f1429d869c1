#pragma once
// A pseudo-terminal standing in for the relay board: the program opens the slave end as its
// serial port, the test reads the bytes written from the master end and the line settings the
// program gave the port.

#include <string>

struct LineSettings {
  unsigned baud = 0;
  int dataBits = 0;
  bool parity = false;
  int stopBits = 0;
};

class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool IsOpen() const { return master_ >= 0; }
  const std::string& SlavePath() const { return slavePath_; }
  // Everything that arrives until nothing more has come for the given time.
  std::string ReadAvailable(int quietMs);
  // The line settings of the terminal as the program last set them.
  LineSettings ReadLineSettings() const;

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so that the settings survive the program's closes
  std::string slavePath_;
};
