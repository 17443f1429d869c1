// A program of someone else's: draws a gauge with the installed component library and checks the
// bar on either side of its end.
#include <cstdio>

#include "components/Cgauges/Cgauges.h"
#include "framework/Application.h"

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  TCGauge gauge(nullptr);
  gauge.SetProgress(40);
  gauge.Refresh();
  // The control's canvas holds what it painted.
  const bool drawn = gauge.Canvas()->Pixels(10, 50) == gauge.ForeColor() &&
                     gauge.Canvas()->Pixels(90, 50) == gauge.BackColor();
  std::printf("gauge at %d%%: %s\n", gauge.GetPercentDone(), drawn ? "drawn" : "wrong");
  return drawn ? 0 : 1;
}
