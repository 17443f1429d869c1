#pragma once
// The output side of one open serial port.
//
// The characters a message's handler sends one by one form one text. A text reaches the line
// whole or not at all: it goes to the kernel in one write, and what the kernel cannot take yet
// waits in a bounded queue of texts of our own, handed on as the line takes it. The kernel is
// given at most a twentieth of a second of line time at once, so that a close, which lets the
// line finish for at most a tenth, never cuts what the line has taken. When the queue is full a
// new text is dropped whole; standard error says so, at most once a second.
//
// Everything here runs under the serial layer's lock. The queue is only kept on the thread of the
// application's event loop, which hands it on (a write notifier when the kernel refuses, a timer
// while the line is busy); elsewhere a character the kernel does not take at once is lost.

#include <sys/types.h>

#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <string>

class QSocketNotifier;
class QTimer;

// Texts a closed port had not handed to the kernel yet, for the next open of the same device.
struct UnsentTexts {
  std::string devicePath;
  dev_t device = 0;
  std::deque<std::string> texts;
  // Bytes of the first text that already went to the kernel.
  size_t sentOfFirst = 0;
};

class SerialOutput {
 public:
  // drainAgain runs on the event loop's thread when queued texts may go on; it must take the
  // serial layer's lock and call Drain.
  SerialOutput(int fd, std::string devicePath, dev_t device, std::function<void()> drainAgain);
  ~SerialOutput();
  SerialOutput(const SerialOutput&) = delete;
  SerialOutput& operator=(const SerialOutput&) = delete;

  // Adds a character to the text being gathered.
  void Gather(char character) { gathered_ += character; }
  // The gathered text goes on as one text.
  void EndText();
  // One character as a text of its own. False, with errno set, when it is lost at once.
  bool SendNow(char character);
  // Reads the line's rate and character size again after its settings changed.
  void ReadLineRate();
  // Hands queued texts to the kernel as far as it and the line take them.
  void Drain();

  // Before the descriptor closes: ends the gathered text, lets the line send what the kernel
  // holds for as long as that needs (at most 100 ms), discards it if the line is stalled, and
  // returns what the queue still holds.
  UnsentTexts Close();
  // Takes over what an earlier port of the same device left; it goes out from the event loop.
  void Adopt(UnsentTexts unsent);

 private:
  void Offer(std::string text);
  bool CanQueue() const;
  int KernelQueued();
  void Wrote(ssize_t bytes);
  size_t KernelShare() const;
  int LineMilliseconds(size_t bytes) const;
  void DropAll();
  void WaitForWritable();
  void WaitForLine(int milliseconds);

  int fd_;
  std::string devicePath_;
  dev_t device_;
  std::function<void()> drainAgain_;
  std::string gathered_;
  std::deque<std::string> texts_;
  size_t queuedBytes_ = 0;
  size_t sentOfFirst_ = 0;
  // What the kernel holds at most: its last count plus every byte written since. While a new
  // text fits within the kernel's share on top of that, it goes without asking the kernel first.
  size_t kernelAtMost_ = std::numeric_limits<size_t>::max();
  double bytesPerSecond_ = 1440;
  std::unique_ptr<QSocketNotifier> writable_;
  std::unique_ptr<QTimer> lineTimer_;
};

// Counts a text that never reached the line and tells standard error, at most once a second.
void ReportDroppedTexts(const std::string& devicePath, size_t count);
