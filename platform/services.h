// The platform services the reader talks to: message boxes, common dialogs, the clock, the
// desktop's URL opener and its tray.
// Each has a real implementation; tests install scripted ones with ScopedService.
#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "platform/clock.h"

class QWidget;

namespace varnelo {

enum class MessageButtons { Ok, YesNo, OkCancel };
enum class MessageIcon { None, Information, Exclamation, Question, Stop };
enum class MessageResult { Ok, Yes, No, Cancel };

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // A modal box; an empty caption means the application's title.
  virtual MessageResult Show(QWidget* owner, const QString& text, const QString& caption,
                             MessageButtons buttons, MessageIcon icon) = 0;
};

// What the font dialog starts from and, on OK, what the user chose.
struct FontChoice {
  QString face;
  int pixelHeight = 0;  // character height in pixels
  int colour = 0;       // 0x00BBGGRR
};

// What the find dialog asks of its owner: the next match, or nothing as it closes.
struct FindRequest {
  QString text;
  bool findNext = true;
  bool closing = false;
  bool down = true;
  bool matchCase = false;
  bool wholeWord = false;
};

class DialogService {
 public:
  virtual ~DialogService() = default;
  // The chosen file's full path, or empty when the user cancels.
  virtual QString OpenFileName(QWidget* owner, const QString& title, const QString& filter) = 0;
  // The chosen folder's path (no final separator but for the root), or empty on cancel.
  virtual QString FolderName(QWidget* owner, const QString& title) = 0;
  // Face, size and colour; true on OK with `choice` holding the chosen font.
  virtual bool ChooseFont(QWidget* owner, FontChoice& choice) = 0;
  // True on OK with the chosen 0x00BBGGRR colour in `colour`, which also gives the start.
  virtual bool ChooseColour(QWidget* owner, int& colour) = 0;
  // The path to save to (the user has agreed to replace it if it exists), or empty.
  virtual QString SaveFileName(QWidget* owner, const QString& title, const QString& filter) = 0;
  // A new modeless find dialog; every request it makes, and its closing, goes to onRequest.
  virtual void OpenFindDialog(QWidget* owner,
                              std::function<void(const FindRequest&)> onRequest) = 0;
};

// What became of an address handed to the desktop.
enum class UrlOpenResult {
  Opened,
  NoApplication,  // no program here takes such an address
  LaunchFailed,   // a program takes it, but it could not be started with this address
};

class UrlOpenerService {
 public:
  virtual ~UrlOpenerService() = default;
  // Hands an address to the desktop (browser, mail program).
  virtual UrlOpenResult OpenUrl(const QString& address) = 0;
};

class TrayService {
 public:
  virtual ~TrayService() = default;
  // Whether the desktop shows tray icons now: a window hidden to a tray that is not
  // there could never be brought back.
  virtual bool Available() const = 0;
};

MessageBoxService& MessageBoxes();
MessageBoxService& QtMessageBoxService();  // the real boxes, whatever is installed
DialogService& Dialogs();
DialogService& QtDialogService();  // the real dialogs, whatever is installed
const Clock& CurrentClock();
UrlOpenerService& UrlOpener();
const TrayService& Tray();

// Where each service lives; tests replace them through the guards below.
MessageBoxService*& MessageBoxSlot();
DialogService*& DialogSlot();
const Clock*& ClockSlot();
UrlOpenerService*& UrlOpenerSlot();
const TrayService*& TraySlot();

// Installs a service for the lifetime of the guard, then restores the previous one.
template <typename Service, Service*& (*Slot)()>
class ScopedService {
 public:
  explicit ScopedService(Service* service) : previous_(Slot()) { Slot() = service; }
  ~ScopedService() { Slot() = previous_; }
  ScopedService(const ScopedService&) = delete;
  ScopedService& operator=(const ScopedService&) = delete;

 private:
  Service* previous_;
};

using ScopedMessageBoxes = ScopedService<MessageBoxService, MessageBoxSlot>;
using ScopedDialogs = ScopedService<DialogService, DialogSlot>;
using ScopedClock = ScopedService<const Clock, ClockSlot>;
using ScopedUrlOpener = ScopedService<UrlOpenerService, UrlOpenerSlot>;
using ScopedTray = ScopedService<const TrayService, TraySlot>;

// The caption used when a box is shown without its own; the application sets it at start.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

}  // namespace varnelo
