#include "framework/Edit.h"

#include <QEvent>
#include <QLineEdit>
#include <algorithm>
#include <cstring>
#include <functional>

namespace {

// The toolkit's edit, which says when its text may be seen or typed into.
class EditWidget : public QLineEdit {
 public:
  std::function<void()> BeforeShowingText;

 protected:
  bool event(QEvent* event) override {
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Resize:
      case QEvent::FocusIn:
      case QEvent::Paint:
        if (BeforeShowingText) BeforeShowingText();
        break;
      default:
        break;
    }
    return QLineEdit::event(event);
  }
};

QLineEdit* AsEdit(QWidget* widget) {
  return static_cast<QLineEdit*>(widget);
}

}  // namespace

TEdit::TEdit(TComponent* owner) : TWinControl(owner, new EditWidget) {
  static_cast<EditWidget*>(Widget())->BeforeShowingText = [this] { ShowText(); };
  SetColor(clWindow);
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  QObject::connect(AsEdit(Widget()), &QLineEdit::textEdited, [this](const QString& text) {
    // A character outside the edit's character set is kept as the '?' it became, on screen too.
    const std::string typed = text.toLatin1().toStdString();
    typedByUser_ = QString::fromLatin1(typed) == text;
    TControl::SetText(typed);
    typedByUser_ = false;
  });
}

void TEdit::SetText(const std::string& text) {
  // What the edit holds ends at the first zero byte.
  TControl::SetText(std::string(text.c_str()));
}

void TEdit::TextChanged() {
  // Laying the text out costs more than everything else of setting it. An edit that nobody can
  // see or type into (hidden, without width or height, and without the focus) takes the text
  // when that changes, so a hidden edit that only carries text costs little per change.
  textToShow_ = !typedByUser_;
  const QWidget* widget = Widget();
  if (widget->hasFocus() || (widget->isVisible() && widget->width() > 0 && widget->height() > 0))
    ShowText();
  if (OnChange) OnChange(this);
}

void TEdit::ShowText() {
  if (!textToShow_) return;
  textToShow_ = false;
  AsEdit(Widget())->setText(QString::fromLatin1(Text()));
}

int TEdit::GetTextBuf(char* buffer, int size) const {
  if (!buffer || size <= 0) return 0;
  const int count = std::min(static_cast<int>(Text().size()), size - 1);
  std::memcpy(buffer, Text().data(), static_cast<size_t>(count));
  buffer[count] = '\0';
  return count;
}

void TEdit::SetReadOnly(bool readOnly) {
  AsEdit(Widget())->setReadOnly(readOnly);
}

void TEdit::SetMaxLength(int maxLength) {
  AsEdit(Widget())->setMaxLength(maxLength > 0 ? maxLength : 32767);
}
