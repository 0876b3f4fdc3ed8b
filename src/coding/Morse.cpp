#include "coding/Morse.h"

#include <cctype>
#include <utility>

namespace vela {
namespace {

// Dots and dashes of International Morse for the characters the identifier covers.
constexpr std::pair<char, const char*> kMorse[] = {
    {'A', ".-"},    {'B', "-..."},  {'C', "-.-."},  {'D', "-.."},   {'E', "."},     {'F', "..-."},
    {'G', "--."},   {'H', "...."},  {'I', ".."},    {'J', ".---"},  {'K', "-.-"},   {'L', ".-.."},
    {'M', "--"},    {'N', "-."},    {'O', "---"},   {'P', ".--."},  {'Q', "--.-"},  {'R', ".-."},
    {'S', "..."},   {'T', "-"},     {'U', "..-"},   {'V', "...-"},  {'W', ".--"},   {'X', "-..-"},
    {'Y', "-.--"},  {'Z', "--.."},  {'0', "-----"}, {'1', ".----"}, {'2', "..---"}, {'3', "...--"},
    {'4', "....-"}, {'5', "....."}, {'6', "-...."}, {'7', "--..."}, {'8', "---.."}, {'9', "----."},
    {'/', "-..-."},
};

std::vector<std::string> BuildMorseTable() {
  std::vector<std::string> table(256, " ");
  for (const auto& [c, code] : kMorse) {
    // Each character starts with two key-up ticks; a dot is one tick down, a dash three,
    // and every element is followed by one tick up.
    std::string pattern = "--";
    for (const char* p = code; *p; ++p) pattern += (*p == '.') ? "1-" : "111-";
    table[static_cast<unsigned char>(c)] = pattern;
  }
  table[' '] = "---";
  return table;
}

}  // namespace

const std::vector<std::string>& MorseTable() {
  static const std::vector<std::string> table = BuildMorseTable();
  return table;
}

std::string MorsePattern(std::string_view callsign) {
  std::string pattern;
  for (char c : callsign) {
    const auto upper = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
    pattern += MorseTable()[upper];
  }
  return pattern;
}

}  // namespace vela
