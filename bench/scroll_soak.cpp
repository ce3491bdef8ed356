#include "bench/scroll_soak.h"

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/main_frame.h"
#include "bench/auto_scroll.h"
#include "app/varnelo_app.h"
#include "platform/program_folder.h"
#include "res/command_ids.h"
#include "text/varnelo_view.h"

namespace varnelo::bench {
namespace {

double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

double AnonymousMb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("RssAnon:", 0) == 0) return std::atof(line.c_str() + 8) / 1000.0;
  }
  return 0;
}

// Runs the whole reader pixel-scrolling `path` until `enough(step)` says so; a page's
// bottom goes back to its top, so the same page scrolls on.
void Soak(const std::string& path, const std::function<bool(int)>& enough) {
  const auto folder = std::filesystem::temp_directory_path() / ("varnelo-bench-soak-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  setenv(kProgramFolderOverride, folder.c_str(), 1);
  {
    CVarneloApp app;
    app.InitInstance({"varnelo"});
    CMainFrame* frame = app.MainFrame();
    CVarneloView* view = frame->View();
    view->LoadText(path);
    QScrollBar* bar = view->Pane()->verticalScrollBar();
    int counted = 0;
    QEventLoop loop;
    QObject::connect(bar, &QScrollBar::valueChanged, &loop, [&] {
      if (enough(++counted)) loop.quit();
      if (bar->value() == bar->maximum()) QTimer::singleShot(0, bar, [bar] { bar->setValue(0); });
    });
    frame->RunCommand(cmd::kAutoScroll);
    loop.exec();
    frame->RunCommand(cmd::kAutoScroll);
    frame->close();
  }
  std::filesystem::remove_all(folder);
}

}  // namespace

void SoakAutoScrollFor(const std::string& path, double minutes, int reportSeconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point last = start;
  double lastCpu = CpuSeconds();
  std::printf("scroll-soak-minutes: seconds, steps, cpu %% of a core (interval), resident MB\n");
  Soak(path, [&](int step) {
    const Clock::time_point now = Clock::now();
    if (now - last < std::chrono::seconds(reportSeconds)) return false;
    const double cpu = CpuSeconds();
    const std::chrono::duration<double> interval = now - last;
    // Mapped files (the font's glyphs as they are first drawn) apart from the process's own.
    std::printf("scroll-soak-minutes: %6.0f s, %7d steps, %5.2f%%, %6.1f MB (%.1f MB of it its own)\n",
                std::chrono::duration<double>(now - start).count(), step,
                (cpu - lastCpu) * 100.0 / interval.count(), ResidentMb(), AnonymousMb());
    std::fflush(stdout);
    last = now;
    lastCpu = cpu;
    return now - start >= std::chrono::duration<double>(minutes * 60.0);
  });
}

ScrollSoakFigures SoakAutoScroll(const std::string& path, int steps) {
  ScrollSoakFigures figures;
  const int warmUp = steps / 10;
  double cpuStart = 0;
  std::chrono::steady_clock::time_point wallStart;
  Soak(path, [&](int counted) {
    if (counted == warmUp) {
      figures.startMb = ResidentMb();
      figures.ownStartMb = AnonymousMb();
      cpuStart = CpuSeconds();
      wallStart = std::chrono::steady_clock::now();
    }
    if (counted < warmUp + steps) return false;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    const double cpu = CpuSeconds() - cpuStart;
    figures.steps = steps;
    figures.seconds = wall.count();
    figures.cpuMsPerStep = cpu * 1000.0 / steps;
    figures.coreShare = cpu / wall.count();
    figures.endMb = ResidentMb();
    figures.ownEndMb = AnonymousMb();
    return true;
  });
  return figures;
}

}  // namespace varnelo::bench
