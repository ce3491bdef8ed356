#include "res/toolbar_icons.h"

#include <QImage>
#include <QSet>

#include <gtest/gtest.h>

#include "res/command_ids.h"
#include "res/command_table.h"

namespace varnelo {
namespace {

// The normal image is 19 pixels, the hot one (pointer over the button) 24.
QImage Pixels(const QIcon& icon, int size) {
  const QIcon::Mode mode = size == 24 ? QIcon::Active : QIcon::Normal;
  return icon.pixmap(size, size, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Distinct opaque colours: a bare tile has one, a tile with a pictogram has several.
int OpaqueColours(const QImage& image) {
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(image.pixel(x, y)) == 255) colours.insert(image.pixel(x, y));
    }
  }
  return static_cast<int>(colours.size());
}

TEST(ToolBarIcons, EveryButtonHasItsOwnVisibleIcon) {
  std::vector<std::pair<int, QImage>> drawn;
  for (const ToolButton& button : ToolBarButtons()) {
    const QIcon icon = ToolBarIcon(button.id);
    ASSERT_FALSE(icon.isNull()) << button.id;
    EXPECT_EQ(icon.availableSizes(QIcon::Normal), QList<QSize>{QSize(19, 19)}) << button.id;
    EXPECT_EQ(icon.availableSizes(QIcon::Active), QList<QSize>{QSize(24, 24)}) << button.id;
    for (int size : {19, 24}) {
      const QImage image = Pixels(icon, size);
      EXPECT_EQ(image.size(), QSize(size, size)) << button.id;
      EXPECT_GE(OpaqueColours(image), 2) << button.id << " at " << size;
    }
    // A greyed button must look greyed whatever the style does with icons.
    const QImage normal = Pixels(icon, 19);
    const QImage greyed =
        icon.pixmap(19, 19, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_NE(greyed, normal) << button.id;
    for (int y = 0; y < 19; ++y)
      for (int x = 0; x < 19; ++x)
        ASSERT_TRUE(qRed(greyed.pixel(x, y)) == qGreen(greyed.pixel(x, y)) &&
                    qGreen(greyed.pixel(x, y)) == qBlue(greyed.pixel(x, y)))
            << button.id;
    drawn.emplace_back(button.id, Pixels(icon, 24));
  }
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    for (std::size_t j = i + 1; j < drawn.size(); ++j) {
      EXPECT_NE(drawn[i].second, drawn[j].second) << drawn[i].first << " vs " << drawn[j].first;
    }
  }
}

TEST(ToolBarIcons, CommandsWithoutButtonGetNoIcon) {
  for (int id : {0, cmd::kCopy, cmd::kAbout, cmd::kRule6, 32821}) {
    EXPECT_TRUE(ToolBarIcon(id).isNull()) << id;
  }
}

TEST(ToolBarIcons, AppIconAtAllSizes) {
  const QIcon icon = AppIcon();
  ASSERT_FALSE(icon.isNull());
  for (int size : {19, 24, 48}) {
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    EXPECT_GE(OpaqueColours(Pixels(icon, size)), 2) << size;
  }
  EXPECT_NE(Pixels(icon, 24), Pixels(ToolBarIcon(cmd::kOpenFile), 24));
}

}  // namespace
}  // namespace varnelo
