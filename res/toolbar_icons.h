// Tool-bar and program icons, drawn at run time so the program carries no image files.
#pragma once

#include <QIcon>
#include <QImage>

namespace varnelo {

// Icon of a tool-bar command: the 19x19 image normally (greyed when disabled), the 24x24
// one while the pointer is over the button; a null icon for a command with no button.
QIcon ToolBarIcon(int commandId);

// The program's icon (window, tray): an open book, at 19x19, 24x24 and 48x48.
QIcon AppIcon();
// The same drawing at any size, for the desktop's menus.
QImage AppIconImage(int size);

}  // namespace varnelo
