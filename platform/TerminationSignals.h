#pragma once
// SIGTERM, SIGINT and SIGHUP delivered as a call on the GUI thread, inside the message loop, so
// that a headless server can close its window the same way a user would. SIGPIPE is ignored
// from the installation on, for good: a write to a connection that is gone is an error there.

#include <functional>

// Installs the handlers; onSignal runs on the thread that called this, from its event loop.
void InstallTerminationSignals(std::function<void()> onSignal);
// Restores the default dispositions of the closing signals.
void RemoveTerminationSignals();
