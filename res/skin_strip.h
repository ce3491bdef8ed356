// The artwork of the skinned buttons, drawn at run time: one 275 x 22 strip of five 55 x 22
// frames (normal, pressed, disabled, focused, and a hover frame kept for later). Magenta
// marks the pixels outside the rounded button, where the face behind shows through.
#pragma once

#include <QImage>
#include <QRgb>

namespace varnelo {

inline constexpr int kSkinStripWidth = 275;
inline constexpr int kSkinStripHeight = 22;
inline constexpr int kSkinFrameCount = 5;
inline constexpr QRgb kSkinTransparent = 0xFFFF00FF;

QImage ButtonSkinStrip();

}  // namespace varnelo
