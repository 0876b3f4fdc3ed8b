// The operator's commands: one id each, and one table that says what each is called and
// where it lives (a menu, a button, a function key, the receive pane's context menu). The
// menus, keys and buttons are built from the table, and every command is dispatched by its
// id; the ids are the ones the window has always had, and its controls' names carry them.
#pragma once

#include <span>

#include "coding/Modes.h"

namespace vela::app {

enum class CommandId : int {
  // Buttons beside the transmit pane.
  Send = 110,
  CwId = 699,
  Macro1 = 9310,
  Macro2 = 9311,
  Macro3 = 9312,
  Macro4 = 9313,
  Macro5 = 9314,
  Macro6 = 9315,
  Macro7 = 9316,
  Macro8 = 9317,
  DelayedReceive = 9319,
  ModeVela8 = 3000,
  ModeVela31 = 3001,
  ModeVela63 = 3002,
  ModeVela125 = 3003,
  // F1 to F8 press the macro buttons, F9 SEND, F10 the delayed-receive button.
  KeyF1 = 1401,
  KeyF2 = 1402,
  KeyF3 = 1403,
  KeyF4 = 1404,
  KeyF5 = 1405,
  KeyF6 = 1406,
  KeyF7 = 1407,
  KeyF8 = 1408,
  KeyF9 = 1409,
  KeyF10 = 1410,
  // The receive pane's context menu.
  Copy = 9400,
  Paste = 9401,
  ClearReceiveScreen = 9402,
  SelectAll = 9403,
  PauseScreen = 9404,
  // The menu bar.
  SaveScreen = 1601,
  DecodeRecording = 1602,
  ReceiveLog = 1603,
  Quit = 1604,
  RecordAudio = 1605,
  SaveScreenAs = 1606,
  PttPort = 120,
  Cat = 121,
  TransmitFrequency = 3911,
  Beacon = 3300,
  Tune = 3912,
  TransmitFollows = 3913,
  Mixer = 670,
  AudioDevices = 671,
  SelectSoundcard = 672,
  OutputMode = 3220,
  CorrelationDisplay = 6666,
  WaterfallPalette = 2020,
  WaterfallMenu = 2022,  // the waterfall's span, speed, gain and range
  LocalClock = 2021,
  EnhancedReceiver = 6667,
  SignalBrowser = 6668,
  // The mode buttons and the squelch bar from the keyboard.
  MenuVela8 = 3010,
  MenuVela31 = 3011,
  MenuVela63 = 3012,
  MenuVela125 = 3013,
  SquelchUp = 3260,
  SquelchDown = 3261,
  ClearRx = 3250,
  ClearTx = 3251,
  SecondaryText = 3252,
  Callsign = 1002,
  Help = 1700,
  About = 1701,
};

// Where a command lives. The menus come first, in the menu bar's order.
enum class CommandSite {
  FileMenu,
  TxMenu,
  SoundcardMenu,
  DisplayMenu,
  TextMenu,
  HelpMenu,
  Button,
  MacroButton,
  ModeButton,
  FunctionKey,
  PaneMenu,
};
inline constexpr int kMenuCount = static_cast<int>(CommandSite::HelpMenu) + 1;

struct CommandEntry {
  CommandId id;
  CommandSite site;
  // The menu item's text, the button's caption or the key's name; none for the macro
  // buttons, which carry the operator's labels.
  const char* caption;
  bool checkable = false;
  // In a menu: a separator line goes above the item.
  bool separated = false;
  const char* shortcut = nullptr;  // in a menu: the key that runs it from anywhere
};

// Every command, menu items in their menus' order.
std::span<const CommandEntry> CommandTable();
// The entry of a command id, or none for a number that is no command.
const CommandEntry* FindCommand(int id);
const CommandEntry& Entry(CommandId id);
// The menu bar's title for a menu site.
const char* MenuTitle(CommandSite menu);

constexpr int CommandNumber(CommandId id) {
  return static_cast<int>(id);
}
// Macro buttons 0..7.
int MacroIndex(CommandId macro);
CommandId MacroCommand(int index);
Mode ModeOf(CommandId modeButton);
CommandId ModeCommand(Mode mode);
// The button a function key presses.
CommandId ButtonOfKey(CommandId key);

}  // namespace vela::app
