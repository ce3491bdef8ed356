#include "bench/config_file.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/services.h"

namespace varnelo::bench {
namespace {

// Every question answered at once: a box would wait for a user.
class SilentBoxes : public MessageBoxService {
 public:
  MessageResult Show(QWidget*, const QString&, const QString&, MessageButtons buttons, MessageIcon) override {
    return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Ok;
  }
};

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::string LargeConfig(int places, std::size_t bytes) {
  std::string out =
      "[Style]\r\nbkcolor=13625548\r\ntxtcolor=0\r\ntxtfont=宋体\r\ntxtsize=270\r\ntxthj=100\r\n"
      "[Quote]\r\nQuoteFlag=1\r\n[Interface]\r\ntoolflag=1\r\nstatusflag=1\r\n"
      "[BookPlace]\r\nPlaceNum=100\r\n";
  for (int k = 1; k <= places; ++k) {
    out += std::to_string(k) + "=" + std::to_string(k) + ",1000,0 >/home/reader/书库/第" +
           std::to_string(k) + "本.txt\r\n";
  }
  out += "[Other]\r\n";
  for (int k = 0; out.size() < bytes; ++k) out += "note" + std::to_string(k) + "=kept as it is\r\n";
  return out;
}

ConfigFileFigures MeasureConfigFile(const std::string& config, int runs) {
  const auto folder = std::filesystem::temp_directory_path() / "varnelo-bench-config";
  const std::string path = (folder / "Config.ini").string();
  const char* saved = std::getenv("VARNELO_HOME");
  const std::string restore = saved != nullptr ? saved : "";
  setenv("VARNELO_HOME", folder.c_str(), 1);
  SilentBoxes boxes;
  ScopedMessageBoxes guard(&boxes);
  ConfigFileFigures best{1e30, 1e30, 1e30};
  for (int run = 0; run < runs; ++run) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream(path, std::ios::binary) << config;

    auto start = std::chrono::steady_clock::now();
    {
      std::ifstream in(path, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), {});
      if (bytes.size() != config.size()) std::abort();
    }
    best.readMs = std::min(best.readMs, Since(start));

    start = std::chrono::steady_clock::now();
    CVarneloApp app;
    if (!app.InitInstance({"varnelo"})) std::abort();
    QApplication::processEvents();
    best.startMs = std::min(best.startMs, Since(start));

    start = std::chrono::steady_clock::now();
    app.MainFrame()->close();
    QApplication::processEvents();
    best.exitMs = std::min(best.exitMs, Since(start));
  }
  std::filesystem::remove_all(folder);
  if (saved != nullptr) {
    setenv("VARNELO_HOME", restore.c_str(), 1);
  } else {
    unsetenv("VARNELO_HOME");
  }
  return best;
}

}  // namespace varnelo::bench
