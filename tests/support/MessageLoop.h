#pragma once
// The message loop of a test or benchmark run until something holds, as the program's loop
// would run it.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Handles every message waiting now, deferred deletions included, then returns.
inline void HandleWaitingMessages() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Handles messages until the predicate holds or the time runs out; true when it holds. The time
// is generous: it only bounds a failing test, and a busy machine can be slow to deliver.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
  QElapsedTimer clock;
  clock.start();
  QTimer tick;
  tick.start(5);  // guarantees the wait below returns regularly
  while (!done()) {
    if (clock.elapsed() >= timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return true;
}

// Runs the loop for a while so that anything that would wrongly arrive has the chance to.
inline void RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}
