#pragma once
// A panel: a filled, bevelled area that holds other controls.

#include "framework/Control.h"

enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
  std::string ClassName() const override { return "TPanel"; }

  void SetBevelOuter(TBevelCut bevel) {
    if (SetIfChanged(bevelOuter_, bevel)) Invalidate();
  }
  void SetBevelInner(TBevelCut bevel) {
    if (SetIfChanged(bevelInner_, bevel)) Invalidate();
  }
  void SetBevelWidth(int width);

 protected:
  void TextChanged() override { Invalidate(); }

 private:
  friend class PanelWidget;
  TBevelCut bevelOuter_ = TBevelCut::bvRaised;
  TBevelCut bevelInner_ = TBevelCut::bvNone;
  int bevelWidth_ = 1;
};
