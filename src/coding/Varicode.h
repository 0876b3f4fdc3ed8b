// The varicode alphabet: PSK31 varicode for character values 0-255, and 64 secondary
// characters (space to '_') above it that carry the slow second text channel.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vela {

inline constexpr int kVaricodeTableSize = 353;  // entries 320..352 stay empty
inline constexpr int kVaricodeEntries = 320;
inline constexpr int kSecondaryBase = 224;  // secondary entry = kSecondaryBase + character code
inline constexpr int kFirstSecondaryEntry = 256;

// Codes as strings of '0'/'1', first bit sent first.
const std::vector<std::string>& VaricodeTable();

// Each code of entries 0..319 read as a binary number, first bit most significant.
const std::vector<uint32_t>& VaricodeValues();

// The deletion of one already-sent character: the backspace code and its two gap zeros.
inline constexpr std::string_view kBackspaceBits = "101111111100";

// A primary character as it goes into the bit stream: its code then "00". A carriage
// return goes out as a space.
std::string PrimaryCharacterBits(uint8_t c);

// The varicode entry used for a secondary character `c` (already upper-cased); -1 when the
// character has no entry at all (above 128). An empty secondary text passes c = -1 and
// gets entry 223.
int SecondaryEntry(int c);

// A secondary character framed for the stream: "00" + code + "00". Control characters,
// and characters whose entry is empty, leave just "0000"; those above 128 send nothing.
std::string SecondaryCharacterBits(int c);

}  // namespace vela
