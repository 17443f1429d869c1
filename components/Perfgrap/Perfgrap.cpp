#include "components/Perfgrap/Perfgrap.h"

#include <algorithm>
#include <cstdint>

#include "framework/ClassRegistry.h"
#include "framework/Exceptions.h"

namespace {

// Pixel heights stay far inside the 32-bit range, so that rectangle and line coordinates
// computed from them cannot overflow, whatever values a data source passes.
constexpr double kHeightLimit = 1 << 28;

int32_t TruncatedHeight(double pixels) {
  return static_cast<int32_t>(std::clamp(pixels, -kHeightLimit, kHeightLimit));
}

int32_t Saturated(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

TPerformanceGraph::TPerformanceGraph(TComponent* owner) : TGraphicControl(owner) {
  // Opaque: a refresh paints the graph directly and never calls the virtual Update, which
  // here ends a time step.
  ControlStyle().insert(csOpaque);
  ControlStyle().insert(csFramed);
  SetWidth(100);
  SetHeight(100);
  Canvas()->Pen().SetWidth(penWidth_);
  FSlotCount = GetBandCount() + 2;
  FHistory = new TGraphSlot[FSlotCount];
  FFirstSlot = 1;
  FPicture = new TBitmap();
  Initialize(gridSize_ - 1);
}

TPerformanceGraph::~TPerformanceGraph() {
  delete FPicture;
  delete[] FHistory;
}

std::string TPerformanceGraph::ClassName() const {
  return "TPerformanceGraph";
}

void TPerformanceGraph::DataPoint(TColor color, int32_t value) {
  TGraphSlot& slot = FHistory[FCurrentSlot];
  if (slot.Count >= TGraphSlot::kCapacity) throw ERangeError("");
  slot.Colors[slot.Count] = color;
  slot.Values[slot.Count] = value;
  ++slot.Count;
}

void TPerformanceGraph::Update() {
  ScrollGraph();
  ShiftY();
  int32_t largest = 0;
  for (int32_t slot = 0; slot < FSlotCount; ++slot) {
    const TGraphSlot& points = FHistory[slot];
    for (int32_t i = 0; i < points.Count; ++i) largest = std::max(largest, points.Values[i]);
  }
  const int32_t newScale = RoundUp(largest, gradient_);
  if (newScale == scale_) {
    // With no band in the picture (steps wider than the graph) no step is shown, as a rebuild
    // would not show it either.
    if (GetBandCount() > 0) DisplayPoints(LastY(FCurrentSlot));
    Refresh();
  } else {
    SetScale(newScale);
  }
}

void TPerformanceGraph::Paint() {
  if (FPicture->Height() != Height() || FPicture->Width() != Width()) {
    if (FPicture->Width() != Width()) ReallocHistory();
    Replay();
  }
  Canvas()->SetCopyMode(SRCCOPY);
  Canvas()->Draw(0, 0, *FPicture);
}

TGraphKind TPerformanceGraph::Kind() const {
  return kind_;
}
TColor TPerformanceGraph::ForeColor() const {
  return foreColor_;
}
TColor TPerformanceGraph::BackColor() const {
  return backColor_;
}
int32_t TPerformanceGraph::GridSize() const {
  return gridSize_;
}
int32_t TPerformanceGraph::StepSize() const {
  return stepSize_;
}
int32_t TPerformanceGraph::Scale() const {
  return scale_;
}
int32_t TPerformanceGraph::Gradient() const {
  return gradient_;
}
bool TPerformanceGraph::Gridlines() const {
  return gridlines_;
}
int32_t TPerformanceGraph::PenWidth() const {
  return penWidth_;
}

void TPerformanceGraph::SetGraphKind(TGraphKind kind) {
  if (SetIfChanged(kind_, kind)) Replay();
}

void TPerformanceGraph::SetForeColor(TColor color) {
  if (SetIfChanged(foreColor_, color)) Replay();
}

void TPerformanceGraph::SetBackColor(TColor color) {
  if (SetIfChanged(backColor_, color)) Replay();
}

void TPerformanceGraph::SetGridSize(int32_t size) {
  if (size == gridSize_) return;
  gridSize_ = std::max(size, 2);
  Replay();
}

void TPerformanceGraph::SetStepSize(int32_t size) {
  if (size == stepSize_) return;
  stepSize_ = std::max(size, 1);
  ReallocHistory();
  Replay();
}

void TPerformanceGraph::SetScale(int32_t scale) {
  if (scale == scale_) return;
  scale_ = RoundUp(scale, gradient_);
  if (OnScaleChange) OnScaleChange(this);
  Replay();
}

void TPerformanceGraph::SetGradient(int32_t gradient) {
  if (SetIfChanged(gradient_, gradient)) Replay();
}

void TPerformanceGraph::SetGridlines(bool gridlines) {
  if (SetIfChanged(gridlines_, gridlines)) Replay();
}

void TPerformanceGraph::SetPenWidth(int32_t width) {
  if (width == penWidth_) return;
  penWidth_ = width;
  Canvas()->Pen().SetWidth(width);
  Replay();
}

int32_t TPerformanceGraph::GetBandCount() const {
  // A control of no or negative width has no bands.
  return std::max(Width(), 0) / stepSize_;
}

void TPerformanceGraph::Initialize(int32_t firstX) {
  FPicture->SetSize(Width(), Height());
  FGraphRect = Rect(0, 0, FPicture->Width(), FPicture->Height());
  TCanvas& canvas = *FPicture->Canvas();
  canvas.Brush().SetColor(backColor_);
  canvas.FillRect(FGraphRect);
  if (gridlines_) {
    canvas.Pen().SetColor(foreColor_);
    for (int32_t y = gridSize_; y < FGraphRect.Bottom; y += gridSize_) {
      canvas.MoveTo(FGraphRect.Left, y);
      canvas.LineTo(FGraphRect.Right, y);
    }
    // Lines left of the picture cannot be seen; the walk starts at the last one of them.
    int64_t x = firstX;
    if (x < -gridSize_) x += ((-x) / gridSize_ - 1) * static_cast<int64_t>(gridSize_);
    for (; x < FGraphRect.Right; x += gridSize_) {
      canvas.MoveTo(static_cast<int>(x), 0);
      canvas.LineTo(static_cast<int>(x), FGraphRect.Bottom);
    }
    FGridPhase = Saturated(x - FGraphRect.Right);
  }
  FNewBand = FScrollDest = FScrollSource = FGraphRect;
  FScrollSource.Left = stepSize_;
  FScrollDest.Right = FGraphRect.Right - stepSize_;
  FNewBand.Left = FGraphRect.Right - stepSize_;
}

int32_t TPerformanceGraph::RoundUp(int32_t value, int32_t multiple) {
  // In 64 bits, so that the extremes neither overflow nor trap; the result saturates.
  const int64_t v = value;
  const int64_t m = multiple;
  if (m != 0 && v % m != 0) return Saturated((v / m + 1) * m);
  return value;
}

int32_t TPerformanceGraph::ValueHeight(int32_t value) const {
  // A scale of 0 or below has no height to divide: every value lies on the bottom edge.
  if (scale_ <= 0) return 0;
  const double pixels = static_cast<double>(value) / scale_ * (FGraphRect.Bottom - FGraphRect.Top);
  return TruncatedHeight(pixels);
}

void TPerformanceGraph::PaintBar(TColor color, int32_t base, int32_t height) {
  if (height == 0) return;
  const int32_t h = ValueHeight(height);
  const int32_t b = ValueHeight(base);
  if (h == 0) return;
  TCanvas& canvas = *FPicture->Canvas();
  canvas.Brush().SetColor(color);
  canvas.FillRect(
      Rect(FNewBand.Left, FGraphRect.Bottom - b - h - 1, FNewBand.Right, FGraphRect.Bottom - b));
}

void TPerformanceGraph::PaintLine(TColor color, int32_t from, int32_t to) {
  const int32_t yTo = ValueHeight(to);
  const int32_t yFrom = ValueHeight(from);
  TCanvas& canvas = *FPicture->Canvas();
  canvas.Pen().SetColor(color);
  canvas.MoveTo(FNewBand.Left, FGraphRect.Bottom - yFrom);
  canvas.LineTo(FNewBand.Right, FGraphRect.Bottom - yTo);
}

void TPerformanceGraph::ScrollGraph() {
  TCanvas& canvas = *FPicture->Canvas();
  canvas.CopyRect(FScrollDest, canvas, FScrollSource);
  canvas.Brush().SetColor(backColor_);
  canvas.FillRect(FNewBand);
  if (!gridlines_) return;
  canvas.Pen().SetColor(foreColor_);
  for (int32_t y = gridSize_; y < FNewBand.Bottom; y += gridSize_) {
    canvas.MoveTo(FNewBand.Left, y);
    canvas.LineTo(FNewBand.Right, y);
  }
  // A phase that has drifted very far (steps wider than the grid, no rebuild for ages) is
  // brought closer to 0 by whole grid sizes, which keeps where its lines fall.
  if (FGridPhase < -(1 << 30)) FGridPhase %= gridSize_;
  FGridPhase -= stepSize_;
  if (FGridPhase >= 0) return;
  const int32_t x = Saturated(static_cast<int64_t>(FGraphRect.Right) + FGridPhase);
  canvas.MoveTo(x, FGraphRect.Top);
  canvas.LineTo(x, FGraphRect.Bottom);
  FGridPhase += gridSize_;
}

void TPerformanceGraph::DisplayPoints(int32_t slot) {
  const TGraphSlot& points = FHistory[slot];
  int32_t base = 0;
  for (int32_t i = 0; i < points.Count; ++i) {
    const int32_t value = points.Values[i];
    if (value == 0) continue;
    if (kind_ == pgBar) {
      PaintBar(points.Colors[i], base, Saturated(static_cast<int64_t>(value) - base));
    } else if (kind_ == pgLine) {
      const TGraphSlot& previous = FHistory[LastY(slot)];
      int32_t from = 0;
      for (int32_t j = 0; j < previous.Count; ++j) {
        if (previous.Colors[j] == points.Colors[i]) {
          from = previous.Values[j];
          break;
        }
      }
      PaintLine(points.Colors[i], from, value);
    }
    base = value;
  }
}

int32_t TPerformanceGraph::LastY(int32_t slot) const {
  return slot == 0 ? FSlotCount - 1 : slot - 1;
}

void TPerformanceGraph::ReallocHistory() {
  const int32_t n = GetBandCount() + 2;
  auto* history = new TGraphSlot[n];
  int32_t a = FirstY();
  for (int32_t dropped = FSlotCount - n; dropped > 0; --dropped) a = NextY(a);
  int32_t j = 0;
  for (; a != -1 && j < n; a = NextY(a)) history[j++] = FHistory[a];
  delete[] FHistory;
  FHistory = history;
  FSlotCount = n;
  FCurrentSlot = j - 1;
  FFirstSlot = 0;
}

int32_t TPerformanceGraph::FirstY() const {
  return FFirstSlot;
}

int32_t TPerformanceGraph::NextY(int32_t slot) const {
  int32_t next = slot + 1;
  if (next == FSlotCount) next = 0;
  return next == FFirstSlot ? -1 : next;
}

int32_t TPerformanceGraph::ShiftY() {
  int32_t s = FCurrentSlot + 1;
  if (s == FSlotCount) s = 0;
  FHistory[s].Count = 0;
  FFirstSlot = s + 1 == FSlotCount ? 0 : s + 1;
  FCurrentSlot = s;
  return s;
}

void TPerformanceGraph::Replay() {
  const int64_t p = static_cast<int64_t>(Width()) + FGridPhase;
  Initialize(static_cast<int32_t>(p % gridSize_));
  const TRect savedBand = FNewBand;
  // Without a band the finished steps have no place in the picture: they go right of it.
  const int32_t bands = GetBandCount();
  int32_t x = bands > 0 ? Width() % bands : std::max(Width(), 0);
  for (int32_t slot = NextY(FirstY()); slot != -1; slot = NextY(slot)) {
    FNewBand.Left = x;
    x = Saturated(static_cast<int64_t>(x) + stepSize_);
    FNewBand.Right = x;
    DisplayPoints(slot);
  }
  Refresh();
  FNewBand = savedBand;
}

void RegisterPerfgrap() {
  RegisterGraphicControlClass();
  using G = TPerformanceGraph;
  RegisterComponentClass(
      TComponentClass{"TPerformanceGraph",
                      "TGraphicControl",
                      [](TComponent* owner) -> TComponent* { return new TPerformanceGraph(owner); },
                      {
                          {"Kind", EnumSetter(&G::SetGraphKind, {"pgBar", "pgLine"}), "pgLine"},
                          {"ForeColor", ColorSetter(&G::SetForeColor), "clGreen"},
                          {"BackColor", ColorSetter(&G::SetBackColor), "clBlack"},
                          {"GridSize", IntSetter(&G::SetGridSize), "15"},
                          {"StepSize", IntSetter(&G::SetStepSize), "3"},
                          {"Scale", IntSetter(&G::SetScale), "1000"},
                          {"Gradient", IntSetter(&G::SetGradient), "100"},
                          {"Gridlines", BoolSetter(&G::SetGridlines), "true"},
                          {"PenWidth", IntSetter(&G::SetPenWidth), "2"},
                          {"OnScaleChange", EventSetter(&G::OnScaleChange), ""},
                      }});
}
