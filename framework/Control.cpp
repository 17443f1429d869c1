#include "framework/Control.h"

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "framework/FramePacer.h"

namespace {

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

}  // namespace

TControl::TControl(TComponent* owner, QWidget* widget) : TComponent(owner), widget_(widget) {
  controlStyle_ = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  font_.OnChange = [this] {
    parentFont_ = false;
    FontChanged();
  };
  widget_->hide();
  ApplyPalette();
}

TControl::~TControl() {
  SetParent(nullptr);
  font_.OnChange = nullptr;
  delete widget_;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) parent_->RemoveControl(this);
  parent_ = parent;
  if (parent_) {
    parent_->InsertControl(this);
    widget_->setParent(parent_->Widget());
    if (parentColor_) ParentColorChanged();
    if (parentFont_) ParentFontChanged();
    BoundsChanged();
    widget_->setVisible(visible_);
  } else {
    widget_->setParent(nullptr);
    widget_->hide();
  }
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  BoundsChanged();
}

void TControl::BoundsChanged() {
  const QRect geometry(left_, top_, std::max(width_, 0), std::max(height_, 0));
  // A shown control that only moves is moved on the next display frame (an indicator that
  // changes rows, say). A change of size is carried out at once: what a control shows may
  // depend on its size.
  if (geometry.size() == widget_->size() && widget_->isVisible() &&
      MoveOnNextFrame(widget_, geometry))
    return;
  ForgetMove(widget_);
  widget_->setGeometry(geometry);
}

void TControl::SetVisible(bool visible) {
  if (SetIfChanged(visible_, visible) && (parent_ || !visible)) widget_->setVisible(visible);
}

void TControl::SetEnabled(bool enabled) {
  if (SetIfChanged(enabled_, enabled)) widget_->setEnabled(enabled);
}

void TControl::SetColor(TColor color) {
  parentColor_ = false;
  if (SetIfChanged(color_, color)) ColorChanged();
}

void TControl::SetParentColor(bool parentColor) {
  if (SetIfChanged(parentColor_, parentColor) && parentColor_) ParentColorChanged();
}

void TControl::SetParentFont(bool parentFont) {
  if (SetIfChanged(parentFont_, parentFont) && parentFont_) ParentFontChanged();
}

void TControl::ParentColorChanged() {
  if (!parent_ || !parentColor_) return;
  if (parent_->Color() == color_) return;
  color_ = parent_->Color();
  ColorChanged();
}

void TControl::ParentFontChanged() {
  if (!parent_ || !parentFont_) return;
  if (font_ == parent_->Font()) return;
  // Taking the parent's font is not a font of the control's own.
  auto ownFontChanged = std::exchange(font_.OnChange, nullptr);
  font_.Assign(parent_->Font());
  font_.OnChange = std::move(ownFontChanged);
  FontChanged();
}

void TControl::FontChanged() {
  widget_->setFont(font_.ToQFont());
  ApplyPalette();
}

void TControl::ApplyPalette() {
  QPalette palette = widget_->palette();
  const QColor background = ToQColor(color_);
  const QColor foreground = ToQColor(font_.Color());
  palette.setColor(QPalette::Window, background);
  palette.setColor(QPalette::Base, background);
  palette.setColor(QPalette::Button, background);
  palette.setColor(QPalette::WindowText, foreground);
  palette.setColor(QPalette::Text, foreground);
  palette.setColor(QPalette::ButtonText, foreground);
  widget_->setPalette(palette);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::Invalidate() {
  widget_->update();
}

void TControl::Update() {
  RepaintNow(widget_);
}

void TControl::Repaint() {
  if (HasStyle(csOpaque)) {
    RepaintNow(widget_);
  } else {
    Invalidate();
    Update();
  }
}

TWinControl::TWinControl(TComponent* owner, QWidget* widget) : TControl(owner, widget) {}

TWinControl::~TWinControl() {
  // Children that are not owned by this control outlive it; they lose their parent.
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
}

void TWinControl::ApplyTabOrder() {
  std::vector<TWinControl*> stops;
  for (TControl* control : controls_) {
    if (auto* child = dynamic_cast<TWinControl*>(control)) {
      child->ApplyTabOrder();
      if (child->TabStop()) stops.push_back(child);
    }
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (size_t i = 1; i < stops.size(); ++i)
    QWidget::setTabOrder(stops[i - 1]->Widget(), stops[i]->Widget());
}

void TWinControl::SetFocus() {
  Widget()->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const {
  return Widget()->hasFocus();
}

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  for (TControl* control : controls_) control->ParentColorChanged();
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* control : controls_) control->ParentFontChanged();
}
