#include "framework/Label.h"

#include <QFontMetrics>
#include <QLabel>

namespace {
QLabel* AsLabel(QWidget* widget) {
  return static_cast<QLabel*>(widget);
}
}  // namespace

TLabel::TLabel(TComponent* owner) : TControl(owner, new QLabel) {
  QLabel* label = AsLabel(Widget());
  label->setMargin(0);
  label->setIndent(0);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setAutoFillBackground(true);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  SetParentColor(true);
  SetBounds(0, 0, 65, 17);
}

void TLabel::SetTransparent(bool transparent) {
  if (SetIfChanged(transparent_, transparent))
    AsLabel(Widget())->setAutoFillBackground(!transparent_);
}

void TLabel::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  Qt::Alignment horizontal = alignment_ == TAlignment::taCenter         ? Qt::AlignHCenter
                             : alignment_ == TAlignment::taRightJustify ? Qt::AlignRight
                                                                        : Qt::AlignLeft;
  AsLabel(Widget())->setAlignment(horizontal | Qt::AlignTop);
}

void TLabel::SetWordWrap(bool wordWrap) {
  if (wordWrap == wordWrap_) return;
  wordWrap_ = wordWrap;
  AsLabel(Widget())->setWordWrap(wordWrap_);
  AdjustSize();
}

void TLabel::Loaded() {
  TControl::Loaded();
  AdjustSize();
}

void TLabel::TextChanged() {
  AsLabel(Widget())->setText(QString::fromLatin1(Caption()));
  AdjustSize();
}

void TLabel::FontChanged() {
  TControl::FontChanged();
  AdjustSize();
}

void TLabel::AdjustSize() {
  if (!autoSize_ || wordWrap_ || IsLoading()) return;
  const QFontMetrics metrics(Font().ToQFont());
  const QString text = QString::fromLatin1(Caption());
  const int width = text.isEmpty() ? 0 : metrics.horizontalAdvance(text);
  SetBounds(Left(), Top(), width, metrics.height());
}
