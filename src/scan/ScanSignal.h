// What the band scanner publishes about each signal it copies: where it is, in which mode,
// how strong, how sure its sync is, who is sending (the secondary channel) and what they
// sent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "coding/Modes.h"

namespace vela {

struct ScanSignal {
  int id = 0;  // stable while the signal is listed, never reused in a scanner's life
  Mode mode = kDefaultMode;
  double centreHz = 0.0;  // audio centre frequency
  double snrDb = 0.0;     // signal over the noise in 2500 Hz
  int confidence = 0;     // mean sync confidence (0..100) of the frames that had sync
  int64_t frames = 0;     // frames searched, and those among them that had sync
  int64_t syncFrames = 0;
  std::string call;         // the sender's callsign once copied whole (coding/Callsign.h)
  std::string secondary;    // the secondary text as copied (Windows-1252 bytes)
  std::string text;         // the copied text, receive pane rules applied (Windows-1252)
  double firstHeard = 0.0;  // seconds of input since the scanner started, when the first
  double lastHeard = 0.0;   // and the last frame with sync went out on air

  // The last line of the text (what follows its last line break; the line before when
  // the text ends with one).
  std::string_view LastLine() const;
};

// A mark for the waterfall's scale: the centre and the two tones of a signal.
struct ScanMark {
  int id = 0;
  Mode mode = kDefaultMode;
  double centreHz = 0.0;
  double lowerToneHz = 0.0;
  double upperToneHz = 0.0;
};

}  // namespace vela
