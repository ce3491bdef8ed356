// Varnelo: a reader for long plain-text novels.
#include <QApplication>

#include <string>
#include <vector>

#include "app/varnelo_app.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnelo"));
  std::vector<std::string> arguments(argv, argv + argc);
  varnelo::CVarneloApp app;
  if (!app.InitInstance(arguments)) return 0;
  return QApplication::exec();
}
