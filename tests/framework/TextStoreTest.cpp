#include "framework/TextStore.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/HeapInUse.h"

namespace {

// The plain model the store must agree with: '\n'-separated text.
struct Model {
  std::string text;
  std::vector<size_t> LineStarts() const {
    std::vector<size_t> starts{0};
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n') starts.push_back(i + 1);
    return starts;
  }
};

void ExpectSame(const TTextStore& store, const Model& model) {
  ASSERT_EQ(store.Length(), model.text.size());
  ASSERT_EQ(store.Text(0, store.Length()), model.text);
  const std::vector<size_t> starts = model.LineStarts();
  ASSERT_EQ(store.LineCount(), starts.size());
  for (size_t line = 0; line < starts.size(); ++line) {
    ASSERT_EQ(store.LineStart(line), starts[line]) << "line " << line;
    const size_t end = line + 1 < starts.size() ? starts[line + 1] - 1 : model.text.size();
    ASSERT_EQ(store.LineLength(line), end - starts[line]) << "line " << line;
  }
  size_t line = 0;
  for (size_t position = 0; position <= model.text.size(); ++position) {
    if (line + 1 < starts.size() && starts[line + 1] <= position) ++line;
    ASSERT_EQ(store.LineOf(position), line) << "position " << position;
  }
}

TEST(TextStoreTest, EveryKindOfLineEndBecomesOneBreak) {
  TTextStore store;
  store.Assign("a\r\nb\rc\nd\r\r\ne\n\r");
  EXPECT_EQ(store.Text(0, store.Length()), "a\nb\nc\nd\n\ne\n\n");
  EXPECT_EQ(store.LineCount(), 8u);
  // Pieces are converted on their own: a '\r' ending one piece and a '\n' starting the next are
  // two breaks.
  store.Assign("");
  store.Replace(0, 0, "x\r");
  store.Replace(store.Length(), store.Length(), "\ny");
  EXPECT_EQ(store.Text(0, store.Length()), "x\n\ny");
  EXPECT_EQ(store.LineCount(), 3u);
  EXPECT_EQ(TTextStore::Normalized("a\r\n\rb\n"), "a\n\nb\n");
}

// Replacements anywhere and, as a bounded log does, dropping its first lines.
TEST(TextStoreTest, ReplacementsAnywhereAgreeWithAPlainString) {
  std::mt19937 random(12);
  const char* pieces[] = {"",
                          "x",
                          "ab",
                          "\r\n",
                          "\n",
                          "\r",
                          "Relay 3  switched ON\r\n",
                          "1:2:3 ",
                          "a\rb\nc\r\nd",
                          "\r\n\r\n"};
  TTextStore store;
  Model model;
  size_t caret = 0;
  for (int step = 0; step < 3000; ++step) {
    const size_t length = model.text.size();
    // Mostly runs at one place, as a log writes; sometimes a jump or a replaced range.
    const int kind = static_cast<int>(random() % 10);
    if (kind == 0) caret = random() % (length + 1);
    size_t from = std::min(caret, length), to = from;
    if (kind == 1) to = std::min(length, from + random() % 40);
    if (kind == 2 && length > 0) {
      from = random() % length;
      to = length;
    }
    if (kind == 3 && model.LineStarts().size() > 1) {
      const std::vector<size_t> starts = model.LineStarts();
      const size_t count = 1 + random() % (starts.size() - 1);
      ASSERT_EQ(store.RemoveLeadingLines(count), starts[count]);
      model.text.erase(0, starts[count]);
      caret = caret > starts[count] ? caret - starts[count] : 0;
      if (step % 7 == 0) ExpectSame(store, model);
      continue;
    }
    const std::string piece = pieces[random() % std::size(pieces)];
    std::string stored;
    for (size_t i = 0; i < piece.size(); ++i) {
      if (piece[i] == '\r') {
        stored += '\n';
        if (i + 1 < piece.size() && piece[i + 1] == '\n') ++i;
      } else {
        stored += piece[i];
      }
    }
    const size_t linesBefore = model.LineStarts().size();
    const size_t line = store.LineOf(from);
    const TTextChange change = store.Replace(from, to, piece);
    model.text.replace(from, to - from, stored);
    ASSERT_EQ(change.inserted, stored.size());
    ASSERT_EQ(change.line, line);
    ASSERT_EQ(linesBefore - change.removedBreaks + change.insertedBreaks,
              model.LineStarts().size());
    caret = from + change.inserted;
    if (step % 97 == 0) ExpectSame(store, model);
  }
  ExpectSame(store, model);
  EXPECT_TRUE(store.Equals(model.text));
  EXPECT_FALSE(store.Equals(model.text + "x"));
  store.Assign("  ");
  model.text = "  ";
  ExpectSame(store, model);
}

TEST(TextStoreTest, AppendingManyLinesKeepsTheReservedRoomProportional) {
  const size_t heapBefore = HeapInUse();
  TTextStore store;
  store.Assign("  ");
  const std::string line = "12:5:7 Relay 3  switched ON\r\n";
  size_t caret = 0;
  for (int i = 0; i < 100000; ++i) caret += store.Replace(caret, caret, line).inserted;
  EXPECT_EQ(store.LineCount(), 100001u);
  EXPECT_EQ(store.LineOf(caret), 100000u);
  EXPECT_EQ(store.Text(caret, store.Length()), "  ");
  // 28 characters and one index entry per line, with room for growth.
  EXPECT_LT(HeapInUse() - heapBefore, 100000u * 60);
  // Dropping the first line for each new one, the room settles and stays proportional.
  auto appendDroppingOne = [&](int lines) {
    for (int i = 0; i < lines; ++i) {
      caret += store.Replace(caret, caret, line).inserted;
      caret -= store.RemoveLeadingLines(1);
    }
  };
  appendDroppingOne(200000);
  const size_t room = HeapInUse() - heapBefore;
  EXPECT_LT(room, 100000u * 120);
  appendDroppingOne(300000);
  EXPECT_EQ(HeapInUse() - heapBefore, room);
  EXPECT_EQ(store.LineCount(), 100001u);
  EXPECT_EQ(store.Text(0, line.size() - 1), "12:5:7 Relay 3  switched ON\n");
  store.Assign("  ");
  EXPECT_LT(HeapInUse() - heapBefore, 1000u);
}

}  // namespace
