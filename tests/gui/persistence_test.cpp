// Bookmarks, the last position and reading-time records through what the user touches:
// keys on the page pane, menu actions, the record dialog; and a second start of the reader
// on the same Config.ini.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/window_timers.h"
#include "res/command_ids.h"
#include "store/read_record_dialog.h"
#include "tests/gui/test_support.h"
#include "text/bookmark_part.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

using testing::CorpusBook;

QStringList Texts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) texts << action->text();
  return texts;
}

class PersistenceTest : public ::testing::Test, protected testing::ScriptedSession {
 protected:
  void SetUp() override {
    std::tm local{};
    local.tm_year = 110, local.tm_mon = 2, local.tm_mday = 5, local.tm_hour = 9, local.tm_isdst = -1;
    clock_.now = std::mktime(&local);  // 2010-03-05 09:00
  }

  void Start() {
    app_ = std::make_unique<CVarneloApp>();
    ASSERT_TRUE(app_->InitInstance({"varnelo"}));
  }
  CMainFrame* Frame() { return app_->MainFrame(); }
  CVarneloView* View() { return Frame()->View(); }

  void Press(QKeyCombination key) { varnelo::testing::PressKey(View()->Pane(), key); }
  void Open(const std::string& path) {
    dialogs_.files.push_back(QString::fromStdString(path));
    Press(Qt::ControlModifier | Qt::Key_O);
  }
  void PageTo(int page) { ASSERT_TRUE(varnelo::testing::TurnPagesTo(*View(), page)) << "to page " << page; }
  std::string Mark(const std::string& key) {
    return profile::GetString(config_names::kBookMark, key, "<missing>", home_.ConfigPath());
  }
  std::string LastText() const {
    return boxes_.shown.empty() ? std::string() : boxes_.shown.back().text.toStdString();
  }
  // Runs `inspect` on the record dialog that F3 opens, then closes it.
  void WithRecordDialog(const std::function<void(CReadRecordDlg&)>& inspect) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<CReadRecordDlg*>(window); dialog && dialog->isVisible()) {
          seen = true;
          inspect(*dialog);
          dialog->reject();
        }
      }
    });
    Press(QKeyCombination(Qt::Key_F3));
    EXPECT_TRUE(seen);
  }

  std::unique_ptr<CVarneloApp> app_;
};

TEST_F(PersistenceTest, BookPageAndScrollLineComeBackAtTheNextStart) {
  const std::string book = CorpusBook("三国演义.txt");
  Start();
  Open(book);
  Frame()->ActionOf(cmd::kRule3)->trigger();
  PageTo(7);
  for (int i = 0; i < 3; ++i) Press(QKeyCombination(Qt::Key_Down));
  ASSERT_EQ(View()->Pane()->FirstVisibleLine(), 3);
  Press(QKeyCombination(Qt::Key_F5));
  EXPECT_EQ(LastText() + boxes_.shown.back().caption.toStdString(), "已添加书签！提示");
  EXPECT_EQ(View()->Timers().Interval(CVarneloView::kNoticeTimer), 1000);
  const std::string mark = "三国演义,P7,1,L3,09:00,05/March >";
  EXPECT_EQ(Mark("1"), mark + book);

  Frame()->close();
  EXPECT_EQ(Mark("0") + "|" + Mark("MarkNum"), "三国演义.txt,P7,09:00,05/March >" + book + "|1");
  app_.reset();

  Start();
  EXPECT_EQ(View()->CurrentPath(), book);
  EXPECT_EQ(View()->PagingMode(), 1);
  EXPECT_EQ(View()->CurrentPage(), 7);
  EXPECT_EQ(View()->Timers().Interval(BookmarkPart::kRestoreLineTimer), 500);
  View()->OnTimer(BookmarkPart::kRestoreLineTimer);
  EXPECT_EQ(View()->Pane()->FirstVisibleLine(), 3);
  const QString item = QString::fromStdString("1. " + mark);
  EXPECT_EQ(Texts(Frame()->StoreMenuOf(StoreMenu::OpenBookmark)), QStringList{item});
  EXPECT_EQ(Texts(Frame()->StoreMenuOf(StoreMenu::DeleteBookmark)), QStringList{item});

  // The bookmark takes the reader back from wherever they went.
  Frame()->ActionOf(cmd::kLinePaging)->trigger();
  PageTo(3);
  Frame()->ActionOf(cmd::kOpenBookmarkFirst)->trigger();
  EXPECT_EQ(View()->PagingMode(), 1);
  EXPECT_EQ(View()->CurrentPage(), 7);
  EXPECT_EQ(View()->Pane()->FirstVisibleLine(), 3);
}

TEST_F(PersistenceTest, DeletingTheThirdOfFiveMovesTheLaterOnesUp) {
  Start();
  Press(QKeyCombination(Qt::Key_F5));
  EXPECT_EQ(LastText(), "未打开小说！");
  const std::string book = CorpusBook("三国演义.txt");
  Open(book);
  for (int page = 1; page <= 5; ++page) {
    PageTo(page);
    Press(QKeyCombination(Qt::Key_F5));
  }
  Frame()->StoreMenuOf(StoreMenu::DeleteBookmark)->actions().at(2)->trigger();
  const char* pages[] = {"P1", "P2", "P4", "P5"};
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(Mark(std::to_string(k)), "三国演义," + std::string(pages[k - 1]) +
                                           ",0,L0,09:00,05/March >" + book);
  }
  EXPECT_EQ(Mark("5") + "|" + Mark("MarkNum"), "|4");
  const QStringList items = Texts(Frame()->StoreMenuOf(StoreMenu::DeleteBookmark));
  ASSERT_EQ(items.size(), 4);
  EXPECT_TRUE(items[3].startsWith(QStringLiteral("4. 三国演义,P5,"))) << items[3].toStdString();

  for (int more = 0; more < 6; ++more) Press(QKeyCombination(Qt::Key_F5));
  EXPECT_EQ(LastText(), "书签已满！请删除不用的书签后再添加！");
  EXPECT_EQ(Frame()->StoreMenuOf(StoreMenu::OpenBookmark)->actions().size(), 9);
}

TEST_F(PersistenceTest, ARecordCountsTheReadingPeriodUntilTheBookChanges) {
  const std::string first = CorpusBook("三国演义.txt");
  Start();
  Open(first);
  QAction* readingTime = Frame()->ActionOf(cmd::kReadingTime);
  readingTime->trigger();
  EXPECT_EQ(LastText(), "已加入阅读时间记录！快捷键 F3 查看！");
  clock_.now += 60;
  Frame()->OnTimer(CMainFrame::kClockTimer);
  EXPECT_TRUE(Frame()->MessagePane()->text().startsWith(QStringLiteral("-->阅读时间：")));
  readingTime->trigger();  // the display goes off again; the record is there already
  EXPECT_EQ(LastText(), "提示！记录已存在！快捷键 F3 查看！");

  clock_.now += 3725 - 60;
  Open(CorpusBook("水浒传.txt"));
  // Back to the first book with a clock that is then set back: nothing is taken off.
  Open(first);
  clock_.now -= 600;
  Open(CorpusBook("水浒传.txt"));

  WithRecordDialog([](CReadRecordDlg& dialog) {
    QTableWidget* list = dialog.RecordList();
    ASSERT_EQ(list->rowCount(), 1);
    QStringList row;
    for (int c = 0; c < 5; ++c) row << list->item(0, c)->text();
    EXPECT_EQ(row.join(u'|').toStdString(),
              "1|三国演义.txt|1 小时 2 分 5 秒|2010/3/5 09:00|2010/3/5 09:52");
  });

  // Deleting takes the row the user marked, by keys as well as by a click.
  WithRecordDialog([this](CReadRecordDlg& dialog) {
    auto* remove = dialog.findChild<QPushButton*>(QStringLiteral("button1042"));
    remove->click();
    EXPECT_EQ(LastText(), "请选择要删除的记录！");
    dialog.RecordList()->selectRow(0);
    remove->click();
    EXPECT_EQ(dialog.RecordList()->rowCount(), 0);
  });
  EXPECT_EQ(profile::GetString(config_names::kTimePad, config_names::kTimePadNum, "", home_.ConfigPath()),
            "0");

  // A Config.ini that cannot be written is told, not hidden behind a success.
  std::filesystem::remove(home_.ConfigPath());
  std::filesystem::create_directory(home_.ConfigPath());
  Press(QKeyCombination(Qt::Key_F5));
  EXPECT_NE(LastText().find("书签未添加"), std::string::npos) << LastText();
  readingTime->trigger();
  EXPECT_NE(LastText().find("阅读记录未添加"), std::string::npos) << LastText();
  const std::size_t before = boxes_.shown.size();
  Frame()->close();
  ASSERT_EQ(boxes_.shown.size(), before + 1);
  EXPECT_NE(LastText().find("本次的设置未能保存"), std::string::npos) << LastText();
}

}  // namespace
}  // namespace varnelo
