#include "bench/auto_scroll.h"

#include <QApplication>
#include <QScrollBar>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "aids/auto_scroll.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/program_folder.h"
#include "res/command_ids.h"
#include "text/varnelo_view.h"

namespace varnelo::bench {
namespace {

// The book's text with every CR LF made a lone CR: the pane still breaks the paragraphs
// there, but with no line feed the whole text is one page, cut at the pane's limit.
std::string OnePageBook(const std::string& path, const std::filesystem::path& folder) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string page;
  page.reserve(bytes.size());
  for (char c : bytes)
    if (c != '\n') page.push_back(c);
  const std::filesystem::path book = folder / "one-page.txt";
  std::ofstream(book, std::ios::binary) << page;
  return book.string();
}

}  // namespace

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

AutoScrollFigures MeasureAutoScroll(const std::string& path, int steps) {
  const auto folder = std::filesystem::temp_directory_path() / "varnelo-bench-scroll";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  setenv(kProgramFolderOverride, folder.c_str(), 1);
  const std::string book = OnePageBook(path, folder);

  AutoScrollFigures figures;
  {
    CVarneloApp app;
    app.InitInstance({"varnelo"});
    CMainFrame* frame = app.MainFrame();
    frame->resize(1000, 700);
    CVarneloView* view = frame->View();
    view->LoadText(book);
    (void)view->Pane()->LineCount();  // laid out whole before the clock starts
    QApplication::processEvents();

    QScrollBar* bar = view->Pane()->verticalScrollBar();
    const double cpuStart = CpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    for (int i = 0; i < steps; ++i) {
      if (bar->value() == bar->maximum()) bar->setValue(0);
      view->OnTimer(AutoScroll::kTimer);
      QApplication::processEvents();
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    const double cpu = CpuSeconds() - cpuStart;
    figures.stepsPerSecond = steps / wall.count();
    figures.cpuMsPerStep = cpu * 1000.0 / steps;
    frame->close();
  }
  std::filesystem::remove_all(folder);
  return figures;
}

}  // namespace varnelo::bench
