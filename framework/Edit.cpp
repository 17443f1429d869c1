#include "framework/Edit.h"

#include <QLineEdit>
#include <algorithm>
#include <cstring>

namespace {
QLineEdit* AsEdit(QWidget* widget) {
  return static_cast<QLineEdit*>(widget);
}
}  // namespace

TEdit::TEdit(TComponent* owner) : TWinControl(owner, new QLineEdit) {
  SetColor(clWindow);
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  QObject::connect(AsEdit(Widget()), &QLineEdit::textEdited, [this](const QString& text) {
    TControl::SetText(text.toLatin1().toStdString());
    if (OnChange) OnChange(this);
  });
}

void TEdit::SetText(const std::string& text) {
  // What the edit holds ends at the first zero byte.
  TControl::SetText(std::string(text.c_str()));
}

void TEdit::TextChanged() {
  settingText_ = true;
  AsEdit(Widget())->setText(QString::fromLatin1(Text()));
  settingText_ = false;
  if (OnChange) OnChange(this);
}

int TEdit::GetTextBuf(char* buffer, int size) const {
  if (!buffer || size <= 0) return 0;
  const int count = std::min(static_cast<int>(Text().size()), size - 1);
  std::memcpy(buffer, Text().data(), static_cast<size_t>(count));
  buffer[count] = '\0';
  return count;
}

void TEdit::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  AsEdit(Widget())->setReadOnly(readOnly);
}

void TEdit::SetMaxLength(int maxLength) {
  maxLength_ = std::max(maxLength, 0);
  AsEdit(Widget())->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
}
