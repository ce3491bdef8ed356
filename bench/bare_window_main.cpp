// The baseline of the start-up figures: an empty QMainWindow (with --text, one showing a line
// of Chinese) that prints the monotonic clock at its first paint and ends. A program of its
// own, linked with Qt Widgets alone: inside the bench it loaded every library the reader
// needs (sound, speech, the network), and that half of the reader's start counted as Qt's.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <string>

#include "app/startup_probe.h"

int main(int argc, char** argv) {
  varnelo::StartMark("main");
  const bool withText = argc >= 2 && std::string(argv[1]) == "--text";
  QApplication app(argc, argv);
  varnelo::StartMark("Qt started");
  QMainWindow window;
  // One line of Chinese: what any window pays for its first text (the font configuration,
  // the font list, a face and its glyphs) and the bare one never does.
  QWidget* central = withText ? new QLabel(QStringLiteral("滚滚长江东逝水，浪花淘尽英雄。"), &window)
                              : new QWidget(&window);
  window.setCentralWidget(central);
  window.resize(800, 600);
  window.show();
  varnelo::StartMark("window shown");
  varnelo::ProbeFirstPaint(central);
  return QApplication::exec();
}
