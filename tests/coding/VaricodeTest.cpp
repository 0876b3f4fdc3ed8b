#include "coding/Varicode.h"

#include <gtest/gtest.h>

#include <set>

#include "support/Vectors.h"

namespace vela {
namespace {

TEST(Varicode, AgreesWithTheIndependentTableEntryForEntry) {
  const auto& expected = test::AirFormat()["varicode"];
  const auto& values = test::AirFormat()["varicode_value"];
  ASSERT_EQ(VaricodeTable().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(VaricodeTable()[i], expected[i].get<std::string>()) << "entry " << i;
  }
  ASSERT_EQ(VaricodeValues().size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(VaricodeValues()[i], values[i].get<uint32_t>()) << "entry " << i;
  }
}

TEST(Varicode, PublishedCheckValues) {
  const auto& t = VaricodeTable();
  EXPECT_EQ(t[32], "1");
  EXPECT_EQ(t['e'], "11");
  EXPECT_EQ(t['a'], "1011");
  EXPECT_EQ(t[10], "11101");
  EXPECT_EQ(t[13], "11111");
  EXPECT_EQ(t[8], "1011111111");
  EXPECT_EQ(t[128], "1110111101");
  EXPECT_EQ(t[142], "1111111111");
  EXPECT_EQ(t[143], "10101010101");
  EXPECT_EQ(t[231], "11111111111");
  EXPECT_EQ(t[232], "101010101011");
  EXPECT_EQ(t[255], "101101011011");
  EXPECT_EQ(VaricodeValues()['a'], 11U);
}

TEST(Varicode, WholeSecondaryTable) {
  // Space to '_' in order, as every receiver expects them.
  const char* expected[64] = {
      "101101101011", "101101101101", "101101101111", "101101110101", "101101110111",
      "101101111011", "101101111101", "101101111111", "101110101011", "101110101101",
      "101110101111", "101110110101", "101110110111", "101110111011", "101110111101",
      "101110111111", "101111101011", "101111101101", "101111101111", "101111110101",
      "101111110111", "101111111011", "101111111101", "101111111111", "110101101011",
      "110101101101", "110101101111", "110101110101", "110101110111", "110101111011",
      "110101111101", "110101111111", "110110101011", "110110101101", "110110101111",
      "110110110101", "110110110111", "110110111011", "110110111101", "110110111111",
      "110111101011", "110111101101", "110111101111", "110111110101", "110111110111",
      "110111111011", "110111111101", "110111111111", "111010101011", "111010101101",
      "111010101111", "111010110101", "111010110111", "111010111011", "111010111101",
      "111010111111", "111011101011", "111011101101", "111011101111", "111011110101",
      "111011110111", "111011111011", "111011111101", "111011111111"};
  for (int c = 32; c <= 95; ++c) {
    EXPECT_EQ(VaricodeTable()[static_cast<size_t>(kSecondaryBase + c)], expected[c - 32])
        << "secondary '" << static_cast<char>(c) << "'";
  }
  for (int i = kVaricodeEntries; i < kVaricodeTableSize; ++i) {
    EXPECT_TRUE(VaricodeTable()[static_cast<size_t>(i)].empty()) << i;
  }
}

TEST(Varicode, EveryCodeIsSelfDelimitingAndUnique) {
  std::set<std::string> seen;
  for (int i = 0; i < kVaricodeEntries; ++i) {
    const std::string& code = VaricodeTable()[static_cast<size_t>(i)];
    ASSERT_GE(code.size(), 1U) << i;
    ASSERT_LE(code.size(), 12U) << i;
    EXPECT_EQ(code.front(), '1') << i;
    EXPECT_EQ(code.back(), '1') << i;
    EXPECT_EQ(code.find("00"), std::string::npos) << i;
    EXPECT_TRUE(seen.insert(code).second) << "duplicate code at " << i;
    if (i >= 128 && i < 256) {
      EXPECT_GE(code.size(), 10U) << i;
    }
    if (i >= 256) {
      EXPECT_EQ(code.size(), 12U) << i;
    }
  }
}

TEST(VaricodeFraming, PrimaryCharacters) {
  EXPECT_EQ(PrimaryCharacterBits('a'), "101100");
  EXPECT_EQ(PrimaryCharacterBits(13), "100");  // a carriage return goes out as a space
  EXPECT_EQ(PrimaryCharacterBits(10), "1110100");
  EXPECT_EQ(PrimaryCharacterBits(200), VaricodeTable()[200] + "00");  // not dropped
  EXPECT_EQ(PrimaryCharacterBits(8), std::string(kBackspaceBits));
}

TEST(VaricodeFraming, SecondaryCharacters) {
  EXPECT_EQ(SecondaryCharacterBits('C'),
            "00110110110101"
            "00");
  EXPECT_EQ(SecondaryCharacterBits(13),
            "00101101101011"
            "00");  // CR as a space
  // An empty secondary text keeps repeating character value 223.
  EXPECT_EQ(SecondaryEntry(-1), 223);
  EXPECT_EQ(SecondaryCharacterBits(-1),
            "00"
            "11111011111"
            "00");
  // '`' to 128 select empty entries: just the gap zeros.
  EXPECT_EQ(SecondaryCharacterBits('{'), "0000");
  EXPECT_EQ(SecondaryCharacterBits('~'), "0000");
  EXPECT_EQ(SecondaryCharacterBits(128), "0000");
  // Above 128 there is no entry at all.
  EXPECT_EQ(SecondaryCharacterBits(129), "");
  EXPECT_EQ(SecondaryCharacterBits(255), "");
  // A line break typed into the secondary text must not turn into a primary character.
  EXPECT_EQ(SecondaryCharacterBits(10), "0000");
  EXPECT_EQ(SecondaryCharacterBits(0), "0000");
}

}  // namespace
}  // namespace vela
