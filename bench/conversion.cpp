#include "bench/conversion.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "aids/conversion_part.h"
#include "platform/codepage.h"
#include "store/shared_settings.h"
#include "text/varnelo_view.h"

namespace varnelo::bench {

namespace {

// One page of at least `characters` (50 lines of one long paragraph each), traditional.
std::string TraditionalPage(const std::string& path, int characters) {
  std::stringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  std::u16string text = DecodeBookBytes(bytes.str());
  std::erase_if(text, [](char16_t c) { return c == u'\n' || c == u'\r'; });
  const std::size_t line = static_cast<std::size_t>(characters) / 50 + 2;
  text.resize(std::min(text.size(), line * 50));
  std::u16string page;
  for (std::size_t at = 0; at < text.size(); at += line) page += text.substr(at, line) + u"\n";
  ChineseConverter converter;
  return EncodeBookText(converter.Convert(ConvertMode::Traditional, page));
}

}  // namespace

ConversionFigures MeasureConversion(const std::string& path, int runs) {
  SharedSettings settings;
  const auto folder = std::filesystem::temp_directory_path() / "varnelo-bench-home";
  std::filesystem::create_directories(folder);
  settings.programFolder = folder.string() + "/";
  const std::string book = (folder / "page.txt").string();
  std::ofstream(book, std::ios::binary) << TraditionalPage(path, CVarneloView::kPaneTextLimit);

  CVarneloView view(settings);
  auto part = std::make_unique<TextConversion>(view);
  TextConversion* conversion = part.get();
  view.AddPart(std::move(part));
  view.resize(1000, 700);
  view.show();
  view.OnInitialUpdate();
  view.LoadText(book);
  QApplication::processEvents();

  ConversionFigures figures;
  figures.characters = static_cast<int>(view.Pane()->PaneText().size());
  const auto best = [&](ConvertMode mode) {
    conversion->Choose(mode);
    double fastest = 1e30;
    for (int run = 0; run < runs; ++run) {
      view.Pane()->SetPaneText(QString());
      conversion->OnBookLeaving();  // forgets the converted page
      QApplication::processEvents();
      const auto start = std::chrono::steady_clock::now();
      view.ShowPage(1);
      (void)view.Pane()->LineCount();  // laid out, ready to paint
      QApplication::processEvents();
      const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
      fastest = std::min(fastest, took.count());
    }
    return fastest;
  };
  figures.plainMs = best(ConvertMode::None);
  figures.convertedMs = best(ConvertMode::Simplified);
  conversion->Choose(ConvertMode::None);
  return figures;
}

}  // namespace varnelo::bench
