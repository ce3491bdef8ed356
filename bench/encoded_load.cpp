#include "bench/encoded_load.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/codepage.h"
#include "text/book_encoding.h"
#include "text/book_engine.h"

namespace varnelo::bench {
namespace {

volatile std::int64_t gLines = 0;  // keeps the count alive against the optimiser

// Kilobytes of a /proc/self/status line ("VmRSS:", "VmHWM:").
long long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string name;
  long long value = 0;
  while (status >> name) {
    if (name == key) {
      status >> value;
      return value;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

std::int64_t LoadOnce(const std::string& path, std::optional<BookEncoding> choice) {
  std::string text;
  BookForm form;
  if (ReadBook(path, choice, text, form) != LoadStatus::Ok) return -1;
  return NormaliseAndPaginateByLines(text).pageCount;
}

double BestMs(const std::string& path, int runs,
              std::optional<BookEncoding> choice = std::nullopt) {
  double best = 1e30;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t pages = LoadOnce(path, choice);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (pages < 0) return -1;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

void ReportEncodedLoad(const std::string& book, const std::string& self, int runs) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  const std::string gbPath = (folder / "varnelo-bench-gb18030.txt").string();
  const std::string utf8Path = (folder / "varnelo-bench-utf8.txt").string();
  {
    std::ofstream(gbPath, std::ios::binary) << book;
    const std::u16string units = DecodeBookBytes(book);
    std::u32string points;
    points.reserve(units.size());
    for (char16_t u : units) points.push_back(u);  // the synthetic book is all BMP
    std::ofstream(utf8Path, std::ios::binary) << *EncodeText(points, BookEncoding::Utf8);
  }
  const double utf8 = BestMs(utf8Path, runs);
  const double gb = BestMs(gbPath, runs);
  std::printf("utf8-load: %.0f ms; gb18030-load: %.0f ms; ratio %.2f\n", utf8, gb, utf8 / gb);
  // The Big5 detector's share of the GB18030 load: on this random text it never settles and
  // reads its whole sample, where a real book settles within a few kilobytes.
  const double chosen = BestMs(gbPath, runs, BookEncoding::Gbk);
  std::printf("gb18030-load without detection: %.0f ms; utf8 ratio %.2f\n", chosen, utf8 / chosen);
  std::fflush(stdout);

  const std::string command = "'" + self + "' --load-memory '" + utf8Path + "'";
  FILE* child = ::popen(command.c_str(), "r");
  long long peak = 0, after = 0;
  if (child != nullptr) {
    if (std::fscanf(child, "%lld %lld", &peak, &after) != 2) peak = after = 0;
    ::pclose(child);
  }
  const double size = static_cast<double>(std::filesystem::file_size(utf8Path));
  std::printf("utf8-load-memory: peak %.2fx the file; after %.2fx\n",
              static_cast<double>(peak) / size, static_cast<double>(after) / size);
  std::fflush(stdout);
  std::filesystem::remove(gbPath);
  std::filesystem::remove(utf8Path);
}

void ReportLargeLoad(const std::string& book, const std::string& self, std::size_t megabytes) {
  const std::string path = (std::filesystem::temp_directory_path() / "varnelo-bench-large.txt").string();
  {
    std::ofstream out(path, std::ios::binary);
    for (std::size_t written = 0; written < megabytes * 1000 * 1000; written += book.size())
      out << book;
  }
  constexpr int kLargeRuns = 3;
  // The least a load can do: map the file and count its lines.
  double baseline = 1e30;
  for (int run = 0; run < kLargeRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    const std::size_t size = std::filesystem::file_size(path);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) return;
    std::int64_t lines = 0;
    const char* p = static_cast<const char*>(map);
    const char* end = p + size;
    while (const void* hit = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
      ++lines;
      p = static_cast<const char*>(hit) + 1;
    }
    ::munmap(map, size);
    ::close(fd);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    baseline = std::min(baseline, took.count());
    gLines = gLines + lines;
  }
  // The floor of any load that keeps the book in memory of its own (a mapping of the file
  // would fault when the file shrinks under it): reading the bytes in, and nothing else.
  double readAlone = 1e30;
  for (int run = 0; run < kLargeRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    std::string bytes;
    if (ReadBookFile(path, bytes) != LoadStatus::Ok) return;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    readAlone = std::min(readAlone, took.count());
  }
  const double load = BestMs(path, kLargeRuns);
  std::printf("large-load: %zu MB; read and line pages %.0f ms; map and count lines %.0f ms; "
              "ratio %.2f (at most 1.5); reading it in alone %.0f ms (%.2f)\n",
              megabytes, load, baseline, load / baseline, readAlone, readAlone / baseline);
  std::fflush(stdout);
  const std::string command = "'" + self + "' --load-memory '" + path + "'";
  long long peak = 0, after = 0;
  if (FILE* child = ::popen(command.c_str(), "r")) {
    if (std::fscanf(child, "%lld %lld", &peak, &after) != 2) peak = after = 0;
    ::pclose(child);
  }
  const double size = static_cast<double>(std::filesystem::file_size(path));
  std::printf("large-load-memory: peak %.2fx the book (at most 1.1)\n", static_cast<double>(peak) / size);
  std::fflush(stdout);
  std::filesystem::remove(path);
}

int MeasureLoadMemory(const std::string& path) {
  const long long before = StatusKb("VmRSS:");
  std::string text;
  BookForm form;
  if (ReadBook(path, std::nullopt, text, form) != LoadStatus::Ok) return 1;
  const Pagination pages = NormaliseAndPaginateByLines(text);
  const long long after = StatusKb("VmRSS:");
  const long long peak = StatusKb("VmHWM:");
  std::printf("%lld %lld\n", (peak - before) * 1024, (after - before) * 1024);
  return pages.pageCount > 0 ? 0 : 1;
}

}  // namespace varnelo::bench
