#include "aids/library_list.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/core/scratch_folder.h"

namespace fs = std::filesystem;
using namespace varnelo;

TEST(LibraryList, ListsPlainTxtFilesWhateverTheCaseSorted) {
  const fs::path folder = varnelo::testing::ScratchFolder() / "library";
  fs::create_directories(folder / "sub.txt");
  for (const char* name : {"b.txt", "BOOK.TXT", "a.Txt", "Apple.txt", "书.txt", ".hidden.txt",
                           "notes.md", "old.txt.bak", "txt"}) {
    std::ofstream(folder / name) << "x";
  }
  fs::create_directory_symlink(folder / "sub.txt", folder / "folder-link.txt");
  fs::create_symlink(folder / "b.txt", folder / "c-link.txt");
  fs::create_symlink(folder / "gone", folder / "dangling.txt");
  EXPECT_EQ(ListBooks(folder.string()),
            (std::vector<std::string>{"a.Txt", "Apple.txt", "b.txt", "BOOK.TXT", "c-link.txt", "书.txt"}));
  EXPECT_TRUE(ListBooks((folder / "missing").string()).empty());
}

TEST(LibraryList, SizeTexts) {
  const struct {
    std::uint64_t bytes;
    const char* text;
  } cases[] = {{0, "0 B"},           {1023, "1023 B"},          {1024, "1.0 KB"},
               {1048575, "1024.0 KB"}, {1048576, "1.00 MB"}, {5368709120, "5120.00 MB"}};
  for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;

  const fs::path book = varnelo::testing::ScratchFile("sized.txt", std::string(1023, 'a'));
  EXPECT_EQ(FileSizeText(book.string()), "1023 B");
  fs::remove(book);
  EXPECT_EQ(FileSizeText(book.string()), "文件已不存在");
}
