#pragma once
// Push buttons and check boxes.

#include "framework/Control.h"

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  std::string ClassName() const override { return "TButton"; }
  // Acts as a user's click.
  using TControl::Click;

 protected:
  void TextChanged() override;
};

class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  std::string ClassName() const override { return "TCheckBox"; }

  bool Checked() const;
  void SetChecked(bool checked);

 protected:
  void TextChanged() override;
};
