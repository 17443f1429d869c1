#pragma once
// A multi-line text view. Lines end in "\r\n" in its text. It can be read-only for the user
// while the user can still place the caret and select text with the mouse; the program
// replaces the selection at the caret. Replacing at the caret costs the same however much text
// the memo holds, so it can serve as an ever-growing log (see MemoView.h).

#include <string>
#include <vector>

#include "framework/Control.h"

class TMemoView;

class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* owner);
  std::string ClassName() const override { return "TMemo"; }

  // The whole text with "\r\n" line ends. Setting it puts the caret at the start; setting the
  // text already shown changes nothing.
  std::string GetText() const;
  void SetText(const std::string& text) override;
  void SetLines(const std::vector<std::string>& lines);
  int LineCount() const;

  // Selection and caret, counted in characters of the "\r\n" text; a position between the '\r'
  // and the '\n' of a line end stands for the end of that line.
  int SelStart() const;
  void SetSelStart(int position);
  int SelLength() const;
  void SetSelLength(int length);
  std::string SelText() const;
  // Puts the text in place of the selection (or at the caret); the caret ends behind it.
  void ReplaceSelection(const std::string& text);

  // Keeps at most this many lines, the newest; older ones leave the top. 0, the default, keeps
  // every line. Appending costs the same at the bound as below it.
  size_t MaxLines() const;
  void SetMaxLines(size_t maxLines);

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wordWrap);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle scrollBars);

  TNotifyEvent OnChange;

 private:
  TMemoView* View() const;

  bool readOnly_ = false;
  bool wordWrap_ = true;
  TScrollStyle scrollBars_ = TScrollStyle::ssNone;
};
