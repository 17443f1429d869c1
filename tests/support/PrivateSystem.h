#pragma once
// A machine of the test program's own: private mount and network namespaces, with a /dev that
// holds only the harmless devices and a pseudo-terminal instance of its own, X server sockets
// of its own and a loopback of its own. A relay board on the machine's /dev/ttyUSB0 or a server on
// the machine's port 1028 is never reached from inside, and whatever the tests start (the real
// program among it) inherits the same private machine.
//
// As root the namespaces are made directly; otherwise inside a user namespace of our own, where
// the test program is root of its private machine only.

#include <string>

// Enters the private machine. Call first thing in main, before any thread has started; the
// outcome is kept for the questions below.
void EnterPrivateSystem();
bool InPrivateSystem();
// One line on why the private machine could not be had.
const std::string& PrivateSystemProblem();

// For a test program that must not run on the machine itself: without the private machine
// every test is skipped, with the one-line reason. In PrivateSystemSkip.cpp, which needs the
// test framework.
void SkipEveryTestOutsideThePrivateSystem();

// Makes the private name service know a TCP service; false when that cannot be done.
bool AddPrivateService(const std::string& name, int port);
// Drops everything sent to the address on the private loopback, as if the host behind it had
// lost power: nothing answers and nothing is reset.
bool SilenceAddress(const std::string& address);
