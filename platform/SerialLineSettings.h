#pragma once
// What a line record means on a Linux terminal: its fields read from and written to the kernel's
// terminal record (termios2, which carries an exact rate in bits per second). Shared by the
// serial port's calls; the C library's <termios.h> must not be included beside it.

#include <asm/termbits.h>

#include "platform/Serial.h"

// Switches off everything a terminal does to the bytes on their way: output processing, echo,
// line editing, signal characters and the input translations. Software flow control only as
// asked (by a line record; an open asks for none); the hardware settings (rate, size, parity,
// handshake) are left to the line record.
void MakeRaw(termios2& settings, bool outputFlowControl = false, bool inputFlowControl = false);
// The data bits of a character (5 to 8) by the terminal's size flags.
BYTE ByteSizeOf(tcflag_t cflag);
// Fills the record from the terminal's settings and its modem lines (TIOCM_DTR, TIOCM_RTS).
void ReadLineSettings(const termios2& settings, int modemLines, DCB& dcb);
// What the line can take, the rules of the record's own platform included.
bool LineSettingsValid(const DCB& dcb);
// Writes the record's rate, size, parity, stop bits, parity checking, handshake and flow control
// into the settings; the line stays raw.
void WriteLineSettings(const DCB& dcb, termios2& settings);
