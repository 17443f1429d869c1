#pragma once
// A one-line edit. Its text is zero-terminated, as the edit controls of the classic desktop
// hold it: a text with a zero byte ends there.

#include "framework/Control.h"

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  std::string ClassName() const override { return "TEdit"; }

  void SetText(const std::string& text) override;
  // Copies at most size - 1 characters and a terminating zero into buffer; returns the count.
  int GetTextBuf(char* buffer, int size) const;

  void SetReadOnly(bool readOnly);
  // 0 (or less) leaves the length unbounded.
  void SetMaxLength(int maxLength);

  TNotifyEvent OnChange;

 protected:
  void TextChanged() override;

 private:
  // Puts the text into the toolkit's edit when it has not had it yet.
  void ShowText();

  bool textToShow_ = false;
  // The toolkit's edit already shows what the user typed, with the caret where it was left.
  bool typedByUser_ = false;
};
