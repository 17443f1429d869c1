#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#include <iterator>
#include <memory>

namespace {

int signalPipe[2] = {-1, -1};
std::unique_ptr<QSocketNotifier> notifier;
std::function<void()> handler;

// SIGHUP is what a server gets when the terminal it was started from goes away.
constexpr int kClosingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Whether a closing signal is ours to handle: one started under nohup keeps ignoring SIGHUP.
bool Handles(int closing) {
  struct sigaction current {};
  return closing != SIGHUP || sigaction(closing, nullptr, &current) != 0 ||
         current.sa_handler != SIG_IGN;
}
bool handled[std::size(kClosingSignals)] = {};

void OnSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: the loop picks the byte up.
  [[maybe_unused]] ssize_t written = write(signalPipe[1], &byte, 1);
}

}  // namespace

void InstallTerminationSignals(std::function<void()> onSignal) {
  RemoveTerminationSignals();
  // A write to a pipe or socket whose reader has gone must fail with EPIPE, not end the
  // process: for the whole life of the process, its shut-down included.
  signal(SIGPIPE, SIG_IGN);
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  handler = std::move(onSignal);
  notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
    char buffer[16];
    while (read(signalPipe[0], buffer, sizeof buffer) > 0) {
    }
    if (handler) handler();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kClosingSignals); ++i) {
    handled[i] = Handles(kClosingSignals[i]);
    if (handled[i]) sigaction(kClosingSignals[i], &action, nullptr);
  }
}

void RemoveTerminationSignals() {
  if (signalPipe[0] < 0) return;
  for (size_t i = 0; i < std::size(kClosingSignals); ++i)
    if (handled[i]) signal(kClosingSignals[i], SIG_DFL);
  notifier.reset();
  handler = nullptr;
  close(signalPipe[0]);
  close(signalPipe[1]);
  signalPipe[0] = signalPipe[1] = -1;
}
