// Windows are drawn on the display's frames: what a change shows reaches the screen (here the
// offscreen platform's copy of it) by the loop alone, many changes cost one frame, and the calls
// that promise an immediate refresh still draw at once.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include "framework/Application.h"
#include "framework/FramePacer.h"
#include "tests/support/MessageLoop.h"

namespace {

QRgb Rgb(QColor colour) {
  return colour.rgb() & 0xFFFFFF;
}

// A top-level widget that counts how often it is drawn.
class CountedWidget : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    QWidget::paintEvent(event);
  }
};

// A window filled with one colour.
class ColourWindow {
 public:
  ColourWindow() {
    window.setAutoFillBackground(true);
    window.resize(40, 30);
    PaceFramesOf(&window);
    SetColour(Qt::red);
    window.show();
    EXPECT_TRUE(RunUntil([&] { return ShownColour() == Rgb(Qt::red); }, 5000));
  }
  void SetColour(QColor colour) {
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, colour);
    window.setPalette(palette);
  }
  // What the screen shows in the middle of the window.
  QRgb ShownColour() {
    const QPixmap shown = QGuiApplication::primaryScreen()->grabWindow(window.winId());
    if (shown.isNull()) return 0;
    return shown.toImage().pixel(20, 15) & 0xFFFFFF;
  }
  CountedWidget window;
};

TEST(FramePacerTest, EveryChangeReachesTheScreenOnAFrameAndManyBetweenTwoFramesAreDrawnOnce) {
  ColourWindow shown;
  ASSERT_EQ(shown.ShownColour(), Rgb(Qt::red));
  // One change after another: each is drawn, none waits for the next.
  const QColor colours[] = {Qt::green, Qt::blue, Qt::yellow, Qt::black};
  for (const QColor& colour : colours) {
    const int paintsBefore = shown.window.paints;
    shown.SetColour(colour);
    EXPECT_EQ(shown.ShownColour(), shown.ShownColour());  // nothing is drawn outside the loop
    EXPECT_TRUE(RunUntil([&] { return shown.ShownColour() == Rgb(colour); }, 5000))
        << colour.name().toStdString();
    EXPECT_EQ(shown.window.paints, paintsBefore + 1);
  }
  // Many changes between two frames are drawn once.
  const int paintsBefore = shown.window.paints;
  for (int i = 0; i < 100; ++i) shown.SetColour(i % 2 == 0 ? Qt::green : Qt::blue);
  EXPECT_EQ(shown.window.paints, paintsBefore);
  ASSERT_TRUE(RunUntil([&] { return shown.ShownColour() == Rgb(Qt::blue); }, 5000));
  EXPECT_EQ(shown.window.paints, paintsBefore + 1);
}

// A shown child that only moves is moved on the frame: the moves between two frames cost that
// one frame and no more, the last of them decides where it stands, and an immediate refresh
// carries out the waiting move before it draws.
TEST(FramePacerTest, MovesWaitForTheFrameAndAnImmediateRefreshCarriesThemOut) {
  ColourWindow shown;
  QWidget child(&shown.window);
  child.setAutoFillBackground(true);
  QPalette palette = child.palette();
  palette.setColor(QPalette::Window, Qt::green);
  child.setPalette(palette);
  child.setGeometry(0, 0, 10, 10);
  child.show();
  ASSERT_TRUE(RunUntil([&] { return shown.ShownColour() == Rgb(Qt::red); }, 5000));

  const int paintsBefore = shown.window.paints;
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(MoveOnNextFrame(&child, QRect(i % 30, 10, 10, 10)));
  ASSERT_TRUE(MoveOnNextFrame(&child, QRect(15, 10, 10, 10)));
  EXPECT_EQ(child.pos(), QPoint(0, 0));
  ASSERT_TRUE(RunUntil([&] { return shown.ShownColour() == Rgb(Qt::green); }, 5000));
  EXPECT_EQ(child.pos(), QPoint(15, 10));
  RunFor(100);
  EXPECT_EQ(shown.window.paints, paintsBefore + 1);

  ASSERT_TRUE(MoveOnNextFrame(&child, QRect(0, 0, 10, 10)));
  RepaintNow(&shown.window);
  EXPECT_EQ(child.pos(), QPoint(0, 0));
  EXPECT_EQ(shown.ShownColour(), Rgb(Qt::red));

  // A move that was given up for a geometry set at once is not carried out later.
  ASSERT_TRUE(MoveOnNextFrame(&child, QRect(15, 10, 10, 10)));
  ForgetMove(&child);
  RunFor(100);
  EXPECT_EQ(child.pos(), QPoint(0, 0));
}

}  // namespace
