#pragma once
// Windowed controls that draw themselves: the control paints its client area on its canvas and
// receives the mouse, the keyboard and its size changes through virtual calls of its own.

#include <functional>
#include <memory>

#include "framework/Canvas.h"
#include "framework/Control.h"
#include "platform/MessageWindow.h"
#include "platform/VirtualKeys.h"

class QScrollBar;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Bits of the shift state that mouse and key calls carry.
enum TShiftStateElement {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64,
};

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, int Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, int Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, int Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  std::string ClassName() const override { return "TCustomControl"; }

  // The canvas that Paint draws on; it is the size of the client area while Paint runs.
  TCanvas& Canvas() { return *canvas_; }

  // Messages to the control's window. WM_SIZE arrives whenever the client area changes size.
  virtual void Dispatch(TMessage&) {}

  // Creates the window, which otherwise comes when the control is first placed on a parent.
  void HandleNeeded();
  void SetParent(TWinControl* parent) override;

  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  // Entry points of the window; each raises the matching event after the control's handling.
  void DoMouseDown(TMouseButton button, int shift, int x, int y);
  void DoMouseUp(TMouseButton button, int shift, int x, int y);
  void DoMouseMove(int shift, int x, int y);
  void DoDblClick() { DblClick(); }
  void DoKeyDown(WORD key, int shift);
  void DoKeyUp(WORD key, int shift);
  void DoKeyPress(char key);
  void DoFocusChanged(bool focused);

 protected:
  // Runs once, when the window is created (when the control is first placed on a parent).
  virtual void CreateWnd() {}
  // Fills the client area with the control's colour, the brush it starts with.
  virtual void Paint();
  virtual void MouseDown(TMouseButton /*button*/, int /*shift*/, int /*x*/, int /*y*/) {}
  virtual void MouseUp(TMouseButton /*button*/, int /*shift*/, int /*x*/, int /*y*/) {}
  virtual void MouseMove(int /*shift*/, int /*x*/, int /*y*/) {}
  virtual void DblClick();
  virtual void KeyDown(WORD& /*key*/, int /*shift*/) {}
  virtual void KeyUp(WORD& /*key*/, int /*shift*/) {}
  virtual void KeyPress(char& /*key*/) {}
  // Wheel turns, positive away from the user.
  virtual void MouseWheel(int /*steps*/) {}
  // Repaints by default, for controls that show the focus.
  virtual void FocusChanged(bool /*focused*/) { Invalidate(); }

  // A scroll bar on the control's window, hidden and without focus, that hands each new
  // position to moved. Its calls end when the control goes.
  QScrollBar* AddScrollBar(bool vertical, std::function<void(int)> moved);

 private:
  friend class TCustomControlWidget;
  void PaintWindow();

  TPixelBuffer buffer_;
  std::unique_ptr<TCanvas> canvas_;
  bool windowCreated_ = false;
};
