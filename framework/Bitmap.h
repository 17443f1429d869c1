#pragma once
// Off-screen pictures: a pixel buffer of settable size with its own canvas.

#include "framework/Canvas.h"
#include "framework/Component.h"

class TBitmap : public TObject {
 public:
  TBitmap();
  ~TBitmap() override;

  int Width() const;
  int Height() const;
  // Resizing keeps the pixels the old and new size share; new pixels are black.
  void SetWidth(int width);
  void SetHeight(int height);
  void SetSize(int width, int height);

  TCanvas* Canvas();
  const TCanvas* Canvas() const;
  // The colour of one pixel; clBlack outside the picture.
  TColor Pixels(int x, int y) const;

 private:
  TPixelBuffer buffer_;
  TCanvas canvas_;
};
