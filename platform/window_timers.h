// Timers that belong to one window and are known by small identifiers: setting an
// identifier again replaces its period; each tick calls the window's handler with it.
#pragma once

#include <QObject>

#include <functional>
#include <map>

namespace varnelo {

class WindowTimers : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<void(int id)>;
  WindowTimers(QObject* parent, Handler onTick);

  // A timer's ticks wait while its own handler runs (a handler showing a modal box
  // stops them), unless `throughModalLoops`: then each tick is handled from the event
  // queue and they go on under any modal loop, the handler's own included.
  void SetTimer(int id, int milliseconds, bool throughModalLoops = false);
  void KillTimer(int id);
  bool IsActive(int id) const;
  int Interval(int id) const;  // -1 when not running
  // The identifier of the running timer Qt knows as `qtId`, -1 if none.
  int IdOf(int qtId) const;

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  struct Running {
    int qtId;
    int interval;
    bool throughModalLoops;
  };
  Handler onTick_;
  std::map<int, Running> byId_;
};

}  // namespace varnelo
