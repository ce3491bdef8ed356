// A hard-wrapped download with ad lines, read through the menus and keys: re-flowed,
// indented and cleaned on screen while the book, its pages, count and saves stay the book's;
// finding and the reading place land on the text as shown.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QLineEdit>
#include <QTableWidget>
#include <QListWidget>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTimer>
#include <QDialogButtonBox>
#include <QTextCursor>

#include <atomic>
#include <fstream>

#include "aids/book_find.h"
#include "aids/clean_apply.h"
#include "aids/library_list.h"
#include "aids/page_cleaning.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "res/command_ids.h"
#include "store/book_places.h"
#include "platform/long_work.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"
#include "text/view_offsets.h"

namespace varnelo {
namespace {

constexpr char16_t kAd[] = u"更新时间:2007-11-16 7:55:51 本章字数:4804";

class CleanPagesTest : public ::testing::Test, protected testing::ReaderSession {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartReader());
    // 三国演义 from its first chapter, each paragraph wrapped at 40 characters behind a
    // full-width indent, an ad line now and then, CR LF, GBK.
    const std::u16string own = DecodeBookBytes(testing::FileBytes(testing::CorpusBook("三国演义.txt")));
    std::size_t from = own.find(u"滚滚长江");
    std::u16string wrapped;
    while (paragraphs_.size() < 400 && from < own.size()) {
      std::size_t stop = std::min(own.find(u'\n', from), own.size());
      std::u16string line = own.substr(from, stop - from);
      from = stop + 1;
      while (!line.empty() && (line.back() == u'\r' || line.back() == u' ')) line.pop_back();
      while (!line.empty() && (line.front() == u' ' || line.front() == 0x3000)) line.erase(0, 1);
      if (line.empty()) continue;
      paragraphs_.push_back(QString::fromStdU16String(line));
      if (paragraphs_.size() % 9 == 0) wrapped += std::u16string(kAd) + u"\r\n";
      std::u16string out = u"　　";
      for (char16_t c : line) {
        if (out.size() == 40) {
          wrapped += out + u"\r\n";
          out.clear();
        }
        out.push_back(c);
      }
      wrapped += out + u"\r\n";
    }
    path_ = home_.Folder() + "wrapped.txt";
    std::ofstream(path_, std::ios::binary) << EncodeBookText(wrapped);
    bytes_ = testing::FileBytes(path_);
    OpenByKeys(path_);
    ASSERT_EQ(view_->CurrentPath(), path_);
  }
  void Press(QKeyCombination key) { testing::PressKey(view_->Pane(), key); }
  QStringList ShownParagraphs() {
    QStringList out;
    for (QString line : view_->Pane()->PaneText().split(u'\n')) {
      line = line.trimmed();
      while (line.startsWith(QChar(0x3000))) line.remove(0, 1);
      if (!line.isEmpty()) out.push_back(line);
    }
    return out;
  }

  std::string path_;
  std::string bytes_;
  QStringList paragraphs_;
};

TEST_F(CleanPagesTest, ReflowIndentAndCleanChangeOnlyWhatIsShown) {
  const QString plain = view_->Pane()->PaneText();
  const int pages = view_->PageCount();
  const QString count = view_->WordCountStatus();
  ASSERT_TRUE(plain.contains(QString::fromStdU16String(kAd)));
  ASSERT_TRUE(Action(cmd::kReflowOff)->isChecked());
  ASSERT_FALSE(Action(cmd::kCleanPage)->isChecked());

  Action(cmd::kReflowAuto)->trigger();
  Action(cmd::kIndentTwo)->trigger();
  Action(cmd::kCleanPage)->trigger();
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown.front().text.toStdString();
  const QString shown = view_->Pane()->PaneText();
  EXPECT_FALSE(shown.contains(QStringLiteral("更新时间")));
  // Whole paragraphs, each behind two full-width spaces; only the page's cut ones may differ.
  const QStringList lines = ShownParagraphs();
  ASSERT_GT(lines.size(), 10);
  for (int k = 1; k + 1 < lines.size(); ++k) {
    EXPECT_TRUE(paragraphs_.contains(lines[k])) << k << ": " << lines[k].toStdString();
  }
  for (const QString& line : shown.split(u'\n')) {
    if (!line.trimmed().isEmpty()) {
      EXPECT_TRUE(line.startsWith(QStringLiteral("　　"))) << line.toStdString();
    }
  }
  for (int id : {cmd::kReflowAuto, cmd::kIndentTwo, cmd::kCleanPage}) EXPECT_TRUE(Action(id)->isChecked()) << id;
  EXPECT_EQ(profile::GetInt(SectionOf(ConfigKey::ReflowMode), NameOf(ConfigKey::ReflowMode), -1, home_.ConfigPath()), 1);
  // The book stays the book.
  EXPECT_TRUE(testing::FileBytes(path_) == bytes_);
  EXPECT_EQ(view_->PageCount(), pages);
  EXPECT_EQ(view_->WordCountStatus(), count);

  // Edit mode shows and saves the book's own lines; the choices are greyed meanwhile.
  Action(cmd::kEditMode)->trigger();
  EXPECT_EQ(view_->Pane()->PaneText(), plain);
  for (int id : {cmd::kReflowOn, cmd::kIndentKeep, cmd::kCleanPage}) EXPECT_FALSE(Action(id)->isEnabled()) << id;
  Action(cmd::kEditMode)->trigger();
  EXPECT_EQ(view_->Pane()->PaneText(), shown);

  // Each page laid out once: back and forth takes them from the cache.
  const PageCleaning* cleaning = app_.MainFrame()->Cleaning();
  Press(Qt::Key_Right);
  const int before = cleaning->Layouts();
  for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Left, Qt::Key_Right}) Press(key);
  EXPECT_EQ(cleaning->Layouts(), before);

  Action(cmd::kReflowOff)->trigger();
  Action(cmd::kIndentKeep)->trigger();
  Action(cmd::kCleanPage)->trigger();
  Press(Qt::Key_Left);
  EXPECT_EQ(view_->Pane()->PaneText(), plain);
}

TEST_F(CleanPagesTest, FindingAndThePlaceLandOnTheShownText) {
  Action(cmd::kReflowOn)->trigger();
  Action(cmd::kCleanPage)->trigger();
  RichPane* pane = view_->Pane();

  // Words the hard wrap cut in two are found on the page as shown.
  const auto longOne = std::find_if(paragraphs_.begin(), paragraphs_.begin() + 10,
                                    [](const QString& p) { return p.size() > 60; });
  ASSERT_NE(longOne, paragraphs_.begin() + 10);
  const QString& paragraph = *longOne;
  const QString across = paragraph.mid(36, 4);  // two characters each side of the first wrap
  ASSERT_FALSE(QString::fromStdU16String(DecodeBookBytes(bytes_)).contains(across));
  Press(Qt::ControlModifier | Qt::Key_F);
  ASSERT_EQ(dialogs_.findDialogs.size(), 1u);
  dialogs_.findDialogs[0](FindRequest{across});
  EXPECT_EQ(pane->textCursor().selectedText(), across);

  // 全书查找 lands on the words, selected as shown, on a later page.
  Press(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_F);
  auto* dialog = view_->findChild<BookFindDialog*>();
  ASSERT_NE(dialog, nullptr);
  const QString words = paragraphs_[300].mid(3, 6);
  dialog->WordsBox()->setText(words);
  testing::PressKey(dialog->WordsBox(), Qt::Key_Return);
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown.front().text.toStdString();
  EXPECT_GT(view_->CurrentPage(), 1);
  EXPECT_EQ(pane->textCursor().selectedText(), words);

  // Turned off, the same text stays at the top: the place is the book's offset.
  const std::int64_t top = TopOfPaneOffset(*view_);
  Action(cmd::kReflowOff)->trigger();
  const std::int64_t after = TopOfPaneOffset(*view_);
  EXPECT_LE(after, top);
  EXPECT_LT(top - after, 80) << "the top line holds the place that was on top";
}

// A bookmark added on the re-flowed page opens at its text with re-flow off, where its
// line number alone would land far off.
TEST_F(CleanPagesTest, ABookmarkSetReflowedOpensAtItsTextPlain) {
  Action(cmd::kReflowAuto)->trigger();
  Press(Qt::Key_Right);
  RichPane* pane = view_->Pane();
  pane->LineScroll(12);
  const std::int64_t top = TopOfPaneOffset(*view_);
  ASSERT_GT(top, view_->PageStart(view_->CurrentPage()));
  Press(Qt::Key_F5);
  Action(cmd::kReflowOff)->trigger();
  Press(Qt::Key_Left);
  ASSERT_EQ(view_->CurrentPage(), 1);
  Action(cmd::kOpenBookmarkFirst)->trigger();
  EXPECT_EQ(view_->CurrentPage(), 2);
  const std::int64_t after = TopOfPaneOffset(*view_);
  EXPECT_LE(after, top);
  EXPECT_LT(top - after, 80) << "the line that holds the bookmarked text is on top";
}

// "净化所选文字" from the page's context menu: the words go from every page shown, into a
// rule kept in Config.ini, and the book keeps them.
TEST_F(CleanPagesTest, SelectedWordsCleanedFromTheContextMenu) {
  RichPane* pane = view_->Pane();
  const QString words = QStringLiteral("本章字数");
  QTextCursor cursor = pane->textCursor();
  const int at = static_cast<int>(pane->PaneText().indexOf(words));
  ASSERT_GE(at, 0);
  cursor.setPosition(at);
  cursor.setPosition(at + static_cast<int>(words.size()), QTextCursor::KeepAnchor);
  pane->setTextCursor(cursor);
  const QPoint point(40, 30);
  QContextMenuEvent click(QContextMenuEvent::Mouse, point, pane->viewport()->mapToGlobal(point));
  QCoreApplication::sendEvent(pane->viewport(), &click);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  QAction* row = nullptr;
  for (QAction* action : menu->actions())
    if (action->data().toInt() == cmd::kCleanSelection) row = action;
  ASSERT_NE(row, nullptr);
  ASSERT_TRUE(row->isEnabled());
  row->trigger();
  menu->close();
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown.front().text.toStdString();
  EXPECT_FALSE(pane->PaneText().contains(words));
  EXPECT_TRUE(Action(cmd::kCleanPage)->isChecked());
  EXPECT_TRUE(testing::FileBytes(path_) == bytes_);
  EXPECT_EQ(profile::GetString(config_names::kCleanRules, "1", "", home_.ConfigPath()), "1p||本章字数|");
}

// "排版设置": justified, spaced paragraphs and the heading set apart, and back again.
TEST_F(CleanPagesTest, TypesetSettingsShapeTheParagraphs) {
  RichPane* pane = view_->Pane();
  const auto set = [&](int spacing, bool justify, bool heading) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->findChild<QSpinBox*>("spinParaSpacing")->setValue(spacing);
      dialog->findChild<QCheckBox*>("checkJustify")->setChecked(justify);
      dialog->findChild<QCheckBox*>("checkHeadingApart")->setChecked(heading);
      dialog->accept();
      ran = true;
    });
    Action(cmd::kTypesetSettings)->trigger();
    ASSERT_TRUE(ran);
  };
  const QTextBlock second = pane->document()->begin().next();
  EXPECT_EQ(second.blockFormat().bottomMargin(), 0);
  set(12, true, false);
  QTextBlock block = pane->document()->begin().next();
  EXPECT_EQ(block.blockFormat().bottomMargin(), 12);
  EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
  EXPECT_FALSE(pane->IsModified());
  Press(Qt::Key_Right);
  EXPECT_EQ(pane->document()->begin().blockFormat().bottomMargin(), 12) << "every page";
  set(0, false, false);
  block = pane->document()->begin().next();
  EXPECT_EQ(block.blockFormat().bottomMargin(), 0);
  EXPECT_NE(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
  EXPECT_TRUE(testing::FileBytes(path_) == bytes_);
}

// "净化规则...": a bad expression is refused with its reason, a rule typed is counted in the
// book as typed, and what the dialog keeps cleans the page.
TEST_F(CleanPagesTest, RulesDialogCountsRefusesBadExpressionsAndKeeps) {
  // The fixture's ad lines and the ones the downloaded novel came with.
  const QString book = QString::fromStdU16String(DecodeBookBytes(bytes_));
  const int adLines = static_cast<int>(book.count(QRegularExpression(QStringLiteral("本章字数[:：]\\d+"))));
  ASSERT_GT(adLines, 40);
  // Every count (the list's at the start, the typed rule's, the added rule's) runs off the
  // window's thread.
  std::atomic<int> works{0};
  SetLongWorkHook([&works](WorkControl&) { ++works; });
  ASSERT_TRUE(testing::WithModalDialog([&] { Action(cmd::kCleanRules)->trigger(); }, [&](QDialog& dialog) {
    auto* table = dialog.findChild<QTableWidget*>("tableRules");
    const int builtIn = table->rowCount();
    ASSERT_EQ(builtIn, static_cast<int>(BuiltInRules().size()));
    EXPECT_EQ(works, 1);
    bool allCounted = true;
    for (int row = 0; row < builtIn; ++row) table->item(row, 5)->text().toInt(&allCounted);
    EXPECT_TRUE(allCounted) << "the built-in rules are counted in the book";
    auto* pattern = dialog.findChild<QLineEdit*>("editPattern");
    auto* label = dialog.findChild<QLabel*>("labelCount");
    dialog.findChild<QCheckBox*>("checkRegex")->setChecked(true);
    pattern->setText(QStringLiteral("本章(字数"));
    testing::RunEventLoop(1000, [&] { return label->text().contains(QStringLiteral("正则表达式有误")); });
    EXPECT_TRUE(label->text().contains(QStringLiteral("正则表达式有误"))) << label->text().toStdString();
    dialog.findChild<QPushButton*>("buttonAdd")->click();
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("正则表达式有误")));
    EXPECT_EQ(table->rowCount(), builtIn) << "never kept";
    pattern->setText(QStringLiteral("本章字数[:：]\\d+"));
    dialog.findChild<QLineEdit*>("editReplacement")->setText(QStringLiteral("(\\0)"));
    testing::RunEventLoop(1000, [&] { return label->text().contains(QStringLiteral("找到")); });
    EXPECT_EQ(label->text(), QStringLiteral("在本书中找到 %1 处。").arg(adLines));
    dialog.findChild<QPushButton*>("buttonAdd")->click();
    ASSERT_EQ(table->rowCount(), builtIn + 1);
    EXPECT_EQ(table->item(builtIn, 5)->text(), QString::number(adLines));
    // The built-in update-time rule off, so the user's rule is what shows.
    for (int row = 0; row < builtIn; ++row) {
      if (table->item(row, 2)->text().contains(QStringLiteral("更新时间"))) table->item(row, 0)->setCheckState(Qt::Unchecked);
    }
    dialog.accept();
  }));
  SetLongWorkHook(nullptr);
  EXPECT_GE(works, 3);
  Action(cmd::kCleanPage)->trigger();
  EXPECT_FALSE(view_->Pane()->PaneText().contains(QStringLiteral("4804")));
  EXPECT_TRUE(view_->Pane()->PaneText().contains(QStringLiteral("更新时间:2007-11-16 7:55:51 (\\0)")))
      << view_->Pane()->PaneText().left(400).toStdString();
  EXPECT_EQ(profile::GetString(config_names::kCleanRules, "1", "", home_.ConfigPath()),
            "1r||本章字数[:：]\\d+|(\\0)");
  EXPECT_FALSE(profile::GetString(config_names::kCleanRules, config_names::kBuiltInOff, "", home_.ConfigPath()).empty());
  EXPECT_TRUE(testing::FileBytes(path_) == bytes_);
}

// "把净化规则应用到文件...": asked first; then only the matched bytes change, the old file is
// kept beside the book where the library does not list it, and the message says where.
TEST_F(CleanPagesTest, ApplyToFileChangesOnlyMatchesAndKeepsABackup) {
  // One rule of the user's for this book alone, the built-in ones off.
  StoredRule rule;
  rule.pattern = QString::fromStdU16String(kAd).toStdString();
  rule.book = path_;
  app_.MainFrame()->Cleaning()->SetRules({rule}, std::vector<bool>(BuiltInRules().size(), false));
  const std::string ad = EncodeBookText(std::u16string(kAd) + u"\r\n");
  std::string expected = bytes_;
  std::size_t ads = 0;
  for (std::size_t at; (at = expected.find(ad)) != std::string::npos; ++ads) expected.erase(at, ad.size());
  ASSERT_GT(ads, 10u);
  const std::string backup = path_ + ".bak";
  boxes_.answers = {MessageResult::No};
  Action(cmd::kApplyCleanToFile)->trigger();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QStringLiteral("将改动 %1 处").arg(ads))) << boxes_.shown[0].text.toStdString();
  EXPECT_TRUE(testing::FileBytes(path_) == bytes_) << "refused: untouched";
  EXPECT_FALSE(std::filesystem::exists(backup));

  boxes_.answers = {MessageResult::Yes};
  Action(cmd::kApplyCleanToFile)->trigger();
  ASSERT_EQ(boxes_.shown.size(), 3u);
  EXPECT_TRUE(boxes_.shown[2].text.contains(QString::fromStdString(backup))) << boxes_.shown[2].text.toStdString();
  EXPECT_TRUE(testing::FileBytes(path_) == expected);
  EXPECT_TRUE(testing::FileBytes(backup) == bytes_) << "the old bytes, for undoing by hand";
  const std::vector<std::string> listed = ListBooks(home_.Folder());
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "wrapped.txt"), 1);
  EXPECT_EQ(listed.size(), std::size_t(std::count_if(listed.begin(), listed.end(), [](const std::string& n) {
              return n.ends_with(".txt");
            })));
  EXPECT_EQ(view_->Text().size(), expected.size()) << "the book read again";
  // Once more: nothing left to change, and an older backup is never overwritten.
  boxes_.answers = {MessageResult::Yes};
  Action(cmd::kApplyCleanToFile)->trigger();
  EXPECT_TRUE(boxes_.shown.back().text.contains(QStringLiteral("没有找到"))) << boxes_.shown.back().text.toStdString();
  EXPECT_EQ(CleanBackupPath(path_), path_ + ".2.bak");
}

// Places between the changes keep their text: a bookmark with ads before and after it, the
// book's kept place and the text on top all move through every change applied, not by one
// shift for the stretch from the first change to the last.
TEST_F(CleanPagesTest, ApplyToFileKeepsEveryPlaceOnItsText) {
  StoredRule rule;
  rule.pattern = QString::fromStdU16String(kAd).toStdString();
  rule.book = path_;
  app_.MainFrame()->Cleaning()->SetRules({rule}, std::vector<bool>(BuiltInRules().size(), false));
  for (int k = 0; k < 3; ++k) Press(Qt::Key_Right);
  view_->Pane()->LineScroll(7);
  const std::int64_t top = TopOfPaneOffset(*view_);
  const std::string ad = EncodeBookText(std::u16string(kAd));
  ASSERT_GT(bytes_.rfind(ad, static_cast<std::size_t>(top)), bytes_.find(ad)) << "several ads before the place";
  ASSERT_NE(bytes_.find(ad, static_cast<std::size_t>(top)), std::string::npos) << "and after it";
  const std::string words = bytes_.substr(static_cast<std::size_t>(top), 24);
  Press(Qt::Key_F5);
  ASSERT_EQ(view_->Store().BookmarkCount(), 1);
  boxes_.answers = {MessageResult::Yes};
  Action(cmd::kApplyCleanToFile)->trigger();
  const std::string cleaned = testing::FileBytes(path_);
  ASSERT_NE(cleaned, bytes_);
  const auto textAt = [&](std::int64_t offset) { return cleaned.substr(static_cast<std::size_t>(offset), words.size()); };
  const BookmarkFields& mark = view_->Store().Bookmark(1);
  ASSERT_TRUE(mark.offset.has_value());
  EXPECT_EQ(textAt(*mark.offset), words) << "the bookmark";
  EXPECT_EQ(textAt(TopOfPaneOffset(*view_)), words) << "the text on top";
  BookPlaces places;
  places.SetSettingsPath(home_.ConfigPath());
  places.Load();
  const std::optional<BookPlace> place = places.Find(path_);
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(textAt(place->offset), words) << "the book's kept place";
}

}  // namespace
}  // namespace varnelo
