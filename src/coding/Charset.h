// On air every character is a byte 0-255; operators type and read Unicode. The boundary
// uses Windows-1252, the character set stations of this mode have always exchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vela {

// One character: its Windows-1252 byte ('?' when the code page lacks it), and back (the five
// unassigned bytes map to the C1 controls).
char ToWindows1252(char32_t cp);
char32_t FromWindows1252(uint8_t byte);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// UTF-8 to Windows-1252 bytes; a character with no Windows-1252 byte becomes '?'.
std::string Utf8ToWindows1252(std::string_view utf8);

// Windows-1252 bytes to UTF-8 (the five unassigned bytes map to the C1 controls).
std::string Windows1252ToUtf8(std::string_view bytes);

// The same for a terminal or a log: line feeds and tabs pass, and every other control
// character shows by its name in angle brackets (<ESC>, <BEL>, <CR>, <DEL>; the five
// unassigned bytes as <81>, <8D>, <8F>, <90>, <9D>), so a station on the air can never
// retitle, clear or otherwise work the operator's terminal.
std::string Windows1252ToVisibleUtf8(std::string_view bytes);

// Text from a file or the command line: converted when it is valid UTF-8, else taken as
// Windows-1252 bytes already.
std::string ToAirBytes(std::string_view input);

}  // namespace vela
