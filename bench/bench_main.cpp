// varnelo-bench: engine speed as a ratio against the least possible work over the same
// bytes (counting line feeds with memchr), measured in the same run. Best of several runs.
#include <QApplication>
#include <QElapsedTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "aids/chapter_list.h"
#include "bench/actions.h"
#include "bench/auto_scroll.h"
#include "bench/clean_page.h"
#include "bench/config_file.h"
#include "bench/conversion.h"
#include "bench/encoded_load.h"
#include "bench/first_page.h"
#include "platform/codepage.h"
#include "platform/start_environment.h"
#include "text/display_text.h"
#include "text/file_splice.h"
#include "bench/immersive_turn.h"
#include "bench/scroll_soak.h"
#include "bench/startup.h"
#include "bench/speech_start.h"
#include "text/book_engine.h"
#include "text/book_search.h"
#include "text/chapter_finder.h"

namespace {

constexpr int kRuns = 5;
constexpr std::size_t kBookBytes = 110u * 1000u * 1000u;

volatile std::int64_t gSink = 0;  // keeps results alive against the optimiser

double BestSeconds(const std::function<void()>& prepare, const std::function<void()>& work) {
  double best = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

std::int64_t CountLineFeeds(const std::string& bytes) {
  std::int64_t count = 0;
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  while (p < end) {
    const void* hit = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (hit == nullptr) break;
    ++count;
    p = static_cast<const char*>(hit) + 1;
  }
  return count;
}

void Report(const char* name, const std::string& bytes, double seconds) {
  const double baseline = BestSeconds([] {}, [&] { gSink = gSink + CountLineFeeds(bytes); });
  const double mb = static_cast<double>(bytes.size()) / 1e6;
  std::printf("%s: %.0f MB/s; baseline %.0f MB/s; ratio %.2f\n", name, mb / seconds,
              mb / baseline, baseline / seconds);
  std::fflush(stdout);
}

// A GBK character from the common range (lead B0-D7, trail A1-FE), never 第 or a rule
// character, so headings appear only where the book puts them.
void AppendHanzi(std::string& out, std::mt19937& rng) {
  for (;;) {
    const auto lead = static_cast<unsigned char>(0xB0 + rng() % 0x28);
    const auto trail = static_cast<unsigned char>(0xA1 + rng() % 0x5E);
    if (lead == 0xB5 || lead == 0xD5 || lead == 0xBE || lead == 0xBB || lead == 0xB2 ||
        lead == 0xBD || lead == 0xBC)
      continue;
    out.push_back(static_cast<char>(lead));
    out.push_back(static_cast<char>(trail));
    return;
  }
}

// Paragraph lines of 20 to 200 bytes with CR LF, a blank line now and then, and a
// heading "第N章 ..." every 300 lines.
std::string SyntheticBook(std::size_t size) {
  std::mt19937 rng(2026);
  std::string out;
  out.reserve(size + 512);
  int line = 0;
  int chapter = 0;
  while (out.size() < size) {
    if (line % 300 == 0) {
      out += "\xB5\xDA" + std::to_string(++chapter) + "\xD5\xC2 ";
      for (int i = 0; i < 6; ++i) AppendHanzi(out, rng);
      out += "\r\n\r\n";
    }
    const int chars = 10 + static_cast<int>(rng() % 91);
    out += "\xA1\xA1\xA1\xA1";  // indent of two full-width spaces
    for (int i = 0; i < chars; ++i) AppendHanzi(out, rng);
    out += (rng() % 4 == 0) ? "\r\n\r\n" : "\r\n";
    ++line;
  }
  return out;
}

// Many "第" in running text and only one rule character, at the very end: a scan that
// searched again from every "第" would read the rest of the book each time.
std::string SparseBook(const std::string& book) {
  std::string out = book;
  for (std::size_t i = 40; i + 2 < out.size(); i += 60) {
    if (out[i] == '\r' || out[i] == '\n' || out[i + 1] == '\r' || out[i + 1] == '\n') continue;
    out[i] = '\xB5';
    out[i + 1] = '\xDA';
  }
  std::size_t at = 0;
  while ((at = out.find("\xD5\xC2", at)) != std::string::npos) out[at] = 'x';
  out += "\xB5\xDA" "1\xD5\xC2\r\n";
  return out;
}

// The whole reader started and closed on a Config.ini of 20,000 places and on one of
// 100 MB, against reading that file once.
void ReportConfigFiles() {
  const struct {
    const char* name;
    int places;
    std::size_t bytes;
  } configs[] = {{"config-20000-places", 20000, 0}, {"config-100mb", 20000, 100u * 1000u * 1000u}};
  for (const auto& c : configs) {
    const std::string text = varnelo::bench::LargeConfig(c.places, c.bytes);
    const varnelo::bench::ConfigFileFigures figures = varnelo::bench::MeasureConfigFile(text, 2);
    std::printf("%s: %.1f MB; start %.0f ms, exit %.0f ms; one read %.1f ms; ratio %.1f and %.1f\n",
                c.name, static_cast<double>(text.size()) / 1e6, figures.startMs, figures.exitMs,
                figures.readMs, figures.startMs / figures.readMs, figures.exitMs / figures.readMs);
    std::fflush(stdout);
  }
}

// The replace rules applied to a 100 MB book file (an ad line every 64 KB and a tag in it),
// against one pass of the same replacements over the bytes.
void ReportApplyRules(const std::string& book) {
  std::string ads;
  const std::string adLine = varnelo::EncodeBookText(u"本章字数:4804<br />\r\n");
  const std::string tag = varnelo::EncodeBookText(u"<br />");
  for (std::size_t from = 0; ads.size() < (100u << 20) && from < book.size();) {
    std::size_t stop = book.find('\n', from + (64u << 10));
    stop = stop == std::string::npos ? book.size() : stop + 1;
    ads.append(book, from, stop - from);
    ads += adLine;
    from = stop;
  }
  const varnelo::PlainMatcher adRule(u"本章字数:4804", u"");
  const varnelo::PlainMatcher tagRule(u"<br />", u"");
  const std::vector<const varnelo::TextMatcher*> rules = {&tagRule, &adRule};
  const varnelo::BookForm gbk;
  std::size_t places = 0;
  const double apply = BestSeconds([] {}, [&] {
    const std::vector<varnelo::TextSplice> splices = varnelo::RuleSplices(ads, rules, "\r\n");
    places = splices.size();
    gSink = gSink + varnelo::SpliceBook(ads, gbk, ads, splices).file->size();
  });
  const double onePass = BestSeconds([] {}, [&] {
    std::string out;
    out.reserve(ads.size());
    std::size_t from = 0;
    for (std::size_t at; (at = ads.find(adLine, from)) != std::string::npos; from = at + adLine.size())
      out.append(ads, from, at - from);
    out.append(ads, from);
    gSink = gSink + out.size();
  });
  std::printf("apply-rules-to-file: %.0f MB, %zu places; %.0f ms; one pass of the replacements %.0f ms; ratio %.1f\n",
              static_cast<double>(ads.size()) / (1 << 20), places, apply * 1e3, onePass * 1e3, apply / onePass);
  std::fflush(stdout);
}

std::vector<std::filesystem::path> CorpusBooks() {
  const char* corpus = std::getenv("VARNELO_CORPUS");
  const std::filesystem::path folder = corpus != nullptr ? corpus : VARNELO_BENCH_CORPUS;
  std::vector<std::filesystem::path> books;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".txt") books.push_back(entry.path());
  }
  std::sort(books.begin(), books.end());
  return books;
}

std::filesystem::path LargestCorpusBook() {
  std::filesystem::path largest;
  std::uintmax_t largestSize = 0;
  for (const auto& book : CorpusBooks()) {
    const std::uintmax_t size = std::filesystem::file_size(book);
    if (size > largestSize) {
      largest = book;
      largestSize = size;
    }
  }
  return largest;
}

// What a very large book is made of: the real novels one after another, as a big download is
// real text (random characters keep the encoding detector reading far longer than a novel
// does); the synthetic book where there is no corpus.
std::string LargeBookPiece() {
  std::string piece;
  for (const auto& book : CorpusBooks()) {
    std::ifstream in(book, std::ios::binary);
    piece.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return piece.empty() ? SyntheticBook(kBookBytes) : piece;
}

void ReportCleanPage(const std::filesystem::path& largest) {
  const varnelo::bench::CleanPageFigures clean = varnelo::bench::MeasureCleanPage(largest.string(), kRuns);
  std::printf("clean-page: %d chars; shown %.1f ms; shown with every transform %.1f ms; ratio %.2f (at most 2)\n",
              clean.characters, clean.plainMs, clean.cleanedMs, clean.cleanedMs / clean.plainMs);
  std::fflush(stdout);
}

// Qt started as the reader starts it, offscreen where there is no display.
std::unique_ptr<QApplication> StartQtAsTheReader(int& argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  varnelo::StartEnvironment drawing;
  varnelo::ChooseXImageUpload(drawing);
  return std::make_unique<QApplication>(argc, argv);
}

// A book of about 100 MB made of the real novels, written once for the run.
void ReportActions(std::string book, const std::string& only) {
  std::filesystem::path made;
  if (book.empty()) {
    made = std::filesystem::temp_directory_path() / ("varnelo-bench-100mb-" + std::to_string(getpid()) + ".txt");
    const std::string piece = LargeBookPiece();
    std::ofstream out(made, std::ios::binary);
    for (std::size_t written = 0; written < 100'000'000; written += piece.size()) out << piece;
    book = made.string();
  }
  const varnelo::bench::ActionFigures figures = varnelo::bench::MeasureActions(book, only);
  if (!made.empty()) std::filesystem::remove(made);
  std::printf("actions-100mb: %d commands of the menus; the window waited at most %.0f ms (%s); ratio %.2f to 50 ms (at most 1)\n",
              figures.actions, figures.longestMs, figures.longestName.c_str(), figures.longestMs / 50.0);
  for (const auto& [name, ms] : figures.over) std::printf("actions-100mb: over 50 ms: %s %.0f ms\n", name.c_str(), ms);
  std::fflush(stdout);
}

void ReportScrollSoak(const std::string& book, int steps) {
  const varnelo::bench::ScrollSoakFigures soak = varnelo::bench::SoakAutoScroll(book, steps);
  // The glyphs drawn for the first time map more of the font file in: the process's own
  // memory is what would show a leak.
  std::printf("scroll-soak: %d live steps in %.1f s; cpu %.3f ms per step; %.2f%% of a core (at most 2%%); "
              "memory %.1f -> %.1f MB with the mapped font files; its own %.1f -> %.1f MB (growth %.1f MB, at most 1)\n",
              soak.steps, soak.seconds, soak.cpuMsPerStep, soak.coreShare * 100.0, soak.startMb, soak.endMb,
              soak.ownStartMb, soak.ownEndMb, soak.ownEndMb - soak.ownStartMb);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--load-memory") == 0)
    return varnelo::bench::MeasureLoadMemory(argv[2]);
  // --large-load [MB]: only the very large book's load figures.
  if (argc >= 2 && std::strcmp(argv[1], "--large-load") == 0) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::size_t megabytes = argc >= 3 ? std::strtoull(argv[2], nullptr, 10) : 1000;
    varnelo::bench::ReportLargeLoad(LargeBookPiece(), self, megabytes);
    return 0;
  }
  // --config: only the Config.ini figures.
  if (argc >= 2 && std::strcmp(argv[1], "--config") == 0) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ReportConfigFiles();
    return 0;
  }
  // --clean: only the clean page and the replace rules applied to a file.
  if (argc >= 2 && std::strcmp(argv[1], "--clean") == 0) {
    ReportApplyRules(SyntheticBook(kBookBytes));
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    if (!LargestCorpusBook().empty()) ReportCleanPage(LargestCorpusBook());
    return 0;
  }
  // --gui: only the figures of the reader's window.
  const bool windowOnly = argc >= 2 && (std::strcmp(argv[1], "--gui") == 0 || std::strcmp(argv[1], "--startup") == 0 ||
                                        std::strcmp(argv[1], "--actions") == 0 ||
                                        std::strncmp(argv[1], "--scroll-soak", 13) == 0);
  if (!windowOnly) {
    const std::string book = SyntheticBook(kBookBytes);
    std::string work;

    Report("normalise", book,
           BestSeconds([&] { work = book; }, [&] { varnelo::NormaliseBlankLines(work); }));
    Report("line-paging", book, BestSeconds([] {}, [&] {
             gSink = gSink + varnelo::PaginateByLines(book).pageCount;
           }));
    Report("chapter-paging", book, BestSeconds([] {}, [&] {
             gSink = gSink + varnelo::PaginateByChapters(book, 1).pageCount;
           }));
    {
      // The automatic rule against rule 1's pass over the same bytes.
      const double automatic = BestSeconds([] {}, [&] {
        gSink = gSink + varnelo::PaginateByFoundChapters(book).pageCount;
      });
      const double ruleOne = BestSeconds([] {}, [&] {
        gSink = gSink + varnelo::PaginateByChapters(book, 1).pageCount;
      });
      std::printf("chapter-auto: %d chapters; %.1f ms; rule 1 %.1f ms; time ratio %.2f (at most 2)\n",
                  varnelo::PaginateByFoundChapters(book).pageCount, automatic * 1e3, ruleOne * 1e3,
                  automatic / ruleOne);
      std::fflush(stdout);
    }
    const std::string sparse = SparseBook(book);
    Report("chapter-paging-sparse", sparse, BestSeconds([] {}, [&] {
             gSink = gSink + varnelo::PaginateByChapters(sparse, 1).pageCount;
           }));
    // Nothing but headings, "第回" and "第a回" by turns: the most chapters a book can hold,
    // and what their table costs beyond the book.
    std::string headings;
    while (headings.size() < kBookBytes / 5) headings += "\xB5\xDA\xBB\xD8\n\xB5\xDA" "a\xBB\xD8\n";
    Report("chapter-paging-headings", headings, BestSeconds([] {}, [&] {
             gSink = gSink + varnelo::PaginateByChapters(headings, 3).pageCount;
           }));
    {
      const varnelo::Pagination table = varnelo::PaginateByChapters(headings, 3);
      std::printf("chapter-table: %d chapters; %.1f bytes per chapter (at most 16)\n",
                  table.pageCount,
                  static_cast<double>(table.StorageBytes()) / std::max(table.pageCount, 1));
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    varnelo::bench::ReportEncodedLoad(book, self, kRuns);
    // A very large book: 1000 MB unless VARNELO_BENCH_LARGE_MB says otherwise (0: none).
    const char* largeMb = std::getenv("VARNELO_BENCH_LARGE_MB");
    const std::size_t large = largeMb != nullptr ? std::strtoull(largeMb, nullptr, 10) : 1000;
    if (large > 0) varnelo::bench::ReportLargeLoad(LargeBookPiece(), self, large);

    // A word found once, near the end (lead byte B5 with these trails is never drawn), by
    // the whole-book find and by memmem over the same bytes.
    std::string needled = book;
    const std::string word = "\xB5\xA1\xB5\xA2\xB5\xA3";
    needled.replace(needled.size() - 1000, word.size(), word);
    const varnelo::BookQuery query{word, false};
    const double find = BestSeconds([] {}, [&] {
      gSink = gSink + static_cast<std::int64_t>(varnelo::FindForward(needled, query, 0));
    });
    const double plain = BestSeconds([] {}, [&] {
      const void* hit = memmem(needled.data(), needled.size(), word.data(), word.size());
      gSink = gSink + (static_cast<const char*>(hit) - needled.data());
    });
    std::printf("find-once-near-end: %.1f ms; memmem %.1f ms; time ratio %.2f (at most 1.5)\n",
                find * 1e3, plain * 1e3, find / plain);
    // A Latin word with case ignored, found once near the end, against memmem of its bytes.
    std::string latin = book;
    latin.replace(latin.size() - 1000, 7, "VarNelo");
    const varnelo::BookQuery folded{"varnelo", false};
    const double findFolded = BestSeconds([] {}, [&] {
      gSink = gSink + static_cast<std::int64_t>(varnelo::FindForward(latin, folded, 0));
    });
    const double plainLatin = BestSeconds([] {}, [&] {
      const void* hit = memmem(latin.data(), latin.size(), "VarNelo", 7);
      gSink = gSink + (static_cast<const char*>(hit) - latin.data());
    });
    std::printf("find-latin-ignoring-case: %.1f ms; memmem %.1f ms; time ratio %.2f (at most 1.5)\n",
                findFolded * 1e3, plainLatin * 1e3, findFolded / plainLatin);

    // The chapter list opening on the chapter pages: the model filled and a screenful of
    // rows drawn, against the chapter pass that made the pages.
    const varnelo::Pagination chapters = varnelo::PaginateByChapters(book, 1);
    const double pass = BestSeconds([] {}, [&] {
      gSink = gSink + varnelo::PaginateByChapters(book, 1).pageCount;
    });
    const double list = BestSeconds([] {}, [&] {
      varnelo::ChapterModel model(book, chapters);
      for (int row = 0; row < std::min(model.rowCount(), 40); ++row)
        gSink = gSink + model.data(model.index(row, 0), Qt::DisplayRole).toString().size();
    });
    std::printf("chapter-list: %d chapters; %.3f ms; chapter pass %.1f ms; share %.4f (under 0.10)\n",
                chapters.pageCount, list * 1e3, pass * 1e3, list / pass);
    std::fflush(stdout);
    ReportApplyRules(book);
    std::fflush(stdout);
  }

  // The largest real book, from the file to its first page in the pane.
  const std::filesystem::path largest = LargestCorpusBook();
  if (largest.empty()) {
    std::printf("first-page: no book in the corpus\n");
    return 0;
  }
  // --scroll-soak [STEPS]: only the live auto-scroll figures (a shorter run than the
  // bench's own, longer when asked: 33 steps a second).
  // --scroll-soak-minutes N [SECONDS]: N minutes of it, a line of CPU and memory every
  // SECONDS (60 by default).
  if (argc >= 3 && std::strcmp(argv[1], "--scroll-soak-minutes") == 0) {
    const auto app = StartQtAsTheReader(argc, argv);
    const char* book = std::getenv("VARNELO_SOAK_BOOK");
    varnelo::bench::SoakAutoScrollFor(book != nullptr ? book : largest.string(), std::atof(argv[2]),
                                      argc >= 4 ? std::max(std::atoi(argv[3]), 1) : 60);
    return 0;
  }
  // --actions [BOOK [COMMAND|...]]: every command of the menus (or those with these menu texts) on
  // a book of 100 MB (or BOOK) and how long the window waited for each.
  if (argc >= 2 && std::strcmp(argv[1], "--actions") == 0) {
    const auto app = StartQtAsTheReader(argc, argv);
    ReportActions(argc >= 3 ? std::string(argv[2]) : std::string(), argc >= 4 ? std::string(argv[3]) : std::string());
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--scroll-soak") == 0) {
    const auto app = StartQtAsTheReader(argc, argv);
    ReportScrollSoak(largest.string(), argc >= 3 ? std::atoi(argv[2]) : 1000);
    return 0;
  }
  // --startup: only the start-up figures.
  const bool startupOnly = argc >= 2 && std::strcmp(argv[1], "--startup") == 0;
  varnelo::bench::ReportStartup(VARNELO_BENCH_READER, VARNELO_BENCH_BARE_WINDOW,
                                largest.string(), VARNELO_BENCH_SAMPLE, kRuns);
  if (startupOnly) return 0;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const double ms = varnelo::bench::FirstPageMilliseconds(largest.string(), kRuns);
  std::printf("first-page: %.1f ms\n", ms);
  std::fflush(stdout);
  // Against the default interval of 30 ms: the share of one core pixel scrolling takes.
  const varnelo::bench::AutoScrollFigures scroll =
      varnelo::bench::MeasureAutoScroll(largest.string(), 2000);
  std::printf("auto-scroll: %.0f steps/s; cpu %.3f ms per step\n", scroll.stepsPerSecond,
              scroll.cpuMsPerStep);
  // A page of the pane's 131,072 characters shown in simplified characters, against the
  // same page shown as it is.
  const varnelo::bench::ConversionFigures convert = varnelo::bench::MeasureConversion(largest.string(), kRuns);
  std::printf("convert-page: %d chars; shown %.1f ms; shown converted %.1f ms; ratio %.2f (at most 2)\n",
              convert.characters, convert.plainMs, convert.convertedMs, convert.convertedMs / convert.plainMs);
  // The largest chapter of a hard-wrapped download shown re-flowed, indented, cleaned,
  // converted and typeset, against the same page shown plain.
  ReportCleanPage(largest);
  // One screen turned in the reading mode against one page in the classic window.
  const varnelo::bench::TurnFigures turns = varnelo::bench::MeasureTurns(largest.string(), 300);
  std::printf("immersive-turn: screen %.2f ms (%d); classic page %.2f ms (%d); ratio %.2f\n",
              turns.screenMs, turns.screens, turns.pageMs, turns.pages, turns.screenMs / turns.pageMs);
  std::fflush(stdout);
  ReportScrollSoak(largest.string(), 1000);
  // Starting to read aloud must be heard at once (aim: within 300 ms).
  const varnelo::bench::SpeechStartFigures speech = varnelo::bench::MeasureSpeechStart(largest.string(), kRuns);
  std::printf("speech-start: first sample %.1f ms; first sentence synthesised alone %.1f ms; ratio %.2f\n",
              speech.firstSampleMs, speech.sentenceAloneMs, speech.firstSampleMs / speech.sentenceAloneMs);
  if (argc < 2 || std::strcmp(argv[1], "--gui") != 0) ReportConfigFiles();
  return 0;
}
