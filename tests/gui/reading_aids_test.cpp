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

#include <fstream>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "aids/quotation_sequence.h"
#include "aids/settings_dlg.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/window_timers.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

using namespace varnelo::testing;

class ReadingAidsTest : public ::testing::Test {
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
    QApplication::setActiveWindow(target->window());
    target->setFocus();
    QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(), text);
    QCoreApplication::sendEvent(target, &press);
  }
  void Open(const char* book) {
    dialogs_.files.push_back(QString::fromStdString(CorpusBook(book)));
    Press(view_->Pane(), Qt::ControlModifier | Qt::Key_O);
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
  bool Running(int timer) { return view_->Timers().IsActive(timer); }
  QAction* AutoScrollAction() { return app_->MainFrame()->ActionOf(32823); }
  std::pair<int, int> Where() { return {view_->CurrentPage(), view_->Pane()->FirstVisibleLine()}; }

  TempHome home_;
  FakeClock clock_;
  ScopedClock clockGuard_{&clock_};
  ScriptedMessageBoxes boxes_;
  ScopedMessageBoxes boxesGuard_{&boxes_};
  ScriptedDialogs dialogs_;
  ScopedDialogs dialogsGuard_{&dialogs_};
  std::unique_ptr<CVarneloApp> app_;
  CVarneloView* view_ = nullptr;
};

TEST_F(ReadingAidsTest, SettingsDialogAcceptedAndCancelled) {
  Set(ConfigKey::QuoteMode, "0");
  Set(ConfigKey::QuoteLoop, "1");
  Set(ConfigKey::QuoteScroll, "1");
  Start();
  EXPECT_TRUE(Running(10));
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
  EXPECT_EQ(Quote().quoteMode, 2);
  EXPECT_EQ(Quote().quotePath, quotes);
  EXPECT_EQ(Quote().loop, 1);
  EXPECT_EQ(Quote().scroll, 0);
  EXPECT_EQ(Quote().rollType, 1);
  EXPECT_EQ(Quote().scrollInterval, 3000);
  EXPECT_EQ(Quote().reminderMinutes, 10);
  EXPECT_FALSE(Running(10));
  EXPECT_EQ(view_->Timers().Interval(12), 3000);

  // Cancel changes nothing; "默认" keeps the file's loop and band flags.
  const QuoteSettings before = Quote();
  ASSERT_TRUE(WithSettings([&](CSettingsDlg& d) {
    Find<QRadioButton>(d, "radio1031")->click();
    Find<QLineEdit>(d, "edit1048")->setText("");
    Find<QPushButton>(d, "button2")->click();
  }));
  EXPECT_EQ(Quote().quoteMode, before.quoteMode);
  EXPECT_EQ(Quote().scrollInterval, 3000);
  ASSERT_TRUE(WithSettings([&](CSettingsDlg& d) {
    Find<QRadioButton>(d, "radio1029")->click();
    Find<QLineEdit>(d, "edit1048")->setText("");
    Find<QPushButton>(d, "button1")->click();
  }));
  EXPECT_EQ(Quote().quoteMode, 1);
  EXPECT_EQ(Quote().loop, 1);
  EXPECT_EQ(Quote().scrollInterval, 0);
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

TEST_F(ReadingAidsTest, AutoScrollByPageTurnsExactlyWhereSpaceWould) {
  Set(ConfigKey::RollType, "2");
  Set(ConfigKey::ScrollInterval, "30000");
  Start();
  Open("三国演义.txt");
  Press(view_->Pane(), QKeyCombination(Qt::Key_Return));
  QApplication::processEvents();
  EXPECT_TRUE(AutoScrollAction()->isChecked());
  EXPECT_EQ(view_->Timers().Interval(111), 30000);

  std::vector<std::pair<int, int>> ticks, spaces;
  for (int i = 0; i < 60; ++i) {
    const int before = i == 0 ? 0 : ticks.back().second;
    view_->OnTimer(111);
    ticks.push_back(Where());
    EXPECT_EQ(app_->Settings().book.firstVisibleLine, before) << "sampled on every tick";
  }
  Press(view_->Pane(), QKeyCombination(Qt::Key_Return));
  QApplication::processEvents();
  EXPECT_FALSE(AutoScrollAction()->isChecked());
  EXPECT_FALSE(Running(111));

  while (view_->CurrentPage() > 1) Press(view_->Pane(), QKeyCombination(Qt::Key_Left));
  for (int i = 0; i < 60; ++i) {
    Press(view_->Pane(), QKeyCombination(Qt::Key_Space), QStringLiteral(" "));
    spaces.push_back(Where());
  }
  EXPECT_EQ(ticks, spaces);
  EXPECT_GE(ticks.back().first, 2) << "the page turned";
}

// Answers No to the save question, with ticks of the scrolling timer arriving while it is
// open, as the real box's event loop lets them in: enough to reach the page's end again.
class TickingBoxes : public MessageBoxService {
 public:
  explicit TickingBoxes(CVarneloView& view) : view_(view) {}
  MessageResult Show(QWidget*, const QString& text, const QString&, MessageButtons,
                     MessageIcon) override {
    shown.push_back(text);
    for (int i = 0; i < 30 && shown.size() == 1; ++i) view_.OnTimer(111);
    return MessageResult::No;
  }
  CVarneloView& view_;
  std::vector<QString> shown;
};

TEST_F(ReadingAidsTest, EditModeEnterTypesAndATurnAsksOnce) {
  Set(ConfigKey::RollType, "2");
  Start();
  Open("三国演义.txt");
  view_->SetEditMode(true);
  const qsizetype length = view_->Pane()->PaneText().size();
  Press(view_->Pane(), QKeyCombination(Qt::Key_Return), QStringLiteral("\r"));
  EXPECT_EQ(view_->Pane()->PaneText().size(), length + 1);
  EXPECT_FALSE(Running(111));

  TickingBoxes boxes(*view_);
  ScopedMessageBoxes guard(&boxes);
  AutoScrollAction()->trigger();  // runs while editing, from the menu
  ASSERT_TRUE(AutoScrollAction()->isChecked());
  for (int i = 0; i < 100 && view_->CurrentPage() == 1; ++i) view_->OnTimer(111);
  EXPECT_EQ(view_->CurrentPage(), 2);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], QStringLiteral("是否保存文本？"));
}

TEST_F(ReadingAidsTest, PixelAndLineStepsAndANewIntervalAtOnce) {
  Set(ConfigKey::ScrollInterval, "0");
  Start();
  Open("三国演义.txt");
  AutoScrollAction()->trigger();
  EXPECT_EQ(view_->Timers().Interval(111), 10) << "0 gets the shortest period, not a spin";
  QScrollBar* bar = view_->Pane()->verticalScrollBar();
  view_->OnTimer(111);
  view_->OnTimer(111);
  EXPECT_EQ(bar->value(), 2);
  bar->setValue(bar->maximum() - 1);
  view_->OnTimer(111);
  view_->OnTimer(111);
  EXPECT_EQ(bar->value(), bar->maximum()) << "stops at the bottom";
  EXPECT_TRUE(AutoScrollAction()->isChecked());

  Quote().rollType = 1;
  bar->setValue(0);
  view_->OnTimer(111);
  view_->OnTimer(111);
  EXPECT_EQ(view_->Pane()->FirstVisibleLine(), 2);

  ASSERT_TRUE(WithSettings([&](CSettingsDlg& d) {
    Find<QLineEdit>(d, "edit1048")->setText("50");
    Find<QPushButton>(d, "button1")->click();
  }));
  EXPECT_EQ(view_->Timers().Interval(111), 50);
  AutoScrollAction()->trigger();
  EXPECT_FALSE(Running(111));
}

TEST_F(ReadingAidsTest, QuotationLineChangesOnItsTicks) {
  Start();
  QLabel* line = view_->QuoteLine();
  EXPECT_EQ(line->text(), QStringLiteral("名言警句"));
  EXPECT_EQ(view_->Timers().Interval(11), 5000);
  const std::string_view maxim = BuiltInMaxim(1);
  const QString first = QString::fromUtf8(maxim.data(), static_cast<qsizetype>(maxim.size()));
  for (int tick = 1; tick <= 32; ++tick) {
    view_->OnTimer(11);
    EXPECT_EQ(line->text() == first, tick == 1 || tick == 32) << tick;
  }
  EXPECT_EQ(line->geometry().topLeft(), QPoint(5, view_->height() - 22));
  app_->MainFrame()->resize(900, 650);
  QApplication::processEvents();
  EXPECT_EQ(line->geometry().topLeft(), QPoint(35, view_->height() - 22));

  ASSERT_TRUE(WithSettings([&](CSettingsDlg& d) {
    Find<QRadioButton>(d, "radio1031")->click();
    Find<QPushButton>(d, "button1")->click();
  }));
  EXPECT_FALSE(Running(11));
  view_->OnTimer(10);
  EXPECT_TRUE(line->text().isEmpty());
  EXPECT_EQ(line->geometry(), QRect(0, 0, 0, 0));
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

}  // namespace
}  // namespace varnelo
