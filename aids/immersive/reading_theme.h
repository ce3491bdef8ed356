// The reading mode's colour themes and the arithmetic around them, free of Qt: colours are
// 0xRRGGBB values, as style sheets and palettes spell them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

enum class ReadingTheme { Day = 0, Sepia = 1, Green = 2, Night = 3, Desktop = 4 };

// A stored number back as a theme; anything unknown is the day theme.
ReadingTheme ThemeOfNumber(int number);

// The colours of one theme: the page, its text, quieter text (status line, hints), the
// window around panels and dialogs, and an accent for what is marked or chosen.
struct ThemeColours {
  std::uint32_t page;
  std::uint32_t text;
  std::uint32_t muted;
  std::uint32_t window;
  std::uint32_t panel;
  std::uint32_t accent;
  bool dark;
};

// "Desktop" resolves to night or day by `desktopDark`.
ThemeColours ColoursOf(ReadingTheme theme, bool desktopDark);

// The contrast ratio of two colours as the web's accessibility guidelines define it, from
// 1 (the same) to 21 (black on white).
double ContrastRatio(std::uint32_t first, std::uint32_t second);

// Automatic scrolling: how many lines a minute a step kind and interval give, and the
// interval nearest a number of lines a minute. `lineHeight` is a line's height in pixels;
// `screenLines` the lines a screenful moves. Kinds: 0 by pixel, 1 by line, 2 by screen.
int LinesPerMinute(int rollKind, int intervalMs, int lineHeight, int screenLines);
int IntervalForLinesPerMinute(int rollKind, int linesPerMinute, int lineHeight, int screenLines);
// The next speed up (+1) or down (-1) from `linesPerMinute`: about a tenth faster or
// slower, always at least one line, within 1 and 6000.
int SteppedLinesPerMinute(int linesPerMinute, int direction);

// The face the page uses: the user's choice when the system has it, else the first of the
// CJK faces a reader of Chinese expects (serif first), else empty (the toolkit's default).
std::string PickReadingFace(std::string_view chosen, const std::vector<std::string>& installed);
const std::vector<std::string>& PreferredReadingFaces();

}  // namespace varnelo

namespace varnelo {

enum class DesktopDark { Unknown, Dark, Light };
// What GTK's settings.ini (`gtk-application-prefer-dark-theme`, `gtk-theme-name`) and the
// GTK_THEME variable say about dark windows; the variable wins.
DesktopDark GtkPrefersDark(std::string_view settingsIni, std::string_view gtkThemeVariable);

}  // namespace varnelo
