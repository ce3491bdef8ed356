// The run-time values several windows share, held by the application object. The view
// refreshes the book and appearance groups after every page shown and every appearance
// change (the state mirror); the exit save writes Config.ini from them.
#pragma once

#include <string>

#include "platform/text_appearance.h"
#include "store/config_schema.h"

namespace varnelo {

// The book on screen, as the exit save and the tray tip need it.
struct BookMirror {
  std::string title;     // file name without folder and extension
  std::string path;
  std::string fileName;  // with extension
  int page = 0;
  int pagingMode = 0;
  std::string chapterTitle;
  int firstVisibleLine = 0;  // sampled on the view's timer ticks
};

struct SharedSettings {
  std::string programFolder;  // ends with the separator
  BookMirror book;
  TextAppearance appearance;
  std::string libraryFolder;  // folder last chosen with the folder browser
  // Every Config.ini value read at start-up. The parts that own a value keep it current
  // here (the quotation and scrolling settings are changed in place); values of features
  // that are not running are written back at exit exactly as they were read.
  ConfigValues config;
};

}  // namespace varnelo
