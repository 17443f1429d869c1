#pragma once
// Colour values: 0x00BBGGRR for plain colours, 0x800000nn for system colour nn.

#include <cstdint>
#include <optional>
#include <string>

using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor SystemColor(int index) {
  return static_cast<TColor>(0x80000000u | index);
}
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);

// The plain 0x00BBGGRR value a colour stands for. System colours resolve to the fixed classic
// desktop scheme listed in Color.cpp, so screens and tests look the same everywhere.
TColor ColorToRGB(TColor color);

inline int GetRValue(TColor rgb) {
  return rgb & 0xFF;
}
inline int GetGValue(TColor rgb) {
  return (rgb >> 8) & 0xFF;
}
inline int GetBValue(TColor rgb) {
  return (rgb >> 16) & 0xFF;
}
inline TColor RGB(int r, int g, int b) {
  return (b << 16) | (g << 8) | r;
}

// "clLime" and the like, as form descriptions write them.
std::optional<TColor> ColorFromIdent(const std::string& ident);
