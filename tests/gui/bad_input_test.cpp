// Bad input the whole reader must survive: a FIFO wherever it reads a file (never waited
// for, so the window never freezes), an unreadable Config.ini, hand-edited numbers that
// would overflow, and a window placement off every screen or with a frame around it.
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/profile.h"
#include "res/command_ids.h"
#include "store/config_store.h"
#include "store/store_messages.h"
#include "tests/core/fifo_guard.h"
#include "tests/gui/test_support.h"
#include "text/bookmark_part.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

const QString kNotABook = QStringLiteral("文件不存在或编码方式不是ANSI ！");

class BadInputTest : public ::testing::Test, protected testing::ScriptedSession {
 protected:
  void TearDown() override { app_.reset(); }
  bool Start(std::vector<std::string> args = {"varnelo"}) {
    app_ = std::make_unique<CVarneloApp>();
    return app_->InitInstance(args);
  }
  CMainFrame* Frame() const { return app_->MainFrame(); }
  CVarneloView* View() const { return Frame()->View(); }
  void Set(ConfigKey key, const std::string& value) {
    testing::SetKey(key, value, home_.ConfigPath());
  }
  std::vector<QString> Texts() const {
    std::vector<QString> texts;
    for (const auto& box : boxes_.shown) texts.push_back(box.text);
    return texts;
  }
  std::string Book() {
    const std::string path = home_.Folder() + "book.txt";
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 400; ++i) out << "\xd2\xbb\xd0\xd0 line " << i << "\r\n";
    return path;
  }

  std::unique_ptr<CVarneloApp> app_;
};

// Ctrl+O, the last book at start-up and the command line: each refuses the FIFO at once.
TEST_F(BadInputTest, AFifoIsRefusedAsABookWhereverItComesFrom) {
  testing::FifoGuard fifo(home_.Folder() + "fifo.txt");
  ASSERT_TRUE(fifo.Made());

  ASSERT_TRUE(Start());
  dialogs_.files.push_back(QString::fromStdString(fifo.Path()));
  testing::PressKey(View()->Pane(), Qt::ControlModifier | Qt::Key_O);
  EXPECT_EQ(Texts(), std::vector<QString>{kNotABook});
  EXPECT_TRUE(View()->CurrentPath().empty());

  app_.reset();
  boxes_.shown.clear();
  Set(ConfigKey::LastPosition, "fifo.txt,P1,09:00,05/March >" + fifo.Path());
  ASSERT_TRUE(Start());
  EXPECT_EQ(Texts(), std::vector<QString>{kNotABook});
  EXPECT_TRUE(View()->CurrentPath().empty());

  app_.reset();
  boxes_.shown.clear();
  EXPECT_FALSE(Start({"varnelo", fifo.Path()}));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.contains(QString::fromStdString(fifo.Path())));

  EXPECT_FALSE(fifo.Rescued()) << "the reader waited on the FIFO";
}

TEST_F(BadInputTest, AFifoAsQuotationFileOrPictureIsRefused) {
  testing::FifoGuard fifo(home_.Folder() + "fifo.jpg");
  ASSERT_TRUE(fifo.Made());
  Set(ConfigKey::QuoteMode, "2");
  Set(ConfigKey::QuotePath, fifo.Path());
  ASSERT_TRUE(Start());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.startsWith(QStringLiteral("无法打开名言警句文件")));

  boxes_.shown.clear();
  dialogs_.files.push_back(QString::fromStdString(fifo.Path()));
  Frame()->ActionOf(cmd::kPictureBackground)->trigger();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_TRUE(boxes_.shown[0].text.startsWith(QStringLiteral("无法打开图片文件")));
  EXPECT_FALSE(fifo.Rescued()) << "the reader waited on the FIFO";
}

// Told once at start; the run goes on with the defaults and the exit leaves the file alone.
TEST_F(BadInputTest, AnUnreadableConfigIniIsToldAtStartAndLeftAlone) {
  testing::FifoGuard fifo(home_.ConfigPath());
  ASSERT_TRUE(fifo.Made());
  ASSERT_TRUE(Start());
  EXPECT_EQ(Texts(), std::vector<QString>{NotReadMessage(home_.ConfigPath())});
  EXPECT_EQ(View()->Appearance(), TextAppearance{});
  Frame()->close();
  EXPECT_FALSE(Frame()->isVisible());
  EXPECT_EQ(Texts(), std::vector<QString>{NotReadMessage(home_.ConfigPath())})
      << "the exit says nothing more";
  EXPECT_TRUE(fifo.StillAFifo());
  EXPECT_FALSE(fifo.Rescued()) << "the reader waited on the FIFO";
}

// Each file overflowed somewhere before its numbers were brought into range as read: the
// pane's line scroll, the screenful, the frame's placement. The sanitizer build runs these.
TEST_F(BadInputTest, HandEditedNumbersNearTheIntLimitsStartAndQuit) {
  const std::string book = Book();
  const std::string lastBook = "book.txt,P1,09:00,05/March >" + book;
  // txthj with MarkLine; txtsize with txthj; the placement from INT_MIN to INT_MAX.
  for (int file = 0; file < 3; ++file) {
    app_.reset();
    std::filesystem::remove(home_.ConfigPath());
    Set(ConfigKey::LastPosition, lastBook);
    if (file == 0) {
      Set(ConfigKey::LineSpacing, "2147483647");
      Set(ConfigKey::MarkLine, "2147483647");
    } else if (file == 1) {
      Set(ConfigKey::FontSize, "2147483647");
      Set(ConfigKey::LineSpacing, "2147483646");
    } else {
      WindowPlacement wild;
      wild.left = wild.top = INT_MIN;
      wild.right = wild.bottom = INT_MAX;
      WriteWindowPlacement(wild, home_.ConfigPath());
    }
    ASSERT_TRUE(Start()) << file;
    ASSERT_EQ(View()->CurrentPath(), book) << file;
    View()->OnTimer(BookmarkPart::kRestoreLineTimer);
    testing::PressKey(View()->Pane(), QKeyCombination(Qt::Key_Space), QStringLiteral(" "));
    Frame()->OnTimer(CMainFrame::kPlacementTimer);

    const TextAppearance& look = View()->Appearance();
    EXPECT_EQ(look.lineSpacing, file == 2 ? 100 : kHighestLineSpacing) << file;
    EXPECT_EQ(look.fontSize, file == 1 ? kHighestFontSize : 270) << file;
    const QRect window = Frame()->frameGeometry();
    EXPECT_TRUE(window.intersects(QGuiApplication::primaryScreen()->geometry()))
        << file << " " << window.x() << "," << window.y();
    EXPECT_GE(window.width(), 200) << file;
    EXPECT_GE(window.height(), 150) << file;

    Frame()->close();
    const WindowPlacement saved = ReadWindowPlacement(home_.ConfigPath());
    EXPECT_EQ(QRect(saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top),
              window) << file;
    if (file == 1) {
      EXPECT_EQ(profile::GetString(SectionOf(ConfigKey::FontSize), NameOf(ConfigKey::FontSize), "",
                                   home_.ConfigPath()),
                "2147483647")
          << "a size used within range goes back as the user wrote it";
    }
  }
}

// A Config.ini grown long (20,000 places, thousands of foreign lines): the start reads it
// once, the exit reads and writes it once, and every line the reader does not own stays.
TEST_F(BadInputTest, ALongConfigIniIsReadOnceAtStartAndWrittenOnceAtExit) {
  const std::string book = Book();
  std::string places = "[BookPlace]\r\nPlaceNum=100\r\n";
  for (int k = 1; k <= 20000; ++k)
    places += std::to_string(k) + "=" + std::to_string(k) + ",0,0 >/b/" + std::to_string(k) + ".txt\r\n";
  std::string foreign = "[Other]\r\n";
  for (int k = 0; k < 5000; ++k) foreign += "note" + std::to_string(k) + " = kept\r\n";
  std::ofstream(home_.ConfigPath(), std::ios::binary) << places << foreign;
  Set(ConfigKey::LastPosition, "book.txt,P1,09:00,05/March >" + book);

  const profile::Traffic before = profile::TrafficSoFar();
  ASSERT_TRUE(Start());
  const profile::Traffic started = profile::TrafficSoFar();
  EXPECT_EQ(started.fileReads - before.fileReads, 1u);
  EXPECT_EQ(View()->CurrentPath(), book);
  Frame()->close();
  const profile::Traffic closed = profile::TrafficSoFar();
  EXPECT_EQ(closed.fileReads - started.fileReads, 1u);
  EXPECT_EQ(closed.fileWrites - started.fileWrites, 1u);
  EXPECT_LE(closed.linesParsed - before.linesParsed, 2u * 26000u);
  const std::string after = testing::FileBytes(home_.ConfigPath());
  EXPECT_NE(after.find(places.substr(places.find("\r\n101="))), std::string::npos) << "lines past PlaceNum";
  EXPECT_NE(after.find(foreign), std::string::npos);
}

// The stored rectangle is the outer one, frame included (the offscreen platform reports a
// frame); one that no screen shows opens on the primary screen.
TEST_F(BadInputTest, ThePlacementIsTheOuterRectangleOnAScreen) {
  ASSERT_TRUE(Start());
  Frame()->OnTimer(CMainFrame::kPlacementTimer);
  EXPECT_EQ(Frame()->frameGeometry(), QRect(100, 100, 800, 600));
  Frame()->move(130, 90);
  const QRect moved = Frame()->frameGeometry();
  Frame()->close();
  WindowPlacement saved = ReadWindowPlacement(home_.ConfigPath());
  EXPECT_EQ(QRect(saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top), moved);

  app_.reset();
  saved.left += 50000;
  saved.right += 50000;
  WriteWindowPlacement(saved, home_.ConfigPath());
  ASSERT_TRUE(Start());
  Frame()->OnTimer(CMainFrame::kPlacementTimer);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(Frame()->frameGeometry().center()));
  EXPECT_EQ(Frame()->frameGeometry().size(), moved.size().boundedTo(screen.size()));
}

}  // namespace
}  // namespace varnelo
