// The four VELA speeds and every constant that depends on the speed.
#pragma once

#include <optional>
#include <string_view>

namespace vela {

enum class Mode { Vela8, Vela31, Vela63, Vela125 };

enum class InterleaveLength { Short, Long };

struct ModeParams {
  Mode mode;
  std::string_view name;  // "VELA63"
  int modeRate;           // 16 x the symbol rate: the value the program tests the mode by
  double symbolRate;      // baud
  int samplesPerSymbol;   // at 32000 Hz output
  double toneOffset;      // Hz either side of the centre: a quarter of the symbol rate
  InterleaveLength interleave;
  int frameLength;       // symbols sent per frame
  int dataBitsPerFrame;  // data bits carried per frame
  int bufferLength;      // 16-bit values per one-symbol stereo output buffer
  int morseTickVariableMs;
  int morseTickConstantMs;
  int rxFilterLength;  // taps of the demodulator's first-stage filter
  std::string_view title;
  std::string_view statusText;
};

inline constexpr int kOutputSampleRate = 32000;
// Where a new station starts: the mode, the audio centre of both receiver and transmitter,
// the receive sound card's nominal rate and the squelch.
inline constexpr Mode kDefaultMode = Mode::Vela63;
inline constexpr double kDefaultCentreHz = 1000.0;
inline constexpr double kNominalRxRate = 8000.0;
inline constexpr int kDefaultSquelch = 5;

const ModeParams& ModeTable(Mode mode);

// Half the width a signal of `mode` takes on the band (its main lobe, three quarters of the
// symbol rate): a centre frequency must sit this far inside the audio band it travels in.
double SignalHalfWidth(Mode mode);

// The mode whose modeRate is `modeRate` (125, 500, 1000, 2000), if any.
std::optional<Mode> ModeFromRate(int modeRate);

// Accepts "vela63", "VELA63", "63" and the like; nothing else.
std::optional<Mode> ParseMode(std::string_view text);

// Morse tick in milliseconds for the "CWID flag": 1 = variable speed, 0 = constant.
int MorseTickMs(Mode mode, int cwidFlag);

// The transmit tone offset a one-symbol buffer of `bufferLength` values selects
// (8192, 2048, 1024, 512); 0 for any other length.
double ToneOffsetForBufferLength(int bufferLength);

}  // namespace vela
