// The relay server's entry point: takes no options and always returns 0.
#include "app/Form1.h"
#include "framework/Application.h"
#include "thread/MainThreadHandOver.h"

int main(int argc, char** argv) {
  auto* application = new TApplication(argc, argv);
  InstallMainThreadHandOver();
  try {
    RegisterRelayServerClasses();
    Application->Initialize();
    Application->CreateForm(Form1);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  delete application;
  return 0;
}
