#pragma once
// Hidden message windows: an object with a window procedure that receives numbered messages on
// the GUI thread. Posting is safe from any thread; the message runs later, in the message loop.
// Destroying a window discards the messages still waiting for it.

#include <functional>

#include "platform/WinTypes.h"

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

class MessageWindowImpl;
using HWND = MessageWindowImpl*;

using WindowProcedure = std::function<void(TMessage&)>;

// Creates a hidden window on the calling thread (the GUI thread) with the given procedure.
HWND CreateMessageWindow(WindowProcedure procedure);
// Destroys the window; waiting messages are dropped. Must run on the GUI thread.
void DestroyMessageWindow(HWND window);
// Queues a message; returns FALSE when the window does not exist (any more).
BOOL PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls the window procedure at once on the calling thread; returns the message's result.
LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// What a window does with a message that its procedure has no handler for.
LRESULT DefWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// Whether any window has messages queued and not yet delivered.
bool MessagesWaiting();
// Whether the calling thread is inside a window procedure.
bool HandlingMessage();
