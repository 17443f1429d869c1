// The memo: its caret moves over the text alone, then the memo as a user meets it, a real widget
// on the offscreen platform driven by key, mouse and wheel events and judged by its text, its
// caret and its rendering. Expected geometry comes from the font's metrics: rows one line spacing
// apart, one pixel of margin around the text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QImage>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/CaretMoves.h"
#include "framework/Form.h"
#include "framework/FramePacer.h"
#include "tests/support/HeapInUse.h"
#include "tests/support/MemoText.h"
#include "tests/support/MessageLoop.h"

namespace {

class MemoTest : public testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(nullptr);
    form->SetBounds(0, 0, 480, 260);
    memo = new TMemo(form);
    memo->SetParent(form);
    // As the main window's log.
    memo->SetBounds(16, 10, 441, 217);
    memo->SetColor(clMenuText);
    memo->Font().SetName("@Batang");
    memo->Font().SetHeight(-13);
    memo->Font().SetColor(clLime);
    form->Show();
    QApplication::setActiveWindow(form->Widget());
    memo->SetFocus();
    HandleWaitingMessages();
  }
  void TearDown() override { delete form; }

  // Positions are the view's, which count a line break as one character.
  TMemoView* View() const { return static_cast<TMemoView*>(memo->Widget()); }
  std::string Selected() const {
    return MemoText(*memo, View()->SelectionStart(), View()->SelectionEnd());
  }
  int Caret() const { return static_cast<int>(View()->SelectionStart()); }
  qreal Advance(const std::string& text) const {
    return QFontMetricsF(View()->font()).horizontalAdvance(QString::fromLatin1(text));
  }
  // Rows are a line spacing high, rounded up to whole pixels.
  int RowHeight() const {
    return static_cast<int>(std::ceil(QFontMetricsF(View()->font()).lineSpacing()));
  }
  // Top of a row while the view shows the start of the text (one pixel of margin above it).
  int RowTop(int row) const { return 1 + row * RowHeight(); }
  // A point inside the row, just behind the given text at the start of that row.
  QPoint Behind(int row, const std::string& text) const {
    return QPoint(1 + static_cast<int>(Advance(text)) + 1, RowTop(row) + RowHeight() / 2);
  }
  QImage Render() const { return View()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  QRgb Background() const { return View()->palette().color(QPalette::Base).rgb(); }

  // The rightmost column left of `limit` with anything but background in the pixel rows
  // [top, top + height).
  int InkRight(const QImage& image, int top, int height, int limit = INT_MAX) const {
    int right = -1;
    for (int y = std::max(top, 0); y < std::min(top + height, image.height()); ++y)
      for (int x = 0; x < std::min(limit, image.width()); ++x)
        if (image.pixel(x, y) != Background()) right = std::max(right, x);
    return right;
  }
  bool HasColour(const QImage& image, QRect area, QColor colour) const {
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x)
        if (image.pixel(x, y) == colour.rgb()) return true;
    return false;
  }
  // Where the ink of a row of text ends: behind its advance, give or take the last glyph's
  // bearings and smoothing.
  void ExpectRowShows(const QImage& image, int rowTop, const std::string& text,
                      int limit = INT_MAX) const {
    const int right = InkRight(image, rowTop, RowHeight(), limit);
    EXPECT_NEAR(right, 1 + Advance(text), 3)
        << "row at " << rowTop << " should show '" << text << "'";
  }
  // Lines of different widths, so that the rendering tells them apart.
  static std::string Entry(int i) {
    return "Entry " + std::string(static_cast<size_t>(i % 13 + 1), 'W');
  }

  TForm* form = nullptr;
  TMemo* memo = nullptr;
};

// The moves that the text alone decides, without a widget.
TEST(CaretMovesTest, CharacterWordAndDocumentMovesAndTheWordAtAPosition) {
  TTextStore text;
  text.Assign("one  two_2, x\n\n  caf\xE9");
  using enum TCaretMove;
  const struct {
    size_t caret;
    TCaretMove move;
    size_t moved;
  } moves[] = {
      {0, NextChar, 1},       {21, NextChar, 21},     {0, PreviousChar, 0},
      {5, PreviousChar, 4},   {0, NextWord, 5},       {5, NextWord, 10},
      {10, NextWord, 12},     {12, NextWord, 13},     {13, NextWord, 14},
      {15, NextWord, 17},     {17, NextWord, 21},     {21, NextWord, 21},
      {21, PreviousWord, 17}, {17, PreviousWord, 14}, {14, PreviousWord, 13},
      {13, PreviousWord, 12}, {12, PreviousWord, 10}, {10, PreviousWord, 5},
      {5, PreviousWord, 0},   {0, PreviousWord, 0},   {7, StartOfDocument, 0},
      {7, EndOfDocument, 21}, {7, NextLine, 7},       {7, EndOfLine, 7},
  };
  for (const auto& m : moves)
    EXPECT_EQ(MovedInText(text, m.caret, m.move), m.moved)
        << "from " << m.caret << " by " << static_cast<int>(m.move);
  // Word characters, blanks and others make runs of their own; at the end of a line the run
  // before it counts, and an empty line has none.
  const struct {
    size_t position, from, to;
  } words[] = {{6, 5, 10}, {3, 3, 5}, {10, 10, 11}, {13, 12, 13}, {14, 14, 14}, {21, 17, 21}};
  for (const auto& w : words)
    EXPECT_EQ(WordAt(text, w.position), std::make_pair(w.from, w.to)) << "at " << w.position;
}

TEST_F(MemoTest, ClearPutsTheCaretBeforeTheTwoSpacesAndRepeatingItChangesNothing) {
  int changes = 0;
  memo->OnChange = [&](TObject*) { ++changes; };
  memo->SetText("old entries\r\n");
  memo->SetText("  ");
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(Caret(), 0);
  memo->ReplaceSelection("a\r\n");
  memo->ReplaceSelection("b\r\n");
  EXPECT_EQ(MemoText(*memo), "a\r\nb\r\n  ");
  EXPECT_EQ(Caret(), 4);
  EXPECT_EQ(changes, 4);
  memo->SetText("a\nb\r  ");  // the text shown already, its line ends written another way
  EXPECT_EQ(Caret(), 4);
  EXPECT_EQ(changes, 4);
  memo->SetText("  ");  // another text puts the caret back at the start
  EXPECT_EQ(Caret(), 0);
}

TEST_F(MemoTest, ReplacementTakesTheSelectionOrGoesInAtTheCaret) {
  memo->SetText("line one\r\nline two\r\n");
  View()->Select(14, 17);
  memo->ReplaceSelection("2\r\nand 3");
  EXPECT_EQ(MemoText(*memo), "line one\r\nline 2\r\nand 3\r\n");
  EXPECT_EQ(Caret(), 21);
  EXPECT_EQ(Selected(), "");
  memo->ReplaceSelection("");
  EXPECT_EQ(MemoText(*memo), "line one\r\nline 2\r\nand 3\r\n");
}

TEST_F(MemoTest, CaretKeysMoveAndShiftExtends) {
  memo->SetReadOnly(true);
  const std::string text = "first line\r\nsecond\r\nthird line here";
  memo->SetText(text);
  int nearest = 0;
  const std::string third = "third line here";
  for (int i = 0; i <= static_cast<int>(third.size()); ++i) {
    if (std::abs(Advance(third.substr(0, i)) - Advance("first line")) <
        std::abs(Advance(third.substr(0, nearest)) - Advance("first line")))
      nearest = i;
  }
  // A key and the selection it leaves (start and text). Down from the end of "first line" passes
  // the shorter "second" and comes back to the column it started from; a plain Right collapses a
  // selection to its end first.
  const Qt::KeyboardModifiers shift = Qt::ShiftModifier, control = Qt::ControlModifier;
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int selStart;
    std::string selText;
  } steps[] = {
      {Qt::Key_Right, {}, 1, ""},
      {Qt::Key_End, {}, 10, ""},
      {Qt::Key_Down, {}, 17, ""},
      {Qt::Key_Down, {}, 18 + nearest, ""},
      {Qt::Key_Up, {}, 17, ""},
      {Qt::Key_Up, {}, 10, ""},
      {Qt::Key_Home, {}, 0, ""},
      {Qt::Key_Right, control, 6, ""},
      {Qt::Key_End, control, 33, ""},
      {Qt::Key_Left, shift, 32, "e"},
      {Qt::Key_Left, shift, 31, "re"},
      {Qt::Key_Home, shift, 18, "third line here"},
      {Qt::Key_Up, shift, 11, "second\r\nthird line here"},
      {Qt::Key_Right, {}, 33, ""},
      {Qt::Key_Home, control | shift, 0, text},
      {Qt::Key_Left, {}, 0, ""},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    QTest::keyClick(View(), steps[i].key, steps[i].modifiers);
    EXPECT_EQ(Caret(), steps[i].selStart) << "step " << i;
    EXPECT_EQ(Selected(), steps[i].selText) << "step " << i;
  }
}

TEST_F(MemoTest, PageKeysMoveTheCaretAScreenOfRowsAndTheViewFollows) {
  memo->SetReadOnly(true);
  std::vector<std::string> lines;
  for (int i = 0; i < 60; ++i) lines.push_back(Entry(i));
  memo->SetLines(lines);
  const int rowsShown = 217 / RowHeight();
  QTest::keyClick(View(), Qt::Key_PageDown);
  std::string before;
  for (int i = 0; i < rowsShown; ++i) before += Entry(i) + "\n";
  EXPECT_EQ(Caret(), static_cast<int>(before.size()));
  // The caret's line is on screen: the rendering shows it where the view has put it.
  const QImage image = Render();
  bool shown = false;
  for (int top = 0; top + RowHeight() <= 217; top += RowHeight())
    shown =
        shown || std::abs(InkRight(image, top, RowHeight()) - (1 + Advance(Entry(rowsShown)))) <= 3;
  EXPECT_TRUE(shown);
  QTest::keyClick(View(), Qt::Key_PageUp);
  EXPECT_EQ(Caret(), 0);
  ExpectRowShows(Render(), RowTop(0), Entry(0));
}

TEST_F(MemoTest, MouseClicksPlaceTheCaretAndDragsSelect) {
  memo->SetReadOnly(true);
  memo->SetText("first line\r\nsecond\r\nthird line here");
  QTest::mouseClick(View(), Qt::LeftButton, {}, Behind(1, "sec"));
  EXPECT_EQ(Caret(), 14);
  QTest::mouseClick(View(), Qt::LeftButton, {}, QPoint(400, RowTop(0) + 3));  // past the end
  EXPECT_EQ(Caret(), 10);
  QTest::mouseClick(View(), Qt::LeftButton, {}, QPoint(1, 200));  // below the last line
  EXPECT_EQ(Caret(), 18);
  QTest::mouseClick(View(), Qt::LeftButton, Qt::ShiftModifier, Behind(2, "third"));
  EXPECT_EQ(Selected(), "third");

  QTest::mousePress(View(), Qt::LeftButton, {}, Behind(0, "fir"));
  QTest::mouseMove(View(), Behind(1, "se"));
  QTest::mouseRelease(View(), Qt::LeftButton, {}, Behind(1, "se"));
  EXPECT_EQ(Selected(), "st line\r\nse");
  // The selection is highlighted in both rows, and only there.
  const QImage image = Render();
  const QColor highlight = View()->palette().color(QPalette::Active, QPalette::Highlight);
  EXPECT_TRUE(HasColour(image, QRect(0, RowTop(0), 441, RowHeight()), highlight));
  EXPECT_TRUE(HasColour(image, QRect(0, RowTop(1), 441, RowHeight()), highlight));
  EXPECT_FALSE(HasColour(image, QRect(0, RowTop(2), 441, RowHeight()), highlight));

  QTest::mouseDClick(View(), Qt::LeftButton, {}, Behind(2, "third li"));
  EXPECT_EQ(Selected(), "line");
}

TEST_F(MemoTest, ReadOnlyIgnoresEveryEditButKeepsCaretAndSelectionAndCopies) {
  memo->SetReadOnly(true);
  memo->SetText("abc\r\ndef");
  QApplication::clipboard()->setText("pasted");
  int changes = 0;
  memo->OnChange = [&](TObject*) { ++changes; };
  QTest::keyClick(View(), Qt::Key_Right);
  QTest::keyClicks(View(), "zz");
  QTest::keyClick(View(), Qt::Key_Backspace);
  QTest::keyClick(View(), Qt::Key_Delete);
  QTest::keyClick(View(), Qt::Key_Return);
  QTest::keyClick(View(), Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(View(), Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(View(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(MemoText(*memo), "abc\r\ndef");
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(Caret(), 1);
  EXPECT_EQ(Selected(), "b");
  EXPECT_EQ(QApplication::clipboard()->text(), "pasted");
  // The program still writes at the caret.
  memo->ReplaceSelection("-");
  EXPECT_EQ(MemoText(*memo), "a-c\r\ndef");
  // Select all and copy still work, with the desktop's own line ends on the clipboard, as other
  // programs there expect them.
  QTest::keyClick(View(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Selected(), "a-c\r\ndef");
  QTest::keyClick(View(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "a-c\ndef");
}

TEST_F(MemoTest, EditableMemoTakesTypingDeletionLineBreaksAndTheClipboard) {
  memo->SetText("abc");
  int changes = 0;
  memo->OnChange = [&](TObject*) { ++changes; };
  QTest::keyClick(View(), Qt::Key_End);
  QTest::keyClicks(View(), "de");
  QTest::keyClick(View(), Qt::Key_Backspace);
  QTest::keyClick(View(), Qt::Key_Return);
  QTest::keyClicks(View(), "x");
  EXPECT_EQ(MemoText(*memo), "abcd\r\nx");
  QTest::keyClick(View(), Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(View(), Qt::Key_Delete);
  EXPECT_EQ(MemoText(*memo), "bcd\r\nx");
  QTest::keyClick(View(), Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(View(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "b");
  EXPECT_EQ(MemoText(*memo), "cd\r\nx");
  QApplication::clipboard()->setText("1\n2");
  QTest::keyClick(View(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(MemoText(*memo), "1\r\n2cd\r\nx");
  EXPECT_EQ(Caret(), 3);
  EXPECT_EQ(changes, 8);
}

// Lines of the same text are laid out once; editing one of them leaves the others as they were.
TEST_F(MemoTest, EditingOneOfSeveralEqualLinesChangesThatLineAlone) {
  memo->SetText(Entry(2) + "\r\n" + Entry(2) + "\r\n" + Entry(2));
  QImage image = Render();
  for (int row = 0; row < 3; ++row) ExpectRowShows(image, RowTop(row), Entry(2));
  View()->Select(Entry(2).size() + 1 + 6, Entry(2).size() + 1 + 6);
  QTest::keyClicks(View(), "WWWWWW");
  EXPECT_EQ(MemoText(*memo), Entry(2) + "\r\n" + Entry(8) + "\r\n" + Entry(2));
  image = Render();
  ExpectRowShows(image, RowTop(0), Entry(2));
  ExpectRowShows(image, RowTop(1), Entry(8));
  ExpectRowShows(image, RowTop(2), Entry(2));
  // Appending the text again brings back the layout all three lines had.
  View()->Select(SIZE_MAX, SIZE_MAX);
  memo->ReplaceSelection("\r\n" + Entry(2));
  image = Render();
  ExpectRowShows(image, RowTop(1), Entry(8));
  ExpectRowShows(image, RowTop(3), Entry(2));
}

TEST_F(MemoTest, ContextMenuOfAReadOnlyMemoOffersCopyAndSelectAll) {
  memo->SetReadOnly(true);
  memo->SetText("one two");
  View()->Select(4, 7);
  QApplication::clipboard()->clear();
  std::vector<std::string> items;
  auto choose = [&](const QString& wanted) {
    QTimer::singleShot(0, [&, wanted] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      items.clear();
      for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        const QString text = action->text().remove('&').section('\t', 0, 0);
        items.push_back(text.toStdString());
        if (text == wanted) action->trigger();
      }
      menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 5),
                            View()->mapToGlobal(QPoint(20, 5)));
    QApplication::sendEvent(View(), &event);
  };
  choose("Copy");
  EXPECT_EQ(items, (std::vector<std::string>{"Copy", "Select All"}));
  EXPECT_EQ(QApplication::clipboard()->text(), "two");
  choose("Select All");
  EXPECT_EQ(Selected(), "one two");
  memo->SetReadOnly(false);
  choose("");
  EXPECT_EQ(items, (std::vector<std::string>{"Cut", "Copy", "Paste", "Delete", "Select All"}));
}

TEST_F(MemoTest, LongLinesWrapAtWordsAndInsideWordsOnlyWhenTheyDoNotFit) {
  // Expected rows by filling each with whole words while they fit the width inside the margins.
  const std::vector<std::string> words = {"Relay",  "12", "switched", "ON", "for",      "the",
                                          "remote", "PC", "with",     "IP", "127.0.0.1"};
  std::string text;
  std::vector<std::string> rows(1);
  for (int i = 0; i < 40; ++i) {
    const std::string& word = words[static_cast<size_t>(i) % words.size()];
    text += (i ? " " : "") + word;
    const std::string longer = rows.back().empty() ? word : rows.back() + " " + word;
    if (Advance(longer) <= 441 - 2)
      rows.back() = longer;
    else
      rows.push_back(word);
  }
  ASSERT_GE(rows.size(), 3u);
  memo->SetText(text);
  QImage image = Render();
  for (size_t row = 0; row < rows.size(); ++row)
    ExpectRowShows(image, RowTop(static_cast<int>(row)), rows[row]);
  EXPECT_EQ(InkRight(image, RowTop(static_cast<int>(rows.size())), 217), -1);

  // A word longer than a row is broken where the row is full.
  const std::string word(120, 'W');
  size_t fit = 0;
  while (Advance(word.substr(0, fit + 1)) <= 441 - 2) ++fit;
  memo->SetText(word);
  image = Render();
  ExpectRowShows(image, RowTop(0), word.substr(0, fit));
  ExpectRowShows(image, RowTop(1), word.substr(fit, std::min<size_t>(fit, 120 - fit)));

  // Without word wrap the text stays on one row.
  memo->SetWordWrap(false);
  memo->SetText(text);
  image = Render();
  EXPECT_GE(InkRight(image, RowTop(0), RowHeight()), 430);
  EXPECT_EQ(InkRight(image, RowTop(1), 217), -1);
}

TEST_F(MemoTest, CaretStaysInViewWhileEntriesAreAppended) {
  memo->SetReadOnly(true);
  memo->SetText("  ");
  for (int i = 0; i < 1000; ++i) memo->ReplaceSelection(Entry(i) + "\r\n");
  QImage image = Render();
  // The rows that fit end with the caret's row, the two spaces; the entries stand above it.
  const int rowsShown = 217 / RowHeight();
  const int caretTop = (rowsShown - 1) * RowHeight();
  EXPECT_EQ(InkRight(image, caretTop + RowHeight(), 217), -1);
  for (int k = 1; k <= 3; ++k) ExpectRowShows(image, caretTop - k * RowHeight(), Entry(1000 - k));
  // The caret is drawn at the start of its row.
  EXPECT_TRUE(HasColour(image, QRect(0, caretTop, 3, RowHeight()), QColor(Qt::white)) ||
              HasColour(image, QRect(0, caretTop, 3, RowHeight()), QColor(Qt::green)));

  // A wheel notch scrolls three rows back; the next entry brings the caret back into view.
  const QPointF inside(100, 100);
  QWheelEvent notch(inside, View()->mapToGlobal(inside), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(View(), &notch);
  image = Render();
  ExpectRowShows(image, caretTop, Entry(997));
  memo->ReplaceSelection(Entry(1000) + "\r\n");
  image = Render();
  ExpectRowShows(image, caretTop - RowHeight(), Entry(1000));
}

// A frame draws only what entries changed, moving the rest as the log scrolled: the screen shows
// what drawing the whole view would, whether the log is filling up or scrolling, and whether one
// or several entries came between two frames.
TEST_F(MemoTest, TheScreenShowsTheWholeLogWhileEntriesAreAppendedFrameByFrame) {
  // A blinking caret would differ from moment to moment.
  const int flashTime = QApplication::cursorFlashTime();
  QApplication::setCursorFlashTime(0);
  memo->SetReadOnly(true);
  memo->SetText("  ");
  HandleWaitingMessages();
  const QRect area(View()->mapTo(form->Widget(), QPoint(0, 0)), View()->size());
  const auto shown = [&] {
    return QGuiApplication::primaryScreen()
        ->grabWindow(form->Widget()->winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32)
        .copy(area);
  };
  // The second round keeps a bounded log, whose oldest lines leave as new ones come.
  for (const size_t bound : {0, 25}) {
    memo->SetMaxLines(bound);
    for (int i = 0; i < 40; ++i) {
      const QImage before = shown();
      for (int k = 0; k <= i % 3; ++k) memo->ReplaceSelection(Entry(i * 3 + k) + "\r\n");
      // New entries always change what the view shows, so the next frame differs.
      ASSERT_TRUE(RunUntil([&] { return shown() != before; })) << bound << " frame " << i;
      EXPECT_EQ(shown(), Render()) << bound << " after frame " << i;
    }
  }
  QApplication::setCursorFlashTime(flashTime);
}

TEST_F(MemoTest, VerticalScrollBarOnlyWhenAskedForAndItScrollsTheView) {
  auto* bar = View()->findChild<QScrollBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(bar->isVisible());
  memo->SetScrollBars(TScrollStyle::ssVertical);
  EXPECT_TRUE(bar->isVisible());
  std::vector<std::string> lines;
  for (int i = 0; i < 100; ++i) lines.push_back(Entry(i));
  memo->SetLines(lines);
  View()->Select(SIZE_MAX, SIZE_MAX);
  Render();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(40);
  ExpectRowShows(Render(), 0, Entry(40), 441 - bar->width());
  memo->SetScrollBars(TScrollStyle::ssNone);
  EXPECT_FALSE(bar->isVisible());
}

// A bounded log: the newest lines stay and are shown, older ones leave the top, the caret stays
// behind the last entry and the room the text takes stops growing.
TEST_F(MemoTest, BoundedLogKeepsTheNewestLinesAndItsRoom) {
  constexpr int kBound = 32;
  memo->SetReadOnly(true);
  memo->SetMaxLines(kBound);
  memo->SetText("");
  int appended = 0;
  for (; appended < 2 * kBound; ++appended) memo->ReplaceSelection(Entry(appended) + "\r\n");
  const size_t roomAtTheBound = HeapInUse();
  for (; appended < 40 * kBound; ++appended) memo->ReplaceSelection(Entry(appended) + "\r\n");
  EXPECT_LE(HeapInUse(), roomAtTheBound);

  const int kept = static_cast<int>(View()->Store().LineCount()) - 1;  // the empty last line
  EXPECT_EQ(kept, kBound);
  std::string expected;
  for (int i = appended - kept; i < appended; ++i) expected += Entry(i) + "\r\n";
  EXPECT_EQ(MemoText(*memo), expected);
  EXPECT_EQ(Caret(), static_cast<int>(View()->Store().Length()));
  const int rowsShown = 217 / RowHeight();
  ExpectRowShows(Render(), (rowsShown - 2) * RowHeight(), Entry(appended - 1));
  View()->Select(0, 0);
  ExpectRowShows(Render(), RowTop(0), Entry(appended - kept));
}

}  // namespace
