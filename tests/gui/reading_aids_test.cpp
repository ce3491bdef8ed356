// Automatic scrolling, the quotation line and the settings dialog in the whole reader,
// worked through keys, menu actions and the dialog's own controls.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "aids/quotation_sequence.h"
#include "aids/settings_dlg.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/profile.h"
#include "platform/window_timers.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

using namespace varnelo::testing;

class ReadingAidsTest : public ::testing::Test, protected testing::ScriptedSession {
 protected:
  void Start() {
    app_ = std::make_unique<CVarneloApp>();
    ASSERT_TRUE(app_->InitInstance({"varnelo"}));
    view_ = app_->MainFrame()->View();
    app_->MainFrame()->OnTimer(CMainFrame::kPlacementTimer);  // the window's final size now
    QApplication::processEvents();
  }
  void Set(ConfigKey key, const std::string& value) { SetKey(key, value, home_.ConfigPath()); }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(home_.Folder() + name, std::ios::binary) << bytes;
    return home_.Folder() + name;
  }

  void Press(QWidget* target, QKeyCombination key, const QString& text = QString()) {
    testing::PressKey(target, key, text);
  }

  // Presses F2 and works the dialog with `script` once it shows; false if none showed.
  bool WithSettings(const std::function<void(CSettingsDlg&)>& script) {
    bool shown = false;
    QObject scope;  // no stray script runs after this returns
    QTimer::singleShot(0, &scope, [&] {
      auto* dialog = qobject_cast<CSettingsDlg*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      shown = true;
      script(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    Press(view_->Pane(), QKeyCombination(Qt::Key_F2));
    return shown;
  }
  template <typename Control>
  static Control* Find(CSettingsDlg& dialog, const char* name) {
    auto* control = dialog.findChild<Control*>(QLatin1String(name));
    if (control == nullptr) ADD_FAILURE() << name;
    return control;
  }

  QuoteSettings& Quote() { return app_->Settings().config.quote; }
  auto Fields() {
    const QuoteSettings& q = Quote();
    return std::make_tuple(q.quoteMode, q.quotePath, q.loop, q.scroll, q.rollType,
                           q.scrollInterval, q.reminderMinutes);
  }
  bool Running(int timer) { return view_->Timers().IsActive(timer); }
  QAction* AutoScrollAction() { return app_->MainFrame()->ActionOf(32823); }
  std::pair<int, int> Where() { return {view_->CurrentPage(), view_->Pane()->FirstVisibleLine()}; }

  std::unique_ptr<CVarneloApp> app_;
  CVarneloView* view_ = nullptr;
};

TEST_F(ReadingAidsTest, QuotationLineAndSettingsDialog) {
  Set(ConfigKey::QuoteLoop, "1");
  Set(ConfigKey::QuoteScroll, "1");
  Start();
  // The maxims, one a tick of timer 11 (5 s), at the left of the bottom bar.
  QLabel* line = view_->QuoteLine();
  EXPECT_EQ(line->text(), QStringLiteral("名言警句"));
  EXPECT_EQ(view_->Timers().Interval(11), 5000);
  view_->OnTimer(11);
  EXPECT_EQ(line->text(), QString::fromUtf8(std::string(BuiltInMaxim(1)).c_str()));
  EXPECT_EQ(line->geometry().topLeft(), QPoint(5, view_->height() - 22));
  app_->MainFrame()->resize(900, 650);
  QApplication::processEvents();
  EXPECT_EQ(line->geometry().topLeft(), QPoint(35, view_->height() - 22));

  ASSERT_TRUE(WithSettings([&](CSettingsDlg& d) {
    Find<QRadioButton>(d, "radio1031")->click();
    Find<QPushButton>(d, "button1")->click();
  }));
  EXPECT_FALSE(Running(11));
  view_->OnTimer(10);  // off: the line empties and hides
  EXPECT_EQ(line->geometry(), QRect(0, 0, 0, 0));
  const std::string quotes = Write("q.txt", "a\r\nb");
  dialogs_.files.push_back(QString::fromStdString(quotes));
  ASSERT_TRUE(WithSettings([&](CSettingsDlg& d) {
    EXPECT_TRUE(Find<QRadioButton>(d, "radio1031")->isChecked());
    EXPECT_FALSE(Find<QPushButton>(d, "button1032")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>(d, "check1053")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(d, "edit1048")->text(), "30");
    Find<QRadioButton>(d, "radio1030")->click();
    EXPECT_TRUE(Find<QCheckBox>(d, "check1053")->isEnabled());
    Find<QPushButton>(d, "button1032")->click();
    EXPECT_EQ(Find<QLineEdit>(d, "edit1001")->text(), "q.txt");
    Find<QCheckBox>(d, "check1037")->click();           // line by line now
    Press(Find<QComboBox>(d, "combo1044"), QKeyCombination(Qt::Key_Down));  // 按行滚屏
    EXPECT_EQ(Find<QLineEdit>(d, "edit1048")->text(), "3000");
    Find<QLineEdit>(d, "edit1049")->setText("10");
    Find<QPushButton>(d, "button1")->click();
  }));
  EXPECT_EQ(Fields(), std::make_tuple(2, quotes, 1, 0, 1, 3000, 10));
  EXPECT_FALSE(Running(10));
  EXPECT_EQ(view_->Timers().Interval(12), 3000);

  // Cancel changes nothing; "默认" keeps the file's loop and band flags.
  const auto accepted = Fields();
  const auto builtInThen = [](const char* button) {
    return [button](CSettingsDlg& d) {
      Find<QRadioButton>(d, "radio1029")->click();
      Find<QLineEdit>(d, "edit1048")->setText("");
      Find<QPushButton>(d, button)->click();
    };
  };
  ASSERT_TRUE(WithSettings(builtInThen("button2")));
  EXPECT_EQ(Fields(), accepted);
  ASSERT_TRUE(WithSettings(builtInThen("button1")));
  EXPECT_EQ(Fields(), std::make_tuple(1, quotes, 1, 0, 1, 0, 10));
  EXPECT_TRUE(Running(11));
  EXPECT_FALSE(Running(12));

  // The new reminder interval counts from the reminder after the one already due.
  CMainFrame* frame = app_->MainFrame();
  for (int minute : {20, 30, 35, 40, 50}) {
    clock_.now = frame->StartTime() + minute * 60;
    frame->OnTimer(CMainFrame::kClockTimer);
  }
  ASSERT_EQ(boxes_.shown.size(), 3u);
  EXPECT_TRUE(boxes_.shown[1].text.contains(QStringLiteral("阅读 40 分钟")));
}

// A maxim longer than the line wraps as in a centred static line: the line shows its
// beginning, which looks exactly as that beginning alone would. F1 leaves the line in place.
TEST_F(ReadingAidsTest, ALongMaximShowsItsBeginningAndTheSideBarLeavesTheLineInPlace) {
  Start();
  QLabel* line = view_->QuoteLine();
  view_->OnTimer(11);
  const QString maxim = line->text();
  app_->MainFrame()->resize(525 + line->fontMetrics().horizontalAdvance(maxim) * 2 / 3 +
                                (app_->MainFrame()->width() - view_->width()),
                            app_->MainFrame()->height());
  QApplication::processEvents();
  view_->OnTimer(11);
  view_->OnTimer(11);  // the third maxim, at the place a step gives the line
  const QString longer = line->text();
  ASSERT_GT(line->fontMetrics().horizontalAdvance(longer), line->width() + 20) << "wider than the line";
  const QImage shown = line->grab().toImage();
  bool beginning = false;
  for (qsizetype n = longer.size() - 1; n > 0 && !beginning; --n) {
    line->setText(longer.left(n));
    beginning = line->grab().toImage() == shown;
  }
  EXPECT_TRUE(beginning);

  const QRect at = line->geometry();
  for (int press = 0; press < 2; ++press) {
    Press(view_->Pane(), QKeyCombination(Qt::Key_F1));
    EXPECT_EQ(line->geometry(), at) << press;
  }
}

// The scrolling kind is a drop-down with its own edit box: a typed name that is one of the
// items chooses it, other text none.
TEST_F(ReadingAidsTest, ScrollKindIsAnEditableDropDown) {
  Start();
  const struct {
    const char* typed;
    int rollType;
  } cases[] = {{"按页滚屏", 2}, {"按行", -1}};
  for (const auto& c : cases) {
    ASSERT_TRUE(WithSettings([&](CSettingsDlg& d) {
      auto* box = Find<QComboBox>(d, "combo1044");
      ASSERT_TRUE(box->isEditable());
      QLineEdit* edit = box->lineEdit();
      Press(edit, Qt::ControlModifier | Qt::Key_A);
      Press(edit, QKeyCombination(Qt::Key_unknown), QString::fromUtf8(c.typed));
      EXPECT_EQ(box->currentText(), QString::fromUtf8(c.typed));
      Find<QPushButton>(d, "button1")->click();
    }));
    EXPECT_EQ(Quote().rollType, c.rollType) << c.typed;
  }
}

TEST_F(ReadingAidsTest, AutoScrollTurnsPagesWhereSpaceWouldAndStepsByPixelAndLine) {
  Set(ConfigKey::RollType, "2");
  Set(ConfigKey::ScrollInterval, "30000");
  Start();
  dialogs_.files.push_back(QString::fromStdString(CorpusBook("三国演义.txt")));
  Press(view_->Pane(), Qt::ControlModifier | Qt::Key_O);
  Press(view_->Pane(), QKeyCombination(Qt::Key_Return));
  QApplication::processEvents();
  EXPECT_TRUE(AutoScrollAction()->isChecked());
  EXPECT_EQ(view_->Timers().Interval(111), 30000);

  std::vector<std::pair<int, int>> ticks, spaces;
  for (int i = 0; i < 60; ++i) {
    view_->OnTimer(111);
    ticks.push_back(Where());
    EXPECT_EQ(app_->Settings().book.firstVisibleLine, ticks.back().second)
        << "the mirror follows every step";
  }
  Press(view_->Pane(), QKeyCombination(Qt::Key_Return));
  QApplication::processEvents();
  EXPECT_FALSE(AutoScrollAction()->isChecked());
  EXPECT_FALSE(Running(111));

  ASSERT_TRUE(TurnPagesTo(*view_, 1));
  for (int i = 0; i < 60; ++i) {
    Press(view_->Pane(), QKeyCombination(Qt::Key_Space), QStringLiteral(" "));
    spaces.push_back(Where());
  }
  EXPECT_EQ(ticks, spaces);
  EXPECT_GE(ticks.back().first, 2) << "the page turned";

  // By pixel, from the menu: one pixel a tick, up to the end; by line: a line a tick.
  Quote().rollType = 0;
  AutoScrollAction()->trigger();
  QScrollBar* bar = view_->Pane()->verticalScrollBar();
  for (int start : {0, bar->maximum() - 1}) {
    bar->setValue(start);
    view_->OnTimer(111);
    view_->OnTimer(111);
    EXPECT_EQ(bar->value(), std::min(start + 2, bar->maximum())) << start;
  }
  EXPECT_TRUE(AutoScrollAction()->isChecked());
  Quote().rollType = 1;
  bar->setValue(0);
  view_->OnTimer(111);
  view_->OnTimer(111);
  EXPECT_EQ(view_->Pane()->FirstVisibleLine(), 2);
  // A new interval takes effect at once; 0 gets the shortest period, not a spin.
  ASSERT_TRUE(WithSettings([&](CSettingsDlg& d) {
    Find<QLineEdit>(d, "edit1048")->setText("0");
    Find<QPushButton>(d, "button1")->click();
  }));
  EXPECT_EQ(view_->Timers().Interval(111), 10);

  // While editing, Enter types a line break and scrolling goes on; a turn away from the
  // edits asks once, whatever ticks come while the question is open.
  Quote().rollType = 2;
  view_->SetEditMode(true);
  const qsizetype length = view_->Pane()->PaneText().size();
  Press(view_->Pane(), QKeyCombination(Qt::Key_Return), QStringLiteral("\r"));
  EXPECT_EQ(view_->Pane()->PaneText().size(), length + 1);
  EXPECT_TRUE(Running(111));
  boxes_.whileShown = [this] {  // the real box's event loop lets ticks in: enough for a page
    for (int i = 0; i < 30 && boxes_.shown.size() == 1; ++i) view_->OnTimer(111);
  };
  const int page = view_->CurrentPage();
  for (int i = 0; i < 100 && view_->CurrentPage() == page; ++i) view_->OnTimer(111);
  EXPECT_EQ(view_->CurrentPage(), page + 1);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("是否保存文本？"));
}

TEST_F(ReadingAidsTest, QuotationFilesThatCannotBeShown) {
  const struct {
    std::string path;
    const char* message;  // the start of it
    int timer;            // running afterwards, 0 for none
  } cases[] = {
      {"", "未选择名言警句文件", 0},
      {home_.Folder() + "missing.txt", "无法打开名言警句文件", 0},
      {Write("empty.txt", ""), "警告！空文档！", 0},
      {Write("many.txt", std::string(10000, '\n')), "行数过多！大于1万！", 0},
      {Write("long.txt", std::string(148, 'x') + "\r\n"), "文本单行字数过多！将改为滚动显示！", 13},
  };
  for (const auto& c : cases) {
    app_.reset();
    boxes_.shown.clear();
    Set(ConfigKey::QuoteMode, "2");
    Set(ConfigKey::QuotePath, c.path);
    Start();
    if (c.timer != 0) view_->OnTimer(12);  // the too-long line shows up on the first tick
    ASSERT_EQ(boxes_.shown.size(), 1u) << c.path;
    EXPECT_TRUE(boxes_.shown[0].text.startsWith(QString::fromUtf8(c.message))) << c.path;
    for (int timer : {10, 11, 12, 13}) EXPECT_EQ(Running(timer), timer == c.timer) << c.path;
  }
  EXPECT_EQ(Quote().scroll, 1);
  view_->OnTimer(13);
  EXPECT_EQ(view_->QuoteLine()->text(), QString(18, QLatin1Char('x')));
}

// Painted again at every pixel step, the scroll bar and the bottom bar cost a live step
// many times what scrolling the page costs; the status bar must still follow the place.
TEST_F(ReadingAidsTest, PixelStepsDrawOnlyWhatTheyChange) {
  Start();
  dialogs_.files.push_back(QString::fromStdString(CorpusBook("三国演义.txt")));
  Press(view_->Pane(), Qt::ControlModifier | Qt::Key_O);
  Quote().rollType = 0;
  AutoScrollAction()->trigger();
  QApplication::processEvents();
  QScrollBar* bar = view_->Pane()->verticalScrollBar();
  QWidget* bottomBar = view_->findChild<QWidget*>(QStringLiteral("frame1019"));
  ASSERT_NE(bottomBar, nullptr);
  struct PaintCounter : QObject {
    std::map<QObject*, int> paints;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++paints[watched];
      return false;
    }
  } counter;
  for (QWidget* w : {view_->Pane()->viewport(), static_cast<QWidget*>(bar), bottomBar})
    w->installEventFilter(&counter);
  const QString readingBefore = app_->MainFrame()->ReadingPane()->text();

  constexpr int kSteps = 40;
  const int start = bar->value();
  for (int i = 0; i < kSteps; ++i) {
    view_->OnTimer(111);
    QApplication::processEvents();
  }
  // The running timer may add a tick of its own.
  const int steps = bar->value() - start;
  EXPECT_GE(steps, kSteps);
  EXPECT_GE(counter.paints[view_->Pane()->viewport()], kSteps) << "every step shows the uncovered strip";
  EXPECT_LT(counter.paints[bar], steps / 4) << "the slider moves only now and then";
  EXPECT_EQ(counter.paints[bottomBar], 0) << "the bar under the page's foot";
  EXPECT_EQ(app_->MainFrame()->ReadingPane()->text(), view_->ReadingStatus());

  // A slider that does move is drawn there, and the reading pane shows the new place.
  const int barPaints = counter.paints[bar];
  bar->setValue(bar->maximum());
  QApplication::processEvents();
  EXPECT_GT(counter.paints[bar], barPaints);
  EXPECT_NE(app_->MainFrame()->ReadingPane()->text(), readingBefore);
}

// The start returns to the remembered page without showing the first one on the way: a
// long first page would be laid out for nothing. A page the book lacks shows page 1.
TEST_F(ReadingAidsTest, TheStartLaysOutOnlyThePageItReturnsTo) {
  const std::string book = CorpusBook("三国演义.txt");
  const struct {
    const char* page;
    int shown;
  } cases[] = {{"P3", 3}, {"P1", 1}, {"P0", 1}, {"P99999", 1}};
  for (const auto& c : cases) {
    app_.reset();
    ASSERT_TRUE(profile::WriteString("BookMark", "0", std::string("x.txt,") + c.page + ",09:00,05/March >" + book,
                                     home_.ConfigPath()));
    Start();
    EXPECT_EQ(view_->CurrentPage(), c.shown) << c.page;
    EXPECT_EQ(view_->Pane()->TextGeneration(), 1) << c.page << ": one page set into the pane";
    view_->ShowPage(c.shown);  // sets the pane only if it held another text
    EXPECT_EQ(view_->Pane()->TextGeneration(), 1) << c.page << ": the pane holds that page";
  }
}

}  // namespace
}  // namespace varnelo
