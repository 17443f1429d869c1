#pragma once
// Controls: TControl is anything with a place on a form; TWinControl can hold other controls.
// Each control is backed by a toolkit widget that the framework keeps in step with the
// control's properties.

#include <set>
#include <string>
#include <vector>

#include "framework/Color.h"
#include "framework/Component.h"
#include "framework/Font.h"
#include "framework/Types.h"

class QWidget;
class TWinControl;

// Elements of the control-style set, by their classic numbers.
enum TControlStyleElement {
  csAcceptsControls = 0,
  csCaptureMouse = 1,
  csDesignInteractive = 2,
  csClickEvents = 3,
  csFramed = 4,
  csSetCaption = 5,
  csOpaque = 6,
  csDoubleClicks = 7,
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TControl : public TComponent {
 public:
  // The control takes ownership of the widget, which must have no parent yet.
  TControl(TComponent* owner, QWidget* widget);
  ~TControl() override;
  std::string ClassName() const override { return "TControl"; }

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
  void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
  virtual void SetBounds(int left, int top, int width, int height);
  virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool parentColor);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool parentFont);

  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& text) { SetText(text); }
  const std::string& Text() const { return text_; }
  virtual void SetText(const std::string& text) {
    if (SetIfChanged(text_, text)) TextChanged();
  }

  // Published for the components' users; the framework itself shows no hints and lays out no
  // aligned controls.
  std::string Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool showHint) { showHint_ = showHint; }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align) { align_ = align; }

  std::set<int>& ControlStyle() { return controlStyle_; }
  bool HasStyle(TControlStyleElement element) const { return controlStyle_.count(element) != 0; }

  // Marks the control for repainting later, in the message loop.
  virtual void Invalidate();
  // Carries out the pending repaints of the control at once.
  virtual void Update();
  // Repaints at once: an opaque control paints straight away; any other is invalidated and
  // then brought up to date through the virtual Update.
  virtual void Repaint();
  void Refresh() { Repaint(); }

  TNotifyEvent OnClick;

  QWidget* Widget() const { return widget_; }

 protected:
  // Hooks for the toolkit side of derived controls.
  virtual void ColorChanged() { ApplyPalette(); }
  virtual void FontChanged();
  virtual void TextChanged() {}
  virtual void BoundsChanged();
  virtual void Click();

  // Called by TWinControl on its children when its own colour or font changes.
  void ParentColorChanged();
  void ParentFontChanged();

  void ApplyPalette();

 private:
  friend class TWinControl;

  QWidget* widget_;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  TFont font_;
  bool parentFont_ = true;
  std::string text_;
  std::string hint_;
  bool showHint_ = false;
  TAlign align_ = TAlign::alNone;
  std::set<int> controlStyle_;
};

class TWinControl : public TControl {
 public:
  TWinControl(TComponent* owner, QWidget* widget);
  ~TWinControl() override;
  std::string ClassName() const override { return "TWinControl"; }

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }

  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order) { tabOrder_ = order; }
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool tabStop) { tabStop_ = tabStop; }

  // Chains the keyboard focus through the children by their TabOrder, and so on down.
  void ApplyTabOrder();

  // Gives the control the keyboard focus.
  void SetFocus();
  bool Focused() const;

 protected:
  void ColorChanged() override;
  void FontChanged() override;

 private:
  friend class TControl;
  void InsertControl(TControl* control) { controls_.push_back(control); }
  void RemoveControl(TControl* control) { std::erase(controls_, control); }

  std::vector<TControl*> controls_;
  int tabOrder_ = -1;
  bool tabStop_ = false;
};
