#include "framework/GraphicControl.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QWidget>

#include "framework/Application.h"
#include "framework/ClassRegistry.h"
#include "framework/FramePacer.h"

class GraphicControlWidget : public QWidget {
 public:
  GraphicControlWidget() {
    // The control paints every pixel of its area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
  }
  void SetControl(TGraphicControl* control) { control_ = control; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!control_) return;
    // Exceptions must not travel through the toolkit's event delivery.
    if (control_->pending_) RunGuarded(control_, [this] { control_->PaintSurface(); });
    const TPixelBuffer& surface = control_->surface_;
    if (surface.Width() == 0 || surface.Height() == 0) return;
    const QImage image(reinterpret_cast<const uchar*>(surface.Data()), surface.Width(),
                       surface.Height(), surface.Width() * static_cast<int>(sizeof(uint32_t)),
                       QImage::Format_RGB32);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QPoint(0, 0), image);
    // The next exposure of the widget asks the control for its picture again.
    control_->pending_ = true;
  }

 private:
  TGraphicControl* control_ = nullptr;
};

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner, new GraphicControlWidget()), canvas_(&surface_) {
  static_cast<GraphicControlWidget*>(Widget())->SetControl(this);
  SetColor(clWindow);
}

TGraphicControl::~TGraphicControl() {
  static_cast<GraphicControlWidget*>(Widget())->SetControl(nullptr);
}

void TGraphicControl::Paint() {}

void TGraphicControl::PaintSurface() {
  surface_.Resize(Width(), Height());
  const QScopedValueRollback<bool> painting(painting_, true);
  Paint();
  pending_ = false;
}

void TGraphicControl::PaintNow() {
  // A refresh asked for by Paint itself is already being carried out.
  if (painting_) return;
  PaintSurface();
  // Shows the fresh pixels now if the widget is on screen; its paint event takes them as
  // they are instead of painting a second time.
  if (Widget()->isVisible()) RepaintNow(Widget());
}

void TGraphicControl::Invalidate() {
  pending_ = true;
  Widget()->update();
}

void TGraphicControl::Update() {
  if (pending_) PaintNow();
}

void TGraphicControl::Repaint() {
  if (HasStyle(csOpaque)) {
    PaintNow();
  } else {
    TControl::Repaint();
  }
}

void RegisterGraphicControlClass() {
  RegisterComponentClass(
      TComponentClass{"TGraphicControl",
                      "TControl",
                      {},
                      {{"Color", ColorSetter(&TControl::SetColor), "clWindow"}}});
}
