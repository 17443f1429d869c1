#pragma once
// A gauge: how far a value has come between a minimum and a maximum, as a percentage, drawn as
// a bar, a pie, a needle on a half-round dial or just the number. Each paint builds the picture
// off screen and puts it on the control in one copy.

#include <cstdint>

#include "framework/Bitmap.h"
#include "framework/FormBorderStyle.h"
#include "framework/GraphicControl.h"

enum TCGaugeKind : uint8_t {
  gkText = 0,
  gkHorizontalBar = 1,
  gkVerticalBar = 2,
  gkPie = 3,
  gkNeedle = 4,
};

// A bitmap that can take the size of another and cover itself in the window frame colour.
class TBltBitmap : public TBitmap {
 public:
  TBltBitmap();
  ~TBltBitmap() override;
  void MatchSize(TBitmap* pattern);
};

class TCGauge : public TGraphicControl {
 public:
  explicit TCGauge(TComponent* owner);
  ~TCGauge() override;
  std::string ClassName() const override;

  void Paint() override;

  // The percentage shown: 0 to 100 for a consistent state, 0 for an empty range.
  int32_t GetPercentDone() const;
  // Moves Progress by delta (clamped) and repaints in any case.
  void AddProgress(int32_t delta);

  TCGaugeKind Kind() const;
  void SeTCGaugeKind(TCGaugeKind kind);
  bool ShowText() const;
  void SetShowText(bool showText);
  TFormBorderStyle BorderStyle() const;
  void SetBorderStyle(TFormBorderStyle style);
  TColor ForeColor() const;
  void SetForeColor(TColor color);
  TColor BackColor() const;
  void SetBackColor(TColor color);
  int32_t MinValue() const;
  // Raises Exception "Value must be between %d and %d" for a value above MaxValue.
  void SetMinValue(int32_t value);
  int32_t MaxValue() const;
  // Raises Exception "Value must be between %d and %d" for a value below MinValue. Stores and
  // repaints even the maximum it already has.
  void SetMaxValue(int32_t value);
  int32_t Progress() const;
  // Clamps into MinValue ... MaxValue; repaints only when the percentage shown changes.
  void SetProgress(int32_t value);

  // The painters, each drawing into the bitmap it is given.
  void PaintBackground(TBitmap* image);
  void PaintAsNothing(TBitmap* image, const TRect& area);
  void PaintAsBar(TBitmap* image, const TRect& area);
  void PaintAsPie(TBitmap* image, const TRect& area);
  void PaintAsNeedle(TBitmap* image, const TRect& area);
  void PaintAsText(TBitmap* image, const TRect& area);

 private:
  // The face that pie and needle share: the area filled, the dial's brush and pen set, and the
  // figure's width and height (one more each inside a single border).
  TCanvas& PrepareDial(TBitmap* image, const TRect& area, int& w, int& h);

  int32_t minValue_ = 0;
  int32_t maxValue_ = 100;
  int32_t progress_ = 0;
  TCGaugeKind kind_ = gkHorizontalBar;
  bool showText_ = true;
  TFormBorderStyle borderStyle_ = bsSingle;
  TColor foreColor_ = clBlack;
  TColor backColor_ = clWhite;
};

// Registers TCGauge and its published properties for form descriptions.
void RegisterCgauges();

// The component's 24 x 24, 16-colour image for design tools, as a bitmap file.
extern const unsigned char TCGAUGE[];
extern const unsigned int TCGAUGE_SIZE;
