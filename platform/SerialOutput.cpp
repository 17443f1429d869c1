#include "platform/SerialOutput.h"

// The kernel's termios2 clashes with <termios.h>; only ioctl is used here.
#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/SerialLineSettings.h"

namespace {

using Clock = std::chrono::steady_clock;

// About six seconds of a relay board's line at 14400 baud, about 1,600 relay texts.
constexpr size_t kQueueBytes = 8192;
// The kernel holds at most this share of a second of line time, half of what a close waits for.
constexpr double kKernelShareSeconds = 0.05;
constexpr int kCloseWaitLimitMs = 100;
// Beyond the line time of what the kernel holds: the adapter's own latency.
constexpr int kCloseWaitSlackMs = 20;

}  // namespace

SerialOutput::SerialOutput(int fd, std::string devicePath, dev_t device,
                           std::function<void()> drainAgain)
    : fd_(fd),
      devicePath_(std::move(devicePath)),
      device_(device),
      drainAgain_(std::move(drainAgain)) {
  ReadLineRate();
}

SerialOutput::~SerialOutput() = default;

bool SerialOutput::CanQueue() const {
  const QCoreApplication* application = QCoreApplication::instance();
  return application != nullptr && application->thread() == QThread::currentThread();
}

void SerialOutput::ReadLineRate() {
  termios2 settings;
  if (ioctl(fd_, TCGETS2, &settings) != 0 || settings.c_ospeed == 0) return;
  int bits = 1 + ByteSizeOf(settings.c_cflag);  // the start bit and the data bits
  if ((settings.c_cflag & PARENB) != 0) bits += 1;
  bits += (settings.c_cflag & CSTOPB) != 0 ? 2 : 1;
  bytesPerSecond_ = static_cast<double>(settings.c_ospeed) / bits;
}

int SerialOutput::KernelQueued() {
  int queued = 0;
  if (ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued < 0) {
    kernelAtMost_ = std::numeric_limits<size_t>::max();
    return 0;
  }
  kernelAtMost_ = static_cast<size_t>(queued);
  return queued;
}

void SerialOutput::Wrote(ssize_t bytes) {
  if (bytes > 0 && kernelAtMost_ != std::numeric_limits<size_t>::max())
    kernelAtMost_ += static_cast<size_t>(bytes);
}

size_t SerialOutput::KernelShare() const {
  return std::max<size_t>(1, static_cast<size_t>(bytesPerSecond_ * kKernelShareSeconds));
}

int SerialOutput::LineMilliseconds(size_t bytes) const {
  return static_cast<int>(static_cast<double>(bytes) * 1000.0 / bytesPerSecond_ + 0.999);
}

bool SerialOutput::SendNow(char character) {
  if (CanQueue()) {
    Offer(std::string(1, character));
    return true;
  }
  // Behind texts the event loop is still handing on, in their order.
  if (!texts_.empty()) {
    if (queuedBytes_ + 1 > kQueueBytes) {
      ReportDroppedTexts(devicePath_, 1);
      errno = EAGAIN;
      return false;
    }
    texts_.emplace_back(1, character);
    queuedBytes_ += 1;
    return true;
  }
  const ssize_t written = write(fd_, &character, 1);
  Wrote(written);
  if (written == 1) return true;
  if (written == 0) errno = EAGAIN;
  return false;
}

void SerialOutput::EndText() {
  if (gathered_.empty()) return;
  std::string text;
  text.swap(gathered_);
  if (CanQueue()) {
    Offer(std::move(text));
    return;
  }
  // Gathered on a thread without the loop: straight to the kernel, whole or not at all.
  for (const char character : text) {
    if (!SendNow(character)) return;
  }
}

void SerialOutput::Offer(std::string text) {
  if (texts_.empty()) {
    // The usual case: the kernel takes the whole text at once.
    const size_t share = KernelShare();
    const bool fits = kernelAtMost_ <= share && text.size() <= share - kernelAtMost_;
    const size_t queued = fits ? kernelAtMost_ : static_cast<size_t>(KernelQueued());
    if (fits || queued == 0 || queued + text.size() <= share) {
      const ssize_t written = write(fd_, text.data(), text.size());
      Wrote(written);
      if (written == static_cast<ssize_t>(text.size())) return;
      if (written < 0 && errno != EAGAIN && errno != EINTR) {
        ReportDroppedTexts(devicePath_, 1);
        return;
      }
      // The rest goes on as the kernel takes it; what went is never taken back.
      sentOfFirst_ = written > 0 ? static_cast<size_t>(written) : 0;
    }
  } else if (queuedBytes_ + text.size() > kQueueBytes) {
    ReportDroppedTexts(devicePath_, 1);
    return;
  }
  queuedBytes_ += text.size();
  texts_.push_back(std::move(text));
  Drain();
}

void SerialOutput::Drain() {
  while (!texts_.empty()) {
    const size_t queued = static_cast<size_t>(KernelQueued());
    const size_t share = KernelShare();
    // Whole texts (the rest of one begun first) up to the kernel's share; one at least when the
    // kernel holds nothing.
    const size_t room = queued < share ? share - queued : 0;
    std::string chunk = texts_.front().substr(sentOfFirst_);
    if (chunk.size() > room && queued > 0) {
      WaitForLine(LineMilliseconds(queued - std::min(queued, share / 2)));
      return;
    }
    for (size_t next = 1; next < texts_.size() && chunk.size() + texts_[next].size() <= room;
         ++next) {
      chunk += texts_[next];
    }
    const ssize_t written = write(fd_, chunk.data(), chunk.size());
    Wrote(written);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN) {
      // The device has gone; the watchdog's next cycle finds out.
      DropAll();
      return;
    }
    size_t left = written > 0 ? static_cast<size_t>(written) : 0;
    while (left > 0) {
      const size_t rest = texts_.front().size() - sentOfFirst_;
      if (left < rest) {
        sentOfFirst_ += left;
        break;
      }
      left -= rest;
      queuedBytes_ -= texts_.front().size();
      texts_.pop_front();
      sentOfFirst_ = 0;
    }
    if (written < static_cast<ssize_t>(chunk.size())) {
      WaitForWritable();
      return;
    }
  }
  if (writable_) writable_->setEnabled(false);
}

void SerialOutput::WaitForWritable() {
  if (!writable_) {
    writable_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
    QObject::connect(writable_.get(), &QSocketNotifier::activated, [this] {
      writable_->setEnabled(false);
      drainAgain_();
    });
  }
  writable_->setEnabled(true);
}

void SerialOutput::WaitForLine(int milliseconds) {
  if (!lineTimer_) {
    lineTimer_ = std::make_unique<QTimer>();
    lineTimer_->setSingleShot(true);
    lineTimer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(lineTimer_.get(), &QTimer::timeout, [this] { drainAgain_(); });
  }
  if (!lineTimer_->isActive()) lineTimer_->start(std::max(milliseconds, 1));
}

void SerialOutput::DropAll() {
  if (texts_.empty()) return;
  ReportDroppedTexts(devicePath_, texts_.size());
  texts_.clear();
  queuedBytes_ = 0;
  sentOfFirst_ = 0;
}

UnsentTexts SerialOutput::Close() {
  EndText();
  if (writable_) writable_->setEnabled(false);
  if (lineTimer_) lineTimer_->stop();
  // Closing a terminal waits until its output has left; on a stalled line that would hang, so
  // the line gets as long as what it holds needs, and what is left after that is discarded.
  size_t queued = static_cast<size_t>(KernelQueued());
  if (queued > 0) {
    const int limitMs = std::min(kCloseWaitLimitMs, LineMilliseconds(queued) + kCloseWaitSlackMs);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (queued > 0 && Clock::now() < deadline) {
      const auto pause = std::min<Clock::duration>(
          deadline - Clock::now(),
          std::chrono::milliseconds(std::max(1, LineMilliseconds(queued))));
      std::this_thread::sleep_for(pause);
      queued = static_cast<size_t>(KernelQueued());
    }
    if (queued > 0) ioctl(fd_, TCFLSH, TCOFLUSH);
  }
  UnsentTexts unsent{devicePath_, device_, std::move(texts_), sentOfFirst_};
  texts_.clear();
  queuedBytes_ = 0;
  sentOfFirst_ = 0;
  return unsent;
}

void SerialOutput::Adopt(UnsentTexts unsent) {
  texts_ = std::move(unsent.texts);
  sentOfFirst_ = unsent.sentOfFirst;
  queuedBytes_ = 0;
  for (const std::string& text : texts_) queuedBytes_ += text.size();
  // After the opener has set the line up: from the event loop.
  if (!texts_.empty() && CanQueue()) WaitForLine(0);
}

namespace {

struct DropReport {
  std::mutex lock;
  size_t pending = 0;
  std::string devicePath;
  Clock::time_point lastLine{};
  bool lineDue = false;
};

DropReport& Drops() {
  static DropReport report;
  return report;
}

constexpr auto kReportInterval = std::chrono::seconds(1);

// With the report's lock held.
void WriteDropLine(DropReport& report) {
  if (report.pending == 0) return;
  std::fprintf(stderr, "Serial port %s: %zu text%s dropped, the line did not take %s in time\n",
               report.devicePath.c_str(), report.pending, report.pending == 1 ? "" : "s",
               report.pending == 1 ? "it" : "them");
  report.pending = 0;
  report.lastLine = Clock::now();
}

}  // namespace

void ReportDroppedTexts(const std::string& devicePath, size_t count) {
  if (count == 0) return;
  DropReport& report = Drops();
  std::lock_guard<std::mutex> guard(report.lock);
  report.pending += count;
  report.devicePath = devicePath;
  const Clock::time_point now = Clock::now();
  if (report.lastLine == Clock::time_point{} || now - report.lastLine >= kReportInterval) {
    WriteDropLine(report);
    return;
  }
  // The rest of this second's drops are told when it is over.
  QCoreApplication* application = QCoreApplication::instance();
  if (report.lineDue || application == nullptr) return;
  report.lineDue = true;
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(report.lastLine +
                                                                          kReportInterval - now);
  QTimer::singleShot(static_cast<int>(wait.count()) + 1, application, [] {
    DropReport& due = Drops();
    std::lock_guard<std::mutex> dueGuard(due.lock);
    due.lineDue = false;
    WriteDropLine(due);
  });
}
