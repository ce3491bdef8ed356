// varnelo-pages as a user runs it: exact output lines, page bytes, refusals and usage.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

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
