// varnelo-icons FOLDER: writes the program's icon as FOLDER/<n>x<n>/apps/<app id>.png at the
// sizes desktop menus use, drawn by the same code as the window's icon.
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

#include "res/toolbar_icons.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  const QString root = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
    const QString file = folder + QLatin1String("/" VARNELO_APP_ID ".png");
    if (!QDir().mkpath(folder) || !varnelo::AppIconImage(size).save(file, "PNG")) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
      return 1;
    }
  }
  return 0;
}
