// The shell around the page through keys, actions, buttons and the right click: full
// screen and the next start after it, the bar toggles, the tray with and without one, the
// context menu, the help menu's links and offer, and the About box.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "app/about_dlg.h"
#include "app/link_label.h"
#include "app/links.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "res/command_ids.h"
#include "store/config_store.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

void Press(QWidget* target, QKeyCombination key) {
  testing::PressKey(target, key);
  QCoreApplication::processEvents();  // the platform's answer to a window state change
}

class ShellTest : public ::testing::Test, public QObject {
 protected:
  bool Start() {
    app_ = std::make_unique<CVarneloApp>();
    if (!app_->InitInstance({"varnelo"})) return false;
    Frame()->OnTimer(CMainFrame::kPlacementTimer);
    return true;
  }
  CMainFrame* Frame() { return app_->MainFrame(); }
  RichPane* Pane() { return Frame()->View()->Pane(); }
  int Int(ConfigKey key) {
    return profile::GetInt(SectionOf(key), NameOf(key), -999, home_.ConfigPath());
  }
  // A right click in the page pane as the platform reports it; the menu it opened.
  QMenu* RightClick() {
    const QPoint at(40, 30);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, Pane()->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(Pane()->viewport(), &click);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
  }
  static QAction* Row(QMenu* menu, int id) {
    for (QAction* action : menu->actions())
      if (action->data().toInt() == id) return action;
    return nullptr;
  }
  // Counts the Esc presses that reach the control they were typed in.
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
      ++escapes_;
    return false;
  }

  testing::TempHome home_;
  testing::ScriptedMessageBoxes boxes_;
  ScopedMessageBoxes boxesGuard_{&boxes_};
  testing::ScriptedDialogs dialogs_;
  ScopedDialogs dialogsGuard_{&dialogs_};
  testing::RecordingUrlOpener opener_;
  ScopedUrlOpener openerGuard_{&opener_};
  std::unique_ptr<CVarneloApp> app_;
  int escapes_ = 0;
};

TEST_F(ShellTest, FullScreenInWithCtrlEnterOutWithEsc) {
  ASSERT_TRUE(Start());
  CMainFrame* frame = Frame();
  frame->setGeometry(60, 40, 700, 500);
  const QRect before = frame->geometry();
  Pane()->installEventFilter(this);
  Press(Pane(), QKeyCombination(Qt::Key_Escape));
  EXPECT_FALSE(frame->IsFullScreenMode());

  Press(Pane(), Qt::ControlModifier | Qt::Key_Return);
  ASSERT_TRUE(frame->isFullScreen());
  EXPECT_EQ(frame->geometry(), frame->screen()->geometry());
  EXPECT_TRUE(frame->ToolBar()->isHidden());
  EXPECT_TRUE(frame->statusBar()->isHidden());
  EXPECT_EQ(frame->centralWidget()->geometry(), frame->rect()) << "only the reading view shows";

  Press(Pane(), QKeyCombination(Qt::Key_Escape));
  EXPECT_FALSE(frame->isFullScreen());
  EXPECT_EQ(escapes_, 2) << "Esc goes on to the pane, in full screen or not";
  EXPECT_EQ(frame->geometry(), before);
  EXPECT_FALSE(frame->ToolBar()->isHidden());
  EXPECT_FALSE(frame->statusBar()->isHidden());

  // The toggles change bar, check mark and flag together; a hidden bar stays hidden through
  // full screen, here entered from the context menu's row, which is Ctrl+Enter.
  QAction* tools = frame->ActionOf(cmd::kToolBar);
  tools->trigger();
  EXPECT_TRUE(frame->ToolBar()->isHidden() && !tools->isChecked());
  frame->ActionOf(cmd::kStatusBar)->trigger();
  frame->ActionOf(cmd::kStatusBar)->trigger();
  EXPECT_TRUE(!frame->statusBar()->isHidden() && frame->ActionOf(cmd::kStatusBar)->isChecked());
  Row(RightClick(), cmd::kFullScreenByKeys)->trigger();
  QCoreApplication::processEvents();
  ASSERT_TRUE(frame->isFullScreen());
  Press(Pane(), QKeyCombination(Qt::Key_Escape));
  EXPECT_TRUE(frame->ToolBar()->isHidden());
  EXPECT_FALSE(frame->statusBar()->isHidden());
  frame->close();
  EXPECT_EQ(Int(ConfigKey::ToolBarShown), 0);
  EXPECT_EQ(Int(ConfigKey::StatusBarShown), 1);
}

TEST_F(ShellTest, QuitInFullScreenThenTheNextStartHasTheEarlierSize) {
  for (const bool maximised : {false, true}) {
    ASSERT_TRUE(Start());
    Frame()->setGeometry(60, 40, 700, 500);
    const QRect before = Frame()->geometry();
    if (maximised) Frame()->showMaximized();
    Press(Pane(), Qt::ControlModifier | Qt::Key_Return);
    ASSERT_TRUE(Frame()->isFullScreen());
    Frame()->ActionOf(cmd::kExit)->trigger();
    app_.reset();

    ASSERT_TRUE(Start());
    EXPECT_FALSE(Frame()->isFullScreen()) << maximised;
    EXPECT_EQ(Frame()->isMaximized(), maximised);
    EXPECT_EQ(Frame()->normalGeometry(), before) << maximised;
    app_.reset();
  }
}

TEST_F(ShellTest, MinimisingUsesTheTrayOnlyWhereThereIsOne) {
  for (const bool available : {false, true}) {
    testing::FixedTray tray(available);
    ScopedTray trayGuard(&tray);
    ASSERT_TRUE(Start());
    dialogs_.files.push_back(QString::fromStdString(testing::CorpusBook("三国演义.txt")));
    Press(Pane(), Qt::ControlModifier | Qt::Key_O);
    Frame()->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_EQ(Frame()->isVisible(), !available) << "an ordinary minimise without a tray";
    QSystemTrayIcon* icon = Frame()->TrayIcon();
    ASSERT_EQ(icon != nullptr, available);
    if (!available) continue;
    EXPECT_TRUE(icon->isVisible());
    EXPECT_EQ(icon->toolTip(), QStringLiteral("Tellavin V2.31\n正在阅读：三国演义"));
    QMenu* menu = icon->contextMenu();
    ASSERT_EQ(menu->actions().size(), 6);
    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(Frame()->isVisible() && !Frame()->isMinimized());
    EXPECT_FALSE(icon->isVisible());

    // "退出" from the tray saves the window as it was and takes the icon away.
    Frame()->showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(icon->isVisible());
    menu->actions().at(5)->trigger();
    EXPECT_FALSE(icon->isVisible());
    EXPECT_EQ(ReadWindowPlacement(home_.ConfigPath()).showCommand, 1u) << "not minimised next time";
  }
}

TEST_F(ShellTest, ContextMenuRowsFollowTheRoutingAndTheSelection) {
  ASSERT_TRUE(Start());
  dialogs_.files.push_back(QString::fromStdString(testing::CorpusBook("三国演义.txt")));
  Press(Pane(), Qt::ControlModifier | Qt::Key_O);
  QMenu* menu = RightClick();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->actions().size(), 12);
  for (int id : {cmd::kCopy, cmd::kCut, cmd::kPaste, cmd::kFind, cmd::kWebSearch, cmd::kAutoScroll,
                 cmd::kFullScreenByKeys, cmd::kEditMode}) {
    ASSERT_NE(Row(menu, id), nullptr) << id;
    EXPECT_EQ(Row(menu, id)->isEnabled(), Frame()->Router().StateOf(id).enabled) << id;
    EXPECT_FALSE(Row(menu, id)->isCheckable()) << id;
  }
  EXPECT_FALSE(Row(menu, cmd::kWebSearch)->isEnabled()) << "nothing selected";
  menu->close();

  // The selection reaches the search engine percent-encoded, line break and all.
  const QString text = Pane()->toPlainText();
  const qsizetype start = text.indexOf(QStringLiteral("滚滚长江"));
  const qsizetype end = text.indexOf(u'\n', start) + 3;
  ASSERT_GE(start, 0);
  QTextCursor cursor = Pane()->textCursor();
  cursor.setPosition(static_cast<int>(start));
  cursor.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
  Pane()->setTextCursor(cursor);
  QAction* search = Row(RightClick(), cmd::kWebSearch);
  ASSERT_TRUE(search->isEnabled());
  search->trigger();
  ASSERT_EQ(opener_.opened.size(), 1u);
  const QString prefix = QStringLiteral("https://www.baidu.com/s?ie=utf-8&wd=");
  ASSERT_TRUE(opener_.opened[0].startsWith(prefix));
  const QByteArray query = opener_.opened[0].mid(prefix.size()).toUtf8();
  EXPECT_EQ(QString::fromLatin1(query).toUtf8(), query) << "nothing but ASCII in the address";
  EXPECT_EQ(QUrl::fromPercentEncoding(query), text.mid(start, end - start));
}

// Copy and cut want a selection, paste something on the clipboard the pane takes; the
// read-only page answers as the editable one would.
TEST_F(ShellTest, ContextMenuEditingRowsFollowTheSelectionAndTheClipboard) {
  ASSERT_TRUE(Start());
  dialogs_.files.push_back(QString::fromStdString(testing::CorpusBook("三国演义.txt")));
  Press(Pane(), Qt::ControlModifier | Qt::Key_O);
  QClipboard* clipboard = QGuiApplication::clipboard();
  const auto emptied = qScopeGuard([clipboard] { clipboard->clear(); });
  // Selected, clipboard full, edit mode.
  const bool cases[][3] = {{false, false, false}, {true, false, false}, {false, true, false},
                           {true, true, true},    {false, false, true}};
  for (const auto& [selected, full, edit] : cases) {
    if (Frame()->View()->EditMode() != edit) Frame()->ActionOf(cmd::kEditMode)->trigger();
    full ? clipboard->setText(QStringLiteral("滚滚长江")) : clipboard->clear();
    QTextCursor cursor = Pane()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(selected ? 4 : 0, QTextCursor::KeepAnchor);
    Pane()->setTextCursor(cursor);
    QMenu* menu = RightClick();
    ASSERT_NE(menu, nullptr);
    const int row = selected * 100 + full * 10 + edit;
    EXPECT_EQ(Row(menu, cmd::kCopy)->isEnabled(), selected) << row;
    EXPECT_EQ(Row(menu, cmd::kCut)->isEnabled(), selected) << row;
    EXPECT_EQ(Row(menu, cmd::kPaste)->isEnabled(), full) << row;
    menu->close();
  }
}

// Ctrl+A on a page of thousands of characters searches the first 256, the character
// beyond the basic plane at the limit kept whole; a launch that fails says so.
TEST_F(ShellTest, SearchOfAWholePageTakesItsStartAndReportsHowItFailed) {
  const std::string book = home_.Folder() + "wide.txt";
  std::string bytes;
  for (int i = 0; i < 255; ++i) bytes += "\xBC\xD7";  // 甲
  bytes += "\x95\x32\x82\x36";                      // U+20000, four bytes in GB18030
  for (int line = 0; line < 40; ++line) bytes += std::string(200, 'z') + "\xD2\xD2\r\n";
  std::ofstream(book, std::ios::binary) << bytes;
  ASSERT_TRUE(Start());
  dialogs_.files.push_back(QString::fromStdString(book));
  Press(Pane(), Qt::ControlModifier | Qt::Key_O);
  const QString expected = QString(255, QChar(u'甲')) + QString::fromUcs4(U"\U00020000");
  ASSERT_TRUE(Pane()->PaneText().startsWith(expected));

  const struct {
    bool opens;
    UrlOpenResult failure;
    std::string message;  // empty: none
  } cases[] = {
      {true, UrlOpenResult::NoApplication, ""},
      {false, UrlOpenResult::NoApplication, LinkFailureText(kLinkNoAssociation)},
      {false, UrlOpenResult::LaunchFailed, "打开网页失败！浏览器未能启动，请稍后再试！"},
  };
  for (const auto& c : cases) {
    opener_.opened.clear();
    opener_.succeed = c.opens;
    opener_.failure = c.failure;
    boxes_.shown.clear();
    Press(Pane(), Qt::ControlModifier | Qt::Key_A);
    ASSERT_GT(Pane()->textCursor().selectedText().size(), 8000) << "the whole page";
    Row(RightClick(), cmd::kWebSearch)->trigger();
    ASSERT_EQ(opener_.opened.size(), 1u);
    const QString prefix = QStringLiteral("https://www.baidu.com/s?ie=utf-8&wd=");
    EXPECT_EQ(QUrl::fromPercentEncoding(opener_.opened[0].mid(prefix.size()).toUtf8()), expected);
    if (c.message.empty()) {
      EXPECT_TRUE(boxes_.shown.empty());
    } else {
      ASSERT_EQ(boxes_.shown.size(), 1u) << c.message;
      EXPECT_EQ(boxes_.shown[0].text.toStdString(), c.message);
    }
  }
}

TEST_F(ShellTest, HelpLinksAskThenOpen) {
  ASSERT_TRUE(Start());
  for (int id : {cmd::kLinkTuimo, cmd::kLinkAirplay, cmd::kLinkTextLibrary, cmd::kLinkDuobei,
                 cmd::kLinkHomeland, cmd::kLinkYilin, cmd::kLinkYige}) {
    boxes_.shown.clear();
    boxes_.answers = {MessageResult::Ok};
    // Five have a menu item; two are reached only by their command.
    if (QAction* item = Frame()->ActionOf(id)) item->trigger();
    else EXPECT_TRUE(Frame()->RunCommand(id)) << id;
    ASSERT_EQ(boxes_.shown.size(), 1u) << id;
    EXPECT_EQ(boxes_.shown[0].text.toStdString(), WebLinkOf(id)->message);
    EXPECT_EQ(opener_.opened.back().toStdString(), WebLinkOf(id)->address);
  }
  EXPECT_EQ(opener_.opened.size(), 7u);
  Frame()->ActionOf(cmd::kLinkHomeland)->trigger();  // answered Cancel
  EXPECT_EQ(opener_.opened.size(), 7u);

  // The navigation site: the start-page question once, never a claimed success.
  boxes_.shown.clear();
  boxes_.answers = {MessageResult::Yes, MessageResult::Ok, MessageResult::Yes};
  Frame()->ActionOf(cmd::kNavigationSite)->trigger();
  ASSERT_EQ(boxes_.shown.size(), 3u);
  EXPECT_EQ(boxes_.shown[1].text, QStringLiteral("设置首页失败！"));
  EXPECT_EQ(opener_.opened.back().toStdString(), kNavigationSiteAddress);
  boxes_.shown.clear();
  Frame()->ActionOf(cmd::kNavigationSite)->trigger();
  EXPECT_EQ(boxes_.shown.size(), 1u) << "only the question about opening the site";
  Frame()->close();
  EXPECT_EQ(Int(ConfigKey::CheckNet), 2) << "written at the offer, left alone at exit";
}

TEST_F(ShellTest, AboutBoxShowsTheNotesAndItsLinksOpen) {
  ASSERT_TRUE(Start());
  bool inspected = false;
  QTimer::singleShot(0, [&] {
    auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(about, nullptr);
    const auto close = qScopeGuard([about] { about->reject(); });
    inspected = true;
    const QStringList lines = about->UsageText().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 13) << "twelve lines, each ended by CR LF";
    EXPECT_EQ(lines[7], QStringLiteral("  '←'  上一页，\t'→ '  下一页"));
    auto* usage = about->findChild<QPlainTextEdit*>(QStringLiteral("edit1001"));
    EXPECT_EQ(usage->toPlainText().split(u'\n').mid(0, 12), lines.mid(0, 12));
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("static1038"))->palette().color(QPalette::WindowText),
              QColor(61, 131, 248));

    CLinkLabel* web = about->WebLink();
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), web->mapToGlobal(QPointF(2, 2)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(web, &release);
    ASSERT_EQ(opener_.opened.size(), 1u);
    EXPECT_EQ(opener_.opened[0], web->toolTip());
    EXPECT_EQ(web->TextColour(), QColor::fromRgb(CLinkLabel::kVisitedColour));

    opener_.succeed = false;
    Press(about->MailLink(), QKeyCombination(Qt::Key_Space));
    ASSERT_EQ(opener_.opened.size(), 2u);
    EXPECT_TRUE(opener_.opened[1].startsWith(QStringLiteral("mailto:")));
    EXPECT_FALSE(about->MailLink()->Visited());
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(boxes_.shown[0].text.toStdString(), LinkFailureText(kLinkNoAssociation));
  });
  Frame()->ActionOf(cmd::kAbout)->trigger();
  EXPECT_TRUE(inspected);
}

}  // namespace
}  // namespace varnelo
