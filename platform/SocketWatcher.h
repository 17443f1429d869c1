#pragma once
// The readiness notifications of WSAAsyncSelect: one watcher per socket, from its accept or its
// first selection to its closesocket. The calls of the library tell the watchers what they did
// to a socket, by descriptor; the watchers turn readiness into window messages with the Windows
// re-enabling rules.

#include "platform/MessageWindow.h"

namespace WinSock {

// What the calls did to a socket, by descriptor.
void WatchSelection(int fd, HWND window, UINT msg, long events);
void WatchListening(int fd);
void WatchAccept(int listener, bool starved, int accepted);
void WatchReceive(int fd);
void WatchSendWouldBlock(int fd);
// Before the descriptor is closed: its notifications end here.
void WatchClose(int fd);
// After a descriptor was given back.
void WatchDescriptorReturned();

}  // namespace WinSock
