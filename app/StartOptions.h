#pragma once
// The command line's settings, handed from the entry point to the window's start-up.

#include "app/Options.h"

class TForm1;

// What the entry point read; the defaults when the window is made without it.
extern TServerOptions StartOptions;

// Run by start-up before the server opens: the port name (shown in the selector), the address
// to listen on, the peers admitted and the log's length.
void ApplyStartOptions(TForm1& form);
