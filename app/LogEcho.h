#pragma once
// The log's lines also go to standard output, each with the date and time in front
// ("2026-12-08 14:05:09 PC with IP 10.1.2.3 connected"), one write per line. A service's
// standard output ends in the journal, which keeps them across restarts. The window's own time
// stamps are not repeated there.

#include <string_view>

// Off unless the program turns it on.
extern bool EchoLogToStandardOutput;

// Takes a piece of the log as the window gets it; a line goes out when its line end arrives,
// stamped with the time its first piece came.
void EchoLogPiece(std::string_view piece);
