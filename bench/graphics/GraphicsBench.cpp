// Figures for the display components: time steps per second of the performance graph (16
// points and one Update per step), full rebuilds per second, and gauge paints per second.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "components/Cgauges/Cgauges.h"
#include "components/Perfgrap/Perfgrap.h"
#include "framework/Application.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Runs the body until about half a second has passed; returns runs per second.
template <class Body>
double PerSecond(Body body) {
  int runs = 0;
  const auto start = Clock::now();
  double elapsed = 0;
  do {
    for (int i = 0; i < 50; ++i) body(runs + i);
    runs += 50;
    elapsed = Seconds(start);
  } while (elapsed < 0.5);
  return runs / elapsed;
}

void StepBench(int width, int height, TGraphKind kind) {
  TPerformanceGraph graph(nullptr);
  graph.SetBounds(0, 0, width, height);
  graph.SetGraphKind(kind);
  graph.Repaint();
  // Values stay inside one gradient so that no step rescales.
  auto step = [&](int n) {
    int total = 0;
    for (int series = 0; series < 16; ++series) {
      total += 1 + (n * 7 + series * 13) % 5;
      graph.DataPoint(RGB(series * 16, 255 - series * 16, 128),
                      kind == pgBar ? total : total / 2 + 1);
    }
    graph.Update();
  };
  for (int i = 0; i < 2 * width; ++i) step(i);  // fill the history first
  const double steps = PerSecond(step);
  const double replays = PerSecond([&](int) { graph.Replay(); });
  std::printf("graph %4d x %3d %s: %9.0f steps/s (%6.2f us/step), %7.0f full Replay/s\n", width,
              height, kind == pgBar ? "bar " : "line", steps, 1e6 / steps, replays);
}

void GaugeBench(TCGaugeKind kind, const char* name) {
  TCGauge gauge(nullptr);
  gauge.SeTCGaugeKind(kind);
  gauge.SetProgress(37);
  const double paints = PerSecond([&](int) { gauge.Repaint(); });
  std::printf("gauge 100 x 100 %-14s: %9.0f paints/s (%6.1f us/paint)\n", name, paints,
              1e6 / paints);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication application(argc, argv);
  application.Initialize();
  StepBench(288, 73, pgLine);
  StepBench(288, 73, pgBar);
  StepBench(1920, 200, pgLine);
  StepBench(1920, 200, pgBar);
  GaugeBench(gkText, "text");
  GaugeBench(gkHorizontalBar, "horizontal bar");
  GaugeBench(gkVerticalBar, "vertical bar");
  GaugeBench(gkPie, "pie");
  GaugeBench(gkNeedle, "needle");
  return 0;
}
