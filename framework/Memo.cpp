#include "framework/Memo.h"

#include "framework/MemoView.h"

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

void TMemo::ReplaceSelection(const std::string& text) {
  View()->ReplaceSelection(text);
}

void TMemo::SetMaxLines(size_t maxLines) {
  View()->SetMaxLines(maxLines);
}

void TMemo::SetReadOnly(bool readOnly) {
  View()->SetReadOnly(readOnly);
}

void TMemo::SetWordWrap(bool wordWrap) {
  View()->SetWordWrap(wordWrap);
}

void TMemo::SetScrollBars(TScrollStyle scrollBars) {
  // Unwrapped lines scroll sideways with the caret; only the vertical bar is offered.
  View()->SetVerticalScrollBar(scrollBars == TScrollStyle::ssVertical ||
                               scrollBars == TScrollStyle::ssBoth);
}
