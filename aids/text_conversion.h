// Simplified and traditional characters for the page on screen, through OpenCC's standard
// phrase-level configurations (s2t, t2s). Plain C++ on UTF-16 text, as the pane holds it.
// A converted text lines up with its source unit for unit, so every place in the pane
// still maps to the same byte of the book.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace varnelo {

// ConvertFlag of Config.ini.
enum class ConvertMode { None = 0, Simplified = 1, Traditional = 2 };
// A stored flag as a mode: anything but 1 or 2 is none.
ConvertMode ConvertModeOf(int flag);
// The way back: words typed in the shown characters, in the other form.
ConvertMode OppositeOf(ConvertMode mode);

// The folder of OpenCC's own configurations and dictionaries, as the library was installed.
std::string OpenCCDataFolder();

class ChineseConverter {
 public:
  // Configurations and dictionaries are read from `dataFolder` alone, by absolute path.
  explicit ChineseConverter(std::string dataFolder = OpenCCDataFolder());
  ~ChineseConverter();
  ChineseConverter(const ChineseConverter&) = delete;
  ChineseConverter& operator=(const ChineseConverter&) = delete;

  // `text` in the mode's characters, of the same length, with every line break and every
  // unit OpenCC cannot take (a lone surrogate standing for an undecodable byte) where it
  // was. Phrases are converted as phrases; a line whose phrases would change its length
  // is converted character by character. Unchanged when the mode is none or OpenCC cannot
  // be opened.
  std::u16string Convert(ConvertMode mode, std::u16string_view text);
  // Whether OpenCC's configuration for the mode opens; why not, when it does not. Once
  // OpenCC has failed in a direction (a damaged dictionary), it stays off for the run.
  bool Ready(ConvertMode mode);
  const std::string& Error() const { return error_; }

 private:
  struct Handles;
  struct Pass;
  // OpenCC over the text as it is, lone surrogates given as U+FFFD.
  std::u16string Run(Pass& pass, std::u16string_view text);
  std::u16string ConvertLine(Pass& pass, std::u16string_view line);
  std::u16string ConvertReady(Pass& pass, std::u16string_view text);

  std::unique_ptr<Handles> handles_;
  std::string dataFolder_;
  std::string error_;
};

}  // namespace varnelo
