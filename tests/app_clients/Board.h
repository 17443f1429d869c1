#pragma once
// The relay board for end-to-end tests: a pseudo-terminal whose slave end the program opens as
// its serial port; the test reads what was written from the master end.

#include <string>

class Board {
 public:
  Board();
  ~Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  // Everything that arrives within the time, or until count bytes have come.
  std::string Read(size_t count, int timeoutMs);

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so that the line settings stay between the program's opens
  std::string slavePath_;
};
