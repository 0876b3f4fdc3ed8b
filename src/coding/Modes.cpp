#include "coding/Modes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace vela {
namespace {

constexpr std::array<ModeParams, 4> kModes = {{
    {Mode::Vela8, "VELA8", 125, 7.8125, 4096, 1.953125, InterleaveLength::Short, 127, 48, 8192, 400,
     100, 200, "VELA8 for LF/MF", "7.8 baud; Short interleave"},
    {Mode::Vela31, "VELA31", 500, 31.25, 1024, 7.8125, InterleaveLength::Short, 127, 48, 2048, 200,
     100, 100, "VELA31 for LF/MF", "31 baud; Short interleave"},
    {Mode::Vela63, "VELA63", 1000, 62.5, 512, 15.625, InterleaveLength::Long, 223, 96, 1024, 100,
     100, 50, "VELA63 for LF/MF", "63 baud; Long interleave"},
    {Mode::Vela125, "VELA125", 2000, 125.0, 256, 31.25, InterleaveLength::Long, 223, 96, 512, 50,
     100, 25, "VELA125 for LF/MF", "125 baud; Long interleave"},
}};

}  // namespace

const ModeParams& ModeTable(Mode mode) {
  return kModes[static_cast<int>(mode)];
}

double SignalHalfWidth(Mode mode) {
  return 0.75 * ModeTable(mode).symbolRate;
}

std::optional<Mode> ModeFromRate(int modeRate) {
  for (const auto& m : kModes) {
    if (m.modeRate == modeRate) return m.mode;
  }
  return std::nullopt;
}

std::optional<Mode> ParseMode(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.rfind("vela", 0) == 0) lower.erase(0, 4);
  for (const auto& m : kModes) {
    if (lower == m.name.substr(4)) return m.mode;
  }
  return std::nullopt;
}

int MorseTickMs(Mode mode, int cwidFlag) {
  const auto& m = ModeTable(mode);
  return cwidFlag == 1 ? m.morseTickVariableMs : m.morseTickConstantMs;
}

double ToneOffsetForBufferLength(int bufferLength) {
  switch (bufferLength) {
    case 8192:
      return 1.953125;
    case 2048:
      return 7.8125;
    case 1024:
      return 15.625;
    case 512:
      return 31.25;
    default:
      return 0.0;
  }
}

}  // namespace vela
