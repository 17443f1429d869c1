#pragma once
// A scrolling strip chart of up to 16 coloured series. A data source adds the values of one
// time step with DataPoint and ends the step with Update; the picture moves one step to the
// left and the finished step appears at the right edge. The graph scales itself to the largest
// value it still holds.

#include <cstdint>

#include "framework/Bitmap.h"
#include "framework/GraphicControl.h"

enum TGraphKind : uint8_t { pgBar = 0, pgLine = 1 };

// The data points of one time step, in the order they were added.
struct TGraphSlot {
  static constexpr int kCapacity = 16;
  int32_t Count = 0;
  TColor Colors[kCapacity] = {};
  int32_t Values[kCapacity] = {};
};

class TPerformanceGraph : public TGraphicControl {
 public:
  explicit TPerformanceGraph(TComponent* owner);
  ~TPerformanceGraph() override;
  std::string ClassName() const override;

  // Adds one point to the step in progress; a 17th point raises ERangeError.
  void DataPoint(TColor color, int32_t value);
  // Ends the step in progress: scrolls, rescales if needed and shows the finished step.
  void Update() override;
  void Paint() override;

  TGraphKind Kind() const;
  void SetGraphKind(TGraphKind kind);
  TColor ForeColor() const;
  void SetForeColor(TColor color);
  TColor BackColor() const;
  void SetBackColor(TColor color);
  int32_t GridSize() const;
  void SetGridSize(int32_t size);
  int32_t StepSize() const;
  void SetStepSize(int32_t size);
  int32_t Scale() const;
  void SetScale(int32_t scale);
  int32_t Gradient() const;
  void SetGradient(int32_t gradient);
  bool Gridlines() const;
  void SetGridlines(bool gridlines);
  int32_t PenWidth() const;
  void SetPenWidth(int32_t width);
  TNotifyEvent OnScaleChange;

  // The steps of the picture's work, public so that tools can drive them.
  int32_t GetBandCount() const;
  void Initialize(int32_t firstX);
  static int32_t RoundUp(int32_t value, int32_t multiple);
  void PaintBar(TColor color, int32_t base, int32_t height);
  void PaintLine(TColor color, int32_t from, int32_t to);
  void ScrollGraph();
  void DisplayPoints(int32_t slot);
  int32_t LastY(int32_t slot) const;
  void ReallocHistory();
  int32_t FirstY() const;
  int32_t NextY(int32_t slot) const;
  int32_t ShiftY();
  void Replay();

 private:
  // The height of the picture in pixels for a value; zero when the scale has no height.
  int32_t ValueHeight(int32_t value) const;

  TGraphKind kind_ = pgLine;
  TColor foreColor_ = clGreen;
  TColor backColor_ = clBlack;
  int32_t gridSize_ = 15;
  int32_t stepSize_ = 3;
  int32_t scale_ = 1000;
  int32_t gradient_ = 100;
  bool gridlines_ = true;
  int32_t penWidth_ = 2;

  TRect FGraphRect;
  TRect FScrollSource;
  TRect FScrollDest;
  TRect FNewBand;
  int32_t FGridPhase = 0;
  TBitmap* FPicture = nullptr;
  TGraphSlot* FHistory = nullptr;
  int32_t FSlotCount = 0;
  int32_t FFirstSlot = 0;
  int32_t FCurrentSlot = 0;
};

// Registers TPerformanceGraph and its published properties for form descriptions.
void RegisterPerfgrap();

// The component's 24 x 24, 16-colour image for design tools, as a bitmap file.
extern const unsigned char TPERFORMANCEGRAPH[];
extern const unsigned int TPERFORMANCEGRAPH_SIZE;
