#include "framework/Button.h"

#include <QCheckBox>
#include <QPushButton>

TButton::TButton(TComponent* owner) : TWinControl(owner, new QPushButton) {
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
  QObject::connect(static_cast<QPushButton*>(Widget()), &QPushButton::clicked,
                   [this] { TControl::Click(); });
}

void TButton::TextChanged() {
  static_cast<QPushButton*>(Widget())->setText(QString::fromLatin1(Caption()));
}

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner, new QCheckBox) {
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
  QObject::connect(static_cast<QCheckBox*>(Widget()), &QCheckBox::clicked,
                   [this] { TControl::Click(); });
}

bool TCheckBox::Checked() const {
  return static_cast<QCheckBox*>(Widget())->isChecked();
}

void TCheckBox::SetChecked(bool checked) {
  static_cast<QCheckBox*>(Widget())->setChecked(checked);
}

void TCheckBox::TextChanged() {
  static_cast<QCheckBox*>(Widget())->setText(QString::fromLatin1(Caption()));
}
