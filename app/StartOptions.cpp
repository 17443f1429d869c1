#include "app/StartOptions.h"

#include <cstdio>

#include "app/Form1.h"
#include "app/SerialLink.h"

TServerOptions StartOptions;

void ApplyStartOptions(TForm1& form) {
  if (StartOptions.port) {
    PortName = *StartOptions.port;
    // Set by the program, so the selector's change handler does not cut it to nine characters.
    form.ComboBox1->SetText(*StartOptions.port);
  }
  form.ServerSocket1->SetAddress(StartOptions.listenAddress);
  if (StartOptions.allowed) {
    form.ServerSocket1->ListeningEndpoint()->PeerFilter = [](uint32_t address,
                                                             const std::string& text) {
      if (PeerAllowed(StartOptions, address)) return true;
      // Never in the window's log: a stranger must not be able to fill it.
      std::fprintf(stderr, "tallyvane: refused PC with IP %s (not in --allow)\n", text.c_str());
      return false;
    };
  }
  form.Memo1->SetMaxLines(StartOptions.logLines);
}
