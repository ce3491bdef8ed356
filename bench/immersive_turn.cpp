#include "bench/immersive_turn.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app/immersive_mode.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/program_folder.h"
#include "text/varnelo_view.h"

namespace varnelo::bench {

namespace {

double Milliseconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

TurnFigures MeasureTurns(const std::string& path, int turns) {
  const auto folder = std::filesystem::temp_directory_path() / "varnelo-bench-turns";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  setenv(kProgramFolderOverride, folder.c_str(), 1);
  TurnFigures figures;
  {
    CVarneloApp app;
    app.InitInstance({"varnelo"});
    CMainFrame* frame = app.MainFrame();
    frame->resize(1366, 768);
    CVarneloView* view = frame->View();
    view->LoadText(path);
    QApplication::processEvents();

    // The classic window: "下一页" from the first page.
    view->ShowPage(1);
    QApplication::processEvents();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < turns && view->CurrentPage() < view->PageCount(); ++i) {
      view->NextButton()->click();
      QApplication::processEvents();
      ++figures.pages;
    }
    figures.pageMs = Milliseconds(start) / std::max(figures.pages, 1);

    frame->Immersive()->Enter();
    view->ShowPage(1);
    QApplication::processEvents();
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < turns && view->CurrentPage() < view->PageCount(); ++i) {
      QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
      QApplication::sendEvent(view->Pane(), &space);
      QApplication::processEvents();
      ++figures.screens;
    }
    figures.screenMs = Milliseconds(start) / std::max(figures.screens, 1);
    frame->Immersive()->Leave();
    frame->close();
  }
  std::filesystem::remove_all(folder);
  return figures;
}

}  // namespace varnelo::bench
