// Shared helpers for the GUI tests: scripted message boxes and dialogs, a settable clock,
// a recording URL opener, a tray that is there or not, and a private program folder so no
// real Config.ini is ever touched.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/profile.h"
#include "platform/services.h"
#include "store/config_schema.h"
#include "text/varnelo_view.h"

namespace varnelo::testing {

struct ShownMessage {
  QString text;
  QString caption;
  MessageButtons buttons;
  MessageIcon icon;
  QWidget* owner = nullptr;
};

class ScriptedMessageBoxes : public MessageBoxService {
 public:
  MessageResult Show(QWidget* owner, const QString& text, const QString& caption,
                     MessageButtons buttons, MessageIcon icon) override {
    shown.push_back({text, caption, buttons, icon, owner});
    if (whileShown) whileShown();
    if (!answers.empty()) {
      const MessageResult answer = answers.front();
      answers.pop_front();
      return answer;
    }
    if (buttons == MessageButtons::YesNo) return MessageResult::No;
    return buttons == MessageButtons::OkCancel ? MessageResult::Cancel : MessageResult::Ok;
  }
  std::vector<ShownMessage> shown;
  std::deque<MessageResult> answers;
  std::function<void()> whileShown;  // what happens while the box is open (timer ticks)
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
  QString FolderName(QWidget*, const QString& title) override {
    folderTitles.push_back(title);
    if (folders.empty()) return QString();
    const QString next = folders.front();
    folders.pop_front();
    return next;
  }
  // Each font or colour asked for takes the next answer; none left means Cancel.
  bool ChooseFont(QWidget*, FontChoice& choice) override {
    fontOffers.push_back(choice);
    return Next(fonts, choice);
  }
  bool ChooseColour(QWidget*, int& colour) override {
    colourOffers.push_back(colour);
    return Next(colours, colour);
  }
  template <typename T>
  static bool Next(std::deque<T>& answers, T& answer) {
    if (answers.empty()) return false;
    answer = answers.front();
    answers.pop_front();
    return true;
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
  std::deque<FontChoice> fonts;
  std::vector<FontChoice> fontOffers;
  std::deque<int> colours;
  std::vector<int> colourOffers;
  std::deque<QString> folders;
  std::vector<QString> folderTitles;
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

// Records every address instead of starting a browser.
class RecordingUrlOpener : public UrlOpenerService {
 public:
  UrlOpenResult OpenUrl(const QString& address) override {
    opened.push_back(address);
    return succeed ? UrlOpenResult::Opened : failure;
  }
  std::vector<QString> opened;
  bool succeed = true;
  UrlOpenResult failure = UrlOpenResult::NoApplication;  // what a failure is
};

class FixedTray : public TrayService {
 public:
  explicit FixedTray(bool available) : available_(available) {}
  bool Available() const override { return available_; }

 private:
  bool available_;
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

// What every whole-reader test injects: a private program folder, a settable clock, and
// scripted message boxes and dialogs, installed for the fixture's life.
struct ScriptedSession {
  TempHome home_;
  FakeClock clock_;
  ScopedClock clockGuard_{&clock_};
  ScriptedMessageBoxes boxes_;
  ScopedMessageBoxes boxesGuard_{&boxes_};
  ScriptedDialogs dialogs_;
  ScopedDialogs dialogsGuard_{&dialogs_};
};

// A key pressed as the user presses it: the window active and the focus on `target`.
inline void PressKey(QWidget* target, QKeyCombination key, const QString& text = QString()) {
  QApplication::setActiveWindow(target->window());
  target->setFocus();
  QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(), text);
  QApplication::sendEvent(target, &press);
}

// Right or Left on the pane until `view` shows `page`. False when a press turns no page (a
// book that did not open, a last page), so a test fails there instead of pressing forever.
inline bool TurnPagesTo(CVarneloView& view, int page) {
  while (view.CurrentPage() != page) {
    const int before = view.CurrentPage();
    PressKey(view.Pane(), QKeyCombination(before < page ? Qt::Key_Right : Qt::Key_Left));
    if (view.CurrentPage() == before) return false;
  }
  return true;
}

// The whole reader started in a scripted session, driven through its keys and actions.
struct ReaderSession : ScriptedSession {
  CVarneloApp app_;
  CVarneloView* view_ = nullptr;

  bool StartReader() {
    if (!app_.InitInstance({"varnelo"})) return false;
    view_ = app_.MainFrame()->View();
    return true;
  }
  QAction* Action(int id) { return app_.MainFrame()->ActionOf(id); }
  // Ctrl+O on the page, the open dialog answering `path`.
  void OpenByKeys(const std::string& path) {
    dialogs_.files.push_back(QString::fromStdString(path));
    PressKey(view_->Pane(), Qt::ControlModifier | Qt::Key_O);
  }
};

// Runs the event loop (timers, sockets) for `ms`, or until `done` holds, at most `ms`.
inline bool RunEventLoop(int ms, const std::function<bool()>& done = [] { return false; }) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(10);
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  if (!done()) loop.exec();
  return done();
}

// Runs `script` on the modal dialog that `open` brings up, then closes it if still shown.
// False when no dialog came. It watches until `open` returns: work the dialog does before
// it shows (a count, a scan) may turn the event loop first, or show a progress box.
inline bool WithModalDialog(const std::function<void()>& open,
                            const std::function<void(QDialog&)>& script) {
  bool ran = false;
  QTimer watch;
  watch.setInterval(2);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || qobject_cast<QProgressDialog*>(dialog) != nullptr || !dialog->isVisible()) return;
    watch.stop();
    ran = true;
    script(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  watch.start();
  open();
  watch.stop();
  return ran;
}

inline std::string FileBytes(const std::string& path) {
  std::stringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

inline std::string CorpusBook(const char* name) {
  return std::string(VARNELO_CORPUS_DIR) + "/" + name;
}

}  // namespace varnelo::testing
