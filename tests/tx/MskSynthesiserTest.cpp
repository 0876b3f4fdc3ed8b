#include "tx/MskSynthesiser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "modem/Modem.h"

namespace vela {
namespace {

TEST(MskSynthesiser, ToneRules) {
  EXPECT_FLOAT_EQ(MskSynthesiser::ToneFrequency(1024, +1, 1500, CarrierMode::Data), 1484.375f);
  EXPECT_FLOAT_EQ(MskSynthesiser::ToneFrequency(1024, -1, 1500, CarrierMode::Data), 1515.625f);
  EXPECT_FLOAT_EQ(MskSynthesiser::ToneFrequency(1024, 0, 1500, CarrierMode::Data), 1484.375f);
  EXPECT_FLOAT_EQ(MskSynthesiser::ToneFrequency(8192, -1, 1000, CarrierMode::Data), 1001.953125f);
  EXPECT_FLOAT_EQ(MskSynthesiser::ToneFrequency(512, +1, 1000, CarrierMode::Data), 968.75f);
  // The identifier and tune ignore the symbol.
  EXPECT_FLOAT_EQ(MskSynthesiser::ToneFrequency(2048, -1, 1234.5L, CarrierMode::MorseKeyDown),
                  1234.5f);
  EXPECT_FLOAT_EQ(MskSynthesiser::ToneFrequency(2048, -1, 1234.5L, CarrierMode::MorseKeyUp), 1.0f);
  EXPECT_FLOAT_EQ(MskSynthesiser::ToneFrequency(512, +1, 777, CarrierMode::Tune), 777.0f);
}

TEST(MskSynthesiser, PhaseRunsOnAcrossBuffersAndMonoChannelsMatch) {
  MskSynthesiser synth;
  std::vector<int16_t> a(512), b(512);
  synth.SynthesiseSymbol(a, +1, 1000, OutputStyle::Mono, CarrierMode::Data);
  synth.SynthesiseSymbol(b, -1, 1000, OutputStyle::Mono, CarrierMode::Data);
  for (size_t i = 0; i < a.size(); i += 2) {
    EXPECT_EQ(a[i], a[i + 1]);
    EXPECT_EQ(b[i], b[i + 1]);
  }
  EXPECT_EQ(a[0], 0);  // a fresh run starts at phase 0
  // The first sample of the second buffer continues the first's phase exactly.
  const double phase = 256 * 968.75 / 32000.0;
  EXPECT_EQ(b[0], static_cast<int16_t>(std::nearbyint(
                      15000 * std::sin(2 * std::numbers::pi * (phase - std::floor(phase))))));
  EXPECT_NEAR(synth.phase(), std::fmod(256 * (968.75 + 1031.25) / 32000.0, 1.0), 1e-9);
}

TEST(MskSynthesiser, IqRightChannelLeadsByAQuarterCycle) {
  MskSynthesiser synth;
  std::vector<int16_t> buf(2048);
  synth.SynthesiseSymbol(buf, +1, 1000, OutputStyle::IQ, CarrierMode::Data);
  int peak = 0;
  for (size_t i = 0; i < buf.size(); i += 2) {
    const double left = buf[i], right = buf[i + 1];
    EXPECT_NEAR(left * left + right * right, 15000.0 * 15000.0, 2 * 15000.0 + 1);
    peak = std::max(peak, std::abs(static_cast<int>(buf[i])));
  }
  EXPECT_EQ(buf[1], 15000);  // cos(0)
  EXPECT_GE(peak, 14990);
}

}  // namespace
}  // namespace vela
