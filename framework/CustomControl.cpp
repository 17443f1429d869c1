#include "framework/CustomControl.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <map>

#include "framework/Application.h"

namespace {

int ShiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  int shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= ssShift;
  if (modifiers & Qt::AltModifier) shift |= ssAlt;
  if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
  if (buttons & Qt::LeftButton) shift |= ssLeft;
  if (buttons & Qt::RightButton) shift |= ssRight;
  if (buttons & Qt::MiddleButton) shift |= ssMiddle;
  return shift;
}

bool ButtonOf(Qt::MouseButton qtButton, TMouseButton& button) {
  if (qtButton == Qt::LeftButton)
    button = mbLeft;
  else if (qtButton == Qt::RightButton)
    button = mbRight;
  else if (qtButton == Qt::MiddleButton)
    button = mbMiddle;
  else
    return false;
  return true;
}

WORD VirtualKeyOf(int qtKey) {
  static const std::map<int, WORD> kKeys = {
      {Qt::Key_Backspace, VK_BACK}, {Qt::Key_Tab, VK_TAB},           {Qt::Key_Return, VK_RETURN},
      {Qt::Key_Enter, VK_RETURN},   {Qt::Key_Escape, VK_ESCAPE},     {Qt::Key_Space, VK_SPACE},
      {Qt::Key_PageUp, VK_PRIOR},   {Qt::Key_PageDown, VK_NEXT},     {Qt::Key_End, VK_END},
      {Qt::Key_Home, VK_HOME},      {Qt::Key_Left, VK_LEFT},         {Qt::Key_Up, VK_UP},
      {Qt::Key_Right, VK_RIGHT},    {Qt::Key_Down, VK_DOWN},         {Qt::Key_Insert, VK_INSERT},
      {Qt::Key_Delete, VK_DELETE},  {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},
      {Qt::Key_Minus, VK_SUBTRACT}, {Qt::Key_Shift, VK_SHIFT},       {Qt::Key_Control, VK_CONTROL},
      {Qt::Key_Alt, VK_MENU}};
  if (auto it = kKeys.find(qtKey); it != kKeys.end()) return it->second;
  // Letters and digits have the same codes in both.
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
    return static_cast<WORD>(qtKey);
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) {
    return static_cast<WORD>(VK_F1 + (qtKey - Qt::Key_F1));
  }
  return 0;
}

}  // namespace

// The toolkit window of a self-drawing control: it turns paints, input and resizes into the
// control's calls. Exceptions from the control go to the application, never into the toolkit.
class TCustomControlWidget : public QWidget {
 public:
  TCustomControlWidget() {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
  }
  void Detach() { control_ = nullptr; }
  void Attach(TCustomControl* control) { control_ = control; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!control_) return;
    Guard([this] { control_->PaintWindow(); });
    const TPixelBuffer& buffer = control_->buffer_;
    if (buffer.Width() <= 0 || buffer.Height() <= 0) return;
    const QImage image(reinterpret_cast<const uchar*>(buffer.Data()), buffer.Width(),
                       buffer.Height(), buffer.Width() * 4, QImage::Format_RGB32);
    QPainter painter(this);
    painter.drawImage(0, 0, image);
  }
  void resizeEvent(QResizeEvent*) override {
    if (!control_) return;
    TMessage message;
    message.Msg = WM_SIZE;
    message.LParam = MakeLParam(static_cast<WORD>(width()), static_cast<WORD>(height()));
    Guard([this, &message] { control_->Dispatch(message); });
  }
  void mousePressEvent(QMouseEvent* event) override {
    MouseButtonEvent(event, &TCustomControl::DoMouseDown, 0);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    MouseButtonEvent(event, &TCustomControl::DoMouseUp, 0);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    MouseButtonEvent(event, &TCustomControl::DoMouseDown, ssDouble);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (!control_) return;
    const int shift = ShiftOf(event->modifiers(), event->buttons());
    const QPoint at = event->position().toPoint();
    Guard([&] { control_->DoMouseMove(shift, at.x(), at.y()); });
  }
  void wheelEvent(QWheelEvent* event) override {
    if (!control_) return;
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0) Guard([&] { control_->MouseWheel(steps); });
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (!control_) return;
    const WORD key = VirtualKeyOf(event->key());
    const int shift = ShiftOf(event->modifiers(), Qt::NoButton);
    const QByteArray text = event->text().toLatin1();
    Guard([&] {
      if (key != 0) control_->DoKeyDown(key, shift);
      if (control_ && text.size() == 1 && static_cast<unsigned char>(text[0]) >= 0x20) {
        control_->DoKeyPress(text[0]);
      }
    });
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    if (!control_) return;
    const WORD key = VirtualKeyOf(event->key());
    const int shift = ShiftOf(event->modifiers(), Qt::NoButton);
    if (key != 0) Guard([&] { control_->DoKeyUp(key, shift); });
  }
  void focusInEvent(QFocusEvent* event) override {
    QWidget::focusInEvent(event);
    if (control_) Guard([this] { control_->DoFocusChanged(true); });
  }
  void focusOutEvent(QFocusEvent* event) override {
    QWidget::focusOutEvent(event);
    if (control_) Guard([this] { control_->DoFocusChanged(false); });
  }

 private:
  template <class F>
  void Guard(F&& action) {
    RunGuarded(control_, std::forward<F>(action));
  }

  // A press (the second one of a double click with ssDouble, which is also the double click of
  // the left button) or a release of a button that the control knows.
  void MouseButtonEvent(QMouseEvent* event,
                        void (TCustomControl::*handle)(TMouseButton, int, int, int),
                        int doubleClick) {
    TMouseButton button;
    if (!control_ || !ButtonOf(event->button(), button)) return;
    const int shift = ShiftOf(event->modifiers(), event->buttons()) | doubleClick;
    const QPoint at = event->position().toPoint();
    Guard([&] {
      (control_->*handle)(button, shift, at.x(), at.y());
      if (control_ && doubleClick && button == mbLeft) control_->DoDblClick();
    });
  }

  TCustomControl* control_ = nullptr;
};

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner, new TCustomControlWidget), canvas_(std::make_unique<TCanvas>(&buffer_)) {
  static_cast<TCustomControlWidget*>(Widget())->Attach(this);
  ControlStyle().insert(csOpaque);
}

TCustomControl::~TCustomControl() {
  static_cast<TCustomControlWidget*>(Widget())->Detach();
  // The bars go with the widget, after this object; they must not call back into it.
  for (QScrollBar* bar : Widget()->findChildren<QScrollBar*>(Qt::FindDirectChildrenOnly))
    QObject::disconnect(bar, nullptr, nullptr, nullptr);
}

QScrollBar* TCustomControl::AddScrollBar(bool vertical, std::function<void(int)> moved) {
  auto* bar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, Widget());
  bar->hide();
  bar->setFocusPolicy(Qt::NoFocus);
  QObject::connect(bar, &QScrollBar::valueChanged, std::move(moved));
  return bar;
}

void TCustomControl::SetParent(TWinControl* parent) {
  TWinControl::SetParent(parent);
  if (parent) HandleNeeded();
}

void TCustomControl::HandleNeeded() {
  if (windowCreated_) return;
  windowCreated_ = true;
  CreateWnd();
}

void TCustomControl::PaintWindow() {
  const TRect client = ClientRect();
  buffer_.Resize(client.Width(), client.Height());
  canvas_->Font().Assign(Font());
  canvas_->Brush().SetColor(Color());
  canvas_->Brush().SetStyle(bsSolid);
  canvas_->Pen().SetColor(clBlack);
  canvas_->Pen().SetWidth(1);
  canvas_->SetCopyMode(SRCCOPY);
  Paint();
}

void TCustomControl::Paint() {
  canvas_->FillRect(ClientRect());
}

void TCustomControl::DoMouseDown(TMouseButton button, int shift, int x, int y) {
  if (button == mbLeft && !Focused()) SetFocus();
  MouseDown(button, shift, x, y);
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TCustomControl::DoMouseUp(TMouseButton button, int shift, int x, int y) {
  MouseUp(button, shift, x, y);
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TCustomControl::DoMouseMove(int shift, int x, int y) {
  MouseMove(shift, x, y);
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TCustomControl::DoKeyDown(WORD key, int shift) {
  // The event sees the key first and may swallow it by setting it to 0.
  if (OnKeyDown) OnKeyDown(this, key, shift);
  if (key != 0) KeyDown(key, shift);
}

void TCustomControl::DoKeyUp(WORD key, int shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
  if (key != 0) KeyUp(key, shift);
}

void TCustomControl::DoKeyPress(char key) {
  if (OnKeyPress) OnKeyPress(this, key);
  if (key != 0) KeyPress(key);
}

void TCustomControl::DoFocusChanged(bool focused) {
  FocusChanged(focused);
  if (focused && OnEnter) OnEnter(this);
  if (!focused && OnExit) OnExit(this);
}

void TCustomControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
