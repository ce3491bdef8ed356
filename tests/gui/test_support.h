// Shared helpers for the GUI tests: scripted message boxes and dialogs, a settable clock
// and a private program folder so no real Config.ini is ever touched.
#pragma once

#include <QString>

#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/profile.h"
#include "platform/services.h"
#include "store/config_schema.h"

namespace varnelo::testing {

struct ShownMessage {
  QString text;
  QString caption;
  MessageButtons buttons;
  MessageIcon icon;
};

class ScriptedMessageBoxes : public MessageBoxService {
 public:
  MessageResult Show(QWidget*, const QString& text, const QString& caption,
                     MessageButtons buttons, MessageIcon icon) override {
    shown.push_back({text, caption, buttons, icon});
    if (!answers.empty()) {
      const MessageResult answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Ok;
  }
  std::vector<ShownMessage> shown;
  std::deque<MessageResult> answers;
};

class ScriptedDialogs : public DialogService {
 public:
  QString OpenFileName(QWidget*, const QString& title, const QString& filter) override {
    titles.push_back(title);
    filters.push_back(filter);
    if (files.empty()) return QString();
    const QString next = files.front();
    files.pop_front();
    return next;
  }
  QString SaveFileName(QWidget*, const QString& title, const QString& filter) override {
    saveTitles.push_back(title);
    saveFilters.push_back(filter);
    if (saveFiles.empty()) return QString();
    const QString next = saveFiles.front();
    saveFiles.pop_front();
    return next;
  }
  // Each find dialog opened; a test makes its requests by calling the entry.
  void OpenFindDialog(QWidget*, std::function<void(const FindRequest&)> onRequest) override {
    findDialogs.push_back(std::move(onRequest));
  }
  std::deque<QString> files;
  std::vector<QString> titles;
  std::vector<QString> filters;
  std::deque<QString> saveFiles;
  std::vector<QString> saveTitles;
  std::vector<QString> saveFilters;
  std::vector<std::function<void(const FindRequest&)>> findDialogs;
};

class FakeClock : public Clock {
 public:
  std::time_t Now() const override { return now; }
  std::time_t now = 1262304000;  // 2010-01-01
};

// A fresh program folder for one test, removed afterwards.
class TempHome {
 public:
  TempHome() {
    static int serial = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("varnelo-gui-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(path_);
    setenv("VARNELO_HOME", path_.c_str(), 1);
  }
  ~TempHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string Folder() const { return path_.string() + "/"; }
  std::string ConfigPath() const { return Folder() + "Config.ini"; }

 private:
  std::filesystem::path path_;
};

// Puts a raw value under a Config.ini key, as a user's hand-edited file would hold it.
inline void SetKey(ConfigKey key, const std::string& value, const std::string& path) {
  profile::WriteString(SectionOf(key), NameOf(key), value, path);
}

inline std::string CorpusBook(const char* name) {
  return std::string(VARNELO_CORPUS_DIR) + "/" + name;
}

}  // namespace varnelo::testing
