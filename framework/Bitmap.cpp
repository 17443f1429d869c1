#include "framework/Bitmap.h"

TBitmap::TBitmap() : canvas_(&buffer_) {}
TBitmap::~TBitmap() = default;

int TBitmap::Width() const {
  return buffer_.Width();
}
int TBitmap::Height() const {
  return buffer_.Height();
}
void TBitmap::SetWidth(int width) {
  buffer_.Resize(width, buffer_.Height());
}
void TBitmap::SetHeight(int height) {
  buffer_.Resize(buffer_.Width(), height);
}
void TBitmap::SetSize(int width, int height) {
  buffer_.Resize(width, height);
}
TCanvas* TBitmap::Canvas() {
  return &canvas_;
}
const TCanvas* TBitmap::Canvas() const {
  return &canvas_;
}
TColor TBitmap::Pixels(int x, int y) const {
  return canvas_.Pixels(x, y);
}
