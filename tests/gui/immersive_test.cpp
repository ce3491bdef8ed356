// The quiet reading mode through its keys, clicks and menus: the classic window comes back
// exactly, the page turns a whole screen at a time into the next chapter, 目录 slides in and
// out, the themes colour every window, and notices stay quiet.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolBar>
#include <QWheelEvent>

#include <memory>
#include <set>

#include "aids/immersive/chapter_panel.h"
#include "aids/immersive/immersive_page.h"
#include "aids/immersive/quiet_notices.h"
#include "aids/immersive/themes.h"
#include "app/immersive_mode.h"
#include "platform/window_timers.h"
#include "res/command_ids.h"
#include "tests/gui/test_support.h"
#include "text/view_offsets.h"

namespace varnelo {
namespace {

class ImmersiveTest : public ::testing::Test, protected testing::ScriptedSession {
 protected:
  void SetUp() override {
    Toast::SetTimes(20, 0);
    ChapterPanel::SetSlideMs(0);
    Start();
  }
  void TearDown() override {
    if (app_) app_->MainFrame()->close();
    Toast::SetTimes(1800, 400);
    ChapterPanel::SetSlideMs(180);
  }
  void Start() {
    app_ = std::make_unique<CVarneloApp>();
    ASSERT_TRUE(app_->InitInstance({"varnelo"}));
    frame_ = app_->MainFrame();
    view_ = frame_->View();
    // The remembered placement first, so it cannot undo the size the test gives.
    testing::RunEventLoop(2000, [&] { return !frame_->Timers().IsActive(CMainFrame::kPlacementTimer); });
    frame_->resize(1100, 760);
    QApplication::processEvents();
  }
  void Restart() {
    frame_->close();
    app_.reset();
    Start();
  }
  void Press(QKeyCombination key, QWidget* to = nullptr) { testing::PressKey(to ? to : view_->Pane(), key); }
  void Open(const std::string& path) {
    dialogs_.files.push_back(QString::fromStdString(path));
    Press(Qt::ControlModifier | Qt::Key_O);
    ASSERT_EQ(view_->CurrentPath(), path);
  }
  // 三国演义 paged by its 回.
  void OpenByChapters() {
    Open(testing::CorpusBook("三国演义.txt"));
    frame_->ActionOf(cmd::kRule3)->trigger();
    ASSERT_EQ(view_->PagingMode(), kChapterPaging);
    view_->NextButton()->click();  // past the preface, to 第一回
    ASSERT_EQ(view_->CurrentPage(), 1);
  }
  ImmersivePage* Page() { return frame_->Immersive()->Page(); }
  bool Active() { return frame_->Immersive()->IsActive(); }
  int Top() { return Page()->ScreenTop(); }
  // The top of pane line `line` in the document (the caret's rectangle rounds it down).
  int LineTop(int line) {
    QTextCursor cursor(view_->Pane()->document());
    cursor.setPosition(view_->Pane()->LineIndex(line));
    return view_->Pane()->cursorRect(cursor).top() + Top();
  }
  // Where the screen's cover begins: the first line not shown whole.
  int CoverTop(QWidget* viewport) {
    auto* cover = viewport->findChild<QWidget*>("immersiveCover");
    return cover != nullptr && cover->isVisible() ? cover->y() : -1;
  }
  void Click(double share) {
    QWidget* viewport = view_->Pane()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {},
                      QPoint(static_cast<int>(view_->width() * share), viewport->height() / 2));
  }
  // What the classic window shows and what the exit would write.
  std::string Window() {
    std::string s;
    auto add = [&s](const auto& value) { s += std::to_string(value) + ","; };
    auto box = [&](const QWidget* w) {
      add(w->isVisibleTo(frame_));
      add(w->x()), add(w->y()), add(w->width()), add(w->height());
    };
    s += frame_->windowTitle().toStdString() + "|";
    add(frame_->isFullScreen());
    box(frame_);
    for (const QWidget* w : {static_cast<QWidget*>(frame_->menuBar()), static_cast<QWidget*>(frame_->ToolBar()),
                             static_cast<QWidget*>(frame_->statusBar()), static_cast<QWidget*>(view_->LibraryList()),
                             static_cast<QWidget*>(view_->Pane()), static_cast<QWidget*>(view_->PageNumberBox()),
                             static_cast<QWidget*>(view_->NextButton()), static_cast<QWidget*>(view_->QuoteLine())})
      box(w);
    add(view_->Pane()->verticalScrollBar()->isVisibleTo(frame_));
    add(view_->Pane()->FirstVisibleLine());
    s += view_->Pane()->font().family().toStdString() + "|";
    add(view_->Pane()->font().pointSizeF());
    add(view_->Pane()->BackgroundColour().rgb());
    add(view_->Pane()->palette().color(QPalette::Text).rgb());
    add(QApplication::palette().color(QPalette::Window).rgb());
    const std::string written = home_.Folder() + "exit.ini";
    std::filesystem::remove(written);
    WriteExitSettings(frame_->ExitValues(), written);
    return s + testing::FileBytes(written);
  }
  int Key(ConfigKey key) { return profile::GetInt(SectionOf(key), NameOf(key), -1, home_.ConfigPath()); }

  std::unique_ptr<CVarneloApp> app_;
  CMainFrame* frame_ = nullptr;
  CVarneloView* view_ = nullptr;
};

TEST_F(ImmersiveTest, EnteringAndLeavingGivesTheClassicWindowBack) {
  Open(testing::CorpusBook("水浒传.txt"));
  for (int i = 0; i < 5; ++i) Press(Qt::Key_Down);
  const std::string classic = Window();
  Press(Qt::Key_F11);
  ASSERT_TRUE(Active());
  EXPECT_EQ(frame_->windowTitle(), QStringLiteral("水浒传 — Varnelo"));
  EXPECT_FALSE(frame_->ToolBar()->isVisible());
  EXPECT_FALSE(frame_->statusBar()->isVisible());
  EXPECT_EQ(frame_->menuBar()->height(), 0);
  EXPECT_FALSE(view_->LibraryList()->isVisible());
  EXPECT_FALSE(view_->NextButton()->isVisible());
  EXPECT_FALSE(view_->Pane()->verticalScrollBar()->isVisible());
  EXPECT_TRUE(Page()->StatusLine()->text().contains(QStringLiteral("%"))) << Page()->StatusLine()->text().toStdString();
  EXPECT_EQ(Key(ConfigKey::ImmersiveOn), 1);
  // The pane's own tool-bar commands do not bring the bars back in the mode.
  frame_->RunCommand(cmd::kToolBar);
  frame_->RunCommand(cmd::kToolBar);
  EXPECT_FALSE(frame_->ToolBar()->isVisible());
  Press(Qt::Key_Escape);
  EXPECT_FALSE(Active());
  EXPECT_EQ(Window(), classic);
  EXPECT_EQ(Key(ConfigKey::ImmersiveOn), 0);

  // Through the menu, with full screen switched on and off inside the mode. (Full screen
  // and back in the classic window first: the window as its own round trip leaves it.)
  Press(Qt::ControlModifier | Qt::Key_Return);
  Press(Qt::ControlModifier | Qt::Key_Return);
  QApplication::processEvents();
  const std::string afterFullScreen = Window();
  frame_->ActionOf(cmd::kImmersive)->trigger();
  ASSERT_TRUE(Active());
  Press(Qt::ControlModifier | Qt::Key_Return);
  ASSERT_TRUE(frame_->IsFullScreenMode());
  EXPECT_FALSE(frame_->ToolBar()->isVisible());
  Press(Qt::Key_Escape);
  EXPECT_FALSE(Active());
  EXPECT_FALSE(frame_->IsFullScreenMode());
  QApplication::processEvents();
  EXPECT_EQ(Window(), afterFullScreen);

  // Left open, the mode comes back at the next start; Esc then gives the classic window.
  Press(Qt::Key_F11);
  Restart();
  QApplication::processEvents();
  EXPECT_TRUE(Active());
  Press(Qt::Key_Escape);
  EXPECT_TRUE(frame_->ToolBar()->isVisible());
}

TEST_F(ImmersiveTest, KeysWheelAndClicksTurnWholeScreensIntoTheNextChapter) {
  OpenByChapters();
  frame_->ActionOf(cmd::kImmersive)->trigger();
  const int chapter = view_->CurrentPage();
  QWidget* viewport = view_->Pane()->viewport();
  // Each way forward shows next the line the screen could not show whole; each way back
  // returns to the screen before.
  const std::vector<std::pair<std::function<void()>, std::function<void()>>> ways = {
      {[&] { Press(Qt::Key_Space); }, [&] { Press(Qt::ShiftModifier | Qt::Key_Space); }},
      {[&] { Press(Qt::Key_PageDown); }, [&] { Press(Qt::Key_PageUp); }},
      {[&] { Press(Qt::Key_Right); }, [&] { Press(Qt::Key_Left); }},
      {[&] { Press(Qt::Key_Down); }, [&] { Press(Qt::Key_Up); }},
      {[&] { Click(0.9); }, [&] { Click(0.1); }},
      {[&] {
         QWheelEvent wheel(QPointF(50, 50), viewport->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, -120),
                           Qt::NoButton, {}, Qt::NoScrollPhase, false);
         QApplication::sendEvent(viewport, &wheel);
       },
       [&] {
         QWheelEvent wheel(QPointF(50, 50), viewport->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, 120),
                           Qt::NoButton, {}, Qt::NoScrollPhase, false);
         QApplication::sendEvent(viewport, &wheel);
       }},
  };
  RichPane* pane = view_->Pane();
  for (std::size_t i = 0; i < ways.size(); ++i) {
    const int top = Top();
    const int first = pane->FirstVisibleLine();
    const int whole = pane->LinesShownWhole();
    ASSERT_GT(whole, 1) << i;
    ways[i].first();
    EXPECT_EQ(pane->FirstVisibleLine(), first + whole) << "forward " << i;
    // A line the screen cuts is covered until the next screen shows it whole.
    const int cover = CoverTop(viewport);
    if (cover >= 0) {
      EXPECT_NEAR(cover, LineTop(pane->FirstVisibleLine() + pane->LinesShownWhole()) - Top(), 1) << i;
    }
    ways[i].second();
    EXPECT_EQ(Top(), top) << "back " << i;
    ways[i].first();  // on, so the next way starts mid-chapter
  }
  Click(0.5);  // the middle third only shows the status line
  EXPECT_EQ(view_->CurrentPage(), chapter);

  int presses = 0;
  while (view_->CurrentPage() == chapter && presses++ < 400) Press(Qt::Key_Space);
  ASSERT_EQ(view_->CurrentPage(), chapter + 1);
  EXPECT_EQ(Top(), 0);
  Press(Qt::Key_PageUp);  // back to the last screen of the chapter before
  EXPECT_EQ(view_->CurrentPage(), chapter);
  const int last = Top();
  EXPECT_GT(last, 0);
  EXPECT_EQ(CoverTop(viewport) < 0 || Top() + CoverTop(viewport) >= last, true);
  Press(Qt::Key_Space);
  EXPECT_EQ(view_->CurrentPage(), chapter + 1);
  EXPECT_EQ(Top(), 0);
}

// The room between paragraphs is part of every page the mode shows, the next chapter's too,
// and goes with the mode.
TEST_F(ImmersiveTest, EveryPageShownKeepsTheRoomBetweenParagraphs) {
  OpenByChapters();
  auto margins = [&] {
    std::set<qreal> seen;
    for (QTextBlock b = view_->Pane()->document()->begin(); b.isValid(); b = b.next()) seen.insert(b.blockFormat().bottomMargin());
    return seen;
  };
  frame_->ActionOf(cmd::kImmersive)->trigger();
  const std::set<qreal> spaced = margins();
  ASSERT_EQ(spaced.size(), 1u);
  EXPECT_GT(*spaced.begin(), 0);
  const int chapter = view_->CurrentPage();
  for (int i = 0; i < 200 && view_->CurrentPage() == chapter; ++i) Press(Qt::Key_Space);
  ASSERT_NE(view_->CurrentPage(), chapter);
  EXPECT_EQ(margins(), spaced);
  Press(Qt::Key_Escape);
  EXPECT_EQ(margins(), std::set<qreal>{0});
}

TEST_F(ImmersiveTest, TwoColumnsTurnTogether) {
  OpenByChapters();
  frame_->ActionOf(cmd::kImmersive)->trigger();
  ASSERT_TRUE(testing::WithModalDialog([&] { frame_->ActionOf(cmd::kImmersiveSettings)->trigger(); },
                                       [](QDialog& d) {
                                         d.findChild<QCheckBox*>("checkTwoColumns")->setChecked(true);
                                         d.accept();
                                       }));
  EXPECT_EQ(Key(ConfigKey::ImmersiveColumns), 1);
  QTextEdit* second = Page()->SecondColumn();
  ASSERT_NE(second, nullptr);
  RichPane* pane = view_->Pane();
  const int top = Top();
  // The second column begins with the first line the first could not show whole.
  const int secondTop = LineTop(pane->FirstVisibleLine() + pane->LinesShownWhole());
  EXPECT_NEAR(second->verticalScrollBar()->value(), secondTop, 1);
  // A range the page highlights (read aloud) shows in the second column as well.
  QTextEdit::ExtraSelection spoken;
  spoken.cursor = QTextCursor(pane->document());
  spoken.cursor.setPosition(pane->LineIndex(pane->FirstVisibleLine() + pane->LinesShownWhole()));
  spoken.cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, 5);
  spoken.format.setBackground(Qt::yellow);
  pane->setExtraSelections({spoken});
  Press(Qt::Key_Space);
  EXPECT_EQ(second->extraSelections().size(), 1);
  EXPECT_GT(Top(), secondTop);
  EXPECT_LE(Top(), secondTop + pane->viewport()->height());
  Press(Qt::Key_PageUp);
  EXPECT_EQ(Top(), top);
  // A narrow window keeps one column.
  frame_->resize(800, 600);
  QApplication::processEvents();
  EXPECT_EQ(Page()->SecondColumn(), nullptr);
}

TEST_F(ImmersiveTest, ChapterPanelSlidesInMarkedAndOutAgain) {
  OpenByChapters();
  Press(Qt::Key_F11);
  const int chapter = view_->CurrentPage();
  Press(Qt::Key_F4);
  ChapterPanel* panel = Page()->Chapters();
  ASSERT_TRUE(panel->IsOpen());
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(panel->List()->currentIndex().row(), chapter - 1);
  Press(Qt::Key_Down, panel->List());
  Press(Qt::Key_Return, panel->List());
  EXPECT_EQ(view_->CurrentPage(), chapter + 1);
  EXPECT_FALSE(panel->isVisible());

  Press(Qt::Key_F4);
  ASSERT_TRUE(panel->isVisible());
  Press(Qt::Key_Escape, panel->List());  // the panel goes, the mode stays
  EXPECT_FALSE(panel->isVisible());
  EXPECT_TRUE(Active());
  Press(Qt::Key_F4);
  Press(Qt::Key_F4);
  EXPECT_FALSE(panel->isVisible());
  Press(Qt::Key_F4);
  Click(0.9);  // a click on the page closes it without turning
  EXPECT_FALSE(panel->isVisible());
  EXPECT_EQ(Top(), 0);
}

// The panel keeps its own headings: the view's scan made again while it is open (the
// user's rules synced from another computer) leaves its list and its jumps right.
TEST_F(ImmersiveTest, ChapterPanelOutlivesTheViewsHeadingScan) {
  Open(testing::CorpusBook("三国演义.txt"));
  frame_->ActionOf(cmd::kRule3)->trigger();
  frame_->ActionOf(cmd::kLinePaging)->trigger();  // line pages, headings by 回
  ASSERT_EQ(view_->PagingMode(), kLinePaging);
  Press(Qt::Key_F11);
  Press(Qt::Key_F4);
  ChapterPanel* panel = Page()->Chapters();
  ASSERT_TRUE(panel->IsOpen());
  const std::int64_t second = view_->HeadingsBy(view_->ChapterRule())->PageStart(2);
  view_->ForgetHeadingScans();
  ASSERT_NE(view_->HeadingsBy(1), nullptr);  // another rule's table in its place
  panel->List()->setCurrentIndex(panel->List()->model()->index(1, 0));
  Press(Qt::Key_Return, panel->List());
  // The heading's line on top (the blank line before it at most).
  const std::int64_t top = TopOfPaneOffset(*view_);
  EXPECT_LE(top, second);
  EXPECT_LT(second - top, 64);
}

TEST_F(ImmersiveTest, EachThemeColoursDialogsAndNightIsReadable) {
  Open(testing::CorpusBook("三国演义.txt"));
  const QColor classic = QApplication::palette().color(QPalette::Window);
  Press(Qt::Key_F11);
  for (int theme : {1, 2, 3, 0, 3}) {
    ASSERT_TRUE(testing::WithModalDialog([&] { frame_->ActionOf(cmd::kImmersiveSettings)->trigger(); },
                                         [&](QDialog& d) {
                                           d.findChild<QComboBox*>("comboTheme")->setCurrentIndex(theme);
                                           d.accept();
                                         }));
    const ThemeColours colours = ColoursOf(ThemeOfNumber(theme), false);
    EXPECT_EQ(Key(ConfigKey::ImmersiveTheme), theme);
    EXPECT_EQ(view_->Pane()->BackgroundColour(), RgbColour(colours.page)) << theme;
    // The next dialog opened wears the theme.
    ASSERT_TRUE(testing::WithModalDialog([&] { frame_->ActionOf(cmd::kImmersiveSettings)->trigger(); },
                                         [&](QDialog& d) {
                                           const QPalette p = d.palette();
                                           EXPECT_EQ(p.color(QPalette::Window), RgbColour(colours.window)) << theme;
                                           const auto ratio = [&](QPalette::ColorRole a, QPalette::ColorRole b) {
                                             return ContrastRatio(p.color(a).rgb() & 0xFFFFFF, p.color(b).rgb() & 0xFFFFFF);
                                           };
                                           EXPECT_GE(ratio(QPalette::WindowText, QPalette::Window), 7.0) << theme;
                                           EXPECT_GE(ratio(QPalette::Text, QPalette::Base), 7.0) << theme;
                                           EXPECT_GE(ratio(QPalette::ButtonText, QPalette::Button), 7.0) << theme;
                                         }));
    const QPalette pane = view_->Pane()->palette();
    EXPECT_GE(ContrastRatio(pane.color(QPalette::Text).rgb() & 0xFFFFFF, pane.color(QPalette::Base).rgb() & 0xFFFFFF), 7.0);
  }
  EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 80);  // night
  Press(Qt::Key_Escape);
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), classic);
}

TEST_F(ImmersiveTest, NoticesAreToastsAndTheReminderABannerWithSnooze) {
  Open(testing::CorpusBook("三国演义.txt"));
  Press(Qt::Key_F11);
  const std::size_t boxes = boxes_.shown.size();
  Press(Qt::Key_F5);
  EXPECT_EQ(boxes_.shown.size(), boxes);
  Toast* toast = Page()->Toasts();
  EXPECT_TRUE(toast->isVisible());
  EXPECT_EQ(toast->Text(), QStringLiteral("已添加书签"));
  EXPECT_TRUE(testing::RunEventLoop(2000, [&] { return !toast->isVisible(); }));

  clock_.now = frame_->StartTime() + 30 * 60;
  frame_->OnTimer(CMainFrame::kClockTimer);
  Banner* banner = Page()->Banners();
  ASSERT_TRUE(banner->isVisible());
  EXPECT_TRUE(banner->Text().contains(QStringLiteral("30 分钟")));
  EXPECT_EQ(boxes_.shown.size(), boxes);
  banner->findChild<QPushButton*>("bannerSnooze")->click();
  EXPECT_FALSE(banner->isVisible());
  clock_.now += 10 * 60;
  frame_->OnTimer(CMainFrame::kClockTimer);
  EXPECT_TRUE(banner->isVisible());
  banner->findChild<QPushButton*>("bannerClose")->click();

  // Automatic scrolling: +/- while it runs, said in lines a minute.
  Press(Qt::Key_Return);
  const int interval = view_->Settings().config.quote.scrollInterval;
  const int before = Page()->ScrollLinesPerMinute();
  Press(Qt::Key_Plus);
  EXPECT_LT(view_->Settings().config.quote.scrollInterval, interval);
  EXPECT_GT(Page()->ScrollLinesPerMinute(), before);
  EXPECT_EQ(toast->Text(), QStringLiteral("自动滚屏：每分钟 %1 行").arg(Page()->ScrollLinesPerMinute()));
  Press(Qt::Key_Minus);
  Press(Qt::Key_Minus);
  EXPECT_LT(Page()->ScrollLinesPerMinute(), before);
  Press(Qt::Key_Return);

  // The classic window keeps its boxes.
  Press(Qt::Key_Escape);
  Press(Qt::Key_F5);
  ASSERT_GT(boxes_.shown.size(), boxes);
  EXPECT_EQ(boxes_.shown.back().text, QStringLiteral("已添加书签！"));
}

}  // namespace
}  // namespace varnelo
