#include "framework/Timer.h"

#include <QTimer>

#include "framework/Application.h"

TTimer::TTimer(TComponent* owner) : TComponent(owner), timer_(std::make_unique<QTimer>()) {
  // An exception from the handler is shown, and the timer goes on.
  QObject::connect(timer_.get(), &QTimer::timeout,
                   [this] { RunGuarded(this, [this] { Timer(); }); });
  UpdateTimer();
}

TTimer::~TTimer() {
  timer_->stop();
}

void TTimer::UpdateTimer() {
  timer_->stop();
  if (enabled_ && interval_ > 0) timer_->start(interval_);
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}
