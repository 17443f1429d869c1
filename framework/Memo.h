#pragma once
// A multi-line text view. It can be read-only for the user while the user can still place the
// caret and select text with the mouse; the program replaces the selection at the caret.
// Replacing at the caret costs the same however much text the memo holds, so it can serve as an
// ever-growing log (see MemoView.h).

#include <string>
#include <vector>

#include "framework/Control.h"

class TMemoView;

class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* owner);
  std::string ClassName() const override { return "TMemo"; }

  // Setting the text puts the caret at the start; setting the text already shown changes
  // nothing. "\r\n", a lone "\r" and a lone "\n" each end a line.
  void SetText(const std::string& text) override;
  void SetLines(const std::vector<std::string>& lines);
  // Puts the text in place of the selection (or at the caret); the caret ends behind it.
  void ReplaceSelection(const std::string& text);

  // Keeps at most this many lines, the newest; older ones leave the top. 0, the default, keeps
  // every line. Appending costs the same at the bound as below it.
  void SetMaxLines(size_t maxLines);

  void SetReadOnly(bool readOnly);
  void SetWordWrap(bool wordWrap);
  void SetScrollBars(TScrollStyle scrollBars);

  TNotifyEvent OnChange;

 private:
  TMemoView* View() const;
};
