#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "framework/Application.h"
#include "framework/HiddenWindow.h"
#include "platform/TerminationSignals.h"
#include "tests/support/MessageLoop.h"

namespace {

TEST(ApplicationTest, DialogTextAddsAFullStopOnlyAfterCharactersAboveItAndTitlesCutAtOne) {
  EXPECT_EQ(TApplication::DialogText("Asynchronous socket error 10054"),
            "Asynchronous socket error 10054.");
  for (const char* kept : {"on API 'bind'", "Done.", "list,", "", "ends in a space "})
    EXPECT_EQ(TApplication::DialogText(kept), kept);
  // The title is the executable's name cut at its first full stop.
  EXPECT_EQ(TApplication::TitleOf("/opt/bin/RELAY.Server.exe"), "Relay");
  EXPECT_EQ(TApplication::TitleOf("tallyvane"), "tallyvane");
  EXPECT_EQ(TApplication::TitleOf("./MyProg"), "Myprog");
  EXPECT_EQ(Application->Title(), "tests");
}

TEST(ApplicationTest, HandleExceptionSkipsAbortsAndPassesOthersToOnException) {
  std::vector<std::string> seen;
  Application->OnException = [&](TObject*, const Exception& e) { seen.push_back(e.Message()); };
  for (const std::exception_ptr& thrown :
       {std::make_exception_ptr(EAbort("quiet")), std::make_exception_ptr(ERangeError("loud")),
        std::make_exception_ptr(std::runtime_error("foreign"))}) {
    try {
      std::rethrow_exception(thrown);
    } catch (...) {
      Application->HandleException(nullptr);
    }
  }
  Application->OnException = nullptr;
  EXPECT_EQ(seen, (std::vector<std::string>{"loud", "foreign"}));
}

TEST(ApplicationTest, OnlyOneExceptionDialogAtATimeAndWaitingOnesFollow) {
  // Each dialog that opens raises another error from inside its nested loop, as a socket error
  // storm would; the dialogs must follow one another instead of nesting.
  int maxOpen = 0, raised = 0, accepted = 0;
  QTimer poke;
  QObject::connect(&poke, &QTimer::timeout, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<QMessageBox*>(w) && w->isVisible()) ++open;
    maxOpen = std::max(maxOpen, open);
    if (raised < 5) {
      ++raised;
      try {
        throw Exception("storm " + std::to_string(raised));
      } catch (...) {
        Application->HandleException(nullptr);
      }
    }
    static_cast<QMessageBox*>(dialog)->accept();
    ++accepted;
  });
  poke.start(10);
  Application->ShowException(Exception("first"));
  EXPECT_EQ(accepted, 6);
  EXPECT_EQ(maxOpen, 1);
}

// The signals that end a server reach it as a call in its loop; a write to a pipe nobody reads
// any more is an error, not the end of the process; a hang-up ignored from the start (nohup)
// stays ignored.
TEST(TerminationSignalsTest, ClosingSignalsReachTheLoopAndABrokenPipeIsAnError) {
  signal(SIGHUP, SIG_DFL);
  int calls = 0;
  InstallTerminationSignals([&] { ++calls; });
  for (const int closing : {SIGTERM, SIGINT, SIGHUP}) {
    const int before = calls;
    raise(closing);
    EXPECT_TRUE(RunUntil([&] { return calls > before; })) << closing;
  }
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  EXPECT_EQ(write(ends[1], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  close(ends[1]);

  RemoveTerminationSignals();
  signal(SIGHUP, SIG_IGN);
  InstallTerminationSignals([] {});
  struct sigaction hangUp {};
  sigaction(SIGHUP, nullptr, &hangUp);
  EXPECT_EQ(hangUp.sa_handler, SIG_IGN);
  signal(SIGHUP, SIG_DFL);
  Application->Initialize();
}

TEST(HiddenWindowTest, PostedMessagesRunLaterInTheLoopFromAnyThread) {
  THiddenWindow window(nullptr);
  std::vector<WPARAM> received;
  window.SetHandler(WM_USER + 7, [&](TMessage& m) { received.push_back(m.WParam); });
  std::thread poster([&] {
    for (WPARAM i = 0; i < 50; ++i) window.Post(WM_USER + 7, i, 0);
  });
  poster.join();
  EXPECT_TRUE(received.empty());
  ASSERT_TRUE(RunUntil([&] { return received.size() == 50; }, 5000));
  for (WPARAM i = 0; i < 50; ++i) EXPECT_EQ(received[i], i);
}

TEST(HiddenWindowTest, DestroyingTheWindowDropsWaitingMessagesAndLaterPostsFailEvenFromAHandler) {
  int delivered = 0;
  auto* window = new THiddenWindow(nullptr);
  window->SetHandler(WM_USER, [&](TMessage&) { ++delivered; });
  EXPECT_TRUE(window->Post(WM_USER));
  const HWND handle = window->Handle();
  delete window;
  EXPECT_EQ(PostMessage(handle, WM_USER, 0, 0), FALSE);
  HandleWaitingMessages();
  EXPECT_EQ(delivered, 0);
  // A handler may destroy its own window.
  window = new THiddenWindow(nullptr);
  bool freed = false;
  window->SetHandler(WM_USER + 3, [&](TMessage&) {
    delete window;
    freed = true;
  });
  window->Post(WM_USER + 3);
  EXPECT_TRUE(RunUntil([&] { return freed; }, 5000));
}

TEST(HiddenWindowTest, EscapedExceptionGoesToTheApplicationAndTheLoopGoesOn) {
  THiddenWindow window(nullptr);
  std::vector<std::string> seen;
  int after = 0;
  Application->OnException = [&](TObject*, const Exception& e) { seen.push_back(e.Message()); };
  window.SetHandler(WM_USER + 1, [](TMessage&) { throw Exception("boom"); });
  window.SetHandler(WM_USER + 2, [&](TMessage&) { ++after; });
  window.Post(WM_USER + 1);
  window.Post(WM_USER + 2);
  RunUntil([&] { return after == 1; }, 5000);
  Application->OnException = nullptr;
  EXPECT_EQ(seen, std::vector<std::string>{"boom"});
  EXPECT_EQ(after, 1);
}

TEST(ApplicationTest, WakeUpsRunTheWakeHandlerAndIdleStepsRunWhenTheLoopIsAboutToWait) {
  std::atomic<int> wakes{0};
  static int idleRuns = 0;
  Application->SetWakeHandler([&] { ++wakes; });
  Application->AddIdleStep([] {
    ++idleRuns;
    return false;
  });
  std::thread([&] { Application->PostWakeMessage(); }).join();
  EXPECT_TRUE(RunUntil([&] { return wakes == 1 && idleRuns > 0; }, 5000));
  EXPECT_EQ(wakes, 1);
  Application->SetWakeHandler(nullptr);
}

}  // namespace
