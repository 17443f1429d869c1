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
  void ClearItems();
  int ItemCount() const;
  std::string Item(int index) const;
  void SetItems(const std::vector<std::string>& items);

  int ItemIndex() const;
  void SetItemIndex(int index);

  // The text in the edit part.
  std::string GetText() const;
  void SetText(const std::string& text) override;

  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int count);

  TNotifyEvent OnChange;

 private:
  void UserChanged();

  int itemHeight_ = 13;
  int dropDownCount_ = 8;
};
