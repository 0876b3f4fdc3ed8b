#include "rx/Viterbi.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "coding/ConvolutionalCode.h"
#include "support/Vectors.h"

namespace vela {
namespace {

struct Pair {
  int r0, r1;
};

std::vector<Pair> Encode(const std::vector<int>& bits) {
  uint8_t reg = 0;
  std::vector<Pair> pairs;
  for (int b : bits) {
    const CodePair p = SplitEntry(EncoderStep(reg, b));
    pairs.push_back({CodedBitToSymbol(p.p1), CodedBitToSymbol(p.p2)});
  }
  return pairs;
}

TEST(Viterbi, MatchesTheIndependentRunWithACorrectedError) {
  const auto& v = test::AirFormat()["viterbi"];
  const auto& pairs = v["pairs_r0_r1"];
  const auto& outputs = v["outputs"];
  ASSERT_EQ(pairs.size(), outputs.size());
  ViterbiDecoder decoder;
  for (size_t i = 0; i < pairs.size(); ++i) {
    EXPECT_EQ(decoder.Decode(pairs[i][0].get<int>(), pairs[i][1].get<int>()), outputs[i].get<int>())
        << i;
  }
  // The pairs are the clean code of the inputs but for the one inverted bit.
  const auto clean = Encode(v["input_bits"].get<std::vector<int>>());
  int differences = 0;
  for (size_t i = 0; i < clean.size(); ++i) {
    differences +=
        (clean[i].r0 != pairs[i][0].get<int>()) + (clean[i].r1 != pairs[i][1].get<int>());
  }
  EXPECT_EQ(differences, 1);
}

TEST(Viterbi, FreshDecoderStartsFromState192AndDelays63) {
  std::mt19937 rng(7);
  std::vector<int> bits(300);
  for (int& b : bits) b = static_cast<int>(rng() & 1);
  ViterbiDecoder decoder;
  std::vector<int> out;
  for (const Pair& p : Encode(bits)) out.push_back(decoder.Decode(p.r0, p.r1));
  // The tie rule makes the best path start from state 192: 55 zeros, then 1 1 0 0 0 0 0 0.
  for (int i = 0; i < 55; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], 0) << i;
  const int start[8] = {1, 1, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[static_cast<size_t>(55 + i)], start[i]) << 55 + i;
  for (size_t i = 63; i < out.size(); ++i) EXPECT_EQ(out[i], bits[i - 63]) << i;
}

TEST(Viterbi, TieRulesPreferTheUpperPredecessorAndTheLowestBestState) {
  ViterbiDecoder decoder;
  // A neutral pair leaves every candidate equal: each state takes predecessor ns/2 + 128.
  decoder.Decode(0, 0);
  for (int ns = 0; ns < 256; ++ns) {
    EXPECT_EQ(decoder.survivor(ns),
              (static_cast<uint64_t>(ns / 2 + 128) << 1) | static_cast<uint64_t>(ns & 1));
    EXPECT_EQ(decoder.metric(ns), 0.0f);
  }
  // Renormalised: the best state's metric is 0 and none is negative.
  ViterbiDecoder d2;
  d2.Decode(1, -1);
  float lowest = 1e9f;
  for (int s = 0; s < 256; ++s) lowest = std::min(lowest, d2.metric(s));
  EXPECT_EQ(lowest, 0.0f);
}

TEST(Viterbi, RunsOfOnesThroughTheAllOnesEntries) {
  std::vector<int> bits(40, 0);
  bits.insert(bits.end(), 30, 1);  // registers 127 and 255 again and again
  bits.insert(bits.end(), 100, 0);
  ViterbiDecoder decoder;
  std::vector<int> out;
  for (const Pair& p : Encode(bits)) out.push_back(decoder.Decode(p.r0, p.r1));
  for (size_t i = 63; i < out.size(); ++i) EXPECT_EQ(out[i], bits[i - 63]) << i;
}

TEST(Viterbi, CorrectsScatteredSingleErrors) {
  std::mt19937 rng(11);
  std::vector<int> bits(2000);
  for (int& b : bits) b = static_cast<int>(rng() & 1);
  auto pairs = Encode(bits);
  for (size_t i = 100; i < pairs.size(); i += 37) pairs[i].r1 = -pairs[i].r1;
  ViterbiDecoder decoder;
  for (size_t i = 0; i < pairs.size(); ++i) {
    const int out = decoder.Decode(pairs[i].r0, pairs[i].r1);
    if (i >= 63) {
      ASSERT_EQ(out, bits[i - 63]) << i;
    }
  }
}

}  // namespace
}  // namespace vela
