#pragma once
// An editable drop-down list. OnChange runs for every change the user makes, typed, pasted,
// cut or picked from the list; never when the program sets the index or the text. Typed text
// never adds items.

#include <string>
#include <vector>

#include "framework/Control.h"

class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* owner);
  std::string ClassName() const override { return "TComboBox"; }

  void AddItem(const std::string& item);
  // Replaces the list; the edit part keeps its text.
  void SetItems(const std::vector<std::string>& items);
  void SetItemIndex(int index);

  // The text in the edit part.
  std::string GetText() const;
  void SetText(const std::string& text) override;

  void SetItemHeight(int height);
  void SetDropDownCount(int count);

  TNotifyEvent OnChange;

 private:
  void UserChanged();
};
