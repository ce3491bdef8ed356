// How the page text looks: one value shared by the settings store, the reading view, the
// state mirror and the page pane. Colours are 0x00BBGGRR values, as Config.ini keeps them;
// sizes are in twentieths of a point.
#pragma once

#include <string>

namespace varnelo {

inline constexpr int kDefaultBackground = 0x00CFE8CC;  // "青草绿"
inline constexpr int kNightBackground = 0x003C3C3C;
inline constexpr int kNightTextColour = 0x00808080;

struct TextAppearance {
  std::string face = "宋体";
  int fontSize = 270;     // character height
  int lineSpacing = 100;  // raise above the baseline; each line grows by this much
  int textColour = 0;
  int backgroundColour = kDefaultBackground;
  bool night = false;

  // Night mode greys the text without forgetting the chosen colour.
  int ShownTextColour() const { return night ? kNightTextColour : textColour; }

  bool operator==(const TextAppearance&) const = default;
};

}  // namespace varnelo
