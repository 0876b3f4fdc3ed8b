// The main window's arithmetic, kept apart from the widgets so it can be checked alone:
// waterfall pixels to hertz, the fine-tune slider, the squelch bar, the sample-rate
// trim, the read-out formats and the layout offset.
#pragma once

#include <optional>
#include <string>

namespace vela::app {

// The client height the control positions are laid out for.
inline constexpr int kDesignClientHeight = 492;
// The smallest client height: the receive pane gives up 80 pixels of its 238, so the whole
// window (menu bar and title included) stays under 500 pixels, which a 1000-pixel screen
// at 200% scaling still shows with its status bar.
inline constexpr int kSmallestClientHeight = 412;
inline constexpr int kFineTuneCentre = 512;
inline constexpr int kFineTuneRange = 1024;

// Pixels by which the client area is taller (or, negative, shorter) than designed.
int LayoutOffset(int clientHeight);

// How a client height away from the design is shared out: above it, a sixth to the
// transmit pane, a third to the waterfall, the rest to the receive pane; below it (down to
// kSmallestClientHeight) the receive pane alone gives up room. The three add up to
// LayoutOffset(clientHeight).
struct HeightShares {
  int receivePane = 0;
  int transmitPane = 0;
  int waterfall = 0;
};
HeightShares ShareHeight(int clientHeight);

// Audio frequency under waterfall column x: 250 Hz plus 3.90625 Hz per pixel, the
// waterfall's own mapping (ScreenColumnFrequency). The same scale serves the cursor
// read-out and the left and right clicks.
long double WaterfallFrequency(int x);

// The cursor read-out's level, dB relative to full scale of the spectrum magnitude.
float WaterfallLevel(float magnitude);

// Slider position set after a click at `frequency`: 512 - frequency / 50, rounded.
int FineTunePositionAfterClick(long double frequency);

// Receive frequency for a slider position: right of centre lowers it, and the travel
// scales with the mode's speed (modeRate 125..2000).
long double FineTuneFrequency(long double clickFrequency, int modeRate, int position);

// Squelch level for a click `y` pixels from the top of a bar `barHeight` pixels tall:
// 0 at the bottom, the bar height at the top, kept within 0..100.
int SquelchFromClick(int barHeight, int y);

// The receive sample rate after one step of the trim control (delta +1 or -1 per click;
// the rate moves by delta / 10 the other way). The result stays on the 0.1 Hz grid so it
// reads back unchanged from the settings file; a step that would leave less than 1 Hz is
// refused and the old rate returned.
long double StepSampleRate(long double rate, int delta);

// " #.#": a leading space and at most one decimal (" 8000", " 7999.9").
std::string FormatSampleRate(long double rate);
// "#": whole number, rounded ("1000").
std::string FormatWhole(long double value);
// "0.0": exactly one decimal ("-42.0").
std::string FormatOneDecimal(long double value);

// Status parts 1 and 2: an audio frequency to the tenth of a hertz ("1000.0 Hz"), or, with
// a rig reporting its dial, the frequency on air in kilohertz to the tenth of a hertz
// ("137.3020 kHz"), never shortened.
std::string FormatFrequency(long double hz, bool onAir);
// Status part 2, the read-out under the mouse: "Cursor 1012.5 Hz, -42.0 dB".
std::string FormatCursorReadout(long double hz, bool onAir, float levelDb);

// Status part 6: "8 December 2026 - 09:05:30 UTC" (operators log in UTC), or "... local
// time" when asked. A month outside 1..12 reads "Octember".
std::string FormatClock(int day, int month, int year, int hour, int minute, int second,
                        bool utc = false);
// The English month name, or "Octember" for any other number.
std::string MonthName(int month);

// The receive pane's save file: "VELA07December2026095030.rtf" for 7 December 2026
// at 09:50:30.
std::string SaveScreenFileName(int day, int month, int year, int hour, int minute, int second);

// The port number a PTT picker answer selects: the value of its last character, 0 for
// "none" or anything below 1. An empty answer (cancelled) keeps the current port.
std::optional<int> PttPortFromAnswer(const std::string& answer);

// A transmit frequency typed by the operator: a positive number of hertz, optionally
// followed by "Hz". Anything else gives no value.
std::optional<long double> ParseFrequencyAnswer(const std::string& answer);

}  // namespace vela::app
