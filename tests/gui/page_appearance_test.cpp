// The page's look as the user sets it, through the menu actions and tool-bar buttons of a
// running reader, and the same look after quitting and starting again.
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QFile>
#include <QFontInfo>
#include <QPushButton>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include "aids/nine_slice.h"
#include "app/main_frame.h"
#include "app/varnelo_app.h"
#include "platform/rich_pane.h"
#include "res/command_ids.h"
#include "res/skin_strip.h"
#include "tests/gui/test_support.h"
#include "text/varnelo_view.h"

namespace varnelo {
namespace {

const QColor kGreen(204, 232, 207), kNight(60, 60, 60), kGrey(128, 128, 128);

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
             std::abs(a.blue() - b.blue()) <= 8;
}

class PageAppearanceTest : public ::testing::Test {
 protected:
  void Start() {
    app_ = std::make_unique<CVarneloApp>();
    ASSERT_TRUE(app_->InitInstance({"varnelo"}));
  }
  CMainFrame* Frame() const { return app_->MainFrame(); }
  RichPane* Pane() const { return Frame()->View()->Pane(); }
  const TextAppearance& Format() const { return Pane()->DefaultCharFormat(); }
  QColor TextColour() const { return Pane()->palette().color(QPalette::Text); }
  void Trigger(int id) {
    QAction* action = Frame()->ActionOf(id);
    ASSERT_TRUE(action != nullptr && action->isEnabled()) << id;
    action->trigger();
  }
  std::string Stored(ConfigKey key) const {
    return profile::GetString(SectionOf(key), NameOf(key), "?", home_.ConfigPath());
  }
  // What the reader sees near the bottom right corner of an empty page.
  QColor Seen() const {
    const QImage shown = Pane()->viewport()->grab().toImage();
    return shown.pixelColor(shown.width() - 4, shown.height() - 4);
  }
  QString Picture(const std::string& name, QColor colour) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(colour);
    const QString path = QString::fromStdString(home_.Folder() + name);
    EXPECT_TRUE(picture.save(path, nullptr, 100)) << name;
    return path;
  }
  void Choose(int id, const QString& file) {
    dialogs_.files.push_back(file);
    Trigger(id);
  }

  testing::TempHome home_;
  testing::ScriptedMessageBoxes boxes_;
  ScopedMessageBoxes boxesGuard_{&boxes_};
  testing::ScriptedDialogs dialogs_;
  ScopedDialogs dialogsGuard_{&dialogs_};
  std::unique_ptr<CVarneloApp> app_;
};

TEST_F(PageAppearanceTest, NightModePictureAndColoursSurviveARestart) {
  Start();
  for (bool night : {true, false}) {
    Trigger(cmd::kNightMode);
    EXPECT_EQ(Frame()->ActionOf(cmd::kNightMode)->isChecked(), night);
    EXPECT_EQ(Seen(), night ? kNight : kGreen);
    EXPECT_EQ(TextColour(), night ? kGrey : QColor(0, 0, 0));
  }
  for (const char* name : {"p.bmp", "p.png", "p.jpg"}) {
    const QColor colour(10, 120 + name[2], 200);
    Choose(cmd::kPictureBackground, Picture(name, colour));
    EXPECT_EQ(dialogs_.titles.back(), QStringLiteral("打开图片文件"));
    EXPECT_EQ(dialogs_.filters.back(), QStringLiteral("常见格式图片(*.jpg,*.bmp,*.jpeg,*.png)"));
    EXPECT_TRUE(Near(Seen(), colour)) << name << " " << Seen().name().toStdString();
  }
  dialogs_.colours.push_back(0x00336699);
  Trigger(cmd::kOtherColour);  // forgets the picture
  EXPECT_EQ(Seen(), QColor(0x99, 0x66, 0x33));
  Trigger(cmd::kSpacing300);
  Trigger(cmd::kSizeMedium);
  Choose(cmd::kPictureBackground, Picture("look.png", Qt::blue));
  Trigger(cmd::kNightMode);
  const TextAppearance before = Format();
  Frame()->close();

  Start();  // in night mode, over a picture
  EXPECT_EQ(Format(), before);
  EXPECT_TRUE(Frame()->ActionOf(cmd::kNightMode)->isChecked());
  EXPECT_EQ(Seen(), kNight);
  Trigger(cmd::kNightMode);
  EXPECT_TRUE(Near(Seen(), Qt::blue)) << "the picture shows again";
  Trigger(cmd::kDefaultBackground);
  Trigger(cmd::kNightMode);
  Trigger(cmd::kNightMode);
  EXPECT_EQ(Seen(), kGreen) << "night mode must not bring a forgotten picture back";
  Frame()->close();
  EXPECT_EQ(Stored(ConfigKey::PicturePath), "");
  EXPECT_EQ(Stored(ConfigKey::Background), "13625548");
}

TEST_F(PageAppearanceTest, APictureThatCannotBeShownChangesNothing) {
  const QString good = Picture("good.bmp", Qt::blue);
  const QString broken = QString::fromStdString(home_.Folder() + "broken.jpg");
  QFile file(broken);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
  file.close();
  Start();
  Choose(cmd::kPictureBackground, good);
  const std::pair<QString, const char*> cases[] = {
      {QString::fromStdString(home_.Folder() + "missing.jpg"), "无法打开图片文件"},
      {broken, "无法显示图片"}};
  for (const auto& [path, message] : cases) {
    boxes_.shown.clear();
    Choose(cmd::kPictureBackground, path);
    ASSERT_EQ(boxes_.shown.size(), 1u) << message;
    EXPECT_TRUE(boxes_.shown[0].text.startsWith(QString::fromUtf8(message)));
    EXPECT_TRUE(boxes_.shown[0].text.contains(path));
    EXPECT_EQ(Seen(), QColor(Qt::blue)) << message;
  }
  Frame()->close();
  EXPECT_EQ(Stored(ConfigKey::PicturePath), good.toStdString());

  ASSERT_TRUE(QFile::remove(good));  // gone before the next run: forgotten
  Start();
  EXPECT_EQ(Seen(), kGreen);
  Frame()->close();
  EXPECT_EQ(Stored(ConfigKey::PicturePath), "");
}

TEST_F(PageAppearanceTest, FontDialogTakesFaceSizeAndColour) {
  Start();
  // "宋体" is drawn, and offered, as the installed serif face.
  EXPECT_EQ(QFontInfo(Pane()->font()).family(), QStringLiteral("Noto Serif CJK SC"));
  Trigger(cmd::kFont);  // cancelled
  ASSERT_EQ(dialogs_.fontOffers.size(), 1u);
  EXPECT_EQ(dialogs_.fontOffers[0].face, QStringLiteral("Noto Serif CJK SC"));
  EXPECT_EQ(dialogs_.fontOffers[0].pixelHeight, 13);
  dialogs_.fonts.push_back(dialogs_.fontOffers[0]);  // OK on what was offered
  Trigger(cmd::kFont);
  EXPECT_EQ(Format().face, "宋体");
  EXPECT_EQ(Format().fontSize, 270);

  dialogs_.fonts.push_back({QStringLiteral("Noto Sans CJK SC"), 16, 0x0000FF});
  Trigger(cmd::kFont);
  EXPECT_EQ(Format().face, "Noto Sans CJK SC");
  EXPECT_EQ(Format().fontSize, 320);
  EXPECT_EQ(TextColour(), QColor(255, 0, 0));
  Trigger(cmd::kNightMode);  // a colour chosen at night waits for the day
  dialogs_.fonts.push_back({QStringLiteral("黑体"), 16, 0x00FF00});
  Trigger(cmd::kFont);
  EXPECT_EQ(TextColour(), kGrey);
  Trigger(cmd::kNightMode);
  EXPECT_EQ(TextColour(), QColor(0, 255, 0));
  EXPECT_EQ(QFontInfo(Pane()->font()).family(), QStringLiteral("Noto Sans CJK SC"));
  Frame()->close();
  EXPECT_EQ(Stored(ConfigKey::Face), "黑体");
}

TEST_F(PageAppearanceTest, SizesAndSpacingsChangeThePageWithinTheirBounds) {
  Start();
  Trigger(cmd::kSizeSmall);  // 280, so that steps of 40 meet the bounds exactly
  const struct {
    int id;
    int TextAppearance::*field;
    int bound;
  } steps[] = {{cmd::kSmallerFont, &TextAppearance::fontSize, 200},
               {cmd::kLargerFont, &TextAppearance::fontSize, 1400},
               {cmd::kNarrowerSpacing, &TextAppearance::lineSpacing, 50},
               {cmd::kWiderSpacing, &TextAppearance::lineSpacing, 750}};
  for (const auto& step : steps) {
    QWidget* button = Frame()->ToolBar()->widgetForAction(Frame()->ActionOf(step.id));
    for (int i = 0; i < 40; ++i) qobject_cast<QToolButton*>(button)->click();
    EXPECT_EQ(Format().*step.field, step.bound) << step.id;
    EXPECT_EQ(app_->Settings().appearance.*step.field, step.bound) << "the mirror follows";
  }

  Choose(cmd::kOpenFile, QString::fromStdString(testing::CorpusBook("三国演义.txt")));
  auto height = [this] { return Pane()->document()->documentLayout()->documentSize().height(); };
  Trigger(cmd::kSizeSmall);
  Trigger(cmd::kSpacing100);
  const qreal plain = height();
  Trigger(cmd::kSpacing200);  // "2.0"
  const qreal spaced = height();
  EXPECT_GT(spaced, plain * 1.1);
  Trigger(cmd::kSizeLarge);  // "大"
  EXPECT_GT(height(), spaced * 1.1);
}

TEST_F(PageAppearanceTest, BottomBarButtonsAreDrawnFromTheSkinAndStillPage) {
  Start();
  Choose(cmd::kOpenFile, QString::fromStdString(testing::CorpusBook("三国演义.txt")));
  auto* next = Frame()->View()->findChild<QPushButton*>(QStringLiteral("button1012"));
  ASSERT_TRUE(next != nullptr && next->size() == QSize(50, 20));
  // The left edge at mid-height, from the same column of each frame.
  const QImage strip = ButtonSkinStrip();
  auto shows = [&](int frame) {
    return Near(next->grab().toImage().pixelColor(2, 10), strip.pixelColor(frame * 55 + 2, 11));
  };
  EXPECT_EQ(next->grab().toImage().pixelColor(0, 0), next->palette().color(QPalette::Button))
      << "the face shows where the skin is magenta";
  EXPECT_TRUE(shows(kNormalFrame));
  next->setDown(true);
  EXPECT_TRUE(shows(kPressedFrame));
  next->setDown(false);
  next->click();
  EXPECT_EQ(Frame()->View()->CurrentPage(), 2) << "the click still turns the page";
  next->setEnabled(false);
  EXPECT_TRUE(shows(kDisabledFrame));
}

// A click leaves the focus on the button, which then draws its focused frame; the paging
// keys typed next still page the book.
TEST_F(PageAppearanceTest, AClickedButtonDrawsTheFocusAndPassesThePagingKeysOn) {
  Start();
  Choose(cmd::kOpenFile, QString::fromStdString(testing::CorpusBook("三国演义.txt")));
  QApplication::setActiveWindow(Frame());
  auto* screen = Frame()->View()->findChild<QPushButton*>(QStringLiteral("button1052"));
  ASSERT_NE(screen, nullptr);
  QTest::mouseClick(screen, Qt::LeftButton);
  ASSERT_EQ(Frame()->View()->CurrentPage(), 1) << "one screen on, the page stays";
  EXPECT_TRUE(screen->hasFocus());
  const QImage strip = ButtonSkinStrip();
  EXPECT_TRUE(Near(screen->grab().toImage().pixelColor(2, 10), strip.pixelColor(kFocusedFrame * 55 + 2, 11)));
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  QCoreApplication::sendEvent(QApplication::focusWidget(), &right);
  EXPECT_EQ(Frame()->View()->CurrentPage(), 2);
  EXPECT_TRUE(Pane()->hasFocus());
}

}  // namespace
}  // namespace varnelo
