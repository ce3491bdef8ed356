#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QEnterEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QListWidget>
#include <QToolTip>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/varnelo_app.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/services.h"
#include "platform/window_timers.h"
#include "res/command_table.h"
#include "store/config_store.h"
#include "tests/gui/test_support.h"
#include "text/bookmark_part.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

std::time_t LocalMoment(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

using testing::FakeClock;
using testing::ScriptedMessageBoxes;
using ShownBox = testing::ShownMessage;

QString Reminder(int minutes) {
  return QStringLiteral("你已经阅读 %1 分钟，请注意保护眼睛，适当的休息！").arg(minutes);
}

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    clock_.now = LocalMoment(2010, 3, 5, 9, 0, 0);
    if (const char* old = std::getenv(kProgramFolderOverride)) oldHome_ = old;
    setenv(kProgramFolderOverride, folder_.path().toStdString().c_str(), 1);
    ini_ = SettingsPathIn(folder_.path().toStdString() + "/");
  }
  void TearDown() override {
    app_.reset();
    if (oldHome_) {
      setenv(kProgramFolderOverride, oldHome_->c_str(), 1);
    } else {
      unsetenv(kProgramFolderOverride);
    }
  }

  void Set(ConfigKey key, const std::string& value) {
    ASSERT_TRUE(profile::WriteString(SectionOf(key), NameOf(key), value, ini_));
  }
  int Int(ConfigKey key) { return profile::GetInt(SectionOf(key), NameOf(key), -999, ini_); }
  std::string Str(ConfigKey key) {
    return profile::GetString(SectionOf(key), NameOf(key), "<missing>", ini_);
  }

  bool Start(std::vector<std::string> args = {"varnelo"}) {
    app_ = std::make_unique<CVarneloApp>();
    return app_->InitInstance(args);
  }
  CMainFrame* Frame() { return app_->MainFrame(); }
  std::time_t Start0() { return Frame()->StartTime(); }

  // Ticks the clock timer at each offset from the start; returns the boxes shown.
  std::vector<ShownBox> TickAt(std::initializer_list<int> offsets) {
    boxes_.shown.clear();
    for (int offset : offsets) {
      clock_.now = Start0() + offset;
      Frame()->OnTimer(CMainFrame::kClockTimer);
    }
    return boxes_.shown;
  }

  FakeClock clock_;
  ScopedClock clockGuard_{&clock_};
  ScriptedMessageBoxes boxes_;
  ScopedMessageBoxes boxesGuard_{&boxes_};
  QTemporaryDir folder_;
  std::optional<std::string> oldHome_;
  std::string ini_;
  std::unique_ptr<CVarneloApp> app_;
};

TEST_F(MainFrameTest, StartsWithDefaultsWithoutConfig) {
  ASSERT_TRUE(Start());
  CMainFrame* frame = Frame();
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("Tellavin--Varnelo"));
  EXPECT_TRUE(boxes_.shown.empty());

  const WindowPlacement& remembered = frame->RememberedPlacement();
  EXPECT_EQ(remembered.showCommand, 1u);
  EXPECT_EQ(QRect(QPoint(remembered.left, remembered.top), QPoint(remembered.right, remembered.bottom)),
            QRect(QPoint(100, 100), QPoint(900, 700)));

  EXPECT_TRUE(frame->Timers().IsActive(CMainFrame::kPlacementTimer));
  EXPECT_EQ(frame->Timers().Interval(CMainFrame::kPlacementTimer), 100);
  frame->OnTimer(CMainFrame::kPlacementTimer);
  EXPECT_EQ(frame->frameGeometry(), QRect(100, 100, 800, 600)) << "the outer rectangle";
  EXPECT_FALSE(frame->Timers().IsActive(CMainFrame::kPlacementTimer));
  EXPECT_EQ(frame->Timers().Interval(CMainFrame::kClockTimer), 1000);

  EXPECT_EQ(frame->MessagePane()->text(),
            QStringLiteral("小提示：空格翻屏自动下一页，【F5】添加书签，【←】上一页，【→】下一页"));
  QLabel* words = frame->WordCountPane();
  const int width = words->width();
  EXPECT_GE(width, words->fontMetrics().horizontalAdvance(QStringLiteral("字数：10000000")));
  EXPECT_EQ(words->minimumWidth(), words->maximumWidth());
  EXPECT_EQ(frame->ReadingPane()->minimumWidth(), 4 * width);
  EXPECT_EQ(frame->ReadingPane()->maximumWidth(), 4 * width);
  EXPECT_EQ(frame->ClockPane()->text(), CMainFrame::ClockText(clock_.now));
  EXPECT_FALSE(frame->ToolBar()->isHidden());
  EXPECT_FALSE(frame->statusBar()->isHidden());
}

// Each pane is wide enough for what it shows in the font in use, and the message pane
// takes only what the others leave: no prompt moves the clock or the counts.
TEST_F(MainFrameTest, StatusPanesFitWhatTheyShowAndStayPutWhateverThePrompt) {
  testing::ScriptedDialogs dialogs;
  ScopedDialogs dialogsGuard(&dialogs);
  dialogs.files.push_back(QString::fromStdString(testing::CorpusBook("三国演义.txt")));
  ASSERT_TRUE(Start());
  CMainFrame* frame = Frame();
  frame->show();
  testing::PressKey(frame->View()->Pane(), Qt::ControlModifier | Qt::Key_O);
  QStatusBar* bar = frame->statusBar();
  const auto fitting = [&] {
    frame->OnTimer(CMainFrame::kClockTimer);
    bar->layout()->activate();
    for (const QLabel* pane : {frame->ClockPane(), frame->WordCountPane()}) {
      EXPECT_GE(pane->contentsRect().width(), pane->sizeHint().width()) << pane->text().toStdString();
    }
  };
  fitting();
  ASSERT_EQ(frame->WordCountPane()->text(), QStringLiteral("字数：59.6509 万"));

  const auto places = [&] {
    bar->layout()->activate();
    return std::vector<int>{frame->ClockPane()->x(), frame->WordCountPane()->x(), frame->ReadingPane()->x()};
  };
  const std::vector<int> idle = places();
  // The longest prompt any menu item has, shown as the user highlights the item.
  QAction* longest = nullptr;
  for (QAction* action : frame->findChildren<QAction*>()) {
    if (!action->associatedObjects().isEmpty() && qobject_cast<QMenu*>(action->associatedObjects().value(0)) &&
        (longest == nullptr || action->statusTip().size() > longest->statusTip().size()))
      longest = action;
  }
  ASSERT_NE(longest, nullptr);
  auto* menu = qobject_cast<QMenu*>(longest->associatedObjects().value(0));
  menu->popup(QPoint(0, 0));
  menu->setActiveAction(longest);
  ASSERT_EQ(frame->MessagePane()->text(), longest->statusTip());
  EXPECT_EQ(places(), idle) << longest->statusTip().toStdString();
  menu->close();
  frame->ActionOf(32802)->trigger();  // the reading time in the message pane
  frame->OnTimer(CMainFrame::kClockTimer);
  EXPECT_EQ(places(), idle);

  QFont large = bar->font();
  large.setPixelSize(31);
  bar->setFont(large);
  fitting();
}

// The program ends with only the message: no window shows under it, not even when the
// frame's timers would have had their time.
TEST_F(MainFrameTest, BookThatCannotBeOpenedEndsWithoutAWindow) {
  for (const std::string& book : {folder_.path().toStdString() + "/missing.txt", folder_.path().toStdString()}) {
    std::vector<QString> visible;
    boxes_.whileShown = [&] {
      testing::RunEventLoop(300);
      for (const QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) visible.push_back(window->windowTitle());
    };
    boxes_.shown.clear();
    EXPECT_FALSE(Start({"varnelo", book})) << book;
    ASSERT_EQ(boxes_.shown.size(), 1u) << book;
    EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("无法打开文档“%1”。").arg(QString::fromStdString(book)));
    EXPECT_EQ(visible, std::vector<QString>{}) << book;
    EXPECT_EQ(Frame(), nullptr);
  }
}

TEST_F(MainFrameTest, BarFlagsHideBarsAtStart) {
  Set(ConfigKey::ToolBarShown, "0");
  Set(ConfigKey::StatusBarShown, "0");
  ASSERT_TRUE(Start());
  EXPECT_TRUE(Frame()->ToolBar()->isHidden());
  EXPECT_TRUE(Frame()->statusBar()->isHidden());
}

TEST(MainFrameClock, ClockTextForLocalMoments) {
  const struct {
    std::time_t moment;
    const char* text;
  } cases[] = {
      {LocalMoment(2010, 3, 5, 9, 7, 5), "2010/3/5   09:07:05   星期五"},
      {LocalMoment(2010, 3, 6, 12, 0, 0), "2010/3/6   12:00:00   星期六"},
      {LocalMoment(2010, 3, 7, 0, 0, 0), "2010/3/7   00:00:00   星期日"},
      {LocalMoment(2010, 3, 8, 1, 2, 3), "2010/3/8   01:02:03   星期一"},
      {LocalMoment(2010, 3, 9, 10, 10, 10), "2010/3/9   10:10:10   星期二"},
      {LocalMoment(2010, 3, 10, 20, 30, 40), "2010/3/10   20:30:40   星期三"},
      {LocalMoment(2024, 2, 29, 6, 5, 4), "2024/2/29   06:05:04   星期四"},
      {LocalMoment(2010, 12, 31, 23, 59, 59), "2010/12/31   23:59:59   星期五"},
      {LocalMoment(2000, 1, 1, 0, 0, 0), "2000/1/1   00:00:00   星期六"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CMainFrame::ClockText(c.moment), QString::fromUtf8(c.text)) << c.text;
  }
}

TEST_F(MainFrameTest, ReminderEveryIntervalOnTheDueSecondOnly) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(Start0(), clock_.now);
  EXPECT_TRUE(TickAt({1, 1799}).empty());

  const auto first = TickAt({1800, 1800});
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].text, Reminder(30));
  EXPECT_EQ(first[0].caption, QStringLiteral("温馨提示！"));
  EXPECT_EQ(first[0].icon, MessageIcon::Exclamation);

  EXPECT_TRUE(TickAt({1801, 3599}).empty());
  const auto second = TickAt({3600, 3601});
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].text, Reminder(60));
}

TEST_F(MainFrameTest, SkippedDueSecondEndsReminders) {
  ASSERT_TRUE(Start());
  EXPECT_TRUE(TickAt({1799, 1801, 3600, 5400, 7200}).empty());
}

TEST_F(MainFrameTest, IntervalFromConfig) {
  Set(ConfigKey::ReminderMinutes, "10");
  ASSERT_TRUE(Start());
  EXPECT_EQ(app_->Settings().config.quote.reminderMinutes, 10);
  EXPECT_TRUE(TickAt({599}).empty());
  const auto shown = TickAt({600, 1200});
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, Reminder(10));
  EXPECT_EQ(shown[1].text, Reminder(20));
}

TEST_F(MainFrameTest, IntervalChangedWhileReading) {
  ASSERT_TRUE(Start());
  TickAt({60});
  app_->Settings().config.quote.reminderMinutes = 10;
  const auto shown = TickAt({600, 1800, 2400, 3000, 3600});
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].text, Reminder(30));
  EXPECT_EQ(shown[1].text, Reminder(40));
  EXPECT_EQ(shown[2].text, Reminder(50));
  EXPECT_EQ(shown[3].text, Reminder(60));
}

TEST_F(MainFrameTest, ZeroIntervalRemindsOnceDuringCreation) {
  Set(ConfigKey::ReminderMinutes, "0");
  ASSERT_TRUE(Start());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, Reminder(0));
  EXPECT_TRUE(TickAt({1, 60, 1800}).empty());
}

TEST_F(MainFrameTest, NegativeIntervalNeverReminds) {
  Set(ConfigKey::ReminderMinutes, "-5");
  ASSERT_TRUE(Start());
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_TRUE(TickAt({1, 300, 1800, 3600}).empty());
}

// Waits on the real event loop (the frame's own timer) until `done`, at most a few seconds.
bool WaitFor(const std::function<bool()>& done) { return testing::RunEventLoop(4000, done); }

// The reminder's box is modal, but the clock, the reading time and the schedule go on
// under it: a reminder due meanwhile follows it, and the next one is on time.
TEST_F(MainFrameTest, TimeGoesOnUnderTheReminder) {
  Set(ConfigKey::ReminderMinutes, "1");
  ASSERT_TRUE(Start());
  Frame()->SetReadingTimeDisplay(true);
  std::vector<std::size_t> openWhenDue;
  bool ticked = false;
  boxes_.whileShown = [&] {
    if (boxes_.shown.size() != 1) return;
    clock_.now = Start0() + 120;  // the next reminder's second, the box still open
    ticked = WaitFor([&] { return Frame()->ClockPane()->text() == CMainFrame::ClockText(clock_.now); });
    openWhenDue.push_back(boxes_.shown.size());
    EXPECT_EQ(Frame()->MessagePane()->text(), QStringLiteral("-->阅读时间：0 小时 2 分 0 秒 <--"));
  };
  clock_.now = Start0() + 60;  // the first reminder comes from the timer itself
  ASSERT_TRUE(WaitFor([&] { return boxes_.shown.size() >= 2; }));
  EXPECT_TRUE(ticked) << "the clock stood still under the box";
  EXPECT_EQ(openWhenDue, std::vector<std::size_t>{1}) << "no second box over the first";
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[0].text, Reminder(1));
  EXPECT_EQ(boxes_.shown[1].text, Reminder(2)) << "due under the box, shown after it";
  const auto next = TickAt({179, 180});
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].text, Reminder(3));
}

TEST_F(MainFrameTest, ReadingTimeInMessagePane) {
  ASSERT_TRUE(Start());
  Frame()->SetReadingTimeDisplay(true);
  TickAt({3723});
  EXPECT_EQ(Frame()->MessagePane()->text(), QStringLiteral("-->阅读时间：1 小时 2 分 3 秒 <--"));
}

TEST_F(MainFrameTest, ExitSaveWritesDefaults) {
  ASSERT_TRUE(Start());
  Frame()->OnTimer(CMainFrame::kPlacementTimer);
  const QRect geometry = Frame()->frameGeometry();
  Frame()->close();

  const struct {
    ConfigKey key;
    int value;
  } ints[] = {{ConfigKey::Background, 13625548}, {ConfigKey::TextColour, 0},
              {ConfigKey::FontSize, 270},      {ConfigKey::LineSpacing, 100},
              {ConfigKey::PagingMode, 0},       {ConfigKey::ChapterRule, 0},
              {ConfigKey::SideBarHidden, 0},    {ConfigKey::ReminderMinutes, 30},
              {ConfigKey::ToolBarShown, 1},   {ConfigKey::StatusBarShown, 1}};
  for (const auto& e : ints) EXPECT_EQ(Int(e.key), e.value) << NameOf(e.key);
  EXPECT_EQ(Str(ConfigKey::Face), "宋体");

  const QString stored = QString::fromStdString(Str(ConfigKey::Placement));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{90}$")).match(stored).hasMatch())
      << stored.toStdString();
  const WindowPlacement placement = ReadWindowPlacement(ini_);
  EXPECT_EQ(placement.length, 44u);
  EXPECT_EQ(placement.showCommand, 1u);
  EXPECT_EQ(QRect(placement.left, placement.top, placement.right - placement.left,
                  placement.bottom - placement.top),
            geometry);
}

TEST_F(MainFrameTest, ExitSaveKeepsWhatWasReadAtStart) {
  WindowPlacement placed;
  placed.left = 50, placed.top = 60, placed.right = 750, placed.bottom = 560;
  WriteWindowPlacement(placed, ini_);
  const struct {
    ConfigKey key;
    const char* value;
  } stored[] = {{ConfigKey::Background, "16777215"},  {ConfigKey::TextColour, "255"},
                {ConfigKey::Face, "黑体"},      {ConfigKey::FontSize, "320"},
                {ConfigKey::LineSpacing, "200"},         {ConfigKey::PagingMode, "1"},
                {ConfigKey::ChapterRule, "3"},    {ConfigKey::SideBarHidden, "1"},
                {ConfigKey::ReminderMinutes, "45"},    {ConfigKey::ToolBarShown, "0"},
                {ConfigKey::StatusBarShown, "0"}};
  for (const auto& e : stored) Set(e.key, e.value);

  ASSERT_TRUE(Start());
  Frame()->OnTimer(CMainFrame::kPlacementTimer);
  EXPECT_EQ(Frame()->frameGeometry(), QRect(50, 60, 700, 500));
  Frame()->close();
  for (const auto& e : stored) EXPECT_EQ(Str(e.key), e.value) << NameOf(e.key);
  const WindowPlacement saved = ReadWindowPlacement(ini_);
  EXPECT_EQ(QRect(QPoint(saved.left, saved.top), QPoint(saved.right, saved.bottom)),
            QRect(QPoint(50, 60), QPoint(750, 560)));
}

TEST_F(MainFrameTest, ExitSaveRunsOnce) {
  ASSERT_TRUE(Start());
  Frame()->close();
  Set(ConfigKey::ToolBarShown, "7");
  QCloseEvent again;
  QCoreApplication::sendEvent(Frame(), &again);
  EXPECT_EQ(Int(ConfigKey::ToolBarShown), 7);
}

TEST_F(MainFrameTest, CommandsEnabledOnlyWhenBuilt) {
  ASSERT_TRUE(Start());
  const CMainFrame* frame = Frame();
  for (int id : {57601, 32797, 32798, 32799, 32816, 32817, 32818, 32819, 32820, 32822, 57665,
                 32774, 32775, 32780, 32802, 32813, 57664, 32803, 59392, 59393, 32828, 32826,
                 32827, 32814, 32811, 32812, 32773, 32800, 57631, 57603, 57604, 108}) {
    EXPECT_TRUE(frame->Router().StateOf(id).enabled) << id;
    ASSERT_NE(frame->ActionOf(id), nullptr) << id;
    EXPECT_TRUE(frame->ActionOf(id)->isEnabled()) << id;
  }
  for (int id : {32821}) {
    EXPECT_FALSE(frame->Router().StateOf(id).enabled) << id;
    if (QAction* action = frame->ActionOf(id)) {
      EXPECT_FALSE(action->isEnabled()) << id;
    }
  }
  EXPECT_EQ(frame->ActionOf(32821), nullptr);
  EXPECT_FALSE(Frame()->RunCommand(32821));

}

using testing::PressKey;

TEST_F(MainFrameTest, ExitSaveWritesTheStateTheUserIsIn) {
  testing::ScriptedDialogs dialogs;
  ScopedDialogs dialogsGuard(&dialogs);
  dialogs.files.push_back(QString::fromStdString(testing::CorpusBook("三国演义.txt")));
  ASSERT_TRUE(Start());
  CVarneloView* view = Frame()->View();
  PressKey(view->Pane(), Qt::ControlModifier | Qt::Key_O);
  ASSERT_EQ(view->PageCount(), 34);
  for (int i = 0; i < 4; ++i) PressKey(view->Pane(), QKeyCombination(Qt::Key_Right));
  EXPECT_EQ(view->CurrentPage(), 5);
  Frame()->ActionOf(32818)->trigger();  // 按“第...回”分页 from its menu
  EXPECT_EQ(view->PageCount(), 120);
  Frame()->close();
  EXPECT_EQ(Int(ConfigKey::PagingMode), 1);
  EXPECT_EQ(Int(ConfigKey::ChapterRule), 3);
}

TEST_F(MainFrameTest, AcceleratorKeysAreTakenEvenWhereAControlWantsThem) {
  testing::ScriptedDialogs dialogs;
  ScopedDialogs dialogsGuard(&dialogs);
  dialogs.files.push_back(QString::fromStdString(testing::CorpusBook("三国演义.txt")));
  ASSERT_TRUE(Start());
  QLineEdit* box = Frame()->View()->PageNumberBox();
  PressKey(box, Qt::ControlModifier | Qt::Key_O);
  ASSERT_EQ(dialogs.titles.size(), 1u) << "Ctrl+O works from the page-number box";
  PressKey(box, QKeyCombination(Qt::Key_2), QStringLiteral("2"));
  ASSERT_EQ(box->text(), QStringLiteral("12"));
  ASSERT_EQ(Frame()->View()->CurrentPage(), 12);
  // Keys whose commands do nothing, and the key of a greyed command, do nothing here too.
  for (QKeyCombination key : {Qt::ControlModifier | Qt::Key_Z, Qt::AltModifier | Qt::Key_Backspace,
                              QKeyCombination(Qt::Key_F6), Qt::ShiftModifier | Qt::Key_F6,
                              Qt::ControlModifier | Qt::Key_S}) {
    PressKey(box, key);
    EXPECT_EQ(box->text(), QStringLiteral("12")) << key.toCombined();
  }
}

TEST_F(MainFrameTest, NightModeFromItsActionSurvivesACharFormatAndTheExit) {
  ASSERT_TRUE(Start());
  CVarneloView* view = Frame()->View();
  QAction* night = Frame()->ActionOf(32774);
  night->trigger();
  EXPECT_TRUE(night->isChecked());
  EXPECT_EQ(view->Pane()->BackgroundColour(), QColor(60, 60, 60));
  view->ApplyCharFormat();  // a size or font change must not undo the night background
  EXPECT_EQ(view->Pane()->BackgroundColour(), QColor(60, 60, 60));
  EXPECT_EQ(view->Pane()->palette().color(QPalette::Text), QColor(128, 128, 128));
  Frame()->close();
  EXPECT_EQ(Int(ConfigKey::Night), 1);
  EXPECT_EQ(Int(ConfigKey::Background), 0xCFE8CC) << "the chosen background is kept";
  app_.reset();

  ASSERT_TRUE(Start());
  EXPECT_EQ(Frame()->View()->Pane()->BackgroundColour(), QColor(60, 60, 60));
  Frame()->ActionOf(32774)->trigger();
  EXPECT_EQ(Frame()->View()->Pane()->BackgroundColour(), QColor(204, 232, 207));
}

TEST_F(MainFrameTest, ToolBarTipsOnlyWhereTheCommandHasOne) {
  ASSERT_TRUE(Start());
  QToolBar* bar = Frame()->ToolBar();
  for (QAction* action : bar->actions()) {
    QWidget* button = bar->widgetForAction(action);
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(button, &help);
    const bool untipped = action->toolTip().isEmpty();
    EXPECT_EQ(QToolTip::isVisible(), !untipped) << action->text().toStdString();
  }
  QToolTip::hideText();
}

// The message pane shows the prompt of what is highlighted, an empty one too; the idle
// text comes back when nothing is highlighted any more.
TEST_F(MainFrameTest, MessagePaneShowsTheHighlightedItemsPromptEvenAnEmptyOne) {
  ASSERT_TRUE(Start());
  CMainFrame* frame = Frame();
  const QString idle = QString::fromUtf8(std::string(IdleText()).c_str());
  QLabel* pane = frame->MessagePane();
  const struct {
    int id;
    const char* prompt;
  } items[] = {{32773, "打开文件夹"}, {32771, ""}, {32800, ""}};
  for (const auto& item : items) {
    QAction* action = frame->ActionOf(item.id);
    ASSERT_NE(action, nullptr) << item.id;
    auto* menu = qobject_cast<QMenu*>(action->associatedObjects().value(0));
    ASSERT_NE(menu, nullptr) << item.id;
    frame->menuBar()->setActiveAction(menu->menuAction());
    ASSERT_TRUE(menu->isVisible()) << item.id;
    menu->setActiveAction(action);
    EXPECT_EQ(pane->text(), QString::fromUtf8(item.prompt)) << item.id;
    menu->close();
    EXPECT_EQ(pane->text(), idle) << item.id;
  }
  // A tool-bar button, here one whose prompt is empty, while the pointer is on it.
  QToolBar* bar = frame->ToolBar();
  QWidget* sideBar = nullptr;
  for (QAction* action : bar->actions()) {
    if (action->text() == QStringLiteral("侧边栏")) sideBar = bar->widgetForAction(action);
  }
  ASSERT_NE(sideBar, nullptr);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), sideBar->mapToGlobal(QPointF(5, 5)));
  QCoreApplication::sendEvent(sideBar, &enter);
  EXPECT_EQ(pane->text(), QString());
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(sideBar, &leave);
  EXPECT_EQ(pane->text(), idle);
}

// A mode that is off shows no box beside its item; on, it shows the check mark.
TEST_F(MainFrameTest, ModeItemsAreCheckedOnlyWhileOn) {
  ASSERT_TRUE(Start());
  // Night mode and chapter paging are off at first, line paging on; then night mode on.
  for (bool night : {false, true}) {
    if (night) Frame()->ActionOf(32774)->trigger();
    const std::pair<int, bool> modes[] = {{32774, night}, {32797, false}, {32798, true}};
    for (const auto& [id, on] : modes) {
      EXPECT_EQ(Frame()->ActionOf(id)->isCheckable(), on) << id;
      EXPECT_EQ(Frame()->ActionOf(id)->isChecked(), on) << id;
    }
  }
}

TEST_F(MainFrameTest, AMaximisedWindowComesBackMaximised) {
  WindowPlacement maximised;
  maximised.showCommand = 3;
  WriteWindowPlacement(maximised, ini_);
  ASSERT_TRUE(Start());
  Frame()->OnTimer(CMainFrame::kPlacementTimer);
  EXPECT_TRUE(Frame()->isMaximized());
  Frame()->close();
  const WindowPlacement saved = ReadWindowPlacement(ini_);
  EXPECT_EQ(saved.showCommand, 3u);
  EXPECT_EQ(QRect(QPoint(saved.left, saved.top), QPoint(saved.right, saved.bottom)),
            QRect(QPoint(100, 100), QPoint(900, 700)))
      << "the normal rectangle is kept under the maximised window";
}

TEST_F(MainFrameTest, ExitCommandClosesAndSaves) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(Frame()->isVisible());
  EXPECT_TRUE(Frame()->RunCommand(57665));
  EXPECT_FALSE(Frame()->isVisible());
  EXPECT_EQ(Int(ConfigKey::ToolBarShown), 1);
  EXPECT_EQ(Int(ConfigKey::ReminderMinutes), 30);
}

TEST_F(MainFrameTest, UnreadableFileOnCommandLineEndsStart) {
  EXPECT_FALSE(Start({"varnelo", "/no/such/file.txt"}));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("/no/such/file.txt")));
  EXPECT_TRUE(Frame() == nullptr || !Frame()->isVisible());
}

// The book named on the command line is the one on screen, opened as Ctrl+O opens it,
// after the return to the last book; the last book's remembered line is not applied to it.
TEST_F(MainFrameTest, ReadableFileOnCommandLineOpensAfterTheLastBook) {
  const auto write = [this](const char* name, const std::string& bytes) {
    const QString path = folder_.filePath(QString::fromLatin1(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path.toStdString();
  };
  std::string lines;
  for (int i = 0; i < 120; ++i) lines += "\xd2\xbb\xd0\xd0 line " + std::to_string(i) + "\r\n";
  const std::string last = write("last.txt", lines);
  const std::string book = write("book.txt", "\xb5\xda\xd2\xbb\xd5\xc2\r\nabc\r\n");
  Set(ConfigKey::LastPosition, "last.txt,P2,09:00,05/March >" + last);
  Set(ConfigKey::MarkLine, "30");

  ASSERT_TRUE(Start({"varnelo", book}));
  for (const ShownBox& box : boxes_.shown) ADD_FAILURE() << box.text.toStdString();
  CVarneloView* view = Frame()->View();
  EXPECT_EQ(view->CurrentPath(), book);
  EXPECT_EQ(view->CurrentPage(), 1);
  ASSERT_EQ(view->LibraryList()->count(), 1);
  EXPECT_EQ(view->LibraryList()->item(0)->text(), QStringLiteral("book.txt"));
  EXPECT_FALSE(view->Timers().IsActive(BookmarkPart::kRestoreLineTimer))
      << "the last book's line would scroll this one";

  // A file the reader refuses (not a book) leaves the reader running on the last book.
  app_.reset();
  boxes_.shown.clear();
  const std::string notText = write("empty.txt", "");
  ASSERT_TRUE(Start({"varnelo", notText}));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(Frame()->View()->CurrentPath(), last);
}

// As a real session leaves Config.ini: the last book read by chapters, its line and its
// own place. A book never opened before, named on the command line, opens at its start,
// even when its load waits on a notice long enough for the last book's line to come due.
TEST_F(MainFrameTest, BookOnCommandLineNeverTakesTheLastBooksLine) {
  std::string chapters;
  for (int k = 1; k <= 12; ++k) {
    chapters += "\xb5\xda" + std::to_string(k) + "\xd5\xc2\r\n";
    for (int i = 0; i < 200; ++i) chapters += "\xd2\xbb\xd0\xd0 line " + std::to_string(i) + "\r\n";
  }
  const std::string last = folder_.filePath(QStringLiteral("last.txt")).toStdString();
  const std::string book = folder_.filePath(QStringLiteral("other.txt")).toStdString();
  std::ofstream(last, std::ios::binary) << chapters;
  std::ofstream(book, std::ios::binary) << "\xb5\xda\xd2\xbb\xd5\xc2\r\n" << chapters.substr(chapters.find("\r\n") + 2, 4000);
  Set(ConfigKey::PagingMode, "1");
  Set(ConfigKey::ChapterRule, "1");
  Set(ConfigKey::LastPosition, "last.txt,P3,09:00,05/March >" + last);
  Set(ConfigKey::MarkLine, "151");
  ASSERT_TRUE(profile::WriteString("BookPlace", "PlaceNum", "1", ini_));
  ASSERT_TRUE(profile::WriteString("BookPlace", "1", "7," + std::to_string(chapters.size() / 4) + ",1 >" + last, ini_));

  // The notice that chapter paging failed for the short book stays up for a while.
  boxes_.whileShown = [] { testing::RunEventLoop(700); };
  ASSERT_TRUE(Start({"varnelo", book}));
  CVarneloView* view = Frame()->View();
  ASSERT_EQ(view->CurrentPath(), book);
  EXPECT_EQ(view->Pane()->FirstVisibleLine(), 0);
  boxes_.whileShown();  // and a while after
  EXPECT_EQ(view->Pane()->FirstVisibleLine(), 0);
  EXPECT_EQ(view->CurrentPage(), 1);
}

}  // namespace
}  // namespace varnelo
