#include "framework/Memo.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace {

QPlainTextEdit* AsView(QWidget* widget) {
  return static_cast<QPlainTextEdit*>(widget);
}

// "\r\n", a lone "\r" and a lone "\n" each become one line break of the document.
QString ToDocumentText(const std::string& text) {
  std::string normalized;
  normalized.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      normalized += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      normalized += c;
    }
  }
  return QString::fromLatin1(normalized.data(), static_cast<qsizetype>(normalized.size()));
}

std::string FromDocumentText(const QString& text) {
  const QByteArray latin = text.toLatin1();
  std::string result;
  result.reserve(static_cast<size_t>(latin.size()));
  for (char c : latin) {
    if (c == '\n')
      result += "\r\n";
    else
      result += c;
  }
  return result;
}

}  // namespace

TMemo::TMemo(TComponent* owner) : TWinControl(owner, new QPlainTextEdit) {
  QPlainTextEdit* view = AsView(Widget());
  view->setUndoRedoEnabled(false);
  view->setFrameShape(QFrame::NoFrame);
  view->document()->setDocumentMargin(1);
  view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->setAutoFillBackground(true);
  SetColor(clWindow);
  SetBounds(0, 0, 185, 89);
  SetTabStop(true);
  QObject::connect(view, &QPlainTextEdit::textChanged, [this] {
    if (OnChange) OnChange(this);
  });
}

std::string TMemo::GetText() const {
  return FromDocumentText(AsView(Widget())->toPlainText());
}

void TMemo::SetText(const std::string& text) {
  QPlainTextEdit* view = AsView(Widget());
  const QString documentText = ToDocumentText(text);
  if (documentText == view->toPlainText()) return;
  view->setPlainText(documentText);
  QTextCursor cursor = view->textCursor();
  cursor.movePosition(QTextCursor::Start);
  view->setTextCursor(cursor);
  view->ensureCursorVisible();
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  SetText(text);
}

int TMemo::LineCount() const {
  return AsView(Widget())->document()->blockCount();
}

int TMemo::ToWindowsPosition(int documentPosition) const {
  const QTextBlock block = AsView(Widget())->document()->findBlock(documentPosition);
  return documentPosition + (block.isValid() ? block.blockNumber() : 0);
}

int TMemo::ToDocumentPosition(int windowsPosition) const {
  const QTextDocument* document = AsView(Widget())->document();
  if (windowsPosition <= 0) return 0;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    const int windowsStart = block.position() + block.blockNumber();
    const int length = block.length() - 1;  // without the break
    if (windowsPosition <= windowsStart + length)
      return block.position() + (windowsPosition - windowsStart);
    // A position inside the "\r\n" pair belongs to the end of this line.
    if (windowsPosition == windowsStart + length + 1) return block.position() + length;
  }
  return document->characterCount() - 1;
}

int TMemo::SelStart() const {
  const QTextCursor cursor = AsView(Widget())->textCursor();
  return ToWindowsPosition(cursor.selectionStart());
}

void TMemo::SetSelStart(int position) {
  QPlainTextEdit* view = AsView(Widget());
  QTextCursor cursor = view->textCursor();
  cursor.setPosition(ToDocumentPosition(position));
  view->setTextCursor(cursor);
}

int TMemo::SelLength() const {
  const QTextCursor cursor = AsView(Widget())->textCursor();
  return ToWindowsPosition(cursor.selectionEnd()) - ToWindowsPosition(cursor.selectionStart());
}

void TMemo::SetSelLength(int length) {
  QPlainTextEdit* view = AsView(Widget());
  QTextCursor cursor = view->textCursor();
  const int start = SelStart();
  cursor.setPosition(ToDocumentPosition(start));
  cursor.setPosition(ToDocumentPosition(start + std::max(length, 0)), QTextCursor::KeepAnchor);
  view->setTextCursor(cursor);
}

std::string TMemo::SelText() const {
  return FromDocumentText(AsView(Widget())->textCursor().selection().toPlainText());
}

void TMemo::ReplaceSelection(const std::string& text) {
  QPlainTextEdit* view = AsView(Widget());
  QTextCursor cursor = view->textCursor();
  cursor.insertText(ToDocumentText(text));
  view->setTextCursor(cursor);
  view->ensureCursorVisible();
}

void TMemo::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  QPlainTextEdit* view = AsView(Widget());
  view->setReadOnly(readOnly);
  if (readOnly) {
    // The user may still place the caret and select; typing does nothing.
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  } else {
    view->setTextInteractionFlags(Qt::TextEditorInteraction);
  }
}

void TMemo::SetWordWrap(bool wordWrap) {
  wordWrap_ = wordWrap;
  AsView(Widget())->setLineWrapMode(wordWrap ? QPlainTextEdit::WidgetWidth
                                             : QPlainTextEdit::NoWrap);
}

void TMemo::SetScrollBars(TScrollStyle scrollBars) {
  scrollBars_ = scrollBars;
  QPlainTextEdit* view = AsView(Widget());
  const bool horizontal =
      scrollBars == TScrollStyle::ssHorizontal || scrollBars == TScrollStyle::ssBoth;
  const bool vertical =
      scrollBars == TScrollStyle::ssVertical || scrollBars == TScrollStyle::ssBoth;
  view->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  view->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}
