#pragma once

#include <sstream>
#include <string>

namespace vela {

// Hands each line of a KEY=VALUE settings file that says something to `read` (blank lines,
// ; and # comments and a line end from a file edited on Windows are passed over). `read`
// returns why a line is wrong, or nothing; the first reason comes back as "line N: why".
template <class Read>
std::string ReadSettingLines(const std::string& text, Read read) {
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (const std::string why = read(line); !why.empty())
      return "line " + std::to_string(number) + ": " + why;
  }
  return {};
}

}  // namespace vela
