#pragma once
// SIGTERM and SIGINT delivered as a call on the GUI thread, inside the message loop, so that a
// headless server can close its window the same way a user would.

#include <functional>

// Installs the handlers; onSignal runs on the thread that called this, from its event loop.
void InstallTerminationSignals(std::function<void()> onSignal);
// Restores the default dispositions.
void RemoveTerminationSignals();
