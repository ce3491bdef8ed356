// Varnelo: a reader for long plain-text novels.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <string>
#include <vector>

#include "app/varnelo_app.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnelo"));
  // The interface is Chinese throughout, so Qt's own dialogs (open file, message box
  // buttons, the pane's edit menu) speak Chinese too when the translation is installed.
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }
  std::vector<std::string> arguments(argv, argv + argc);
  varnelo::CVarneloApp app;
  if (!app.InitInstance(arguments)) return 1;  // the file named on the command line was unreadable
  return QApplication::exec();
}
