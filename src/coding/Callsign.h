// Callsigns read off the air. A station's call is taken only when a whole, well-formed
// amateur callsign has been copied complete, with a break before and after it: a call cut
// at the end of an over ("PA3C"), a copy that began inside one ("A3CXX" of "PA3CXX") or a
// secondary text repeating without a break never stands in for the call, on the screen or
// in a spot.
#pragma once

#include <string>
#include <string_view>

namespace vela {

// A whole amateur callsign: prefix, digit, suffix of letters (G3XYZ, 2E0ABC, 9A1AA), with at
// most a country prefix before and a portable mark after it (DL/G3XYZ, G3XYZ/P, /MM, /QRP,
// /3). Case is ignored.
bool IsCallsign(std::string_view word);

// The call a secondary text keeps sending: of the callsigns seen complete in it, the one
// held most often (ties to the latest), in upper case; empty when there is none.
std::string CallFromSecondary(std::string_view secondary);

// The call of the last complete "de CALL" in a primary text, in upper case; else empty.
std::string CallAfterDe(std::string_view text);

}  // namespace vela
