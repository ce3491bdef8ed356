#include "bench/clean_page.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "aids/conversion_part.h"
#include "aids/page_cleaning.h"
#include "platform/codepage.h"
#include "store/shared_settings.h"
#include "text/varnelo_view.h"

namespace varnelo::bench {

namespace {

std::string WrappedBook(const std::string& path) {
  std::stringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  const std::u16string text = DecodeBookBytes(bytes.str());
  std::u16string out;
  std::size_t from = 0;
  int paragraphs = 0;
  while (from < text.size()) {
    const std::size_t stop = std::min(text.find(u'\n', from), text.size());
    std::u16string line = text.substr(from, stop - from);
    from = stop + 1;
    std::erase_if(line, [](char16_t c) { return c == u'\r' || c == u' ' || c == 0x3000; });
    if (line.empty()) continue;
    if (++paragraphs % 9 == 0) out += u"更新时间:2007-11-16 7:55:51 本章字数:4804<br />\r\n";
    std::u16string piece = u"　　";
    for (char16_t c : line) {
      if (piece.size() == 40) {
        out += piece + u"\r\n";
        piece.clear();
      }
      piece.push_back(c);
    }
    out += piece + u"\r\n";
  }
  return EncodeBookText(out);
}

}  // namespace

CleanPageFigures MeasureCleanPage(const std::string& path, int runs) {
  SharedSettings settings;
  const auto folder = std::filesystem::temp_directory_path() / "varnelo-bench-clean";
  std::filesystem::create_directories(folder);
  settings.programFolder = folder.string() + "/";
  const std::string book = (folder / "wrapped.txt").string();
  std::ofstream(book, std::ios::binary) << WrappedBook(path);

  CVarneloView view(settings);
  auto cleaningPart = std::make_unique<PageCleaning>(view);
  PageCleaning* cleaning = cleaningPart.get();
  view.AddPart(std::move(cleaningPart));
  auto conversionPart = std::make_unique<TextConversion>(view);
  TextConversion* conversion = conversionPart.get();
  view.AddPart(std::move(conversionPart));
  view.resize(1000, 700);
  view.show();
  view.OnInitialUpdate();
  view.LoadText(book);
  view.UseChapterRule(3);
  // The largest chapter.
  int largest = view.Pages().firstPage;
  for (int page = view.Pages().firstPage; page <= view.PageCount(); ++page) {
    if (view.PageText(page).size() > view.PageText(largest).size()) largest = page;
  }
  view.SetCurrentPage(largest);
  QApplication::processEvents();

  CleanPageFigures figures;
  const auto best = [&] {
    double fastest = 1e30;
    for (int run = 0; run < runs; ++run) {
      view.Pane()->SetPaneText(QString());
      cleaning->OnBookLeaving();  // forgets the laid-out pages
      conversion->OnBookLeaving();
      QApplication::processEvents();
      const auto start = std::chrono::steady_clock::now();
      view.ShowPage(largest);
      (void)view.Pane()->LineCount();  // laid out, ready to paint
      const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
      fastest = std::min(fastest, took.count());
      QApplication::processEvents();  // the next page prepared ahead, outside the measure
    }
    return fastest;
  };
  figures.plainMs = best();
  cleaning->ChooseReflow(ReflowMode::On);
  cleaning->ChooseIndent(IndentMode::TwoSpaces);
  cleaning->ChooseClean(true);
  cleaning->ChooseTypeset(8, true, true);
  conversion->Choose(ConvertMode::Traditional);
  figures.cleanedMs = best();
  figures.characters = static_cast<int>(view.Pane()->PaneText().size());
  std::filesystem::remove_all(folder);
  return figures;
}

}  // namespace varnelo::bench
