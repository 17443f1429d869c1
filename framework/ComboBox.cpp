#include "framework/ComboBox.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

namespace {
QComboBox* AsCombo(QWidget* widget) {
  return static_cast<QComboBox*>(widget);
}
}  // namespace

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner, new QComboBox) {
  QComboBox* combo = AsCombo(Widget());
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setCompleter(nullptr);
  combo->setMaxVisibleItems(8);
  SetColor(clWindow);
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
  // textEdited covers keystrokes, paste and cut; activated covers a pick from the list. Neither
  // fires for changes the program makes.
  QObject::connect(combo->lineEdit(), &QLineEdit::textEdited,
                   [this](const QString&) { UserChanged(); });
  QObject::connect(combo, &QComboBox::activated, [this](int) { UserChanged(); });
}

void TComboBox::UserChanged() {
  TControl::SetText(GetText());
  if (OnChange) OnChange(this);
}

void TComboBox::AddItem(const std::string& item) {
  QComboBox* combo = AsCombo(Widget());
  const QString text = combo->currentText();
  combo->addItem(QString::fromLatin1(item));
  // Adding the first item must not replace what the edit shows.
  if (combo->count() == 1 && combo->currentIndex() == 0 && combo->currentText() != text) {
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
  }
}

void TComboBox::SetItems(const std::vector<std::string>& items) {
  QComboBox* combo = AsCombo(Widget());
  const QString text = combo->currentText();
  combo->clear();
  combo->setEditText(text);
  for (const std::string& item : items) AddItem(item);
}

void TComboBox::SetItemIndex(int index) {
  QComboBox* combo = AsCombo(Widget());
  if (index < -1 || index >= combo->count()) index = -1;
  combo->setCurrentIndex(index);
  if (index == -1) combo->setEditText(QString());
  TControl::SetText(GetText());
}

std::string TComboBox::GetText() const {
  return AsCombo(Widget())->currentText().toLatin1().toStdString();
}

void TComboBox::SetText(const std::string& text) {
  QComboBox* combo = AsCombo(Widget());
  const int index = combo->findText(QString::fromLatin1(text), Qt::MatchExactly);
  if (index >= 0)
    combo->setCurrentIndex(index);
  else
    combo->setEditText(QString::fromLatin1(text));
  TControl::SetText(text);
}

void TComboBox::SetItemHeight(int height) {
  if (height <= 0) return;
  AsCombo(Widget())->view()->setStyleSheet(
      QString("QAbstractItemView::item { height: %1px; }").arg(height));
}

void TComboBox::SetDropDownCount(int count) {
  if (count <= 0) return;
  AsCombo(Widget())->setMaxVisibleItems(count);
}
