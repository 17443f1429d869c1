#include <gtest/gtest.h>

#include <QWidget>

#include "framework/Application.h"
#include "framework/GraphicControl.h"
#include "tests/support/MessageLoop.h"
#include "tests/support/PixelChecks.h"

namespace {

// Paints its area in one colour and counts how the framework reaches it.
class Swatch : public TGraphicControl {
 public:
  explicit Swatch(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 30, 20); }
  void Paint() override {
    ++paints;
    Canvas()->Brush().SetColor(color);
    Canvas()->FillRect(Rect(0, 0, Width(), Height()));
    if (refreshWhilePainting) Refresh();
  }
  void Update() override {
    ++updates;
    TGraphicControl::Update();
  }
  TColor color = clRed;
  bool refreshWhilePainting = false;
  int paints = 0;
  int updates = 0;
};

}  // namespace

TEST(GraphicControl, OpaqueRefreshPaintsAtOnceOthersRepaintThroughTheVirtualUpdate) {
  Swatch swatch(nullptr);
  swatch.ControlStyle().insert(csOpaque);
  swatch.Refresh();
  EXPECT_EQ(swatch.paints, 1);
  EXPECT_EQ(swatch.updates, 0);
  EXPECT_EQ(Shown(swatch)->Pixels(29, 19), clRed);
  // The surface follows the control's size at the next paint.
  swatch.SetBounds(0, 0, 40, 25);
  swatch.color = clBlue;
  swatch.Repaint();
  EXPECT_EQ(Shown(swatch)->Pixels(39, 24), clBlue);
  EXPECT_EQ(swatch.paints, 2);
  // A refresh from inside the paint does not paint again.
  swatch.refreshWhilePainting = true;
  swatch.Refresh();
  EXPECT_EQ(swatch.paints, 3);
  // Other controls repaint through the virtual update.
  Swatch other(nullptr);
  other.Repaint();
  EXPECT_EQ(other.updates, 1);
  EXPECT_EQ(other.paints, 1);
  other.Update();  // nothing pending any more
  EXPECT_EQ(other.paints, 1);
  other.Invalidate();
  other.Update();
  EXPECT_EQ(other.paints, 2);
}

TEST(GraphicControl, TheWidgetShowsTheSurfacePixelForPixel) {
  Swatch swatch(nullptr);
  swatch.ControlStyle().insert(csOpaque);
  swatch.color = clLime;
  swatch.Widget()->show();
  swatch.Refresh();
  HandleWaitingMessages();
  const auto shown = Shown(swatch);
  ASSERT_EQ(shown->Width(), 30);
  ASSERT_EQ(shown->Height(), 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(shown->Pixels(x, y), clLime) << x << "," << y;
  // An exposure without a refresh asks the control to paint once more.
  const int before = swatch.paints;
  swatch.color = clRed;
  swatch.Widget()->update();
  EXPECT_TRUE(RunUntil([&] { return swatch.paints == before + 1; }, 5000));
  EXPECT_EQ(Shown(swatch)->Pixels(3, 3), clRed);
}
