// The one table of commands: every menu, caption, key text, prompt and accelerator, in
// resource order. Menu bar, tool bar, tray menu and routing are all built from it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

enum class MenuKind { Command, Separator, Popup };

struct MenuEntry {
  MenuKind kind = MenuKind::Command;
  int id = 0;                 // command identifier; 0 for separators and popups
  std::string_view caption;   // text before the tab
  std::string_view keyText;   // text after the tab, shown at the right; may be empty
  std::vector<MenuEntry> items;  // popups only

  // The menu text as the item shows it: caption, then a tab and the key text if any.
  std::string MenuText() const;
};

// The popups of the menu bar (resource 128), in order.
const std::vector<MenuEntry>& MenuBar();

// The tray icon's menu.
const std::vector<MenuEntry>& TrayMenu();

// The page pane's right-click menu.
const std::vector<MenuEntry>& ContextMenu();

// String-table text of a command: the status-bar prompt, then "\n" and the tool tip.
// Empty when the command has no string.
std::string_view CommandString(int id);
std::string_view PromptOf(int id);   // the part before "\n"
std::string_view TipOf(int id);      // the part after "\n"

// Accelerator table 128, in order. Keys use portable key-sequence text ("Ctrl+O",
// "Shift+Del", "Ctrl+Return").
struct Accelerator {
  std::string_view keys;
  int id;
};
const std::vector<Accelerator>& Accelerators();

// The tool bar's buttons, in order.
struct ToolButton {
  int id;
  std::string_view label;
};
const std::vector<ToolButton>& ToolBarButtons();

// Fixed strings of the string table that are not command prompts.
std::string_view AppTitle();      // 57344
std::string_view IdleText();      // 57345
std::string_view DocumentString();  // 128

}  // namespace varnelo
