#pragma once
// Drawing onto a 32-bit pixel buffer with the classic raster rules: filled rectangles leave out
// their right and bottom edges, a line leaves out its end point, copies combine source and
// destination by a raster operation. Everything is computed here, pixel by pixel, so a picture
// is the same on every machine; only glyphs come from the toolkit's font engine.

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Color.h"
#include "framework/Font.h"
#include "framework/Types.h"

class TBitmap;

// Raster operations of the copy mode, by their classic values.
constexpr uint32_t BLACKNESS = 0x00000042;
constexpr uint32_t NOTSRCCOPY = 0x00330008;
constexpr uint32_t SRCERASE = 0x00440328;
constexpr uint32_t DSTINVERT = 0x00550009;
constexpr uint32_t SRCINVERT = 0x00660046;
constexpr uint32_t SRCAND = 0x008800C6;
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr uint32_t SRCPAINT = 0x00EE0086;
constexpr uint32_t WHITENESS = 0x00FF0062;

// Rows of 0xFFRRGGBB words, the layout the toolkit shows without conversion.
class TPixelBuffer {
 public:
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Keeps the pixels that the old and the new size share; new pixels are black.
  void Resize(int width, int height);
  uint32_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint32_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  uint32_t* Data() { return pixels_.data(); }
  const uint32_t* Data() const { return pixels_.data(); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

// The buffer word for a colour (system colours resolved) and the colour of a buffer word.
uint32_t PixelOf(TColor color);
TColor ColorOfPixel(uint32_t pixel);

class TPen {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  int Width() const { return width_; }
  // Widths below 1 draw as 1.
  void SetWidth(int width);

 private:
  TColor color_ = clBlack;
  int width_ = 1;
};

enum TBrushStyle : uint8_t { bsSolid, bsClear };

class TBrush {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style) { style_ = style; }

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

class TCanvas {
 public:
  // Draws into the buffer, which must outlive the canvas; the buffer may change size.
  explicit TCanvas(TPixelBuffer* buffer);
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  TFont& Font() { return font_; }
  void SetCopyMode(uint32_t mode) { copyMode_ = mode; }

  TColor Pixels(int x, int y) const;  // clBlack outside the buffer
  void SetPixel(int x, int y, TColor color);

  void MoveTo(int x, int y) { penPos_ = TPoint{x, y}; }
  // Draws from the pen position to (x, y) without (x, y) itself, which becomes the position.
  void LineTo(int x, int y);
  // Brush fill of the rectangle without its right column and bottom row; nothing with a clear
  // brush or an empty rectangle.
  void FillRect(const TRect& rect);
  // Pen outline and brush interior of the rectangle (x1, y1) - (x2 - 1, y2 - 1).
  void Rectangle(int x1, int y1, int x2, int y2);
  // The ellipse inscribed in the bounding box, right and bottom exclusive: brush inside, pen
  // along its edge. A pixel belongs to it when its centre lies inside the ellipse.
  void Ellipse(int x1, int y1, int x2, int y2);
  // The wedge of the ellipse in the bounding box whose arc runs counter-clockwise from the
  // radial through (x3, y3) to the radial through (x4, y4); the whole ellipse when the two
  // radials coincide. Brush inside, pen along the arc and both radials.
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);

  // Combines the source rectangle of a canvas (this one too, also overlapping) into the
  // destination rectangle by the copy mode; sizes that differ are stretched pixel by pixel.
  void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect);
  // Combines the whole bitmap into this canvas at (x, y) by the copy mode.
  void Draw(int x, int y, const TBitmap& bitmap);

  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  // Writes the text with its top left corner at (x, y), clipped to the rectangle. A solid
  // brush fills the rectangle first; a clear brush leaves the background as it is.
  void TextRect(const TRect& rect, int x, int y, const std::string& text);

 private:
  bool Contains(int x, int y) const {
    return x >= 0 && y >= 0 && x < buffer_->Width() && y < buffer_->Height();
  }
  TRect ClipToBuffer(const TRect& rect) const;
  void PutPenDot(int x, int y, uint32_t pixel);
  // Sets the pixels of the rectangle's part inside the buffer.
  void FillArea(const TRect& rect, uint32_t pixel);
  // Paints a region given as a mask over a box: brush on its members, pen on the members
  // next to a non-member.
  void PaintRegion(const TRect& box, const std::vector<uint8_t>& mask);
  // Paints the ellipse inscribed in the bounding box, keeping the pixels whose centre, as an
  // offset (px, py) from the ellipse's centre with y pointing up, passes keep(px, py).
  template <class Keep>
  void PaintEllipse(const TRect& bounds, Keep keep);

  TPixelBuffer* buffer_;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  uint32_t copyMode_ = SRCCOPY;
  TPoint penPos_;
};
