// The log view's cost, measured on the main window's log (441 x 217, "@Batang" -13) beside the
// toolkit's plain-text editor in the same place, in the same run:
// - time per logged command (a time stamp in six pieces and "Relay n  switched ON\r\n", as the
//   relay server logs it) after 1,000 and after 1,000,000 lines, with and without a repaint
//   after each command, and after the caret was placed in the middle of the log;
// - memory per logged line over 100,000 and 1,000,000 lines, from the heap in use (mallinfo2)
//   and from the resident set (/proc/self/statm);
// - the time of one full paint of the widget, and of setting and reading the caret position in
//   the middle of the log.
// With "--png DIR" it also saves both renderings of the same log to DIR/memo_{new,old}.png;
// "--lines N" sets the larger log size, "--memo-only" leaves the peer out.
#include <malloc.h>

#include <QApplication>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/ProcessStatistics.h"
#include "framework/Application.h"
#include "framework/Form.h"
#include "framework/Memo.h"
#include "framework/MemoView.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

size_t Resident() {
  return static_cast<size_t>(ResidentBytes());
}

// The log as the relay server writes it; the n-th command's pieces.
void LogCommand(long n, const std::function<void(const std::string&)>& append) {
  append(std::to_string(n / 3600 % 24));
  append(":");
  append(std::to_string(n / 60 % 60));
  append(":");
  append(std::to_string(n % 60));
  append(" ");
  append("Relay " + std::to_string(n % 16 + 1) +
         (n % 2 ? "  switched ON\r\n" : "  switched OFF\r\n"));
}

// One log view under test: the memo, or the toolkit's plain-text editor.
class TSubject {
 public:
  virtual ~TSubject() = default;
  virtual const char* Name() const = 0;
  virtual QWidget* Widget() = 0;
  virtual void Append(const std::string& text) = 0;
  virtual void Clear() = 0;
  virtual void PlaceCaret(int position) = 0;
  virtual int Caret() = 0;
};

class TNewMemo : public TSubject {
 public:
  TNewMemo() : form_(new TForm(nullptr)) {
    form_->SetBounds(0, 0, 480, 260);
    memo_ = new TMemo(form_.get());
    memo_->SetParent(form_.get());
    memo_->SetBounds(16, 10, 441, 217);
    memo_->SetColor(clMenuText);
    memo_->Font().SetName("@Batang");
    memo_->Font().SetHeight(-13);
    memo_->Font().SetColor(clLime);
    memo_->SetReadOnly(true);
    form_->Show();
  }
  const char* Name() const override { return "memo"; }
  QWidget* Widget() override { return memo_->Widget(); }
  void Append(const std::string& text) override { memo_->ReplaceSelection(text); }
  void Clear() override { memo_->SetText("  "); }
  void PlaceCaret(int position) override {
    View()->Select(static_cast<size_t>(position), static_cast<size_t>(position));
  }
  int Caret() override { return static_cast<int>(View()->SelectionStart()); }

 private:
  TMemoView* View() const { return static_cast<TMemoView*>(memo_->Widget()); }

  std::unique_ptr<TForm> form_;
  TMemo* memo_;
};

// The toolkit's plain-text editor as it comes, in the memo's place, size, font and colours. It
// keeps one line break where the relay server writes "\r\n", and counts its positions so.
class TPlainTextEdit : public TSubject {
 public:
  TPlainTextEdit() : window_(new QWidget) {
    window_->resize(480, 260);
    view_ = new QPlainTextEdit(window_.get());
    view_->setGeometry(16, 10, 441, 217);
    view_->setUndoRedoEnabled(false);
    view_->setReadOnly(true);
    TFont font;
    font.SetName("@Batang");
    font.SetHeight(-13);
    view_->setFont(font.ToQFont());
    view_->setFrameShape(QFrame::NoFrame);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = view_->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, QColor(0, 255, 0));
    view_->setPalette(palette);
    window_->show();
  }
  const char* Name() const override { return "QPlainTextEdit"; }
  QWidget* Widget() override { return view_; }
  void Append(const std::string& text) override {
    view_->insertPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))
                               .remove(QLatin1Char('\r')));
    view_->ensureCursorVisible();
  }
  void Clear() override { view_->setPlainText("  "); }
  void PlaceCaret(int position) override {
    QTextCursor cursor = view_->textCursor();
    cursor.setPosition(position);
    view_->setTextCursor(cursor);
  }
  int Caret() override { return view_->textCursor().selectionStart(); }

 private:
  std::unique_ptr<QWidget> window_;
  QPlainTextEdit* view_;
};

struct TFigures {
  double appendSmall = 0, appendLarge = 0;                // us per command
  double appendPaintSmall = 0, appendPaintLarge = 0;      // us per command with a paint
  double firstAfterClick = 0;                             // us, the command after a click
  double appendMiddle = 0;                                // us per command after that
  double heapPerLine100k = 0, heapPerLine1m = 0;          // bytes
  double residentPerLine100k = 0, residentPerLine1m = 0;  // bytes
  double paintSmall = 0, paintLarge = 0;                  // us per full paint
  double caretMiddle = 0;                                 // us per placing and reading it
  double runSeconds = 0;
};

// Microseconds per run of the body: the median over batches, so that neither another process
// taking the processor nor a rare reallocation decides the figure.
template <class Body>
double Median(int batches, int runs, Body body) {
  std::vector<double> times;
  for (int batch = 0; batch < batches; ++batch) {
    const auto start = Clock::now();
    for (int run = 0; run < runs; ++run) body(run);
    times.push_back(Seconds(start) * 1e6 / runs);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

class TBench {
 public:
  explicit TBench(TSubject& subject) : subject_(subject) {}

  TFigures Run(long largeLines, const char* pngDirectory) {
    TFigures figures;
    const auto start = Clock::now();
    subject_.Clear();
    QApplication::processEvents();
    const size_t heapBase = HeapInUse(), residentBase = Resident();

    Fill(1000);
    if (pngDirectory) {
      const std::string path = std::string(pngDirectory) + "/memo_" +
                               (std::string(subject_.Name()) == "memo" ? "new" : "old") + ".png";
      subject_.Widget()->grab().save(QString::fromStdString(path));
    }
    Measure(figures.appendSmall, figures.appendPaintSmall, figures.paintSmall);

    Fill(100000);
    figures.heapPerLine100k = PerLine(HeapInUse(), heapBase);
    figures.residentPerLine100k = PerLine(Resident(), residentBase);

    Fill(largeLines);
    figures.heapPerLine1m = PerLine(HeapInUse(), heapBase);
    figures.residentPerLine1m = PerLine(Resident(), residentBase);
    Measure(figures.appendLarge, figures.appendPaintLarge, figures.paintLarge);

    // The user clicks into the middle of the log; the next entries land there.
    const int middle = subject_.Caret() / 2;
    figures.caretMiddle = Median(5, 4, [&](int run) {
      subject_.PlaceCaret(middle + run);
      if (subject_.Caret() < 0) std::abort();
    });
    subject_.PlaceCaret(middle);
    figures.firstAfterClick = Median(1, 1, [&](int) { Command(); });
    figures.appendMiddle = Median(7, 200, [&](int) { Command(); });
    figures.runSeconds = Seconds(start);
    return figures;
  }

 private:
  void Command() {
    LogCommand(lines_++, [this](const std::string& text) { subject_.Append(text); });
  }

  // Logs commands up to the given number of lines, letting the window paint now and then as it
  // would between commands arriving.
  void Fill(long lines) {
    while (lines_ < lines) {
      Command();
      if (lines_ % 1000 == 0) QApplication::processEvents();
    }
    QApplication::processEvents();
  }

  double PerLine(size_t now, size_t base) const {
    return now > base ? static_cast<double>(now - base) / static_cast<double>(lines_) : 0;
  }

  // Paints the whole widget as a paint event of its window would, wherever the window is.
  void Paint() {
    QWidget* widget = subject_.Widget();
    if (canvas_.size() != widget->size()) canvas_ = QPixmap(widget->size());
    widget->render(&canvas_);
  }

  void Measure(double& append, double& appendPaint, double& paint) {
    Paint();
    append = Median(7, 200, [&](int) { Command(); });
    appendPaint = Median(5, 40, [&](int) {
      Command();
      Paint();
    });
    paint = Median(5, 40, [&](int) { Paint(); });
  }

  TSubject& subject_;
  long lines_ = 0;
  QPixmap canvas_;
};

void Row(const char* what, double memo, double peer, const char* unit) {
  std::printf("%-48s %12.2f %12.2f %-3s %9.1f\n", what, memo, peer, unit,
              memo > 0 ? peer / memo : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const char* pngDirectory = nullptr;
  long largeLines = 1000000;
  bool peerToo = true;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--memo-only") peerToo = false;
    if (argument == "--png" && i + 1 < argc) pngDirectory = argv[++i];
    if (argument == "--lines" && i + 1 < argc) largeLines = std::atol(argv[++i]);
  }
  TApplication application(argc, argv);
  application.Initialize();

  TFigures memo, peer;
  {
    TNewMemo subject;
    memo = TBench(subject).Run(largeLines, pngDirectory);
  }
  malloc_trim(0);
  if (peerToo) {
    TPlainTextEdit subject;
    peer = TBench(subject).Run(largeLines, pngDirectory);
  }

  const double large = static_cast<double>(largeLines);
  std::printf(
      "log view 441 x 217; a logged command is a time stamp in 6 pieces and one relay "
      "line, %g lines at most\n",
      large);
  std::printf("%-48s %12s %12s %-3s %9s\n", "", "memo", "peer", "", "peer/memo");
  Row("append per command after 1e3 lines", memo.appendSmall, peer.appendSmall, "us");
  Row("append per command after 1e6 lines", memo.appendLarge, peer.appendLarge, "us");
  Row("  ratio 1e6 / 1e3", memo.appendLarge / memo.appendSmall, peer.appendLarge / peer.appendSmall,
      "");
  Row("append + full paint per command after 1e3 lines", memo.appendPaintSmall,
      peer.appendPaintSmall, "us");
  Row("append + full paint per command after 1e6 lines", memo.appendPaintLarge,
      peer.appendPaintLarge, "us");
  Row("  ratio 1e6 / 1e3", memo.appendPaintLarge / memo.appendPaintSmall,
      peer.appendPaintLarge / peer.appendPaintSmall, "");
  Row("after a click into the middle: first command", memo.firstAfterClick, peer.firstAfterClick,
      "us");
  Row("after a click into the middle: later commands", memo.appendMiddle, peer.appendMiddle, "us");
  Row("bytes per line over 1e5 lines (heap in use)", memo.heapPerLine100k, peer.heapPerLine100k,
      "B");
  Row("bytes per line over 1e5 lines (resident)", memo.residentPerLine100k,
      peer.residentPerLine100k, "B");
  Row("bytes per line over 1e6 lines (heap in use)", memo.heapPerLine1m, peer.heapPerLine1m, "B");
  Row("bytes per line over 1e6 lines (resident)", memo.residentPerLine1m, peer.residentPerLine1m,
      "B");
  Row("full paint 441 x 217 with 1e3 lines", memo.paintSmall, peer.paintSmall, "us");
  Row("full paint 441 x 217 with 1e6 lines", memo.paintLarge, peer.paintLarge, "us");
  Row("placing + reading the caret mid-log, 1e6 lines", memo.caretMiddle, peer.caretMiddle, "us");
  Row("whole run", memo.runSeconds, peer.runSeconds, "s");
  return 0;
}
