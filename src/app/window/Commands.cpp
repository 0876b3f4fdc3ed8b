#include "app/window/Commands.h"

#include <algorithm>
#include <array>

namespace vela::app {

namespace {

using enum CommandId;
using enum CommandSite;

constexpr CommandEntry kCommands[] = {
    {SaveScreen, FileMenu, "Save screen to file now"},
    {SaveScreenAs, FileMenu, "Save screen as..."},
    {DecodeRecording, FileMenu, "Decode recording..."},
    {ReceiveLog, FileMenu, "Receive log", true},
    {RecordAudio, FileMenu, "Record receive audio...", true},
    {Quit, FileMenu, "Quit", false, false, "Ctrl+Q"},
    {PttPort, TxMenu, "PTT"},
    {Cat, TxMenu, "CAT"},
    {TransmitFrequency, TxMenu, "Transmit frequency"},
    {Beacon, TxMenu, "Toggle beacon mode ON/OFF"},
    {Tune, TxMenu, "Toggle tune signal ON/OFF"},
    {TransmitFollows, TxMenu, "Transmit where I receive", true},
    {Mixer, SoundcardMenu, "Mixer"},
    {AudioDevices, SoundcardMenu, "Audio Devices"},
    {SelectSoundcard, SoundcardMenu, "SelectSoundcard"},
    {OutputMode, SoundcardMenu, "I and Q output"},
    {CorrelationDisplay, DisplayMenu, "Correlation display"},
    {WaterfallPalette, DisplayMenu, "Toggle waterfall palette"},
    {WaterfallMenu, DisplayMenu, "Waterfall"},
    {EnhancedReceiver, DisplayMenu, "Enhanced receiver", true},
    {SignalBrowser, DisplayMenu, "Signal browser"},
    {MenuVela8, DisplayMenu, "Mode VELA8", false, false, "Ctrl+1"},
    {MenuVela31, DisplayMenu, "Mode VELA31", false, false, "Ctrl+2"},
    {MenuVela63, DisplayMenu, "Mode VELA63", false, false, "Ctrl+3"},
    {MenuVela125, DisplayMenu, "Mode VELA125", false, false, "Ctrl+4"},
    {SquelchUp, DisplayMenu, "Squelch up", false, false, "Ctrl+Shift+Up"},
    {SquelchDown, DisplayMenu, "Squelch down", false, false, "Ctrl+Shift+Down"},
    {LocalClock, DisplayMenu, "Clock in local time", true},
    {ClearRx, TextMenu, "Clear RX"},
    {ClearTx, TextMenu, "Clear TX"},
    {SecondaryText, TextMenu, "Secondary text"},
    {Callsign, TextMenu, "Callsign"},
    {Help, HelpMenu, "Help"},
    {About, HelpMenu, "About"},

    {Copy, PaneMenu, "Copy"},
    {Paste, PaneMenu, "Paste"},
    {ClearReceiveScreen, PaneMenu, "Clear RX screen"},
    {SelectAll, PaneMenu, "Select all", false, true},
    {PauseScreen, PaneMenu, "Pause screen", true, true},

    {Send, Button, "F9 Send"},
    {DelayedReceive, Button, "F10 Rx"},
    {CwId, Button, "CWID"},
    {Macro1, MacroButton, nullptr},
    {Macro2, MacroButton, nullptr},
    {Macro3, MacroButton, nullptr},
    {Macro4, MacroButton, nullptr},
    {Macro5, MacroButton, nullptr},
    {Macro6, MacroButton, nullptr},
    {Macro7, MacroButton, nullptr},
    {Macro8, MacroButton, nullptr},
    {ModeVela8, ModeButton, "VELA8"},
    {ModeVela31, ModeButton, "VELA31"},
    {ModeVela63, ModeButton, "VELA63"},
    {ModeVela125, ModeButton, "VELA125"},

    {KeyF1, FunctionKey, "F1"},
    {KeyF2, FunctionKey, "F2"},
    {KeyF3, FunctionKey, "F3"},
    {KeyF4, FunctionKey, "F4"},
    {KeyF5, FunctionKey, "F5"},
    {KeyF6, FunctionKey, "F6"},
    {KeyF7, FunctionKey, "F7"},
    {KeyF8, FunctionKey, "F8"},
    {KeyF9, FunctionKey, "F9"},
    {KeyF10, FunctionKey, "F10"},
};

constexpr std::array<const char*, kMenuCount> kMenuTitles = {"File",    "TX options",   "Soundcard",
                                                             "Display", "Text options", "Help"};

}  // namespace

std::span<const CommandEntry> CommandTable() {
  return kCommands;
}

const CommandEntry* FindCommand(int id) {
  const auto* found =
      std::find_if(std::begin(kCommands), std::end(kCommands),
                   [id](const CommandEntry& e) { return CommandNumber(e.id) == id; });
  return found == std::end(kCommands) ? nullptr : found;
}

const CommandEntry& Entry(CommandId id) {
  return *FindCommand(CommandNumber(id));
}

const char* MenuTitle(CommandSite menu) {
  return kMenuTitles.at(static_cast<size_t>(menu));
}

int MacroIndex(CommandId macro) {
  return CommandNumber(macro) - CommandNumber(Macro1);
}

CommandId MacroCommand(int index) {
  return static_cast<CommandId>(CommandNumber(Macro1) + index);
}

Mode ModeOf(CommandId modeButton) {
  return static_cast<Mode>(CommandNumber(modeButton) - CommandNumber(ModeVela8));
}

CommandId ModeCommand(Mode mode) {
  return static_cast<CommandId>(CommandNumber(ModeVela8) + static_cast<int>(mode));
}

CommandId ButtonOfKey(CommandId key) {
  if (key == KeyF9) return Send;
  if (key == KeyF10) return DelayedReceive;
  return MacroCommand(CommandNumber(key) - CommandNumber(KeyF1));
}

}  // namespace vela::app
