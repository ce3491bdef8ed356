#include "aids/library_list.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/core/scratch_folder.h"

namespace fs = std::filesystem;
using namespace varnelo;

namespace {

TEST(LibraryList, ListsPlainTxtFilesWhateverTheCaseSorted) {
  const fs::path folder = varnelo::testing::ScratchFolder() / "library";
  fs::create_directories(folder / "sub.txt");
  fs::create_directories(folder / "deeper");
  for (const char* name : {"b.txt", "BOOK.TXT", "a.Txt", "Apple.txt", "书.txt", ".hidden.txt",
                           "notes.md", "old.txt.bak", "txt", "deeper/inner.txt"}) {
    std::ofstream(folder / name) << "x";
  }
  fs::create_directory_symlink(folder / "deeper", folder / "folder-link.txt");
  fs::create_symlink(folder / "b.txt", folder / "c-link.txt");
  fs::create_symlink(folder / "gone", folder / "dangling.txt");

  const std::vector<std::string> expected = {"a.Txt", "Apple.txt", "b.txt", "BOOK.TXT",
                                             "c-link.txt", "书.txt"};
  EXPECT_EQ(ListBooks(folder.string()), expected);
  EXPECT_TRUE(ListBooks((folder / "missing").string()).empty());
  EXPECT_TRUE(ListBooks("").empty());
}

TEST(LibraryList, SizeTexts) {
  const struct {
    std::uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 B"},           {1023, "1023 B"},        {1024, "1.0 KB"},
      {1536, "1.5 KB"},     {1048575, "1024.0 KB"},  {1048576, "1.00 MB"},
      {5368709120, "5120.00 MB"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;

  const fs::path book = varnelo::testing::ScratchFile("sized.txt", std::string(1023, 'a'));
  EXPECT_EQ(FileSizeText(book.string()), "1023 B");
  fs::remove(book);
  EXPECT_EQ(FileSizeText(book.string()), "文件已不存在");
  EXPECT_EQ(LibraryTipText("甲.txt", "/书", "1.00 MB"), "小说：甲.txt\n位置：/书\n大小：1.00 MB");
}

}  // namespace
