#include "framework/Panel.h"

#include <QPainter>
#include <QWidget>

class PanelWidget : public QWidget {
 public:
  explicit PanelWidget(TPanel* panel) : panel_(panel) { setAutoFillBackground(true); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QColor light = QColor(255, 255, 255);
    const QColor dark = QColor(128, 128, 128);
    QRect r = rect();
    auto bevel = [&](TBevelCut cut) {
      if (cut == TBevelCut::bvNone) return;
      for (int i = 0; i < panel_->bevelWidth_; ++i) {
        if (cut != TBevelCut::bvSpace) {
          const QColor topLeft = cut == TBevelCut::bvRaised ? light : dark;
          const QColor bottomRight = cut == TBevelCut::bvRaised ? dark : light;
          painter.setPen(topLeft);
          painter.drawLine(r.left(), r.top(), r.right(), r.top());
          painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
          painter.setPen(bottomRight);
          painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
          painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
        }
        r.adjust(1, 1, -1, -1);
      }
    };
    bevel(panel_->bevelOuter_);
    bevel(panel_->bevelInner_);
    if (!panel_->Caption().empty()) {
      painter.setPen(palette().color(QPalette::WindowText));
      painter.drawText(rect(), Qt::AlignCenter, QString::fromLatin1(panel_->Caption()));
    }
  }

 private:
  TPanel* panel_;
};

TPanel::TPanel(TComponent* owner) : TWinControl(owner, new PanelWidget(this)) {
  ControlStyle().insert(csAcceptsControls);
  ControlStyle().insert(csOpaque);
  SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelWidth(int width) {
  if (width >= 1 && SetIfChanged(bevelWidth_, width)) Invalidate();
}
