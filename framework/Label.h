#pragma once
// A label: one line of text. By default it takes its parent's colour and sizes itself to its
// text.

#include "framework/Control.h"

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner);
  std::string ClassName() const override { return "TLabel"; }

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize) {
    if (SetIfChanged(autoSize_, autoSize)) AdjustSize();
  }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wordWrap);

  void Loaded() override;

 protected:
  void TextChanged() override;
  void FontChanged() override;

 private:
  void AdjustSize();

  bool autoSize_ = true;
  bool transparent_ = false;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool wordWrap_ = false;
};
