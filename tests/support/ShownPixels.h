#pragma once
// The pixels a control's window shows.

#include <QImage>
#include <QWidget>
#include <cstring>

#include "framework/Canvas.h"
#include "framework/Control.h"

// The control's window painted afresh, as it would show on the screen.
inline TPixelBuffer ShownPixels(TControl& control) {
  const QImage image = control.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  TPixelBuffer pixels;
  pixels.Resize(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(pixels.Row(y), image.constScanLine(y), image.width() * sizeof(uint32_t));
  return pixels;
}
