// The reading mode's colours, scrolling speeds, the desktop's dark preference and the
// choice of face.
#include <gtest/gtest.h>

#include "aids/immersive/reading_theme.h"

namespace varnelo {
namespace {

TEST(ReadingTheme, EveryThemeReadableAndNightDark) {
  EXPECT_NEAR(ContrastRatio(0x000000, 0xFFFFFF), 21.0, 0.01);
  EXPECT_NEAR(ContrastRatio(0x777777, 0x777777), 1.0, 0.001);
  for (int number = 0; number <= 4; ++number) {
    for (const bool dark : {false, true}) {
      const ThemeColours colours = ColoursOf(ThemeOfNumber(number), dark);
      EXPECT_GE(ContrastRatio(colours.text, colours.page), 7.0) << number;
      EXPECT_GE(ContrastRatio(colours.muted, colours.page), 3.0) << number;
    }
  }
  EXPECT_TRUE(ColoursOf(ReadingTheme::Night, false).dark);
  EXPECT_TRUE(ColoursOf(ReadingTheme::Desktop, true).dark);
  EXPECT_FALSE(ColoursOf(ReadingTheme::Desktop, false).dark);
  // The green theme keeps the classic window's page colour.
  EXPECT_EQ(ColoursOf(ReadingTheme::Green, false).page, 0xCCE8CFu);
  // A hand-edited number outside the themes is the day theme, never undefined.
  for (const int stored : {-1, 5, 2147483647}) EXPECT_EQ(ThemeOfNumber(stored), ReadingTheme::Day) << stored;
}

TEST(ReadingTheme, ScrollSpeedInLinesAMinute) {
  struct Case {
    int kind, lineHeight, screenLines;
  };
  for (const Case c : {Case{0, 30, 20}, Case{1, 30, 20}, Case{2, 30, 20}, Case{0, 1, 1}, Case{7, 44, 3}}) {
    for (const int lines : {1, 12, 60, 600}) {
      const int interval = IntervalForLinesPerMinute(c.kind, lines, c.lineHeight, c.screenLines);
      EXPECT_GE(interval, 1);
      const int back = LinesPerMinute(c.kind, interval, c.lineHeight, c.screenLines);
      // The interval is whole milliseconds: at a few milliseconds a step that is coarse.
      EXPECT_NEAR(back, lines, std::max(1, lines / 5)) << c.kind << " " << lines;
    }
  }
  // Each step moves the speed, never below a line a minute, never past the top.
  for (const int lines : {1, 2, 9, 10, 55, 5999, 6000}) {
    EXPECT_GT(SteppedLinesPerMinute(lines, 1), lines == 6000 ? 5999 : lines) << lines;
    EXPECT_LE(SteppedLinesPerMinute(lines, 1), 6000);
    EXPECT_EQ(SteppedLinesPerMinute(lines, -1) < lines, lines > 1) << lines;
    EXPECT_GE(SteppedLinesPerMinute(lines, -1), 1);
  }
  // Hostile settings: no division by zero, no overflow.
  EXPECT_GE(LinesPerMinute(0, 0, 0, 0), 0);
  EXPECT_GE(LinesPerMinute(2, -5, 10, 2147483647), 0);
  EXPECT_GE(IntervalForLinesPerMinute(0, 2147483647, 2147483647, 0), 1);
}

TEST(ReadingTheme, DesktopDarkFromGtk) {
  struct Case {
    const char* ini;
    const char* variable;
    DesktopDark expected;
  };
  const Case cases[] = {
      {"", "", DesktopDark::Unknown},
      {"[Settings]\ngtk-application-prefer-dark-theme=1\n", "", DesktopDark::Dark},
      {"[Settings]\r\ngtk-application-prefer-dark-theme = true\r\n", "", DesktopDark::Dark},
      {"[Settings]\ngtk-application-prefer-dark-theme=0\ngtk-theme-name=Adwaita\n", "", DesktopDark::Light},
      {"[Settings]\ngtk-application-prefer-dark-theme=0\ngtk-theme-name=Adwaita-dark\n", "", DesktopDark::Dark},
      {"[Other]\ngtk-application-prefer-dark-theme=1\n", "", DesktopDark::Unknown},
      {"[Settings]\ngtk-application-prefer-dark-theme=1\n", "Adwaita", DesktopDark::Light},
      {"", "Adwaita:dark", DesktopDark::Dark},
      {"", "  ", DesktopDark::Unknown},
      {"[Settings]\ngtk-theme-name=dark\n", "", DesktopDark::Light},
  };
  for (const Case& c : cases) EXPECT_EQ(GtkPrefersDark(c.ini, c.variable), c.expected) << c.ini << "|" << c.variable;
}

TEST(ReadingTheme, FacePickedFromWhatIsInstalled) {
  const std::vector<std::string> all = {"DejaVu Sans", "AR PL UKai CN", "Noto Sans CJK SC", "Noto Serif CJK SC"};
  const std::vector<std::string> noSerif = {"DejaVu Sans", "AR PL UKai CN", "Noto Sans CJK SC"};
  const std::vector<std::string> none = {"DejaVu Sans"};
  EXPECT_EQ(PickReadingFace("", all), "Noto Serif CJK SC");
  EXPECT_EQ(PickReadingFace("AR PL UKai CN", all), "AR PL UKai CN");
  EXPECT_EQ(PickReadingFace("Gone Face", all), "Noto Serif CJK SC");  // a face since removed
  EXPECT_EQ(PickReadingFace("", noSerif), "Noto Sans CJK SC");
  EXPECT_EQ(PickReadingFace("", none), "");
}

}  // namespace
}  // namespace varnelo
