// varnelo-pages as a user runs it: exact output lines, page bytes, refusals and usage.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/core/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

ToolRun RunTool(const std::string& arguments) {
  const fs::path errFile = varnelo::testing::ScratchFolder() / "stderr";
  const std::string command =
      std::string(VARNELO_PAGES_TOOL) + " " + arguments + " 2>" + errFile.string();
  ToolRun run{};
  FILE* pipe = ::popen(command.c_str(), "r");
  std::array<char, 4096> chunk{};
  std::size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) run.out.append(chunk.data(), got);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(errFile, std::ios::binary);
  run.err.assign(std::istreambuf_iterator<char>(err), {});
  fs::remove(errFile);
  return run;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::string Book(const std::string& name, const std::string& bytes) {
  return varnelo::testing::ScratchFile(name, bytes).string();
}

}  // namespace

TEST(PagesTool, PrintsTheLinePageTable) {
  std::string bytes;
  for (int i = 0; i < 120; ++i) bytes += "\xB0\xA1\n";  // 啊, 120 lines
  const ToolRun run = RunTool(Quote(Book("lines.txt", bytes)));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "length 360\nencoding gbk\nchars 120\nmode 0\npages 3\ncurrent 1\n"
            "page 1 0\npage 2 150\npage 3 300\n");
  EXPECT_EQ(run.err, "");
}

TEST(PagesTool, PrintsChaptersWithHexTitlesAndFallsBack) {
  std::string bytes = "front\r\n";
  for (int i = 1; i <= 10; ++i) bytes += "\xB5\xDA" + std::to_string(i) + "\xD5\xC2\r\nbody\r\n";
  const std::string path = Book("chapters.txt", bytes);
  const ToolRun run = RunTool("--chapters 1 " + Quote(path));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find("page 2 ")),
            "length " + std::to_string(bytes.size()) +
                "\nencoding gbk\nchars 20\nmode 1\npages 10\ncurrent 0\npage 0 0\npage 1 7 b5da31d5c2\n");
  // Rule 3 finds nothing here: line paging, as the reader falls back.
  const ToolRun fallback = RunTool("--chapters 3 " + Quote(path));
  EXPECT_NE(fallback.out.find("mode 0\npages 1\ncurrent 1\npage 1 0\n"), std::string::npos);
}

TEST(PagesTool, PrintsTheAutomaticRulesTable) {
  // "  正文 第一回 风" and "  第二回 雨" with running text between: two chapters are enough,
  // each starting at its line's text and titled from 第 on.
  const std::string body = "\xC9\xBD\xB7\xE7\xA1\xA3\n";  // 山风。
  std::string bytes = "front\n";
  const std::size_t first = bytes.size() + 2;
  bytes += "  \xD5\xFD\xCE\xC4 \xB5\xDA\xD2\xBB\xBB\xD8 \xB7\xE7\n" + body + body;
  const std::size_t second = bytes.size() + 2;
  bytes += "  \xB5\xDA\xB6\xFE\xBB\xD8 \xD3\xEA\n" + body + body;
  const ToolRun run = RunTool("--chapters auto " + Quote(Book("auto.txt", bytes)));
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("mode 1\npages 2\ncurrent 0\npage 0 0\npage 1 " + std::to_string(first) +
                         " b5dad2bbbbd820b7e7\npage 2 " + std::to_string(second) + " b5dab6febbd820d3ea\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(RunTool("--chapters 7 " + Quote(Book("auto.txt", bytes))).status, 2);
}

TEST(PagesTool, WritesThePageBytesExactly) {
  const std::string path = Book("page.txt", std::string("a\n\n\nb\x80", 6));
  const ToolRun run = RunTool("--page 1 " + Quote(path));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string("a\r\r\nb\x80", 6));
}

TEST(PagesTool, RefusalsAndUsage) {
  struct Case {
    std::string arguments;
    int status;
    std::string err;
  } cases[] = {
      {Quote(Book("empty.txt", "")), 1, "警告！空文档！\n"},
      {"/no/such/book.txt", 1, "文件不存在或编码方式不是ANSI ！\n"},
      {"--encoding gbk " + Quote(Book("u16.txt", "\xFF\xFE\x41")), 1,
       "警告！此文本编码为unicode！请用记事本另存为ANSI编码即可打开！\n"},
      {"--chapters 7 x.txt", 2, ""},
      {"", 2, ""},
  };
  for (const Case& c : cases) {
    const ToolRun run = RunTool(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(run.out, "") << c.arguments;
    if (!c.err.empty()) {
      EXPECT_EQ(run.err, c.err) << c.arguments;
    }
  }
}

TEST(PagesTool, CorpusNovelByItsHeadings) {
  const ToolRun run = RunTool("--chapters 3 " + Quote(std::string(VARNELO_CORPUS_DIR) + "/水浒传.txt"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find("page 0")),
            "length 1750040\nencoding gbk\nchars 842220\nmode 1\npages 121\ncurrent 0\n");
}

namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t stop = std::min(text.find('\n', from), text.size());
    lines.push_back(text.substr(from, stop - from));
    from = stop + 1;
  }
  return lines;
}

// UTF-8 lines without their blanks (ASCII, full-width) at either end.
std::string Trimmed(std::string line) {
  const auto blankAt = [&](std::size_t at) {
    return line.compare(at, 1, " ") == 0 || line.compare(at, 1, "\r") == 0 ||
           line.compare(at, 3, "\xE3\x80\x80") == 0;
  };
  while (!line.empty() && blankAt(0)) line.erase(0, line[0] == ' ' || line[0] == '\r' ? 1 : 3);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r' ||
                           (line.size() >= 3 && line.compare(line.size() - 3, 3, "\xE3\x80\x80") == 0)))
    line.erase(line.size() - (line.back() == ' ' || line.back() == '\r' ? 1 : 3));
  return line;
}

}  // namespace

// A corpus novel as old downloads have it: hard-wrapped at 40 characters behind `indent`,
// web tags and ad lines between the paragraphs. Cleaned and re-flowed, every whole
// paragraph on a page is the original's and no junk is left; plain, the file's lines show.
// `book` is where the wrapped book was written.
static void CheckWrappedDownload(const std::string& novel, const std::string& indent, std::string& book) {
  const std::string what = novel + (indent == "    " ? " (ASCII indent)" : " (full-width indent)");
  std::string originalText;
  for (const char* page : {"1", "2", "3"}) {
    const ToolRun original = RunTool(std::string("--page ") + page + " --shown " + Quote(novel));
    ASSERT_EQ(original.status, 0) << original.err;
    originalText += original.out;
  }
  // Paragraphs in UTF-8, then wrapped by code points.
  std::vector<std::string> paragraphs;
  for (const std::string& line : LinesOf(originalText)) {
    // The site's own address line would be cleaned too: leave it out of the original.
    if (!Trimmed(line).empty() && line.find("www.") == std::string::npos) paragraphs.push_back(Trimmed(line));
  }
  ASSERT_GT(paragraphs.size(), 20u) << what;
  const std::vector<std::string> junk = {"<br />", "更新时间:2007-11-16 7:55:51 本章字数:4804",
                                         "本章未完，请点击下一页继续阅读", "手机阅读本书请访问 m.example.com",
                                         "<h3>1</h3>", "www.tianyabook.com"};
  std::string wrapped;
  for (std::size_t p = 0; p < paragraphs.size(); ++p) {
    if (p % 7 == 3) wrapped += junk[p % junk.size()] + "\n";
    std::string line = indent;
    int count = 2;
    const std::string& text = paragraphs[p];
    for (std::size_t i = 0; i < text.size();) {
      std::size_t length = 1;
      const auto lead = static_cast<unsigned char>(text[i]);
      if (lead >= 0xF0) length = 4; else if (lead >= 0xE0) length = 3; else if (lead >= 0xC0) length = 2;
      if (count == 40) {
        wrapped += line + "\n";
        line.clear();
        count = 0;
      }
      line += text.substr(i, length);
      ++count;
      i += length;
    }
    wrapped += line + (p % 11 == 5 ? "<br />" : "") + "\n";
  }
  book = Book("wrapped.txt", wrapped);  // UTF-8, as many downloads are
  int shownParagraphs = 0;
  for (int page = 1; page <= 3; ++page) {
    const ToolRun plain = RunTool("--page " + std::to_string(page) + " --shown " + Quote(book));
    ASSERT_EQ(plain.status, 0) << plain.err;
    for (const std::string& line : LinesOf(plain.out)) EXPECT_LE(Trimmed(line).size(), 40u * 3 + 6) << what;
    const ToolRun clean =
        RunTool("--page " + std::to_string(page) + " --shown --reflow auto --clean " + Quote(book));
    ASSERT_EQ(clean.status, 0) << clean.err;
    const std::vector<std::string> lines = LinesOf(clean.out);
    ASSERT_GT(lines.size(), 2u) << what;
    // The first and last lines may be a paragraph the page boundary cut.
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
      const std::string line = Trimmed(lines[i]);
      if (line.empty()) continue;
      EXPECT_NE(std::find(paragraphs.begin(), paragraphs.end(), line), paragraphs.end())
          << what << " page " << page << " line " << i << ": " << line;
      ++shownParagraphs;
    }
    for (const char* left : {"<", "更新时间", "本章未完", "手机阅读", "www."}) {
      EXPECT_EQ(clean.out.find(left), std::string::npos) << what << " page " << page << ": " << left;
    }
  }
  EXPECT_GT(shownParagraphs, 10) << what;
}

// Every corpus novel, with full-width and with four ASCII spaces of indent.
TEST(PagesTool, ShownPagesGiveBackTheParagraphsOfAWrappedDownload) {
  std::vector<std::string> novels;
  for (const auto& entry : std::filesystem::directory_iterator(VARNELO_CORPUS_DIR)) {
    if (entry.path().extension() == ".txt") novels.push_back(entry.path().string());
  }
  ASSERT_GE(novels.size(), 2u);
  std::string book;
  for (const std::string& novel : novels) {
    for (const std::string indent : {"\xE3\x80\x80\xE3\x80\x80", "    "}) CheckWrappedDownload(novel, indent, book);
  }
  const ToolRun bad = RunTool("--page 1 --shown --reflow sideways " + Quote(book));
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(RunTool("--clean " + Quote(book)).status, 2);
}
