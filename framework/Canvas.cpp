#include "framework/Canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cstring>

#include "framework/Bitmap.h"

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

TRect Normalized(int x1, int y1, int x2, int y2) {
  return Rect(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

TRect Intersect(const TRect& a, const TRect& b) {
  TRect r = Rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                 std::min(a.Bottom, b.Bottom));
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

// A raster operation of source, destination and pattern, evaluated bit by bit from its
// truth table (the third byte of the code: bit index = pattern * 4 + source * 2 + destination).
uint32_t ApplyRop(uint32_t rop, uint32_t source, uint32_t dest, uint32_t pattern) {
  switch (rop) {
    case SRCCOPY:
      return source | kOpaque;
    case SRCINVERT:
      return (source ^ dest) | kOpaque;
    case BLACKNESS:
      return kOpaque;
    case WHITENESS:
      return 0xFFFFFFFFu;
    case SRCAND:
      return (source & dest) | kOpaque;
    case SRCPAINT:
      return (source | dest) | kOpaque;
    case DSTINVERT:
      return ~dest | kOpaque;
    case NOTSRCCOPY:
      return ~source | kOpaque;
    default:
      break;
  }
  const uint32_t table = (rop >> 16) & 0xFF;
  uint32_t result = 0;
  for (int index = 0; index < 8; ++index) {
    if (!(table & (1u << index))) continue;
    const uint32_t p = (index & 4) ? pattern : ~pattern;
    const uint32_t s = (index & 2) ? source : ~source;
    const uint32_t d = (index & 1) ? dest : ~dest;
    result |= p & s & d;
  }
  return result | kOpaque;
}

QFont CanvasFont(const TFont& font) {
  // Crisp glyphs: every pixel is either the font colour or untouched, as with the bitmap fonts
  // the pictures were designed for, so inverting copies give clean results.
  QFont qfont = font.ToQFont();
  qfont.setStyleStrategy(QFont::NoAntialias);
  return qfont;
}

}  // namespace

void TPixelBuffer::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, kOpaque);
  const int keepWidth = std::min(width, width_);
  const int keepHeight = std::min(height, height_);
  for (int y = 0; keepWidth > 0 && y < keepHeight; ++y)
    std::memcpy(pixels.data() + static_cast<size_t>(y) * width, Row(y),
                static_cast<size_t>(keepWidth) * sizeof(uint32_t));
  pixels_ = std::move(pixels);
  width_ = width;
  height_ = height;
}

uint32_t PixelOf(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return kOpaque | (static_cast<uint32_t>(GetRValue(rgb)) << 16) |
         (static_cast<uint32_t>(GetGValue(rgb)) << 8) | static_cast<uint32_t>(GetBValue(rgb));
}

TColor ColorOfPixel(uint32_t pixel) {
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

void TPen::SetWidth(int width) {
  width_ = std::max(width, 1);
}

TCanvas::TCanvas(TPixelBuffer* buffer) : buffer_(buffer) {}

TColor TCanvas::Pixels(int x, int y) const {
  if (!Contains(x, y)) return clBlack;
  return ColorOfPixel(buffer_->Row(y)[x]);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (!Contains(x, y)) return;
  buffer_->Row(y)[x] = PixelOf(color);
}

TRect TCanvas::ClipToBuffer(const TRect& rect) const {
  return Intersect(rect, Rect(0, 0, buffer_->Width(), buffer_->Height()));
}

void TCanvas::PutPenDot(int x, int y, uint32_t pixel) {
  const int width = pen_.Width();
  if (width == 1) {
    if (Contains(x, y)) buffer_->Row(y)[x] = pixel;
    return;
  }
  const int first = -(width - 1) / 2;
  FillArea(Rect(x + first, y + first, x + first + width, y + first + width), pixel);
}

void TCanvas::FillArea(const TRect& rect, uint32_t pixel) {
  const TRect area = ClipToBuffer(rect);
  for (int y = area.Top; y < area.Bottom; ++y)
    std::fill(buffer_->Row(y) + area.Left, buffer_->Row(y) + area.Right, pixel);
}

void TCanvas::LineTo(int x, int y) {
  const uint32_t pixel = PixelOf(pen_.Color());
  const TPoint from = penPos_;
  penPos_ = TPoint{x, y};
  long x0 = from.X, y0 = from.Y, x1 = x, y1 = y;
  bool paintEnd = false;
  const long length = std::max(std::labs(x1 - x0), std::labs(y1 - y0));
  const long margin = pen_.Width() + 2;
  if (length > 2 * (buffer_->Width() + buffer_->Height() + margin) + 64) {
    // A line far longer than the buffer is walked only where it can touch the buffer.
    const double left = -margin, top = -margin;
    const double right = buffer_->Width() + margin, bottom = buffer_->Height() + margin;
    double t0 = 0, t1 = 1;
    const double dx = static_cast<double>(x1 - x0), dy = static_cast<double>(y1 - y0);
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    for (int i = 0; i < 4; ++i) {
      if (p[i] == 0) {
        if (q[i] < 0) return;
        continue;
      }
      const double t = q[i] / p[i];
      if (p[i] < 0) {
        t0 = std::max(t0, t);
      } else {
        t1 = std::min(t1, t);
      }
    }
    if (t0 > t1) return;
    const long cx0 = std::lround(x0 + t0 * dx), cy0 = std::lround(y0 + t0 * dy);
    const long cx1 = std::lround(x0 + t1 * dx), cy1 = std::lround(y0 + t1 * dy);
    paintEnd = t1 < 1;
    x0 = cx0;
    y0 = cy0;
    x1 = cx1;
    y1 = cy1;
  }
  const long dx = std::labs(x1 - x0);
  const long dy = -std::labs(y1 - y0);
  const long stepX = x0 < x1 ? 1 : -1;
  const long stepY = y0 < y1 ? 1 : -1;
  long error = dx + dy;
  while (x0 != x1 || y0 != y1) {
    PutPenDot(static_cast<int>(x0), static_cast<int>(y0), pixel);
    const long twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x0 += stepX;
    }
    if (twice <= dx) {
      error += dx;
      y0 += stepY;
    }
  }
  if (paintEnd) PutPenDot(static_cast<int>(x1), static_cast<int>(y1), pixel);
}

void TCanvas::FillRect(const TRect& rect) {
  if (brush_.Style() != bsClear) FillArea(rect, PixelOf(brush_.Color()));
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  const TRect box = Normalized(x1, y1, x2, y2);
  if (box.Width() == 0 || box.Height() == 0) return;
  FillRect(box);
  const uint32_t pen = PixelOf(pen_.Color());
  const int width = std::min({pen_.Width(), (box.Width() + 1) / 2, (box.Height() + 1) / 2});
  const TRect frames[4] = {
      Rect(box.Left, box.Top, box.Right, box.Top + width),
      Rect(box.Left, box.Bottom - width, box.Right, box.Bottom),
      Rect(box.Left, box.Top, box.Left + width, box.Bottom),
      Rect(box.Right - width, box.Top, box.Right, box.Bottom),
  };
  for (const TRect& frame : frames) FillArea(frame, pen);
}

void TCanvas::PaintRegion(const TRect& box, const std::vector<uint8_t>& mask) {
  const int reach = pen_.Width();
  // A copy with a margin of non-members, so that neighbours need no bounds tests.
  const int stride = box.Width() + 2 * reach;
  std::vector<uint8_t> padded(static_cast<size_t>(stride) * (box.Height() + 2 * reach));
  for (int row = 0; row < box.Height(); ++row)
    std::memcpy(padded.data() + static_cast<size_t>(row + reach) * stride + reach,
                mask.data() + static_cast<size_t>(row) * box.Width(), box.Width());
  // Offsets of the neighbours within the pen's reach.
  std::vector<long> around;
  for (int oy = -reach; oy <= reach; ++oy)
    for (int ox = -reach; ox <= reach; ++ox)
      if ((ox != 0 || oy != 0) && ox * ox + oy * oy <= reach * reach)
        around.push_back(static_cast<long>(oy) * stride + ox);

  const uint32_t brush = PixelOf(brush_.Color());
  const uint32_t pen = PixelOf(pen_.Color());
  const bool fill = brush_.Style() != bsClear;
  const TRect area = ClipToBuffer(box);
  for (int y = area.Top; y < area.Bottom; ++y) {
    uint32_t* row = buffer_->Row(y);
    const uint8_t* cells =
        padded.data() + static_cast<size_t>(y - box.Top + reach) * stride + reach - box.Left;
    for (int x = area.Left; x < area.Right; ++x) {
      const uint8_t* cell = cells + x;
      if (!*cell) continue;
      bool edge = false;
      if (reach == 1) {
        edge = !cell[-1] || !cell[1] || !cell[-stride] || !cell[stride];
      } else {
        for (long offset : around)
          if (!cell[offset]) {
            edge = true;
            break;
          }
      }
      if (edge)
        row[x] = pen;
      else if (fill)
        row[x] = brush;
    }
  }
}

template <class Keep>
void TCanvas::PaintEllipse(const TRect& bounds, Keep keep) {
  if (bounds.Width() == 0 || bounds.Height() == 0) return;
  // The part of the bounding box that painting the region can touch or look at.
  const int reach = pen_.Width();
  const TRect box =
      Intersect(bounds, Rect(-reach, -reach, buffer_->Width() + reach, buffer_->Height() + reach));
  if (box.Width() == 0 || box.Height() == 0) return;
  const double cx = (static_cast<double>(bounds.Left) + bounds.Right) / 2;
  const double cy = (static_cast<double>(bounds.Top) + bounds.Bottom) / 2;
  const double rx = bounds.Width() / 2.0;
  const double ry = bounds.Height() / 2.0;
  std::vector<uint8_t> mask(static_cast<size_t>(box.Width()) * box.Height());
  size_t index = 0;
  const double inverseX = 1 / rx;
  for (int y = box.Top; y < box.Bottom; ++y) {
    const double py = cy - (y + 0.5);
    const double ny = py / ry;
    for (int x = box.Left; x < box.Right; ++x, ++index) {
      const double px = x + 0.5 - cx;
      const double nx = px * inverseX;
      mask[index] = nx * nx + ny * ny <= 1.0 && keep(px, py);
    }
  }
  PaintRegion(box, mask);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  PaintEllipse(Normalized(x1, y1, x2, y2), [](double, double) { return true; });
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  const TRect bounds = Normalized(x1, y1, x2, y2);
  const double cx = (static_cast<double>(bounds.Left) + bounds.Right) / 2;
  const double cy = (static_cast<double>(bounds.Top) + bounds.Bottom) / 2;
  // Directions with y pointing up, so that a positive cross product turns counter-clockwise.
  const double ax = x3 - cx, ay = cy - y3;
  const double bx = x4 - cx, by = cy - y4;
  const double spanCross = ax * by - ay * bx;
  const bool whole =
      (ax == 0 && ay == 0) || (bx == 0 && by == 0) || (spanCross == 0 && ax * bx + ay * by > 0);
  const bool narrow = spanCross >= 0;  // the arc turns by half a circle or less
  PaintEllipse(bounds, [&](double px, double py) {
    if (whole) return true;
    const double fromStart = ax * py - ay * px;  // cross(start, p)
    const double toEnd = px * by - py * bx;      // cross(p, end)
    if (narrow) return fromStart >= 0 && toEnd >= 0;
    const double fromEnd = bx * py - by * px;  // cross(end, p)
    const double toStart = px * ay - py * ax;  // cross(p, start)
    return !(fromEnd > 0 && toStart > 0);
  });
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) {
  const int width = dest.Width();
  const int height = dest.Height();
  const int sourceWidth = sourceRect.Width();
  const int sourceHeight = sourceRect.Height();
  if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
  const TPixelBuffer& from = *source.buffer_;
  const uint32_t pattern = PixelOf(brush_.Color());
  const TRect target = ClipToBuffer(dest);
  if (target.Width() == 0 || target.Height() == 0) return;

  if (copyMode_ == BLACKNESS || copyMode_ == WHITENESS) {
    // These ignore the source and cover the whole destination.
    FillArea(target, copyMode_ == BLACKNESS ? kOpaque : 0xFFFFFFFFu);
    return;
  }

  if (width == sourceWidth && height == sourceHeight) {
    // Destination pixels whose source lies in the source buffer.
    const int shiftX = sourceRect.Left - dest.Left;
    const int shiftY = sourceRect.Top - dest.Top;
    const TRect area =
        Intersect(target, Rect(-shiftX, -shiftY, from.Width() - shiftX, from.Height() - shiftY));
    if (area.Width() == 0 || area.Height() == 0) return;
    if (copyMode_ == SRCCOPY) {
      const size_t bytes = static_cast<size_t>(area.Width()) * sizeof(uint32_t);
      // Within one buffer the rows go in the order that never reads a row already written.
      const bool bottomFirst = &from == buffer_ && shiftY < 0;
      for (int i = 0; i < area.Height(); ++i) {
        const int y = bottomFirst ? area.Bottom - 1 - i : area.Top + i;
        std::memmove(buffer_->Row(y) + area.Left, from.Row(y + shiftY) + area.Left + shiftX, bytes);
      }
      return;
    }
  }

  // Each destination pixel takes the source pixel its position maps onto (stretching when the
  // sizes differ) and combines with it by the copy mode.
  std::vector<uint32_t> copy;
  const uint32_t* rows = from.Data();
  if (&from == buffer_) {
    copy.assign(from.Data(), from.Data() + static_cast<size_t>(from.Width()) * from.Height());
    rows = copy.data();
  }
  for (int y = target.Top; y < target.Bottom; ++y) {
    const long sy = sourceRect.Top + static_cast<long>(y - dest.Top) * sourceHeight / height;
    if (sy < 0 || sy >= from.Height()) continue;
    uint32_t* out = buffer_->Row(y);
    for (int x = target.Left; x < target.Right; ++x) {
      const long sx = sourceRect.Left + static_cast<long>(x - dest.Left) * sourceWidth / width;
      if (sx < 0 || sx >= from.Width()) continue;
      out[x] =
          ApplyRop(copyMode_, rows[static_cast<size_t>(sy) * from.Width() + sx], out[x], pattern);
    }
  }
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  CopyRect(Rect(x, y, x + width, y + height), *bitmap.Canvas(), Rect(0, 0, width, height));
}

int TCanvas::TextWidth(const std::string& text) {
  return QFontMetrics(CanvasFont(font_)).horizontalAdvance(QString::fromStdString(text));
}

int TCanvas::TextHeight(const std::string&) {
  return QFontMetrics(CanvasFont(font_)).height();
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
  const TRect clip = ClipToBuffer(rect);
  FillRect(clip);
  if (clip.Width() == 0 || clip.Height() == 0 || text.empty()) return;
  QImage image(reinterpret_cast<uchar*>(buffer_->Data()), buffer_->Width(), buffer_->Height(),
               buffer_->Width() * static_cast<int>(sizeof(uint32_t)), QImage::Format_RGB32);
  QPainter painter(&image);
  const QFont font = CanvasFont(font_);
  painter.setFont(font);
  const TColor rgb = ColorToRGB(font_.Color());
  painter.setPen(QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)));
  painter.setClipRect(clip.Left, clip.Top, clip.Width(), clip.Height());
  painter.drawText(x, y + QFontMetrics(font).ascent(), QString::fromStdString(text));
}
