// CConfigStore: the settings store over Config.ini. Every read and write goes to the file
// at once; the file is the single source of truth shared by several stores.
#pragma once

#include <cstdint>
#include <string>

namespace varnelo {

inline constexpr char kConfigFileName[] = "Config.ini";

// The main window's placement as stored under [Interface] RemWndPlace: eleven 32-bit
// fields, 44 bytes, in this order.
struct WindowPlacement {
  std::uint32_t length = 44;
  std::uint32_t flags = 0;
  std::uint32_t showCommand = 1;  // 1 shown normally, 3 maximised, 2 minimised
  std::int32_t minX = -1, minY = -1;
  std::int32_t maxX = -1, maxY = -1;
  std::int32_t left = 100, top = 100, right = 900, bottom = 700;
};
static_assert(sizeof(WindowPlacement) == 44);

// The placement read at start-up: the default when the key is missing, unreadable, or its
// length field (unsigned) is 0 or above 10000.
WindowPlacement ReadWindowPlacement(const std::string& settingsPath);
void WriteWindowPlacement(const WindowPlacement& placement, const std::string& settingsPath);

struct StyleValues {
  int backgroundColour = 0x00CFE8CC;  // 0x00BBGGRR
  int textColour = 0;
  std::string face = "宋体";
  int fontSize = 270;     // twentieths of a point
  int lineSpacing = 100;  // twentieths of a point
};

class CConfigStore {
 public:
  CConfigStore() = default;
  virtual ~CConfigStore() = default;

  void SetSettingsPath(std::string path) { settingsPath_ = std::move(path); }
  const std::string& SettingsPath() const { return settingsPath_; }

  // [Style] bkcolor, txtcolor, txtfont, txtsize, txthj, in that order.
  void LoadStyle();
  // Writes bkcolor, txtcolor, txtfont; txtsize and txthj only when 0 or more.
  void SaveStyle(int backgroundColour, int textColour, const std::string& face, int fontSize,
                 int lineSpacing);
  const StyleValues& Style() const { return style_; }

  int ReadInt(const char* section, const char* key, int defaultValue) const;
  std::string ReadString(const char* section, const char* key) const;
  void WriteInt(const char* section, const char* key, int value) const;
  void WriteString(const char* section, const char* key, const std::string& value) const;

 private:
  StyleValues style_;
  std::string settingsPath_;
};

}  // namespace varnelo
