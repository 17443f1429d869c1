#pragma once
// A serial line behind a pseudo-terminal's slave end, as the serial layer sees a USB adapter's
// line: what is written to the slave waits in the driver's buffer (4 kB) and leaves it at the
// line's pace, by the clock; TIOCOUTQ reports what waits, TCFLSH with TCOFLUSH discards it, and a
// stalled line (its handshake line dropped) keeps it. A pseudo-terminal itself takes bytes at
// once and reports nothing queued, which would hide every question of pace and closing.
//
// It works by standing in for write, ioctl and close of this test program on descriptors of that
// one device; every other descriptor goes to the C library as usual. One stand-in at a time.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

class LineStandIn {
 public:
  LineStandIn(const std::string& slavePath, unsigned baud);
  ~LineStandIn();
  LineStandIn(const LineStandIn&) = delete;
  LineStandIn& operator=(const LineStandIn&) = delete;

  // What has left the line so far.
  std::string Sent();
  // The size of every write the device took, in order.
  std::vector<size_t> Writes();
  // The most the driver's buffer ever held.
  size_t MostHeld();
  // Bytes still in the driver's buffer when a descriptor of the device was closed: on a real
  // adapter the close would wait for them (up to half a minute) or lose them.
  size_t HeldAtClose();
  // Bytes discarded by TCOFLUSH.
  size_t Flushed();
  // A stalled line sends nothing until it goes on.
  void Stall(bool stalled);
};
