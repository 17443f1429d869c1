#pragma once
// Creates the relay server's main window for one test and removes it afterwards, with the
// program-wide serial state put back to what a fresh start has.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Form1.h"
#include "app/Read.h"
#include "app/SerialLink.h"
#include "app/StartOptions.h"
#include "framework/Application.h"
#include "platform/Sockets.h"
#include "tests/support/LiveThreads.h"
#include "tests/support/MemoText.h"
#include "tests/support/MessageLoop.h"

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    RegisterRelayServerClasses();
    ResetSerialState();
    // The test program runs on a private machine: its /dev has no serial adapter (a test puts
    // a pseudo-terminal behind /dev/ttyUSB0 when it wants one) and port 1028 is its own.
    Application->OnException = [this](TObject*, const Exception& e) {
      exceptions.push_back(e.Message());
    };
  }

  void TearDown() override {
    // Closing stops the watchdog; a worker left running would take part in the next test.
    if (Form1 && Read) Form1->Close();
    RunUntil([] { return LiveThreadCount() == 0; }, 10000);
    delete Form1;
    Form1 = nullptr;
    if (PortHandle != nullptr && PortHandle != INVALID_HANDLE_VALUE) CloseHandle(PortHandle);
    ResetSerialState();
    Application->OnException = nullptr;
    TForm1::Clock = DefaultClock;
  }

  void CreateMainWindow() {
    TForm1* form = nullptr;
    Application->CreateForm(form);
    ASSERT_EQ(form, Form1);
  }

  static void ResetSerialState() {
    PortHandle = nullptr;
    PortName = "com1";
    StartOptions = TServerOptions{};
    SavedTimeouts = {};
    WorkingTimeouts = {};
    LineConfiguration = {};
  }

  std::string LogText() const { return MemoText(*Form1->Memo1); }

  // The port open or not, and the status line saying so.
  static void ExpectPortShownAs(bool found) {
    EXPECT_EQ(PortHandle != INVALID_HANDLE_VALUE, found);
    EXPECT_EQ(Form1->Panel3->Color(), found ? clLime : clRed);
    EXPECT_EQ(Form1->Label9->Caption(), found ? kPortFoundText : kPortNotFoundText);
  }

  std::vector<std::string> exceptions;
  const std::function<TTimeOfDay()> DefaultClock = TForm1::Clock;
};
