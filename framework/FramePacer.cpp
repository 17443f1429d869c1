#include "framework/FramePacer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QRect>
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

  bool Move(QWidget* widget, const QRect& geometry) {
    QWidget* window = widget->window();
    if (window == widget || !window->isVisible() || !window->testAttribute(Qt::WA_WState_Created))
      return false;
    auto pending = std::find_if(moves_.begin(), moves_.end(),
                                [widget](const TMove& move) { return move.widget == widget; });
    if (pending != moves_.end())
      pending->geometry = geometry;
    else
      moves_.push_back({widget, geometry});
    Schedule(window);
    return true;
  }

  void Forget(QWidget* widget) {
    std::erase_if(moves_, [widget](const TMove& move) { return move.widget == widget; });
  }

  bool Prepare(QWidget* widget, std::function<void()> step) {
    QWidget* window = widget->window();
    if (!window->isVisible() || !window->testAttribute(Qt::WA_WState_Created)) return false;
    preparations_.push_back({widget, std::move(step)});
    Schedule(window);
    return true;
  }

  // Carries out the waiting moves and preparations; the windows they change are drawn on this
  // frame.
  void ApplyMoves() {
    if (moves_.empty() && preparations_.empty()) return;
    std::vector<TPreparation> preparations;
    preparations.swap(preparations_);
    std::vector<TMove> moves;
    moves.swap(moves_);
    std::vector<QPointer<QWidget>> windows;
    auto changed = [&windows](QWidget* widget) {
      QPointer<QWidget> window = widget->window();
      if (std::find(windows.begin(), windows.end(), window) == windows.end())
        windows.push_back(window);
    };
    for (const TMove& move : moves) {
      if (move.widget.isNull()) continue;
      move.widget->setGeometry(move.geometry);
      changed(move.widget);
    }
    for (TPreparation& preparation : preparations) {
      if (preparation.widget.isNull()) continue;
      preparation.step();
      changed(preparation.widget);
    }
    // The toolkit asked for those windows to be drawn by posting them update requests; they
    // are taken up now, so that the drawing below includes the changes.
    for (const QPointer<QWidget>& window : windows)
      if (!window.isNull())
        QCoreApplication::sendPostedEvents(window.data(), QEvent::UpdateRequest);
  }

 protected:
  bool eventFilter(QObject* target, QEvent* event) override {
    if (event->type() != QEvent::UpdateRequest || passing_ > 0) return false;
    auto* window = qobject_cast<QWidget*>(target);
    if (window == nullptr || !window->isWindow()) return false;
    Schedule(window);
    return true;
  }

 private:
  struct TMove {
    QPointer<QWidget> widget;
    QRect geometry;
  };
  struct TPreparation {
    QPointer<QWidget> widget;
    std::function<void()> step;
  };

  void Schedule(QWidget* window) {
    if (std::find(waiting_.begin(), waiting_.end(), window) == waiting_.end())
      waiting_.emplace_back(window);
    if (!frameTimer_.isActive()) {
      const qint64 left = FrameIntervalMs() - sinceLastFrame_.elapsed();
      frameTimer_.start(static_cast<int>(std::max<qint64>(left, 0)));
    }
  }

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
    ApplyMoves();
    // Taking up the update requests of the moves may have asked for this very frame again.
    frameTimer_.stop();
    sinceLastFrame_.restart();
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
  std::vector<TMove> moves_;
  std::vector<TPreparation> preparations_;
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

bool MoveOnNextFrame(QWidget* widget, const QRect& geometry) {
  return pacer != nullptr && pacer->Move(widget, geometry);
}

bool PrepareOnNextFrame(QWidget* widget, std::function<void()> step) {
  return pacer != nullptr && pacer->Prepare(widget, std::move(step));
}

void ForgetMove(QWidget* widget) {
  if (pacer != nullptr) pacer->Forget(widget);
}

void RepaintNow(QWidget* widget) {
  if (pacer != nullptr) pacer->ApplyMoves();
  FramePacer::Passage passage(pacer);
  widget->repaint();
}
