// The sensitivity sweep's arithmetic: the fixed text it sends and how far the copy is from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vela {

// Edit distance from `sent` to `received`, where received characters before the first one
// aligned with the text cost nothing (a fresh transmitter's first frame decodes as a few
// characters ahead of the text).
int64_t AlignedEditDistance(std::string_view sent, std::string_view received);

// The sweep's fixed pseudo-random text of printable characters.
std::string SweepText(int chars);

}  // namespace vela
