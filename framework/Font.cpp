#include "framework/Font.h"

#include <QFont>
#include <cmath>

namespace {
constexpr int kPixelsPerInch = 96;
}

void TFont::SetSize(int points) {
  SetHeight(-static_cast<int>(std::lround(points * static_cast<double>(kPixelsPerInch) / 72.0)));
}

void TFont::Assign(const TFont& other) {
  if (*this == other) return;
  name_ = other.name_;
  height_ = other.height_;
  color_ = other.color_;
  charset_ = other.charset_;
  style_ = other.style_;
  Changed();
}

bool TFont::operator==(const TFont& other) const {
  return name_ == other.name_ && height_ == other.height_ && color_ == other.color_ &&
         charset_ == other.charset_ && style_ == other.style_;
}

void TFont::Changed() {
  if (OnChange) OnChange();
}

std::string FontStandIn(const std::string& family) {
  // Bitmap desktop fonts of the original platform, replaced by metric-friendly free families
  // that the dependency step installs. A leading '@' (vertical variant) is dropped.
  std::string name = family;
  if (!name.empty() && name[0] == '@') name.erase(0, 1);
  if (name == "MS Sans Serif" || name == "Microsoft Sans Serif" || name == "Arial" ||
      name == "Tahoma")
    return "Liberation Sans";
  if (name == "Batang" || name == "Times New Roman" || name == "MS Serif")
    return "Liberation Serif";
  if (name == "Courier New" || name == "Courier") return "Liberation Mono";
  return name;
}

QFont TFont::ToQFont() const {
  QFont font(QString::fromStdString(FontStandIn(name_)));
  // A positive height includes the internal leading, about a fifth of the cell.
  const int pixels = height_ < 0 ? -height_ : (height_ * 4 + 2) / 5;
  font.setPixelSize(pixels > 0 ? pixels : 11);
  font.setBold(style_ & static_cast<int>(TFontStyle::fsBold));
  font.setItalic(style_ & static_cast<int>(TFontStyle::fsItalic));
  font.setUnderline(style_ & static_cast<int>(TFontStyle::fsUnderline));
  font.setStrikeOut(style_ & static_cast<int>(TFontStyle::fsStrikeOut));
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}
