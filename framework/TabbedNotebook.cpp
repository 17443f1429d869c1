#include "framework/TabbedNotebook.h"

#include <QFrame>
#include <QTabBar>
#include <QWidget>
#include <algorithm>

class TTabbedNotebook::NotebookParts {
 public:
  explicit NotebookParts(QWidget* notebook)
      : tabs(new QTabBar(notebook)), frame(new QFrame(notebook)) {
    tabs->setDrawBase(false);
    tabs->setExpanding(false);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Raised);
    frame->lower();
  }
  QTabBar* tabs;
  QFrame* frame;
};

TTabPage::TTabPage(TComponent* owner) : TWinControl(owner, new QWidget) {
  Widget()->setAutoFillBackground(true);
  SetParentColor(true);
  ControlStyle().insert(csAcceptsControls);
}

void TTabPage::SetParent(TWinControl* parent) {
  if (auto* old = dynamic_cast<TTabbedNotebook*>(Parent())) old->RemovePage(this);
  TWinControl::SetParent(parent);
  if (auto* notebook = dynamic_cast<TTabbedNotebook*>(parent)) notebook->AddPage(this);
}

void TTabPage::TextChanged() {
  if (auto* notebook = dynamic_cast<TTabbedNotebook*>(Parent())) notebook->PageCaptionChanged(this);
}

TTabbedNotebook::TTabbedNotebook(TComponent* owner)
    : TWinControl(owner, new QWidget), parts_(new NotebookParts(Widget())) {
  Widget()->setAutoFillBackground(true);
  SetBounds(0, 0, 300, 250);
  SetTabStop(true);
  tabFont_.OnChange = [this] { parts_->tabs->setFont(tabFont_.ToQFont()); };
  QObject::connect(parts_->tabs, &QTabBar::currentChanged, [this](int index) {
    if (index >= 0) SetPageIndex(index);
  });
}

TTabbedNotebook::~TTabbedNotebook() {
  tabFont_.OnChange = nullptr;
  delete parts_;
}

void TTabbedNotebook::AddPage(TTabPage* page) {
  pages_.push_back(page);
  parts_->tabs->addTab(QString::fromLatin1(page->Caption()));
  if (pageIndex_ < 0) SetPageIndex(0);
  LayoutPages();
}

void TTabbedNotebook::RemovePage(TTabPage* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  parts_->tabs->removeTab(static_cast<int>(it - pages_.begin()));
  pages_.erase(it);
  if (pageIndex_ >= PageCount()) pageIndex_ = PageCount() - 1;
  LayoutPages();
}

void TTabbedNotebook::PageCaptionChanged(TTabPage* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it != pages_.end())
    parts_->tabs->setTabText(static_cast<int>(it - pages_.begin()),
                             QString::fromLatin1(page->Caption()));
}

void TTabbedNotebook::SetPageIndex(int index) {
  if (index < 0 || index >= PageCount()) return;
  pageIndex_ = index;
  parts_->tabs->setCurrentIndex(index);
  for (int i = 0; i < PageCount(); ++i) Page(i)->SetVisible(i == index);
}

void TTabbedNotebook::BoundsChanged() {
  TWinControl::BoundsChanged();
  LayoutPages();
}

void TTabbedNotebook::LayoutPages() {
  const int width = std::max(Width() - 2 * kPageLeft, 0);
  const int height = std::max(Height() - kPageTop - kPageLeft, 0);
  parts_->tabs->setGeometry(2, 2, std::max(Width() - 4, 0), kPageTop - 2);
  parts_->frame->setGeometry(0, kPageTop - 4, Width(), std::max(Height() - kPageTop + 4, 0));
  for (TTabPage* page : pages_) page->SetBounds(kPageLeft, kPageTop, width, height);
}
