#pragma once
// Text drawn straight through the toolkit's font engine, for checking where a component put its
// text: the position comes from the toolkit's own font metrics, not from the canvas under test.

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>
#include <string>

#include "framework/Canvas.h"
#include "framework/Font.h"

// The font as pictures draw it: crisp glyphs, every pixel either ink or untouched.
inline QFont CrispFont(const TFont& font) {
  QFont qfont = font.ToQFont();
  qfont.setStyleStrategy(QFont::NoAntialias);
  return qfont;
}

// Where text centred in a box of width x height starts, as (box size - text size) div 2 with
// the text's advance width and line height.
inline QPoint CentredTextOrigin(const TFont& font, const std::string& text, int width, int height) {
  const QFontMetrics metrics(CrispFont(font));
  const int textWidth = metrics.horizontalAdvance(QString::fromStdString(text));
  return QPoint((width - textWidth) / 2, (height - metrics.height()) / 2);
}

// Which pixels of a width x height box are ink when the text is written with its top left
// corner at origin, clipped to the box.
class TextInk {
 public:
  TextInk(const TFont& font, const std::string& text, int width, int height, QPoint origin)
      : image_(width, height, QImage::Format_RGB32) {
    image_.fill(Qt::black);
    QPainter painter(&image_);
    const QFont qfont = CrispFont(font);
    painter.setFont(qfont);
    painter.setPen(Qt::white);
    painter.drawText(origin.x(), origin.y() + QFontMetrics(qfont).ascent(),
                     QString::fromStdString(text));
  }
  bool operator()(int x, int y) const {
    return x >= 0 && y >= 0 && x < image_.width() && y < image_.height() &&
           (image_.pixel(x, y) & 0xFFFFFF) != 0;
  }
  int Count() const {
    int count = 0;
    for (int y = 0; y < image_.height(); ++y)
      for (int x = 0; x < image_.width(); ++x) count += (*this)(x, y);
    return count;
  }

 private:
  QImage image_;
};

// The colour of a pixel of a rendered picture.
inline TColor PixelAt(const TPixelBuffer& picture, int x, int y) {
  return ColorOfPixel(picture.Row(y)[x]);
}
