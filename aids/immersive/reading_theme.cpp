#include "aids/immersive/reading_theme.h"

#include <algorithm>
#include <cmath>

namespace varnelo {

ReadingTheme ThemeOfNumber(int number) {
  return number >= 0 && number <= 4 ? static_cast<ReadingTheme>(number) : ReadingTheme::Day;
}

ThemeColours ColoursOf(ReadingTheme theme, bool desktopDark) {
  if (theme == ReadingTheme::Desktop) theme = desktopDark ? ReadingTheme::Night : ReadingTheme::Day;
  switch (theme) {
    case ReadingTheme::Sepia:
      return {0xF4ECD8, 0x3B2F20, 0x7A6A55, 0xEDE3CC, 0xF8F1E2, 0x9C6B30, false};
    case ReadingTheme::Green:
      // The page and text of the classic window: 青草绿 and black.
      return {0xCCE8CF, 0x000000, 0x4E6651, 0xC2DEC5, 0xDAEEDC, 0x2E7D4F, false};
    case ReadingTheme::Night:
      return {0x17191C, 0xC8CCD2, 0x868C95, 0x1E2125, 0x23272C, 0x7FA6D6, true};
    case ReadingTheme::Day:
    case ReadingTheme::Desktop:
      break;
  }
  return {0xFBFAF7, 0x1E1E1E, 0x77736C, 0xF1EFEA, 0xFFFFFF, 0x2F6FB5, false};
}

namespace {

double Channel(std::uint32_t value) {
  const double c = static_cast<double>(value & 0xFF) / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(std::uint32_t rgb) {
  return 0.2126 * Channel(rgb >> 16) + 0.7152 * Channel(rgb >> 8) + 0.0722 * Channel(rgb);
}

}  // namespace

double ContrastRatio(std::uint32_t first, std::uint32_t second) {
  const double a = Luminance(first);
  const double b = Luminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

namespace {

constexpr int kMinInterval = 1;
constexpr int kMaxInterval = 600000;  // ten minutes a step at the slowest
constexpr int kMaxLinesPerMinute = 6000;

// How many lines one step moves.
double LinesPerStep(int rollKind, int lineHeight, int screenLines) {
  switch (rollKind) {
    case 1: return 1.0;
    case 2: return std::max(screenLines, 1);
    default: return 1.0 / std::max(lineHeight, 1);
  }
}

}  // namespace

int LinesPerMinute(int rollKind, int intervalMs, int lineHeight, int screenLines) {
  const double interval = std::clamp(intervalMs, kMinInterval, kMaxInterval);
  const double lines = 60000.0 / interval * LinesPerStep(rollKind, lineHeight, screenLines);
  return static_cast<int>(std::lround(std::clamp(lines, 0.0, double{kMaxLinesPerMinute})));
}

int IntervalForLinesPerMinute(int rollKind, int linesPerMinute, int lineHeight, int screenLines) {
  const double lines = std::clamp(linesPerMinute, 1, kMaxLinesPerMinute);
  const double interval = 60000.0 * LinesPerStep(rollKind, lineHeight, screenLines) / lines;
  return static_cast<int>(std::lround(std::clamp(interval, double{kMinInterval}, double{kMaxInterval})));
}

int SteppedLinesPerMinute(int linesPerMinute, int direction) {
  const int current = std::clamp(linesPerMinute, 1, kMaxLinesPerMinute);
  const int step = std::max(1, current / 10);
  return std::clamp(current + (direction >= 0 ? step : -step), 1, kMaxLinesPerMinute);
}

const std::vector<std::string>& PreferredReadingFaces() {
  static const std::vector<std::string> faces = {
      "Noto Serif CJK SC", "Source Han Serif SC", "Noto Sans CJK SC", "Source Han Sans SC",
      "AR PL UKai CN",     "AR PL UMing CN",      "WenQuanYi Zen Hei"};
  return faces;
}

std::string PickReadingFace(std::string_view chosen, const std::vector<std::string>& installed) {
  const auto has = [&](std::string_view face) {
    return std::find(installed.begin(), installed.end(), face) != installed.end();
  };
  if (!chosen.empty() && has(chosen)) return std::string(chosen);
  for (const std::string& face : PreferredReadingFaces()) {
    if (has(face)) return face;
  }
  return {};
}

}  // namespace varnelo

namespace varnelo {

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool NamesDarkTheme(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower.size() >= 4 &&
         (lower.ends_with(":dark") || lower.ends_with("-dark") || lower.ends_with("_dark"));
}

}  // namespace

DesktopDark GtkPrefersDark(std::string_view settingsIni, std::string_view gtkThemeVariable) {
  const std::string_view variable = Trimmed(gtkThemeVariable);
  if (!variable.empty()) return NamesDarkTheme(variable) ? DesktopDark::Dark : DesktopDark::Light;
  DesktopDark found = DesktopDark::Unknown;
  bool inSettings = false;
  while (!settingsIni.empty()) {
    const std::size_t end = settingsIni.find('\n');
    const std::string_view line = Trimmed(settingsIni.substr(0, end));
    settingsIni.remove_prefix(end == std::string_view::npos ? settingsIni.size() : end + 1);
    if (line.starts_with('[')) {
      inSettings = line == "[Settings]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inSettings || equals == std::string_view::npos) continue;
    const std::string_view key = Trimmed(line.substr(0, equals));
    const std::string_view value = Trimmed(line.substr(equals + 1));
    if (key == "gtk-application-prefer-dark-theme" || key == "gtk-theme-name") {
      const bool dark = key == "gtk-theme-name"
                            ? NamesDarkTheme(value)
                            : value == "1" || value == "true" || value == "TRUE" || value == "True";
      if (dark) return DesktopDark::Dark;
      found = DesktopDark::Light;
    }
  }
  return found;
}

}  // namespace varnelo
