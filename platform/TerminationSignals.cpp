#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#include <memory>

namespace {

int signalPipe[2] = {-1, -1};
std::unique_ptr<QSocketNotifier> notifier;
std::function<void()> handler;

void OnSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: the loop picks the byte up.
  [[maybe_unused]] ssize_t written = write(signalPipe[1], &byte, 1);
}

}  // namespace

void InstallTerminationSignals(std::function<void()> onSignal) {
  RemoveTerminationSignals();
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
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void RemoveTerminationSignals() {
  if (signalPipe[0] < 0) return;
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  notifier.reset();
  handler = nullptr;
  close(signalPipe[0]);
  close(signalPipe[1]);
  signalPipe[0] = signalPipe[1] = -1;
}
