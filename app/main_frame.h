// CMainFrame: the one top-level window: menus and tool bar from the command table, the
// status bar with clock and reading status, the frame's timers and the exit save.
#pragma once

#include <QMainWindow>

#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "aids/reading_aids.h"
#include "platform/command_router.h"
#include "store/config_schema.h"
#include "store/store_menus.h"

class QLabel;
class QMenu;
class QSystemTrayIcon;
class QToolBar;

namespace varnelo {

class CVarneloApp;
class CVarneloView;
class ImmersiveMode;
class WindowTimers;
struct MenuEntry;
namespace sync {
class SyncPart;
}

class CMainFrame : public QMainWindow, public CommandTarget, public StoreMenus {
  Q_OBJECT
 public:
  static constexpr int kClockTimer = 101;
  static constexpr int kPlacementTimer = 11;

  explicit CMainFrame(CVarneloApp& app);
  ~CMainFrame() override;

  CVarneloView* View() const { return view_; }
  LibrarySideBar* SideBar() const { return aids_.sideBar; }
  TextConversion* Conversion() const { return aids_.conversion; }
  PageCleaning* Cleaning() const { return aids_.cleaning; }
  const ReadingAids& Aids() const { return aids_; }
  ImmersiveMode* Immersive() const { return immersive_; }
  // The eye-rest reminder comes again in `minutes`, unless it is due sooner anyway.
  void SnoozeReminder(int minutes);
  const CommandRouter& Router() const { return router_; }
  bool RunCommand(int id);  // through the routing chain; false if nobody handles it

  void OnTimer(int id);
  void UpdateTimeDisplay();
  // False when edits the user chose to save could not be written.
  bool SaveAllSettings();

  // Only the reading view fills the screen; Esc or the command again brings the window back.
  void ToggleFullScreen();
  bool IsFullScreenMode() const { return fullScreen_; }
  void ToggleToolBar();
  void ToggleStatusBar();
  // Minimised to the tray: the window hides behind an icon a click brings it back from.
  void MinimiseToTray();
  void RestoreFromTray();
  void RemoveTrayIcon();
  QSystemTrayIcon* TrayIcon() const { return trayIcon_; }

  // Every Config.ini value as the exit save writes it now.
  ConfigValues ExitValues() const;
  void UpdateCommandUI();
  void UpdateStatusPanes();
  void RefreshStatusSoon(bool commandsToo);

  // For the status bar and tests.
  QLabel* MessagePane() const { return messagePane_; }
  QLabel* ClockPane() const { return clockPane_; }
  QLabel* WordCountPane() const { return wordCountPane_; }
  QLabel* ReadingPane() const { return readingPane_; }
  QToolBar* ToolBar() const { return toolBar_; }
  WindowTimers& Timers() { return *timers_; }
  QAction* ActionOf(int id) const;  // the menu's action, else any action of the command
  const WindowPlacement& RememberedPlacement() const { return remembered_; }
  std::time_t StartTime() const { return startTime_; }
  void SetReadingTimeDisplay(bool on) { readingTimeDisplay_ = on ? 1 : 0; }
  // The placement's rectangle is the window's outer one, frame included.
  WindowPlacement CurrentPlacement() const;
  void ApplyPlacement(const WindowPlacement& placement);

  // The clock text for a moment: "2010/3/5   09:07:05   星期五".
  static QString ClockText(std::time_t moment);

  bool HandlesCommand(int id) const override;
  void OnCommand(int id) override;
  void UpdateCommand(int id, CommandState& state) const override;
  QMenu* createPopupMenu() override;

  void ReplaceItems(StoreMenu menu, const std::vector<StoreMenuItem>& items) override;
  QMenu* StoreMenuOf(StoreMenu menu) const;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool LeavesCommandsAlone(const QObject* watched, QEvent* event) const;

 private:
  QMargins FrameMargins() const;
  bool SaveSettingsNow();
  void PreCreateWindow();
  void OnCreate();
  void BuildMenus();
  void AddMenuEntries(QMenu* menu, const std::vector<MenuEntry>& entries);
  QAction* MakeAction(int id, const QString& text);
  void CreateToolBar();
  void CreateStatusBar();
  void SizeCountPanes();
  static QKeyCombination NormalisedKey(QKeyCombination key);
  static bool MenuOpen();
  void ShowPrompt(const QString& prompt);
  void ShowIdleText();
  void ShowReminder(const QString& text);

  CVarneloApp& app_;
  CommandRouter router_;
  CVarneloView* view_ = nullptr;
  ReadingAids aids_;
  sync::SyncPart* sync_ = nullptr;  // owned by the view
  ImmersiveMode* immersive_ = nullptr;
  std::unique_ptr<WindowTimers> timers_;
  std::multimap<int, QAction*> actions_;
  std::map<int, QAction*> menuActions_;
  std::map<int, int> accelerators_;
  std::map<StoreMenu, QMenu*> storeMenus_;  // combined key -> command
  std::set<const QObject*> untippedButtons_;

  WindowPlacement fullScreenSaved_;  // the placement to return to, and to save at exit
  bool fullScreen_ = false;
  WindowPlacement remembered_;
  bool placementApplied_ = false;
  bool placedWithoutFrame_ = false;
  int placementWaits_ = 0;
  WindowPlacement lastApplied_;
  mutable QMargins knownMargins_;  // the frame the window manager last drew
  int statusBarFlag_ = 1;
  int toolBarFlag_ = 1;
  std::time_t startTime_ = 0;
  int nextReminderMinute_ = 30;
  int elapsedSeconds_ = 0;
  int readingTimeDisplay_ = 0;
  bool reminderOpen_ = false;
  QString pendingReminder_;  // came due while the reminder's box was open
  bool closing_ = false;
  Qt::WindowStates beforeTray_;
  QSystemTrayIcon* trayIcon_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  bool statusRefreshPending_ = false;
  bool commandsRefreshPending_ = false;
  // Something other than an auto-scroll step or a repaint happened since the command
  // states were last shown: the next wait for input shows them again.
  bool commandsStale_ = true;
  bool promptShown_ = false;  // the message pane shows a prompt, not the idle text
  QString countPanesMeasuredFor_;  // the count's text and font the panes' widths were measured for

  QToolBar* toolBar_ = nullptr;
  QLabel* messagePane_ = nullptr;
  QLabel* clockPane_ = nullptr;
  QLabel* wordCountPane_ = nullptr;
  QLabel* readingPane_ = nullptr;
};

}  // namespace varnelo
