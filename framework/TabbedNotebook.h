#pragma once
// A tabbed notebook: a row of tabs over a page area; each page holds controls.

#include <string>
#include <vector>

#include "framework/Control.h"

class TTabbedNotebook;

class TTabPage : public TWinControl {
 public:
  explicit TTabPage(TComponent* owner);
  std::string ClassName() const override { return "TTabPage"; }
  void SetParent(TWinControl* parent) override;

 protected:
  void TextChanged() override;
};

class TTabbedNotebook : public TWinControl {
 public:
  explicit TTabbedNotebook(TComponent* owner);
  ~TTabbedNotebook() override;
  std::string ClassName() const override { return "TTabbedNotebook"; }

  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabPage* Page(int index) const { return pages_.at(static_cast<size_t>(index)); }
  int PageIndex() const { return pageIndex_; }
  void SetPageIndex(int index);
  // The font of the tabs, apart from the pages' own.
  TFont& TabFont() { return tabFont_; }

  // Where the pages' area starts inside the notebook.
  static constexpr int kPageLeft = 4;
  static constexpr int kPageTop = 24;

 protected:
  void BoundsChanged() override;

 private:
  friend class TTabPage;
  void AddPage(TTabPage* page);
  void RemovePage(TTabPage* page);
  void PageCaptionChanged(TTabPage* page);
  void LayoutPages();

  class NotebookParts;
  NotebookParts* parts_;
  std::vector<TTabPage*> pages_;
  int pageIndex_ = -1;
  TFont tabFont_;
};
