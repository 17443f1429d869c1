#pragma once
// Windowless controls: they draw with their canvas into a pixel buffer of their own size, which
// their widget puts on the screen unchanged, one buffer pixel to one screen pixel.

#include "framework/Canvas.h"
#include "framework/Control.h"

class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  std::string ClassName() const override { return "TGraphicControl"; }

  // The control's own canvas; it draws into the control's pixels during Paint.
  TCanvas* Canvas() { return &canvas_; }
  // Draws the control's picture on its canvas; the base draws nothing.
  virtual void Paint();

  void Invalidate() override;
  // Carries out a pending repaint at once.
  void Update() override;
  // An opaque control paints at once, without going through the virtual Update; any other
  // control is invalidated and brought up to date through the virtual Update.
  void Repaint() override;

 private:
  friend class GraphicControlWidget;
  // Paints into the buffer at the control's size and shows the result.
  void PaintNow();
  void PaintSurface();

  TPixelBuffer surface_;
  TCanvas canvas_;
  bool pending_ = true;  // the buffer does not show the current state yet
  bool painting_ = false;
};

// Registers TGraphicControl with the published properties of its base.
void RegisterGraphicControlClass();
