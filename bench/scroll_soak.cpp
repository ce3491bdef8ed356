#include "bench/scroll_soak.h"

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/program_folder.h"
#include "res/command_ids.h"
#include "text/varnelo_view.h"

namespace varnelo::bench {
namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

}  // namespace

ScrollSoakFigures SoakAutoScroll(const std::string& path, int steps) {
  const auto folder = std::filesystem::temp_directory_path() / ("varnelo-bench-soak-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  setenv(kProgramFolderOverride, folder.c_str(), 1);
  ScrollSoakFigures figures;
  {
    CVarneloApp app;
    app.InitInstance({"varnelo"});
    CMainFrame* frame = app.MainFrame();
    CVarneloView* view = frame->View();
    view->LoadText(path);
    QScrollBar* bar = view->Pane()->verticalScrollBar();
    // Back to the top of the page whenever the bottom is reached: the same page scrolls on.
    int counted = 0;
    const int warmUp = steps / 10;
    double cpuStart = 0;
    std::chrono::steady_clock::time_point wallStart;
    QEventLoop loop;
    QObject::connect(bar, &QScrollBar::valueChanged, &loop, [&] {
      ++counted;
      if (counted == warmUp) {
        figures.startMb = ResidentMb();
        cpuStart = CpuSeconds();
        wallStart = std::chrono::steady_clock::now();
      }
      if (counted == warmUp + steps) loop.quit();
      if (bar->value() == bar->maximum()) QTimer::singleShot(0, bar, [bar] { bar->setValue(0); });
    });
    frame->RunCommand(cmd::kAutoScroll);
    loop.exec();
    frame->RunCommand(cmd::kAutoScroll);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    const double cpu = CpuSeconds() - cpuStart;
    figures.steps = steps;
    figures.seconds = wall.count();
    figures.cpuMsPerStep = cpu * 1000.0 / steps;
    figures.coreShare = cpu / wall.count();
    figures.endMb = ResidentMb();
    frame->close();
  }
  std::filesystem::remove_all(folder);
  return figures;
}

}  // namespace varnelo::bench
