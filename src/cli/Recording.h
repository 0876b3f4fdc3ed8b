// A recording read block by block at the receive rate, with a progress line on a terminal.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace vela::cli {

// Hands every block of `path`'s first channel, converted to `rate`, to `block`; IoError
// when the file cannot be opened or read. `label` names the progress line.
void ReadRecording(const std::string& path, int rate, const std::string& label,
                   const std::function<void(std::span<const int16_t>)>& block);

}  // namespace vela::cli
