// 沉浸阅读 (F11; Esc leaves): the frame's side of the quiet reading mode. Entering hides
// the menu bar, tool bar, status bar and the form around the page, names the book in the
// title and gives the whole application the theme's palette; leaving gives back exactly
// the window that was there. The mode and its settings live in [Immersive].
#pragma once

#include <QObject>
#include <QPalette>
#include <QString>

#include <functional>

#include "aids/immersive/reading_theme.h"
#include "store/config_schema.h"

class QMenu;

namespace varnelo {

class CMainFrame;
class ImmersivePage;

class ImmersiveMode : public QObject {
  Q_OBJECT
 public:
  explicit ImmersiveMode(CMainFrame& frame);
  ~ImmersiveMode() override;

  bool IsActive() const { return active_; }
  void Enter();
  // `forExit`: the classic window comes back for the exit save, and the mode is kept on
  // for the next start.
  void Leave(bool forExit = false);
  void Toggle() { active_ ? Leave() : Enter(); }
  // Esc: the 目录 panel closes first, then the mode. False when not in the mode.
  bool HandleEscape();
  // The eye-rest reminder as a banner; false when not in the mode (the box shows instead).
  bool ShowReminder(const QString& text, std::function<void()> snooze);
  // Full screen was switched: the bars it brought back go out of sight again.
  void OnFullScreenChanged();
  // Applies a theme and keeps it.
  void UseTheme(ReadingTheme theme);
  void ChooseSettings();
  ThemeColours Colours() const;
  ImmersivePage* Page() const { return page_; }
  // At start: back into the mode when the reader left it open.
  void RestoreAtStart();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ImmersiveSettings& Settings() const;
  void Keep(ConfigKey key) const;
  void ApplyTheme();
  void UpdateTitle();
  void HideBars();
  void ShowContextMenu(const QPoint& at);

  CMainFrame& frame_;
  ImmersivePage* page_ = nullptr;  // owned by the view
  bool active_ = false;
  QPalette startPalette_;  // the session's own palette, also how the desktop is read

  // The classic window as it was on entering.
  QString savedTitle_;
  bool savedToolBar_ = false;
  bool savedStatusBar_ = false;
  int savedMenuMin_ = 0;
  int savedMenuMax_ = 0;
  bool savedFullScreen_ = false;
  bool savedSideBarHidden_ = false;
  QRect savedGeometry_;
  Qt::WindowStates savedStates_;
};

}  // namespace varnelo
