// Tool-bar and program icons, drawn at run time so the program carries no image files.
#pragma once

#include <QIcon>
#include <QImage>

namespace varnelo {

// Icon of a tool-bar command at 19x19 (normal) and 24x24 (hot); a null icon for a
// command that has no button.
QIcon ToolBarIcon(int commandId);

// The program's icon (window, tray): an open book, at 19x19, 24x24 and 48x48.
QIcon AppIcon();
// The same drawing at any size, for the desktop's menus.
QImage AppIconImage(int size);

}  // namespace varnelo
