#pragma once
// A timer component: while enabled, OnTimer runs on the GUI thread every Interval milliseconds.

#include <algorithm>
#include <memory>

#include "framework/Component.h"
#include "framework/Types.h"

class QTimer;

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  std::string ClassName() const override { return "TTimer"; }

  void SetEnabled(bool enabled) {
    if (SetIfChanged(enabled_, enabled)) UpdateTimer();
  }
  // Milliseconds between two events; 0 stops the timer as if it were disabled.
  void SetInterval(int interval) {
    if (SetIfChanged(interval_, std::max(interval, 0))) UpdateTimer();
  }

  TNotifyEvent OnTimer;

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();

  std::unique_ptr<QTimer> timer_;
  bool enabled_ = true;
  int interval_ = 1000;
};
