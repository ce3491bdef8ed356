#include "platform/window_timers.h"

#include <QTimerEvent>

namespace varnelo {

WindowTimers::WindowTimers(QObject* parent, Handler onTick)
    : QObject(parent), onTick_(std::move(onTick)) {}

void WindowTimers::SetTimer(int id, int milliseconds, bool throughModalLoops) {
  KillTimer(id);
  const int qtId = startTimer(milliseconds < 0 ? 0 : milliseconds, Qt::PreciseTimer);
  if (qtId != 0) byId_[id] = Running{qtId, milliseconds, throughModalLoops};
}

void WindowTimers::KillTimer(int id) {
  const auto found = byId_.find(id);
  if (found == byId_.end()) return;
  killTimer(found->second.qtId);
  byId_.erase(found);
}

bool WindowTimers::IsActive(int id) const { return byId_.count(id) != 0; }

int WindowTimers::Interval(int id) const {
  const auto found = byId_.find(id);
  return found == byId_.end() ? -1 : found->second.interval;
}

int WindowTimers::IdOf(int qtId) const {
  for (const auto& [id, running] : byId_) {
    if (running.qtId == qtId) return id;
  }
  return -1;
}

void WindowTimers::timerEvent(QTimerEvent* event) {
  for (const auto& [id, running] : byId_) {
    if (running.qtId == event->timerId()) {
      const int tickId = id;  // the handler may kill or reset this very timer
      if (!running.throughModalLoops) {
        onTick_(tickId);
        return;
      }
      // Qt holds back a timer's ticks while its own tick is being handled.
      QMetaObject::invokeMethod(
          this,
          [this, tickId, qtId = running.qtId] {
            const auto still = byId_.find(tickId);
            if (still != byId_.end() && still->second.qtId == qtId) onTick_(tickId);
          },
          Qt::QueuedConnection);
      return;
    }
  }
  QObject::timerEvent(event);
}

}  // namespace varnelo
