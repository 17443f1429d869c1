// The relay server's entry point. Without options it serves as it always has. Wrong options end
// it with status 2 before any window opens; on a box without a screen it draws off screen, and
// there a start-up that cannot listen ends it with status 1 so that a service manager restarts it.
#include <cstdio>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "app/LogEcho.h"
#include "app/StartOptions.h"
#include "framework/Application.h"
#include "framework/Display.h"
#include "thread/MainThreadHandOver.h"

int main(int argc, char** argv) {
  const bool choseOffscreen = ChooseOffscreenWithoutDisplay(argc, argv);
  auto* application = new TApplication(argc, argv);
  // The toolkit has taken its own options (-platform and the like) out of argv by now.
  const TOptionsOutcome outcome = ReadServerOptions(std::vector<std::string>(argv, argv + argc));
  if (!outcome.options) {
    std::fputs(outcome.standardOutput.c_str(), stdout);
    std::fputs(outcome.standardError.c_str(), stderr);
    delete application;
    return outcome.exitStatus;
  }
  StartOptions = *outcome.options;
  if (choseOffscreen)
    std::fputs(
        "tallyvane: no display found, running on the offscreen platform (nothing is shown)\n",
        stderr);
  EchoLogToStandardOutput = true;
  InstallMainThreadHandOver();
  int status = 0;
  try {
    RegisterRelayServerClasses();
    Application->Initialize();
    // Off screen nobody answers a dialog: a start-up error is on standard error already, and the
    // program ends with it instead of serving nothing.
    bool startupFailed = false;
    if (RunningOffscreen())
      Application->OnException = [&](TObject*, const Exception&) { startupFailed = true; };
    Application->CreateForm(Form1);
    Application->OnException = nullptr;
    if (startupFailed) {
      status = 1;
    } else {
      // Off screen every frame would be drawn for nobody.
      Application->ShowMainForm = !RunningOffscreen();
      Application->Run();
    }
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  delete application;
  return status;
}
