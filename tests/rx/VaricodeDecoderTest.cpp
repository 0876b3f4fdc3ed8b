#include "rx/VaricodeDecoder.h"

#include <gtest/gtest.h>

#include "coding/Varicode.h"
#include "rx/ReceivePane.h"

namespace vela {
namespace {

struct Panes : TextEvents {
  std::string rx, secondary, echo;
  int endMarkers = 0;
  void RxChar(uint8_t c) override { rx += static_cast<char>(c); }
  void SecondaryChar(uint8_t c) override { secondary += static_cast<char>(c); }
  void EchoChar(uint8_t c) override { echo += static_cast<char>(c); }
  void EndMarkerEchoed() override { ++endMarkers; }
};

void Feed(VaricodeRxDecoder& d, const std::string& bits, bool open, bool paused, Panes& p) {
  for (char b : bits) d.Bit(b == '1' ? 1 : 0, open, paused, p);
}
void Feed(VaricodeEchoDecoder& d, const std::string& bits, Panes& p) {
  for (char b : bits) d.Bit(b == '1' ? 1 : 0, p);
}
std::string Bits(const std::string& text) {
  std::string bits;
  for (char c : text) bits += PrimaryCharacterBits(static_cast<uint8_t>(c));
  return bits;
}

TEST(VaricodeRx, ACharacterNeedsItsTwoTrailingZeros) {
  VaricodeRxDecoder d;
  Panes p;
  Feed(d, "11", true, false, p);
  EXPECT_EQ(p.rx, "");
  Feed(d, "0", true, false, p);
  EXPECT_EQ(p.rx, "");
  Feed(d, "0", true, false, p);
  EXPECT_EQ(p.rx, "e");
  Feed(d, std::string(500, '0'), true, false, p);  // zeros alone give nothing
  EXPECT_EQ(p.rx, "e");
  Feed(d, Bits("CQ de G3XYZ \xe9\x80"), true, false, p);
  EXPECT_EQ(p.rx, "eCQ de G3XYZ \xe9\x80");
}

TEST(VaricodeRx, SquelchOpensStrictlyAboveAndPauseHoldsOnlyPrimary) {
  VaricodeRxDecoder d;
  Panes p;
  Feed(d, Bits("hidden"), false, false, p);
  EXPECT_EQ(p.rx, "");
  const std::string secondaryK = "00" + VaricodeTable()[kSecondaryBase + 'K'] + "00";
  Feed(d, Bits("held") + secondaryK, true, true, p);
  EXPECT_EQ(p.rx, "");
  EXPECT_EQ(p.secondary, "K");
  Feed(d, secondaryK, false, false, p);
  EXPECT_EQ(p.secondary, "K");
}

TEST(VaricodeRx, OverlongRunsAndUnknownCodesAreDropped) {
  VaricodeRxDecoder d;
  Panes p;
  Feed(d, std::string(40, '1') + "00" + Bits("ok"), true, false, p);
  EXPECT_EQ(p.rx, "ok");
  // 12-bit patterns left out of the secondary table match nothing.
  Feed(d,
       "101101011101"
       "00" +
           Bits("!"),
       true, false, p);
  EXPECT_EQ(p.rx, "ok!");
}

TEST(VaricodeEcho, EndMarkerStopsOnceAndStartsAfresh) {
  VaricodeEchoDecoder d;
  Panes p;
  Feed(d, Bits("hello [EO"), p);
  EXPECT_EQ(p.endMarkers, 0);
  Feed(d, Bits("T]"), p);
  EXPECT_EQ(p.endMarkers, 1);
  EXPECT_EQ(d.echoText(), "");
  Feed(d, Bits("more"), p);
  EXPECT_EQ(p.endMarkers, 1);
  EXPECT_EQ(p.echo, "hello [EOT]more");
  // Secondary characters are not echoed.
  Feed(d, "00" + VaricodeTable()[kSecondaryBase + 'Z'] + "00", p);
  EXPECT_EQ(p.echo, "hello [EOT]more");
}

TEST(VaricodeEcho, ChangedMarkerAndLongEcho) {
  VaricodeEchoDecoder d;
  d.SetEndMarker("<SK>");
  Panes p;
  Feed(d, Bits("[EOT] still sending"), p);
  EXPECT_EQ(p.endMarkers, 0);
  std::string longText(20000, 'x');
  Feed(d, Bits(longText), p);
  EXPECT_LE(d.echoText().size(), 8192U);  // the echo text stays bounded
  Feed(d, Bits("<SK>"), p);
  EXPECT_EQ(p.endMarkers, 1);
  // A carriage return goes out as a space, so the echo shows a space.
  d.SetEndMarker("k ");
  Feed(d, Bits("k\r"), p);
  EXPECT_EQ(p.endMarkers, 2);
}

TEST(ReceivePane, CarriageReturnAndBackspaceRules) {
  std::string pane;
  for (uint8_t c : std::string("ab\rc")) ApplyToPane(pane, c);
  EXPECT_EQ(pane, "ab\nc");
  ApplyToPane(pane, kBackspace);
  ApplyToPane(pane, kBackspace);
  EXPECT_EQ(pane, "ab");
  std::string empty;
  ApplyToPane(empty, kBackspace);
  EXPECT_EQ(empty, "");
}

}  // namespace
}  // namespace vela
