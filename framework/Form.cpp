#include "framework/Form.h"

#include <QCloseEvent>
#include <QIcon>
#include <QPixmap>
#include <QWidget>
#include <algorithm>

#include "framework/Application.h"
#include "framework/FormReader.h"
#include "framework/FramePacer.h"

namespace {
// The window frame of the classic desktop around the client area: borders and caption.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 36;
}  // namespace

class FormWidget : public QWidget {
 public:
  explicit FormWidget(TForm* form) : form_(form) { setAttribute(Qt::WA_DeleteOnClose, false); }
  void Detach() { form_ = nullptr; }

 protected:
  // The user or the window system asks to close: the form decides, and its Close hides the
  // widget itself when the action says so.
  void closeEvent(QCloseEvent* event) override {
    if (!form_) {
      event->accept();
      return;
    }
    form_->Close();
    event->ignore();
  }

 private:
  TForm* form_;
};

TForm::TForm(TComponent* owner) : TWinControl(owner, new FormWidget(this)) {
  Widget()->setAutoFillBackground(true);
  PaceFramesOf(Widget());
  ApplyPalette();
}

TForm::~TForm() {
  if (OnDestroy) RunGuarded(this, [this] { OnDestroy(this); });
  static_cast<FormWidget*>(Widget())->Detach();
  // Owned controls go first: they sit on this form's widget.
  DestroyComponents();
}

void TForm::AfterConstruction() {
  if (OnCreate) RunGuarded(this, [this] { OnCreate(this); });
}

void TForm::ReadDescription(const std::string& text) {
  ReadFormDescription(*this, text);
}

void TForm::BindField(const std::string& name, TComponent* component) {
  auto it = fields_.find(name);
  if (it != fields_.end()) it->second(component);
}

void TForm::Show() {
  SetVisible(true);
  Widget()->show();
}

void TForm::Close() {
  TCloseAction action = TCloseAction::caHide;
  if (OnClose && !RunGuarded(this, [this, &action] { OnClose(this, action); })) return;
  if (action == TCloseAction::caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  Hide();
  Widget()->hide();
}

void TForm::SetAutoSize(bool autoSize) {
  if (SetIfChanged(autoSize_, autoSize) && autoSize_ && !IsLoading()) FitToControls();
}

void TForm::SetClientWidth(int width) {
  SetWidth(width + kFrameWidth);
}

void TForm::SetClientHeight(int height) {
  SetHeight(height + kFrameHeight);
}

TRect TForm::ClientRect() const {
  return Rect(0, 0, std::max(Width() - kFrameWidth, 0), std::max(Height() - kFrameHeight, 0));
}

void TForm::FitToControls() {
  int right = 0;
  int bottom = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* control = Controls(i);
    if (!control->Visible()) continue;
    right = std::max(right, control->Left() + control->Width());
    bottom = std::max(bottom, control->Top() + control->Height());
  }
  SetBounds(Left(), Top(), right + kFrameWidth, bottom + kFrameHeight);
}

void TForm::Loaded() {
  TWinControl::Loaded();
  ApplyTabOrder();
  if (autoSize_) FitToControls();
}

void TForm::BoundsChanged() {
  Widget()->move(Left(), Top());
  Widget()->resize(ClientWidth(), ClientHeight());
}

void TForm::TextChanged() {
  Widget()->setWindowTitle(QString::fromLatin1(Caption()));
}

void TForm::SetIconImage(const char* const* xpm) {
  Widget()->setWindowIcon(QIcon(QPixmap(xpm)));
}
