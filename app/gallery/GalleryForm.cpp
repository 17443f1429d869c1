#include "app/gallery/GalleryForm.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/FileSystem.h"

TGalleryForm::TGalleryForm(TComponent* owner) : TForm(owner) {
  SetName("GalleryForm");
  SetCaption("Tallyvane - Component gallery");
  SetBounds(40, 40, 0, 0);
  SetClientWidth(900);
  SetClientHeight(600);

  NewLabel(8, 8, "Performance graph (live series)");
  graph_ = new TPerformanceGraph(this);
  graph_->SetName("PerformanceGraph1");
  graph_->SetBounds(8, 26, 420, 170);
  graph_->SetParent(this);

  NewLabel(8, 208, "Gauges: text, horizontal bar, vertical bar, pie, needle");
  const TCGaugeKind kinds[5] = {gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle};
  const TRect places[5] = {Rect(8, 226, 108, 256), Rect(8, 264, 208, 290), Rect(216, 226, 246, 346),
                           Rect(254, 226, 334, 306), Rect(342, 226, 428, 286)};
  for (int i = 0; i < 5; ++i) {
    TCGauge* gauge = new TCGauge(this);
    gauge->SetName("Gauge" + std::to_string(i + 1));
    gauge->SeTCGaugeKind(kinds[i]);
    const TRect& r = places[i];
    gauge->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    gauge->SetForeColor(i % 2 == 0 ? clNavy : clGreen);
    gauge->SetParent(this);
    gauges_[static_cast<size_t>(i)] = gauge;
  }
  NewButton(8, 300, 60, "- 10", [this](TObject*) {
    for (TCGauge* gauge : gauges_) gauge->AddProgress(-10);
  });
  NewButton(74, 300, 60, "+ 10", [this](TObject*) {
    for (TCGauge* gauge : gauges_) gauge->AddProgress(10);
  });

  NewLabel(448, 8, "Calendar (click a day or use the arrow keys)");
  calendar_ = new TCCalendar(this);
  calendar_->SetName("Calendar1");
  // Seven columns and rows of whole pixels: 7 x 44 + 6 lines by 7 x 27 + 6 lines.
  calendar_->SetBounds(448, 26, 314, 195);
  calendar_->SetParent(this);
  calendar_->OnChange = [this](TObject*) { ShowDate(); };
  NewButton(448, 234, 74, "< Year", [this](TObject*) { calendar_->PrevYear(); });
  NewButton(528, 234, 74, "< Month", [this](TObject*) { calendar_->PrevMonth(); });
  NewButton(608, 234, 74, "Month >", [this](TObject*) { calendar_->NextMonth(); });
  NewButton(688, 234, 74, "Year >", [this](TObject*) { calendar_->NextYear(); });
  NewButton(776, 26, 116, "Today", [this](TObject*) {
    calendar_->SetUseCurrentDate(false);
    calendar_->SetUseCurrentDate(true);
    ShowDate();
  });
  NewButton(776, 60, 116, "Week from Sunday",
            [this](TObject*) { calendar_->SetStartOfWeek(calendar_->StartOfWeek() == 7 ? 1 : 7); });
  NewButton(776, 94, 116, "Read only", [this](TObject*) {
    calendar_->SetReadOnly(!calendar_->ReadOnly());
    ShowDate();
  });
  dateLabel_ = NewLabel(448, 268, "");

  NewLabel(448, 300, "Directory outline (double-click or Right/Left to open and close)");
  outline_ = new TCDirectoryOutline(this);
  outline_->SetName("DirectoryOutline1");
  outline_->SetBounds(448, 318, 444, 240);
  outline_->SetParent(this);
  outline_->OnChange = [this](TObject*) { ShowDirectory(); };
  outline_->BuildTree();
  NewButton(448, 566, 90, "lower case", [this](TObject*) { outline_->SetTextCase(tcLowerCase); });
  NewButton(544, 566, 90, "UPPER CASE", [this](TObject*) { outline_->SetTextCase(tcUpperCase); });
  NewButton(640, 566, 90, "As stored", [this](TObject*) { outline_->SetTextCase(tcAsIs); });
  NewButton(736, 566, 90, "Home", [this](TObject*) {
    const char* home = std::getenv("HOME");
    outline_->SetDirectory(PosixToDrivePath(home && *home ? home : "/"));
  });
  directoryLabel_ = NewLabel(8, 360, "");

  ShowDate();
  ShowDirectory();

  timer_ = new TTimer(this);
  timer_->SetInterval(250);
  timer_->OnTimer = [this](TObject*) { Tick(); };
}

TLabel* TGalleryForm::NewLabel(int left, int top, const std::string& caption) {
  TLabel* label = new TLabel(this);
  label->SetAutoSize(false);
  label->SetBounds(left, top, 440, 16);
  label->SetCaption(caption);
  label->SetParent(this);
  return label;
}

TButton* TGalleryForm::NewButton(int left, int top, int width, const std::string& caption,
                                 TNotifyEvent onClick) {
  TButton* button = new TButton(this);
  button->SetBounds(left, top, width, 26);
  button->SetCaption(caption);
  button->OnClick = std::move(onClick);
  button->SetParent(this);
  return button;
}

void TGalleryForm::Tick() {
  ++step_;
  // Two made-up load curves, so that the graph always has something to scroll.
  const double t = step_ * 0.15;
  const int cpu = static_cast<int>(50 + 35 * std::sin(t) + 10 * std::sin(t * 3.7));
  const int net = static_cast<int>(30 + 25 * std::cos(t * 0.6));
  graph_->DataPoint(clLime, cpu);
  graph_->DataPoint(clRed, net);
  graph_->Update();
  if (step_ % 4 == 0) {
    for (TCGauge* gauge : gauges_) {
      gauge->SetProgress((gauge->Progress() + 5) % (gauge->MaxValue() + 1));
    }
  }
}

void TGalleryForm::ShowDate() {
  if (!dateLabel_) return;  // events that come while the window is being put together
  char text[128];
  std::snprintf(text, sizeof text, "Date: %04d-%02d-%02d%s%s", calendar_->Year(),
                calendar_->Month(), calendar_->Day(),
                calendar_->UseCurrentDate() ? "  (today)" : "",
                calendar_->ReadOnly() ? "  (read only)" : "");
  dateLabel_->SetCaption(text);
}

void TGalleryForm::ShowDirectory() {
  if (!directoryLabel_) return;
  // Directory is in the outline's text case; the directory on disk tells case twins apart.
  const std::string onDisk = TCDirectoryOutline::CurDir();
  std::string caption = "Directory: " + outline_->Directory();
  if (onDisk != outline_->Directory()) caption += "   (on disk " + onDisk + ")";
  directoryLabel_->SetCaption(caption);
}
