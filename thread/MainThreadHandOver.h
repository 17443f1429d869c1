#pragma once
// Connects the thread facility to the application object: a queued hand-over posts a wake-up
// to the application's window, whose handler serves the queue; the idle step serves it too, so
// a lost wake-up is made good on the next idle pass. The hook goes when the application does.

// Call once, on the main thread, right after the application object has been created. Calling
// it again for the same application object does nothing.
void InstallMainThreadHandOver();
