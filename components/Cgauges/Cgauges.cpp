#include "components/Cgauges/Cgauges.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "framework/ClassRegistry.h"
#include "framework/Exceptions.h"

namespace {

// The pixels a percentage covers of a size.
int PercentOf(int32_t percent, int size) {
  return static_cast<int>(std::floor(percent * 0.01 * size));
}

// "Value must be between %d and %d". The limits are 64 bits wide: at the very ends of the range
// they are shown as the numbers they are rather than wrapped.
[[noreturn]] void RaiseOutOfRange(int64_t low, int64_t high) {
  throw Exception(FormatText("Value must be between %lld and %lld", static_cast<long long>(low),
                             static_cast<long long>(high)));
}

}  // namespace

TBltBitmap::TBltBitmap() = default;
TBltBitmap::~TBltBitmap() = default;

void TBltBitmap::MatchSize(TBitmap* pattern) {
  SetSize(pattern->Width(), pattern->Height());
  Canvas()->Brush().SetStyle(bsSolid);
  Canvas()->Brush().SetColor(clWindowFrame);
  Canvas()->FillRect(Rect(0, 0, Width(), Height()));
}

TCGauge::TCGauge(TComponent* owner) : TGraphicControl(owner) {
  ControlStyle().insert(csOpaque);
  ControlStyle().insert(csFramed);
  SetWidth(100);
  SetHeight(100);
}

TCGauge::~TCGauge() = default;

std::string TCGauge::ClassName() const {
  return "TCGauge";
}

int32_t TCGauge::GetPercentDone() const {
  const int64_t range = static_cast<int64_t>(maxValue_) - minValue_;
  const int64_t done = static_cast<int64_t>(progress_) - minValue_;
  if (range == 0) return 0;
  return static_cast<int32_t>(std::floor(static_cast<double>(done) * 100 / range));
}

void TCGauge::Paint() {
  auto picture = std::make_unique<TBitmap>();
  auto overlay = std::make_unique<TBltBitmap>();
  picture->SetSize(Width(), Height());
  PaintBackground(picture.get());
  TRect area = ClientRect();
  if (borderStyle_ == bsSingle)
    area = Rect(area.Left + 1, area.Top + 1, area.Right - 1, area.Bottom - 1);
  overlay->MatchSize(picture.get());
  PaintBackground(overlay.get());
  switch (kind_) {
    case gkText:
      PaintAsNothing(overlay.get(), area);
      break;
    case gkHorizontalBar:
    case gkVerticalBar:
      PaintAsBar(overlay.get(), area);
      break;
    case gkPie:
      PaintAsPie(overlay.get(), area);
      break;
    case gkNeedle:
      PaintAsNeedle(overlay.get(), area);
      break;
  }
  TCanvas& canvas = *picture->Canvas();
  canvas.SetCopyMode(SRCINVERT);
  canvas.Draw(0, 0, *overlay);
  canvas.SetCopyMode(SRCCOPY);
  if (showText_) PaintAsText(picture.get(), area);
  Canvas()->SetCopyMode(SRCCOPY);
  Canvas()->Draw(0, 0, *picture);
}

void TCGauge::PaintBackground(TBitmap* image) {
  TCanvas& canvas = *image->Canvas();
  canvas.SetCopyMode(BLACKNESS);
  const TRect whole = Rect(0, 0, Width(), Height());
  canvas.CopyRect(whole, canvas, whole);
  canvas.SetCopyMode(SRCCOPY);
}

void TCGauge::PaintAsNothing(TBitmap* image, const TRect& area) {
  TCanvas& canvas = *image->Canvas();
  canvas.Brush().SetColor(backColor_);
  canvas.FillRect(area);
}

void TCGauge::PaintAsBar(TBitmap* image, const TRect& area) {
  const int percent = GetPercentDone();
  const int w = area.Right - area.Left + 1;
  const int h = area.Bottom - area.Top + 1;
  TCanvas& canvas = *image->Canvas();
  canvas.Brush().SetColor(backColor_);
  canvas.FillRect(area);
  canvas.Pen().SetColor(foreColor_);
  canvas.Pen().SetWidth(1);
  canvas.Brush().SetColor(foreColor_);
  if (kind_ == gkHorizontalBar) {
    int fill = PercentOf(percent, w);
    if (fill > w) fill = w;
    if (fill > 0) canvas.FillRect(Rect(area.Left, area.Top, fill, h));
  } else {
    int fill = PercentOf(percent, h);
    if (fill >= h) fill = h - 1;
    canvas.FillRect(Rect(area.Left, h - fill, w, h));
  }
}

TCanvas& TCGauge::PrepareDial(TBitmap* image, const TRect& area, int& w, int& h) {
  w = area.Right - area.Left;
  h = area.Bottom - area.Top;
  if (borderStyle_ == bsSingle) {
    ++w;
    ++h;
  }
  TCanvas& canvas = *image->Canvas();
  canvas.Brush().SetColor(Color());
  canvas.FillRect(area);
  canvas.Brush().SetColor(backColor_);
  canvas.Pen().SetColor(foreColor_);
  canvas.Pen().SetWidth(1);
  return canvas;
}

void TCGauge::PaintAsPie(TBitmap* image, const TRect& area) {
  int w = 0;
  int h = 0;
  TCanvas& canvas = PrepareDial(image, area, w, h);
  canvas.Ellipse(area.Left, area.Top, w, h);
  const int percent = GetPercentDone();
  if (percent <= 0) return;
  canvas.Brush().SetColor(foreColor_);
  const int midX = w / 2;
  const int midY = h / 2;
  const double angle = (percent * 0.02 + 0.5) * std::numbers::pi;
  canvas.Pie(area.Left, area.Top, w, h, static_cast<int>(std::floor((1 - std::cos(angle)) * midX)),
             static_cast<int>(std::floor((1 - std::sin(angle)) * midY)), midX, 0);
}

void TCGauge::PaintAsNeedle(TBitmap* image, const TRect& area) {
  const int x = area.Left;
  const int y = area.Top;
  int w = 0;
  int h = 0;
  TCanvas& canvas = PrepareDial(image, area, w, h);
  canvas.Pie(x, y, w, 2 * h - 1, x + w, area.Bottom - 1, x, area.Bottom - 1);
  canvas.MoveTo(x, area.Bottom);
  canvas.LineTo(x + w, area.Bottom);
  const int percent = GetPercentDone();
  if (percent <= 0) return;
  canvas.Pen().SetColor(foreColor_);
  const int halfW = Width() / 2;
  canvas.MoveTo(halfW, area.Bottom - 1);
  const double angle = percent * 0.01 * std::numbers::pi;
  canvas.LineTo(static_cast<int>(std::floor((1 - std::cos(angle)) * halfW)),
                static_cast<int>(std::floor((1 - std::sin(angle)) * (area.Bottom - 1))));
}

void TCGauge::PaintAsText(TBitmap* image, const TRect& area) {
  auto text = std::make_unique<TBltBitmap>();
  text->MatchSize(image);
  PaintBackground(text.get());
  const std::string shown = std::to_string(GetPercentDone()) + "%";
  TCanvas& canvas = *text->Canvas();
  canvas.Brush().SetStyle(bsClear);
  canvas.Font().Assign(Font());
  canvas.Font().SetColor(clWhite);
  const int x = (area.Right - area.Left + 1 - canvas.TextWidth(shown)) / 2;
  const int y = (area.Bottom - area.Top + 1 - canvas.TextHeight(shown)) / 2;
  canvas.TextRect(area, x, y, shown);
  image->Canvas()->SetCopyMode(SRCINVERT);
  image->Canvas()->Draw(0, 0, *text);
}

TCGaugeKind TCGauge::Kind() const {
  return kind_;
}
bool TCGauge::ShowText() const {
  return showText_;
}
TFormBorderStyle TCGauge::BorderStyle() const {
  return borderStyle_;
}
TColor TCGauge::ForeColor() const {
  return foreColor_;
}
TColor TCGauge::BackColor() const {
  return backColor_;
}
int32_t TCGauge::MinValue() const {
  return minValue_;
}
int32_t TCGauge::MaxValue() const {
  return maxValue_;
}
int32_t TCGauge::Progress() const {
  return progress_;
}

void TCGauge::SeTCGaugeKind(TCGaugeKind kind) {
  if (SetIfChanged(kind_, kind)) Refresh();
}

void TCGauge::SetShowText(bool showText) {
  if (SetIfChanged(showText_, showText)) Refresh();
}

void TCGauge::SetBorderStyle(TFormBorderStyle style) {
  if (SetIfChanged(borderStyle_, style)) Refresh();
}

void TCGauge::SetForeColor(TColor color) {
  if (SetIfChanged(foreColor_, color)) Refresh();
}

void TCGauge::SetBackColor(TColor color) {
  if (SetIfChanged(backColor_, color)) Refresh();
}

void TCGauge::SetMinValue(int32_t value) {
  if (value == minValue_) return;
  if (value > maxValue_) RaiseOutOfRange(-2147483647, static_cast<int64_t>(maxValue_) - 1);
  minValue_ = value;
  if (progress_ < value) progress_ = value;
  Refresh();
}

void TCGauge::SetMaxValue(int32_t value) {
  // Unlike the other setters this one does not compare with the maximum it holds: the same
  // value is stored again and repaints. 0 is a maximum like any other.
  if (value < minValue_) RaiseOutOfRange(static_cast<int64_t>(minValue_) + 1, 2147483647);
  maxValue_ = value;
  if (progress_ > value) progress_ = value;
  Refresh();
}

void TCGauge::SetProgress(int32_t value) {
  const int32_t clamped = std::clamp(value, minValue_, maxValue_);
  if (clamped == progress_) return;
  const int32_t before = GetPercentDone();
  progress_ = clamped;
  if (GetPercentDone() != before) Refresh();
}

void TCGauge::AddProgress(int32_t delta) {
  // Clamped in 64 bits, so that a large delta does not wrap.
  SetProgress(
      static_cast<int32_t>(std::clamp<int64_t>(int64_t{progress_} + delta, minValue_, maxValue_)));
  Refresh();
}

void RegisterCgauges() {
  RegisterGraphicControlClass();
  using G = TCGauge;
  RegisterComponentClass(TComponentClass{
      "TCGauge",
      "TGraphicControl",
      [](TComponent* owner) -> TComponent* { return new TCGauge(owner); },
      {
          {"Kind",
           EnumSetter(&G::SeTCGaugeKind,
                      {"gkText", "gkHorizontalBar", "gkVerticalBar", "gkPie", "gkNeedle"}),
           "gkHorizontalBar"},
          {"ShowText", BoolSetter(&G::SetShowText), "true"},
          {"BorderStyle",
           EnumSetter(&G::SetBorderStyle, {"bsNone", "bsSingle", "bsSizeable", "bsDialog",
                                           "bsToolWindow", "bsSizeToolWin"}),
           "bsSingle"},
          {"ForeColor", ColorSetter(&G::SetForeColor), "clBlack"},
          {"BackColor", ColorSetter(&G::SetBackColor), "clWhite"},
          {"MinValue", IntSetter(&G::SetMinValue), "0"},
          {"MaxValue", IntSetter(&G::SetMaxValue), "100"},
          {"Progress", IntSetter(&G::SetProgress), "0"},
      }});
}
