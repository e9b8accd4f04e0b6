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
  const char* shortcut = nullptr;  // the key that runs it, as Qt names keys ("Ctrl+O"), or none
};

// What a command needs before it may run: checked in one place, the command
// gate, by every face that runs it (desktop menu, command-line tool).
// MmcSdCard: card support (capability 23) and a card fitted (table 07 bit 0),
// each refused with its own text.
enum class NeededCapability { None, MicrochipLogger, MmcSdCard };

struct CommandRule {
  int number = 0;
  bool needsLogger = false;  // connect first; stop silently when none answers
  unsigned knows = 0;        // LoggerKnowledge parts read before the work
  // Refusals while the logger is logging or enabled (status not 0, 4 or 8).
  // A QN-760 or QNQ-760 gets its own text when one is given.
  const char* largeLoggerText = nullptr;
  const char* largeLoggerTitle = nullptr;
  // Every other logger (and a QN-760 without its own text): the catalogue
  // refusal for this operation ("set the latency") ...
  const char* loggingOperation = nullptr;
  // ... or a text of its own.
  const char* loggingText = nullptr;
  const char* loggingTitle = nullptr;
  // Loggers that read live without being stopped are not refused.
  bool allowedWithLiveReadingFlag = false;
  // A capability the logger must have, and the refusal when it has not.
  NeededCapability capability = NeededCapability::None;
  const char* incapableText = nullptr;
  const char* incapableTitle = nullptr;
};

// nullptr: the command needs nothing of a logger.
const CommandRule* FindCommandRule(int number);
const std::vector<CommandRule>& CommandRules();

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
