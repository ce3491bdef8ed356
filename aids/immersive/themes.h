// The reading mode's themes as whole-window palettes, and the desktop's dark preference.
#pragma once

#include <QPalette>

#include "aids/immersive/reading_theme.h"

namespace varnelo {

QColor RgbColour(std::uint32_t rgb);

// Every role a window, menu, dialog, list or scroll bar draws with, in the theme's colours.
QPalette PaletteOf(const ThemeColours& colours);

// Whether the desktop asks for dark windows: the GTK setting or theme name, else the
// lightness of the palette the session started with (`startPalette`).
bool DesktopPrefersDark(const QPalette& startPalette);

}  // namespace varnelo
