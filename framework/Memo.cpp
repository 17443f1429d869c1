#include "framework/Memo.h"

#include <algorithm>
#include <climits>

#include "framework/MemoView.h"

namespace {

int ToInt(size_t value) {
  return value > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

}  // namespace

TMemo::TMemo(TComponent* owner) : TWinControl(owner, new TMemoView) {
  View()->OnTextChanged = [this] {
    if (OnChange) OnChange(this);
  };
  SetColor(clWindow);
  SetBounds(0, 0, 185, 89);
  SetTabStop(true);
}

TMemoView* TMemo::View() const {
  return static_cast<TMemoView*>(Widget());
}

std::string TMemo::GetText() const {
  const TTextStore& store = View()->Store();
  return store.CrLfText(0, store.Length());
}

void TMemo::SetText(const std::string& text) {
  const std::string stored = TTextStore::Normalized(text);
  if (View()->Store().Equals(stored)) return;
  View()->SetText(stored);
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
  return ToInt(View()->Store().LineCount());
}

int TMemo::SelStart() const {
  return ToInt(View()->Store().ToCrLf(View()->SelectionStart()));
}

void TMemo::SetSelStart(int position) {
  const size_t stored = View()->Store().FromCrLf(static_cast<size_t>(std::max(position, 0)));
  View()->Select(stored, stored);
}

int TMemo::SelLength() const {
  const TTextStore& store = View()->Store();
  return ToInt(store.ToCrLf(View()->SelectionEnd()) - store.ToCrLf(View()->SelectionStart()));
}

void TMemo::SetSelLength(int length) {
  const TTextStore& store = View()->Store();
  const size_t start = store.ToCrLf(View()->SelectionStart());
  View()->Select(store.FromCrLf(start),
                 store.FromCrLf(start + static_cast<size_t>(std::max(length, 0))));
}

std::string TMemo::SelText() const {
  return View()->Store().CrLfText(View()->SelectionStart(), View()->SelectionEnd());
}

void TMemo::ReplaceSelection(const std::string& text) {
  View()->ReplaceSelection(text);
}

size_t TMemo::MaxLines() const {
  return View()->MaxLines();
}

void TMemo::SetMaxLines(size_t maxLines) {
  View()->SetMaxLines(maxLines);
}

void TMemo::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  View()->SetReadOnly(readOnly);
}

void TMemo::SetWordWrap(bool wordWrap) {
  wordWrap_ = wordWrap;
  View()->SetWordWrap(wordWrap);
}

void TMemo::SetScrollBars(TScrollStyle scrollBars) {
  scrollBars_ = scrollBars;
  // Unwrapped lines scroll sideways with the caret; only the vertical bar is offered.
  View()->SetVerticalScrollBar(scrollBars == TScrollStyle::ssVertical ||
                               scrollBars == TScrollStyle::ssBoth);
}
