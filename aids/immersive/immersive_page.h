// The page in the reading mode: the view's own pane, alone on the page's colour, with wide
// margins, a screen at a time (only whole lines, no scroll bar), in one or two columns, and
// a thin status line that fades while reading. Space, PageDown/PageUp, the arrow keys, the
// wheel and clicks on the left or right third turn the screen; the last screen of a page
// leads to the next page. The book, its pages, bookmarks, find and automatic scrolling stay
// the view's: this part only sets the page and turns it.
#pragma once

#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <vector>

#include "aids/immersive/reading_theme.h"
#include "platform/text_appearance.h"
#include "text/view_part.h"

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QTextEdit;
class QWidget;

namespace varnelo {

class AutoScroll;
class Banner;
class ChapterPanel;
class CVarneloView;
class Toast;
struct ImmersiveSettings;

class ImmersivePage : public QObject, public ViewPart {
  Q_OBJECT
 public:
  ImmersivePage(CVarneloView& view, AutoScroll* autoScroll);
  ~ImmersivePage() override;

  void Activate(const ThemeColours& colours);
  void Deactivate();
  bool IsActive() const { return active_; }
  // The colours and the typesetting settings again (a theme or setting changed).
  void SetColours(const ThemeColours& colours);
  void ApplySettings();

  void NextScreen();
  void PreviousScreen();
  // Where the screen shown begins, in the pane's document.
  int ScreenTop() const;
  // Whether the page shows in two columns now (the setting on and the window wide enough).
  bool TwoColumns() const { return mirror_ != nullptr; }
  QTextEdit* SecondColumn() const { return mirror_; }
  QLabel* StatusLine() const { return status_; }
  Toast* Toasts() const { return toast_; }
  Banner* Banners() const { return banner_; }
  ChapterPanel* Chapters() const { return panel_; }
  // The second column shows what the pane highlights (a selection, a range read aloud).
  void RefreshHighlights();
  // Shows the status line, then lets it fade.
  void ShowStatus();
  void UpdateStatusText();
  // Heard when another book is on the page (the window title names it).
  void SetOnBookChanged(std::function<void()> changed) { onBookChanged_ = std::move(changed); }
  // Automatic scrolling faster (+1) or slower (-1), said in lines a minute.
  void ChangeScrollSpeed(int direction);
  int ScrollLinesPerMinute() const;

  void OnPageShown() override;
  void OnBookLoaded() override;
  void OnBookLeaving() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ImmersiveSettings& Settings() const;
  void LayOutPage(int width, int height);
  void ApplyTypography();
  void ApplyParagraphSpacing(qreal spacing);
  void SetScreenTop(int top);
  int Advance(int top) const;
  int AlignedScreenTop(int y) const;
  int ScreenHeight() const;
  void UpdateColumns();
  void UpdateCovers();
  void SnapAfterScroll();
  bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
  void HandleClick(QWidget* source, const QPoint& at);
  int LinePitch() const;
  int KeptPosition() const;
  bool OnScreen(int position) const;
  void ReturnToPosition(int position);

  CVarneloView& view_;
  AutoScroll* autoScroll_;
  bool active_ = false;
  ThemeColours colours_{};
  qreal paragraphSpacing_ = 0;
  bool turning_ = false;
  bool snapPending_ = false;
  int wheelRest_ = 0;
  QPoint pressedAt_;
  bool pressed_ = false;
  // Where the classic window's page began on entering, while the text is the same.
  int enteredPosition_ = 0;
  int enteredGeneration_ = -1;

  void DropSecondColumn();
  QTextEdit* mirror_ = nullptr;
  QWidget* cover_ = nullptr;
  QWidget* mirrorCover_ = nullptr;
  QLabel* status_ = nullptr;
  QGraphicsOpacityEffect* statusOpacity_ = nullptr;
  QPropertyAnimation* statusFade_ = nullptr;
  QTimer statusHold_;
  QTimer clock_;
  Toast* toast_ = nullptr;
  Banner* banner_ = nullptr;
  ChapterPanel* panel_ = nullptr;
  std::function<void()> onBookChanged_;

  // The classic page, as it was before the mode.
  TextAppearance savedFormat_;
  QPalette savedPanePalette_;
  QPalette savedViewPalette_;
  bool savedAutoFill_ = false;
  int savedFrameShape_ = 0;
  bool savedPicture_ = false;
  std::vector<QPointer<QWidget>> hidden_;
};

}  // namespace varnelo
