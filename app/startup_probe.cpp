#include "app/startup_probe.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/start_timeline.h"

namespace varnelo {

namespace {

long long MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

class PaintProbe : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !fired_) {
      fired_ = true;
      // After this paint is done, not before it.
      QTimer::singleShot(0, qApp, [] {
        StartMark("first page painted");
        if (std::getenv(kFirstPaintProbe) == nullptr) return;
        std::printf("%lld\n", MonotonicNs());
        std::fflush(stdout);
        std::_Exit(0);  // the exit save must not write the bench's settings
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool fired_ = false;
};

}  // namespace

void ProbeFirstPaint(QWidget* pane) {
  if (pane == nullptr || (std::getenv(kFirstPaintProbe) == nullptr && std::getenv(kStartTimeline) == nullptr))
    return;
  pane->installEventFilter(new PaintProbe(pane));
}

}  // namespace varnelo
