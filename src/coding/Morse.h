// Morse patterns for the station identifier: one element per timer tick, "1" key down,
// anything else key up.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vela {

// 256 entries indexed by character code.
const std::vector<std::string>& MorseTable();

// The identifier's element string for a callsign: the patterns of its upper-cased characters.
std::string MorsePattern(std::string_view callsign);

}  // namespace vela
