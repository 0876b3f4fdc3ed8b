#include "coding/Charset.h"

#include <array>
#include <cstdint>

namespace vela {
namespace {

// Unicode code points of Windows-1252 bytes 0x80..0x9F; the rest equal their byte value.
constexpr std::array<char32_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes one UTF-8 sequence at `i`; returns false on malformed input.
bool DecodeUtf8(std::string_view s, size_t& i, char32_t& cp) {
  const auto b0 = static_cast<uint8_t>(s[i]);
  int extra;
  if (b0 < 0x80) {
    cp = b0;
    extra = 0;
  } else if ((b0 & 0xE0) == 0xC0) {
    cp = b0 & 0x1F;
    extra = 1;
  } else if ((b0 & 0xF0) == 0xE0) {
    cp = b0 & 0x0F;
    extra = 2;
  } else if ((b0 & 0xF8) == 0xF0) {
    cp = b0 & 0x07;
    extra = 3;
  } else {
    return false;
  }
  if (i + static_cast<size_t>(extra) >= s.size() && extra > 0) return false;
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<uint8_t>(s[i + static_cast<size_t>(k)]);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past Unicode are not UTF-8.
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += static_cast<size_t>(extra) + 1;
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

char ToWindows1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (size_t k = 0; k < kHighTable.size(); ++k) {
    if (kHighTable[k] == cp) return static_cast<char>(0x80 + k);
  }
  return '?';
}

char32_t FromWindows1252(uint8_t byte) {
  return (byte >= 0x80 && byte < 0xA0) ? kHighTable[byte - 0x80] : char32_t{byte};
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  char32_t cp;
  while (i < text.size()) {
    if (!DecodeUtf8(text, i, cp)) return false;
  }
  return true;
}

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  char32_t cp;
  while (i < utf8.size()) {
    if (DecodeUtf8(utf8, i, cp)) {
      out += ToWindows1252(cp);
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    AppendUtf8(out, FromWindows1252(static_cast<uint8_t>(ch)));
  }
  return out;
}

std::string Windows1252ToVisibleUtf8(std::string_view bytes) {
  static constexpr std::array<const char*, 32> kNames = {
      "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
      "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
      "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<uint8_t>(ch);
    const char32_t cp = (b >= 0x80 && b < 0xA0) ? kHighTable[b - 0x80] : char32_t{b};
    if (b == '\n' || b == '\t' || (cp >= 0x20 && cp != 0x7F && (cp < 0x80 || cp >= 0xA0))) {
      AppendUtf8(out, cp);
    } else if (b < 0x20) {
      out += '<';
      out += kNames[b];
      out += '>';
    } else if (b == 0x7F) {
      out += "<DEL>";
    } else {
      out += {'<', kHex[b >> 4], kHex[b & 15], '>'};
    }
  }
  return out;
}

std::string ToAirBytes(std::string_view input) {
  return IsValidUtf8(input) ? Utf8ToWindows1252(input) : std::string(input);
}

}  // namespace vela
