#pragma once
// Off-screen pictures: a pixel buffer of settable size with its own canvas.

#include "framework/Canvas.h"
#include "framework/Component.h"

class TBitmap : public TObject {
 public:
  TBitmap() : canvas_(&buffer_) {}

  int Width() const { return buffer_.Width(); }
  int Height() const { return buffer_.Height(); }
  // Resizing keeps the pixels the old and new size share; new pixels are black.
  void SetSize(int width, int height) { buffer_.Resize(width, height); }

  TCanvas* Canvas() { return &canvas_; }
  const TCanvas* Canvas() const { return &canvas_; }
  // The colour of one pixel; clBlack outside the picture.
  TColor Pixels(int x, int y) const { return canvas_.Pixels(x, y); }

 private:
  TPixelBuffer buffer_;
  TCanvas canvas_;
};
