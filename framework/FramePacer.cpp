#include "framework/FramePacer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "platform/MessageWindow.h"

namespace {

// The toolkit asks for a window to be drawn by posting it an update request; the pacer takes
// those requests over and hands them on when the frame is due.
class FramePacer : public QObject {
 public:
  FramePacer() {
    frameTimer_.setSingleShot(true);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&frameTimer_, &QTimer::timeout, [this] { FrameDue(); });
    sinceLastFrame_.start();
  }

  // Lets update requests through unchanged while it lives.
  class Passage {
   public:
    explicit Passage(FramePacer* pacer) : pacer_(pacer) {
      if (pacer_) ++pacer_->passing_;
    }
    ~Passage() {
      if (pacer_) --pacer_->passing_;
    }

   private:
    FramePacer* pacer_;
  };

  long frames = 0;

 protected:
  bool eventFilter(QObject* target, QEvent* event) override {
    if (event->type() != QEvent::UpdateRequest || passing_ > 0) return false;
    auto* window = qobject_cast<QWidget*>(target);
    if (window == nullptr || !window->isWindow()) return false;
    if (std::find(waiting_.begin(), waiting_.end(), window) == waiting_.end())
      waiting_.emplace_back(window);
    if (!frameTimer_.isActive()) {
      const qint64 left = FrameIntervalMs() - sinceLastFrame_.elapsed();
      frameTimer_.start(static_cast<int>(std::max<qint64>(left, 0)));
    }
    return true;
  }

 private:
  static int FrameIntervalMs() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal rate = screen != nullptr ? screen->refreshRate() : 60.0;
    return static_cast<int>(1000.0 / std::clamp<qreal>(rate, 24.0, 240.0));
  }

  void FrameDue() {
    // Messages that came while the frame was waiting (a command, a hand-over) go first, once:
    // the frame follows right after them, so drawing is late by at most one round of messages.
    if (!yielded_ && MessagesWaiting()) {
      yielded_ = true;
      frameTimer_.start(0);
      return;
    }
    yielded_ = false;
    sinceLastFrame_.restart();
    ++frames;
    std::vector<QPointer<QWidget>> windows;
    windows.swap(waiting_);
    Passage passage(this);
    for (const QPointer<QWidget>& window : windows) {
      if (window.isNull()) continue;
      QEvent request(QEvent::UpdateRequest);
      QCoreApplication::sendEvent(window.data(), &request);
    }
  }

  QTimer frameTimer_;
  QElapsedTimer sinceLastFrame_;
  std::vector<QPointer<QWidget>> waiting_;
  int passing_ = 0;
  bool yielded_ = false;
};

FramePacer* pacer = nullptr;

}  // namespace

void InstallFramePacer() {
  if (pacer == nullptr) pacer = new FramePacer;
}

void RemoveFramePacer() {
  // The windows it watches lose the filter with it.
  delete pacer;
  pacer = nullptr;
}

void PaceFramesOf(QWidget* window) {
  if (pacer != nullptr) window->installEventFilter(pacer);
}

void RepaintNow(QWidget* widget) {
  FramePacer::Passage passage(pacer);
  widget->repaint();
}

long FramesDrawn() {
  return pacer != nullptr ? pacer->frames : 0;
}
