#include "bench/first_page.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "store/shared_settings.h"
#include "text/varnelo_view.h"

namespace varnelo::bench {

double FirstPageMilliseconds(const std::string& path, int runs) {
  SharedSettings settings;
  const auto folder = std::filesystem::temp_directory_path() / "varnelo-bench-home";
  std::filesystem::create_directories(folder);
  settings.programFolder = folder.string() + "/";
  CVarneloView view(settings);
  view.resize(1000, 700);
  view.show();
  view.OnInitialUpdate();
  QApplication::processEvents();

  double best = 1e30;
  for (int run = 0; run < runs; ++run) {
    view.Pane()->SetPaneText(QString());  // so every run really puts the page in the pane
    QApplication::processEvents();
    const auto start = std::chrono::steady_clock::now();
    view.LoadText(path);
    (void)view.Pane()->LineCount();  // the page is laid out, ready to paint
    QApplication::processEvents();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace varnelo::bench
