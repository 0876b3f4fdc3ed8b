// Whole chains against the independent implementation's recordings and decision values.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/WavFile.h"
#include "cli/Receiver.h"
#include "modem/TextTransmission.h"
#include "rx/Demodulator.h"
#include "support/Vectors.h"

namespace vela {
namespace {

std::vector<int16_t> Encode(const TransmitSettings& settings) {
  std::vector<int16_t> out;
  EXPECT_TRUE(TransmitText(
      settings, [&](std::span<const int16_t> b) { out.insert(out.end(), b.begin(), b.end()); }));
  return out;
}

TEST(Vectors, Vela125TransmissionIsTheReferenceRecordingSampleForSample) {
  TransmitSettings s;
  s.mode = Mode::Vela125;
  s.secondaryText = "TEST ";
  s.tailFrames = 4;
  s.text = "CQ CQ de TEST k";
  const auto ours = Encode(s);
  std::vector<int16_t> reference;
  std::string error;
  ASSERT_TRUE(WavReader::ReadAll(test::VectorPath("example-vela125.wav"), 0, reference, error))
      << error;
  // ReadAll gives the first channel; ours is interleaved stereo (mono style: equal channels).
  ASSERT_EQ(ours.size(), 2 * reference.size());
  size_t mismatches = 0;
  for (size_t i = 0; i < reference.size(); ++i) mismatches += ours[2 * i] != reference[i];
  EXPECT_EQ(mismatches, 0U);
}

struct DecisionLog : DemodulatorOutput {
  std::vector<long double> decisions;
  void Decision(long double d) override { decisions.push_back(d); }
  void EyeStep(int, long double) override {}
  void Refresh(int) override {}
};

TEST(Vectors, DemodulatorDecisionsForTheFirst100Vela63Symbols) {
  const auto& v = test::AirFormat()["demod_VELA63"];
  TransmitSettings s;
  s.mode = Mode::Vela63;
  s.secondaryText = "TEST ";
  s.text = "CQ CQ de TEST";
  const auto stereo = Encode(s);
  std::vector<int16_t> input;
  for (size_t i = 0; i < stereo.size(); i += 8) input.push_back(stereo[i]);  // left, every 4th
  const auto& first = v["first_input_samples"];
  for (size_t i = 0; i < first.size(); ++i) ASSERT_EQ(input[i], first[i].get<int>()) << i;

  Demodulator demod;
  demod.SetMode(Mode::Vela63);
  DecisionLog log;
  for (int16_t x : input) {
    demod.DemodSample(x, log);
    if (log.decisions.size() >= 100) break;
  }
  const auto& expected = v["decision_values"];
  ASSERT_EQ(expected.size(), 100U);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(log.decisions[i]), expected[i].get<double>(), 1e-9) << i;
  }
}

TEST(Vectors, ReferenceRecordingDecodesToTheTextBesideIt) {
  std::vector<int16_t> samples;
  std::string error;
  ASSERT_TRUE(WavReader::ReadAll(test::VectorPath("example-vela125-8k.wav"), 8000, samples, error));
  cli::ReceiverSettings settings;
  settings.mode = Mode::Vela125;
  cli::Receiver receiver(settings);
  receiver.Process(samples);
  EXPECT_EQ(receiver.pane(), test::ReadVectorFile("example-vela125-8k.primary.txt"));
  EXPECT_EQ(receiver.secondary(), test::ReadVectorFile("example-vela125-8k.secondary.txt"));
}

}  // namespace
}  // namespace vela
