#pragma once
// The main menu as data: every command with its number, the menu it sits in,
// its text (with "&" before the access key) and whether its work exists in
// this build. The desktop program builds its menu bar from this table.
#include <string>
#include <vector>

namespace tmv {

struct MenuEntry {
  int number = 0;          // command number, or a menu's number (cmd::kMenu...)
  int parent = 0;          // cmd::kMenuBar for the bar itself, else a menu's number
  const char* text = "";   // as shown, with "&" marking the access key
  char accessKey = 0;      // the character after "&" (0 when there is none)
  bool isMenu = false;     // a popup holding other entries
  bool built = false;      // false: shown greyed, nothing behind it yet
  bool separatorBefore = false;
};

// Menus and commands in menu order (a popup comes before its entries).
const std::vector<MenuEntry>& MenuTable();
// nullptr for a number that is not in the table.
const MenuEntry* FindMenuEntry(int number);
// Whether the command may ever be enabled in this build (menus: always).
bool IsCommandBuilt(int number);
// The entries of one menu (or of the menu bar), in order.
std::vector<const MenuEntry*> MenuChildren(int parent);
// The recent-file entry text: "%2d - %s" with a number from 1.
std::string RecentFileMenuText(int index, const std::string& path);

}  // namespace tmv
