#include "coding/Varicode.h"

#include <algorithm>
#include <array>
#include <unordered_set>

namespace vela {
namespace {

// The published PSK31 varicode for ASCII 0-127.
constexpr std::array<const char*, 128> kPsk31Codes = {
    "1010101011", "1011011011", "1011101101", "1101110111", "1011101011", "1101011111",
    "1011101111", "1011111101", "1011111111", "11101111",   "11101",      "1101101111",
    "1011011101", "11111",      "1101110101", "1110101011", "1011110111", "1011110101",
    "1110101101", "1110101111", "1101011011", "1101101011", "1101101101", "1101010111",
    "1101111011", "1101111101", "1110110111", "1101010101", "1101011101", "1110111011",
    "1011111011", "1101111111", "1",          "111111111",  "101011111",  "111110101",
    "111011011",  "1011010101", "1010111011", "101111111",  "11111011",   "11110111",
    "101101111",  "111011111",  "1110101",    "110101",     "1010111",    "110101111",
    "10110111",   "10111101",   "11101101",   "11111111",   "101110111",  "101011011",
    "101101011",  "110101101",  "110101011",  "110110111",  "11110101",   "110111101",
    "111101101",  "1010101",    "111010111",  "1010101111", "1010111101", "1111101",
    "11101011",   "10101101",   "10110101",   "1110111",    "11011011",   "11111101",
    "101010101",  "1111111",    "111111101",  "101111101",  "11010111",   "10111011",
    "11011101",   "10101011",   "11010101",   "111011101",  "10101111",   "1101111",
    "1101101",    "101010111",  "110110101",  "101011101",  "101110101",  "101111011",
    "1010101101", "111110111",  "111101111",  "111111011",  "1010111111", "101101101",
    "1011011111", "1011",       "1011111",    "101111",     "101101",     "11",
    "111101",     "1011011",    "101011",     "1101",       "111101011",  "10111111",
    "11011",      "111011",     "1111",       "111",        "111111",     "110111111",
    "10101",      "10111",      "101",        "110111",     "1111011",    "1101011",
    "11011111",   "1011101",    "111010101",  "1010110111", "110111011",  "1010110101",
    "1011010111", "1110110101",
};

bool IsValidCode(uint32_t value, int length) {
  // First and last bit 1 and no two adjacent zeros.
  if (((value >> (length - 1)) & 1U) == 0 || (value & 1U) == 0) return false;
  for (int i = 0; i + 1 < length; ++i) {
    if (((value >> i) & 3U) == 0) return false;
  }
  return true;
}

std::string ToBits(uint32_t value, int length) {
  std::string s(static_cast<size_t>(length), '0');
  for (int i = 0; i < length; ++i) {
    if ((value >> (length - 1 - i)) & 1U) s[static_cast<size_t>(i)] = '1';
  }
  return s;
}

bool SecondaryLeftOut(uint32_t code12) {
  if (code12 == 0b101101011101 || code12 == 0b101101011111) return true;
  const uint32_t top8 = code12 >> 4;
  return top8 == 0b10111101 || top8 == 0b11010101 || top8 == 0b11011101 || top8 == 0b11101101;
}

std::vector<std::string> BuildVaricodeTable() {
  std::vector<std::string> table(kVaricodeTableSize);
  std::unordered_set<std::string> used;
  for (int i = 0; i < 128; ++i) {
    table[static_cast<size_t>(i)] = kPsk31Codes[static_cast<size_t>(i)];
    used.insert(table[static_cast<size_t>(i)]);
  }
  // 128-255: every remaining valid pattern, shortest first, then by value.
  int next = 128;
  for (int length = 1; length <= 12 && next < 256; ++length) {
    for (uint32_t v = 0; v < (1U << length) && next < 256; ++v) {
      if (!IsValidCode(v, length)) continue;
      std::string code = ToBits(v, length);
      if (used.count(code)) continue;
      used.insert(code);
      table[static_cast<size_t>(next++)] = std::move(code);
    }
  }
  // 256-319: unused 12-bit patterns in ascending order, less the ones left out.
  for (uint32_t v = 1U << 11; v <= 0b111011111111 && next < kVaricodeEntries; ++v) {
    if (!IsValidCode(v, 12) || SecondaryLeftOut(v)) continue;
    std::string code = ToBits(v, 12);
    if (used.count(code)) continue;
    used.insert(code);
    table[static_cast<size_t>(next++)] = std::move(code);
  }
  return table;
}

std::vector<uint32_t> BuildVaricodeValues() {
  std::vector<uint32_t> values(kVaricodeEntries);
  const auto& table = VaricodeTable();
  for (int i = 0; i < kVaricodeEntries; ++i) {
    uint32_t v = 0;
    for (char bit : table[static_cast<size_t>(i)]) v = v * 2 + (bit == '1' ? 1 : 0);
    values[static_cast<size_t>(i)] = v;
  }
  return values;
}

}  // namespace

const std::vector<std::string>& VaricodeTable() {
  static const std::vector<std::string> table = BuildVaricodeTable();
  return table;
}

const std::vector<uint32_t>& VaricodeValues() {
  static const std::vector<uint32_t> values = BuildVaricodeValues();
  return values;
}

std::string PrimaryCharacterBits(uint8_t c) {
  if (c == 13) c = 32;
  return VaricodeTable()[c] + "00";
}

int SecondaryEntry(int c) {
  if (c == 13) c = 32;
  if (c > 128) return -1;
  return kSecondaryBase + c;
}

std::string SecondaryCharacterBits(int c) {
  if (c == 13) c = 32;
  const int entry = SecondaryEntry(c);
  if (entry < 0) return {};
  // A control character (a line break in the multi-line secondary text) has no secondary
  // code; looking up 224 + c would send it as a primary character into every receive pane.
  if (c >= 0 && c < 32) return "0000";
  return "00" + VaricodeTable()[static_cast<size_t>(entry)] + "00";
}

}  // namespace vela
