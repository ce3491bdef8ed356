// The baseline of the start-up figures: an empty QMainWindow that prints the monotonic clock
// at its first paint and ends. With --text it shows a line of Chinese; with --page FILE, the
// text of FILE (UTF-8) in a read-only text pane, which is the least any reader of a page
// pays. A program of its own, linked with Qt Widgets alone: inside the bench it loaded every
// library the reader needs (sound, speech, the network), and that half of the reader's start
// counted as Qt's.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QTextEdit>

#include <string>

#include "app/startup_probe.h"

int main(int argc, char** argv) {
  varnelo::StartMark("main");
  const std::string mode = argc >= 2 ? std::string(argv[1]) : std::string();
  QApplication app(argc, argv);
  varnelo::StartMark("Qt started");
  QMainWindow window;
  QWidget* central = nullptr;
  QWidget* painted = nullptr;
  if (mode == "--text") {
    // What any window pays for its first text: the font configuration, the font list, a face
    // and its glyphs.
    central = new QLabel(QStringLiteral("滚滚长江东逝水，浪花淘尽英雄。"), &window);
  } else if (mode == "--page" && argc >= 3) {
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly)) return 1;
    auto* pane = new QTextEdit(&window);
    pane->setReadOnly(true);
    // The reader's page at its first start: 宋体 at 13.5 points.
    QFont face(QStringLiteral("宋体"));
    face.setPointSizeF(13.5);
    pane->setFont(face);
    pane->setPlainText(QString::fromUtf8(file.readAll()));
    central = pane;
    painted = pane->viewport();
  } else {
    central = new QWidget(&window);
  }
  window.setCentralWidget(central);
  window.resize(800, 600);
  window.show();
  varnelo::StartMark("window shown");
  varnelo::ProbeFirstPaint(painted != nullptr ? painted : central);
  return QApplication::exec();
}
