// Test entry point for tests that need the application object: one TApplication for the whole
// test program, with the hand-over of worker calls installed, on Qt's offscreen platform unless the
// environment names another.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/Application.h"
#ifdef TV_PRIVATE_SYSTEM
#include "support/PrivateSystem.h"
#endif
#include "thread/MainThreadHandOver.h"

int main(int argc, char** argv) {
#ifdef TV_PRIVATE_SYSTEM
  // Before the toolkit or any thread starts.
  EnterPrivateSystem();
#endif
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing::InitGoogleTest(&argc, argv);
#ifdef TV_PRIVATE_SYSTEM
  SkipEveryTestOutsideThePrivateSystem();
#endif
  int appArgc = 1;
  static char name[] = "tests";
  static char* appArgv[] = {name, nullptr};
  auto* application = new TApplication(appArgc, appArgv);
  application->Initialize();
  // Workers hand calls to the main thread as in the program.
  InstallMainThreadHandOver();
  const int result = RUN_ALL_TESTS();
  delete application;
  return result;
}
