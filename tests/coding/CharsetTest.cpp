// The on-air character set: every byte stands for one character and comes back from it, the
// code page's high controls are where stations expect them, and what it lacks goes as '?'.
#include "coding/Charset.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace vela {
namespace {

TEST(Charset, EveryByteRoundTripsAndTextConvertsBothWays) {
  for (int b = 0; b < 256; ++b) {
    const char32_t cp = FromWindows1252(static_cast<uint8_t>(b));
    EXPECT_EQ(static_cast<uint8_t>(ToWindows1252(cp)), b) << b;
    if (b < 0x80 || b >= 0xA0) {
      EXPECT_EQ(cp, static_cast<char32_t>(b)) << b;
    }
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(byte)), byte) << b;
  }
  const std::pair<char32_t, uint8_t> known[] = {
      {0x20AC, 0x80}, {0x0081, 0x81}, {0x2122, 0x99}, {0x0178, 0x9F}, {0x00E9, 0xE9}};
  for (const auto& [cp, b] : known) EXPECT_EQ(FromWindows1252(b), cp);
  for (char32_t missing : {char32_t{0x100}, char32_t{0x4E2D}, char32_t{0x1F600}}) {
    EXPECT_EQ(ToWindows1252(missing), '?');
  }
  // A malformed sequence is one '?' a byte; text that is not UTF-8 goes as it is.
  EXPECT_EQ(Utf8ToWindows1252("\xE2\x82\xAC \xC3\xA9 \xF0\x9F\x98\x80 \xC3"), "\x80 \xE9 ? ?");
  EXPECT_EQ(ToAirBytes("caf\xE9"), "caf\xE9");
}

}  // namespace
}  // namespace vela
