#pragma once
// Fonts as controls and canvases use them. Height follows the classic convention: negative is
// the character height in pixels, positive the cell height.

#include <functional>
#include <string>

#include "framework/Color.h"
#include "framework/Types.h"

class QFont;

enum class TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont {
 public:
  void SetName(const std::string& name) {
    if (SetIfChanged(name_, name)) Changed();
  }
  void SetHeight(int height) {
    if (SetIfChanged(height_, height)) Changed();
  }
  // Sets the height from a size in points at 96 pixels per inch.
  void SetSize(int points);
  TColor Color() const { return color_; }
  void SetColor(TColor color) {
    if (SetIfChanged(color_, color)) Changed();
  }
  void SetCharset(int charset) {
    if (SetIfChanged(charset_, charset)) Changed();
  }
  void SetStyle(int style) {  // TFontStyle bits
    if (SetIfChanged(style_, style)) Changed();
  }

  void Assign(const TFont& other);
  bool operator==(const TFont& other) const;

  // Called after every change.
  std::function<void()> OnChange;

  // The toolkit font standing in for this one: installed families replace those that the
  // original desktop had (see Font.cpp).
  QFont ToQFont() const;

 private:
  void Changed();

  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TColor color_ = clWindowText;
  int charset_ = 1;
  int style_ = 0;
};
