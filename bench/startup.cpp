#include "bench/startup.h"


#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/startup_probe.h"
#include "platform/codepage.h"
#include "platform/program_folder.h"
#include "text/book_engine.h"
#include "text/utf8_text.h"

extern char** environ;

namespace varnelo::bench {

namespace {

long long NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Starts `argv` with `home` as its settings folder and the probe on; the milliseconds from
// the spawn to the first paint it reports, or a negative number when it reported none.
double TimeToFirstPaint(const std::vector<std::string>& argv, const std::string& home) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  env.push_back(std::string(kProgramFolderOverride) + "=" + home);
  env.push_back(std::string(kFirstPaintProbe) + "=1");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& a : args) argp.push_back(a.data());
  argp.push_back(nullptr);

  int out[2];
  if (pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t pid = 0;
  const long long start = NowNs();
  const int spawned = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; spawned == 0 && (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  if (spawned == 0) waitpid(pid, &status, 0);
  const long long painted = std::atoll(text.c_str());
  if (spawned != 0 || painted <= start) return -1;
  return static_cast<double>(painted - start) / 1e6;
}

// A settings folder of its own for every start: the reader's socket and exit leave nothing
// that changes the next one.
std::string FreshHome(const std::string& lastBook) {
  static int serial = 0;
  const auto folder = std::filesystem::temp_directory_path() /
                      ("varnelo-bench-start-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::ofstream ini(folder / "Config.ini", std::ios::binary);
  ini << "[BookMark]\r\nMarkNum=0\r\n0=" << std::filesystem::path(lastBook).filename().string()
      << ",P1,09:00,05/March >" << lastBook << "\r\n";
  return folder.string() + "/";
}

double Best(const std::vector<std::string>& argv, const std::string& lastBook, int runs) {
  double best = 1e30;
  for (int run = 0; run < runs; ++run) {
    const std::string home = FreshHome(lastBook);
    const double ms = TimeToFirstPaint(argv, home);
    std::filesystem::remove_all(home);
    if (ms < 0) return -1;
    best = std::min(best, ms);
  }
  return best;
}

// The first page of the GB18030 book at `book`, as the reader pages it by lines, as UTF-8 in
// a file beside the settings folders; empty if unreadable. The page lies in the book's head.
std::string FirstPageFile(const std::string& book) {
  std::ifstream in(book, std::ios::binary);
  std::string bytes(256 * 1024, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  const Pagination pages = NormaliseAndPaginateByLines(bytes);
  const auto path = std::filesystem::temp_directory_path() /
                    ("varnelo-bench-page-" + std::to_string(getpid()) + ".txt");
  std::ofstream out(path, std::ios::binary);
  out << Utf8OfUnits(DecodeBookBytes(PageText(bytes, pages, 1)));
  return out ? path.string() : std::string();
}

}  // namespace

void ReportStartup(const std::string& reader, const std::string& bareWindow, const std::string& lastBook,
                   const std::string& namedBook, int runs) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Interleaved, so that a busy moment of the machine falls on both.
  const std::string page = FirstPageFile(lastBook);
  double bare = 1e30, bareText = 1e30, barePage = 1e30, withLast = 1e30, withNamed = 1e30;
  for (int run = 0; run < runs; ++run) {
    bare = std::min(bare, Best({bareWindow}, lastBook, 1));
    bareText = std::min(bareText, Best({bareWindow, "--text"}, lastBook, 1));
    barePage = std::min(barePage, Best({bareWindow, "--page", page}, lastBook, 1));
    withLast = std::min(withLast, Best({reader}, lastBook, 1));
    withNamed = std::min(withNamed, Best({reader, namedBook}, lastBook, 1));
  }
  std::filesystem::remove(page);
  if (bare < 0 || bareText < 0 || barePage < 0 || withLast < 0 || withNamed < 0 || bare >= 1e30) {
    std::printf("startup: a start reported no paint\n");
    return;
  }
  std::printf("startup: last book %.0f ms; bare window %.0f ms; ratio %.2f (at most 1.2)\n", withLast,
              bare, withLast / bare);
  std::printf("startup-named: %.0f ms with %.0f MB last book; bare window %.0f ms; ratio %.2f (at most 1.2)\n",
              withNamed, static_cast<double>(std::filesystem::file_size(lastBook)) / 1e6, bare,
              withNamed / bare);
  std::printf("startup-text: bare window with a line of Chinese %.0f ms (%.2f of the bare one); last book %.2f of it\n",
              bareText, bareText / bare, withLast / bareText);
  std::printf("startup-page: bare window with the same first page in a text pane %.0f ms (%.2f of the bare one); "
              "last book %.2f of it\n",
              barePage, barePage / bare, withLast / barePage);
  std::fflush(stdout);
}

}  // namespace varnelo::bench
