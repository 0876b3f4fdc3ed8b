// How a received or echoed character lands in the receive pane: a carriage return starts a
// new line, a backspace removes the pane's last character. The window and the command line
// both follow these rules.
#pragma once

#include <cstdint>
#include <string>

namespace vela {

inline constexpr uint8_t kBackspace = 8;

inline uint8_t PaneCharacter(uint8_t c) {
  return c == 13 ? 10 : c;
}

// Applies one character to a pane held as bytes.
inline void ApplyToPane(std::string& pane, uint8_t c) {
  c = PaneCharacter(c);
  if (c == kBackspace) {
    if (!pane.empty()) pane.pop_back();
    return;
  }
  pane.push_back(static_cast<char>(c));
}

}  // namespace vela
