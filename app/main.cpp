// Varnelo: a reader for long plain-text novels.
#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/single_instance.h"
#include "app/startup_probe.h"
#include "app/varnelo_app.h"
#include "platform/chinese_locale.h"
#include "platform/font_warmup.h"
#include "platform/program_folder.h"
#include "platform/start_environment.h"
#include "text/varnelo_view.h"

int main(int argc, char** argv) {
  using varnelo::CommandLine;
  varnelo::StartMark("main");
  // Read before Qt starts, so that the questions and the mistakes are answered where there
  // is no display.
  const CommandLine line = varnelo::ParseCommandLine({argv, argv + argc});
  if (line.action == CommandLine::Action::Help || line.action == CommandLine::Action::Version) {
    const std::string text =
        line.action == CommandLine::Action::Help ? varnelo::HelpText() : varnelo::VersionText();
    std::fputs(text.c_str(), stdout);
    return 0;
  }
  if (line.action == CommandLine::Action::Error) {
    std::fprintf(stderr, "varnelo：%s\n用 varnelo --help 查看用法。\n", line.error.c_str());
    return 2;
  }

  // Qt takes the session's locale as it starts: the reader's is Chinese whatever it is.
  varnelo::ChineseLocale chinese;
  varnelo::StartEnvironment drawing;
  varnelo::ChooseXImageUpload(drawing);
  varnelo::FontWarmUp fonts;
  QApplication qt(argc, argv);
  chinese.Install();
  varnelo::StartMark("Qt started");
  QApplication::setApplicationName(QStringLiteral("Varnelo"));
  // The desktop entry's name: a Wayland desktop finds the window's icon and name by it.
  QGuiApplication::setDesktopFileName(QLatin1String(VARNELO_APP_ID));
  const std::string book = line.book.empty() ? std::string() : varnelo::AbsolutePath(line.book);

  varnelo::SingleInstance instance(varnelo::ProgramFolder());
  switch (instance.HandOver(book)) {
    case varnelo::SingleInstance::Start::HandedOver:
      return 0;
    case varnelo::SingleInstance::Start::NoAnswer:
      std::fputs("varnelo：已有阅读器在使用同一个设置文件夹，但它没有回应。\n", stderr);
      return 1;
    case varnelo::SingleInstance::Start::First:
      break;
  }

  varnelo::StartMark("single instance asked");
  varnelo::CVarneloApp app;
  // The single-instance check and Config.ini need no font: the configuration goes on loading.
  app.SetBeforeFirstText([&fonts, &chinese, &drawing] {
    fonts.Wait();
    chinese.RestoreEnvironment();
    drawing.Restore();
  });
  instance.Listen([&app](const std::string& handed) { app.OnHandOver(handed); });
  std::vector<std::string> arguments{argv[0]};
  if (!book.empty()) arguments.push_back(book);
  if (!app.InitInstance(arguments)) return 1;  // the file named on the command line was unreadable
  varnelo::StartMark("start done, window shown");
  varnelo::ProbeFirstPaint(app.MainFrame()->View()->Pane()->viewport());
  return QApplication::exec();
}
