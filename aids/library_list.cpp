#include "aids/library_list.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace varnelo {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBookName(const std::string& name) {
  static constexpr char kSuffix[] = ".txt";
  constexpr std::size_t kSuffixLength = sizeof kSuffix - 1;
  // A leading dot hides a file here, as the hidden attribute does elsewhere.
  if (name.empty() || name.front() == '.' || name.size() <= kSuffixLength) return false;
  const std::size_t start = name.size() - kSuffixLength;
  for (std::size_t i = 0; i < kSuffixLength; ++i) {
    if (Lower(name[start + i]) != kSuffix[i]) return false;
  }
  return true;
}

}  // namespace

bool ComesBeforeInLibrary(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(Lower(a[i]));
    const auto y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;  // the same letters in other case still have a fixed order
}

std::vector<std::string> ListBooks(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  // Iterated by hand: a read error part-way ends the listing instead of throwing.
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::string name = it->path().filename().string();
    if (!IsBookName(name)) continue;
    std::error_code statError;
    // A link to a book is a book; a link to a folder is not.
    if (!it->is_regular_file(statError)) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), ComesBeforeInLibrary);
  return names;
}

std::string SizeText(std::uint64_t bytes) {
  char text[64];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  } else if (bytes < 1048576) {
    std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
  } else {
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / 1048576.0);
  }
  return text;
}

std::string FileSizeText(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
    return "文件已不存在";
  if (error) return "无法读取";
  return SizeText(size);
}

std::string LibraryTipText(const std::string& name, const std::string& folder,
                           const std::string& sizeText) {
  return "小说：" + name + "\n位置：" + folder + "\n大小：" + sizeText;
}

}  // namespace varnelo
