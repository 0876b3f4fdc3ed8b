#include "tx/BitSource.h"

#include <gtest/gtest.h>

#include "coding/Varicode.h"

namespace vela {
namespace {

std::string Take(BitSource& source, size_t n) {
  std::string bits;
  for (size_t i = 0; i < n; ++i) bits += source.NextDataBit() ? '1' : '0';
  return bits;
}

std::string Code(int entry) {
  return VaricodeTable()[static_cast<size_t>(entry)];
}
std::string Secondary(char c) {
  return "00" + Code(kSecondaryBase + c) + "00";
}

TEST(BitSource, PaneCharactersThenDeletionsAsBackspaces) {
  BitSource source;
  source.SetSecondaryText("Q");
  source.SetPaneText("ab");
  const std::string ab = PrimaryCharacterBits('a') + PrimaryCharacterBits('b');
  EXPECT_EQ(Take(source, ab.size()), ab);
  EXPECT_EQ(source.sentCount(), 2U);
  source.SetPaneText("a");  // the b was deleted after it went out
  const std::string bs(kBackspaceBits);
  EXPECT_EQ(Take(source, bs.size()), bs);
  EXPECT_EQ(source.sentCount(), 1U);
  // Then idle: the secondary channel.
  EXPECT_EQ(Take(source, 32), Secondary('Q') + Secondary('Q'));
}

TEST(BitSource, IdleStreamCyclesTheSecondaryText) {
  BitSource source;
  source.SetSecondaryText("cq");  // sent upper-cased
  const std::string cycle = Secondary('C') + Secondary('Q');
  EXPECT_EQ(Take(source, 3 * cycle.size()), cycle + cycle + cycle);
  // A typed character goes in ahead of the next secondary character.
  source.SetPaneText("e");
  EXPECT_EQ(Take(source, 4 + cycle.size()), "1100" + Secondary('C') + Secondary('Q'));
}

TEST(BitSource, EmptySecondaryTextRepeatsCharacter223) {
  BitSource source;
  EXPECT_EQ(Take(source, 15 * 2), "00" + Code(223) + "00" + "00" + Code(223) + "00");
}

TEST(BitSource, ClearRequestLeavesNoStaleBits) {
  BitSource source;
  source.SetSecondaryText("X");
  source.SetPaneText("the quick brown fox");
  Take(source, 10);  // the buffer now holds far more than has gone out
  source.RequestClear();
  source.SetPaneText("");
  source.SetPaneText("e");
  // Straight into the new material: no leftover bits, no run of zeros.
  EXPECT_EQ(Take(source, 4 + 16), "1100" + Secondary('X'));
}

TEST(BitSource, BeaconRepeatsThePaneWithOneSecondaryBetween) {
  BitSource source;
  source.SetSecondaryText("AB");
  source.SetBeacon(true);
  source.SetPaneText("hi");
  const std::string text = PrimaryCharacterBits('h') + PrimaryCharacterBits('i');
  const std::string expected =
      text + Secondary('A') + text + Secondary('B') + text + Secondary('A');
  EXPECT_EQ(Take(source, expected.size()), expected);
}

TEST(BitSource, BeaconForAWeekKeepsItsBufferBoundedAndItsOutputExact) {
  BitSource source;
  source.SetSecondaryText("DE TEST");
  source.SetBeacon(true);
  source.SetPaneText("CQ LF BEACON ");
  std::string text;
  for (char c : std::string("CQ LF BEACON ")) text += PrimaryCharacterBits(static_cast<uint8_t>(c));
  const std::string secondary = "DE TEST";
  size_t k = 0;
  // Two million bits: a few days at VELA8's data rate.
  std::string expected;
  for (int rep = 0; rep < 20000; ++rep) {
    expected = text + Secondary(secondary[k]);
    k = (k + 1) % secondary.size();
    ASSERT_EQ(Take(source, expected.size()), expected) << "repetition " << rep;
  }
  EXPECT_LT(source.storedBits(), 10000U);
}

TEST(BitSource, SecondaryControlCharacterSendsOnlyGapZeros) {
  BitSource source;
  source.SetSecondaryText("A\nB");
  EXPECT_EQ(Take(source, 16 + 4 + 16), Secondary('A') + "0000" + Secondary('B'));
}

TEST(BitSource, CarriageReturnGoesOutAsSpaceOnBothChannels) {
  BitSource source;
  source.SetSecondaryText("\r");
  source.SetPaneText("\r");
  EXPECT_EQ(Take(source, 3 + 16), "100" + Secondary(' '));
}

}  // namespace
}  // namespace vela
