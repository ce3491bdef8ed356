#include "bench/actions.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/program_folder.h"
#include "res/command_ids.h"
#include "text/varnelo_view.h"

namespace varnelo::bench {
namespace {

// A quarter of a second of the event loop: what the last step left to lay out and paint
// is done before the next is timed.
void Settle() {
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 250) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The longest the window's thread went without turning its event loop while `act` ran and
// the window settled after it. A tick every 2 ms; a dialog or box the action opens is
// closed after a moment, as a user would dismiss it.
double LongestWaitMs(const std::function<void()>& act) {
  QElapsedTimer clock;
  clock.start();
  qint64 lastTick = 0;
  qint64 longest = 0;
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, now - lastTick);
    lastTick = now;
  });
  ticks.start(2);
  QWidget* seen = nullptr;
  qint64 seenAt = 0;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QWidget* shown = QApplication::activeModalWidget();
    if (shown == nullptr) shown = QApplication::activePopupWidget();
    if (shown != seen) {
      seen = shown;
      seenAt = clock.nsecsElapsed();
    } else if (shown != nullptr && clock.nsecsElapsed() - seenAt > 60'000'000) {
      if (auto* dialog = qobject_cast<QDialog*>(shown)) {
        dialog->reject();
      } else {
        shown->close();
      }
      seen = nullptr;
    }
  });
  closer.start(10);
  lastTick = clock.nsecsElapsed();
  act();
  Settle();
  return static_cast<double>(longest) / 1e6;
}

void AddActions(const QList<QAction*>& actions, std::vector<QAction*>& out) {
  for (QAction* action : actions) {
    if (action->isSeparator()) continue;
    if (QMenu* menu = action->menu()) {
      emit menu->aboutToShow();  // the menu's items take their state as it opens
      AddActions(menu->actions(), out);
    } else {
      out.push_back(action);
    }
  }
}

}  // namespace

ActionFigures MeasureActions(const std::string& path, const std::string& only) {
  ActionFigures figures;
  const auto folder = std::filesystem::temp_directory_path() / ("varnelo-bench-actions-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  setenv(kProgramFolderOverride, (folder.string() + "/").c_str(), 1);
  {
    CVarneloApp app;
    app.InitInstance({"varnelo"});
    CMainFrame* frame = app.MainFrame();
    frame->View()->LoadText(path);
    Settle();
    std::vector<QAction*> actions;
    AddActions(frame->menuBar()->actions(), actions);
    for (QAction* action : actions) {
      // Leaving the reader ends the run; the rest are what a reader does with a book.
      if (action->data().toInt() == cmd::kExit || !action->isEnabled()) continue;
      const QString name = action->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
      if (!only.empty() && !QString::fromStdString(only).split(QLatin1Char('|')).contains(name)) continue;
      const double ms = LongestWaitMs([action] { action->trigger(); });
      ++figures.actions;
      if (ms > figures.longestMs) {
        figures.longestMs = ms;
        figures.longestName = name.toStdString();
      }
      if (ms > 50) figures.over.push_back({name.toStdString(), ms});
      // A wrong encoding read the book as another: the next actions read it as it is.
      const int id = action->data().toInt();
      if (id > cmd::kEncodingAuto && id <= cmd::kEncodingUtf16Be) frame->RunCommand(cmd::kEncodingAuto);
    }
    frame->close();
  }
  std::filesystem::remove_all(folder);
  return figures;
}

}  // namespace varnelo::bench
