#pragma once
// The port watchdog: a worker that, about every 1.25 seconds, has the GUI thread close the
// serial port and open it again by the current port name, so that the status line follows the
// adapter being pulled or plugged in and a newly picked port takes effect. The worker itself
// only sleeps; the port and the window are touched on the GUI thread alone.

#include "thread/Thread.h"

class TRead : public TThread {
 public:
  // FreeOnFinish is set here as well as in Run: a stop requested before the thread first runs
  // skips Run, and the worker would otherwise never be freed.
  explicit TRead(bool StartSuspended) : TThread(StartSuspended) { FreeOnFinish = true; }

  // One cycle, on the GUI thread.
  void ReopenPort();

 protected:
  void Run() override;
};

// The one watchdog, created at start-up; null before that and once shut-down has asked it to
// stop (it deletes itself when it ends).
extern TRead* Read;
