// Text -> audio -> channel -> audio -> text, in process, through the command line's code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "cli/Receiver.h"
#include "cli/Sweep.h"
#include "modem/TextTransmission.h"
#include "sim/ChannelSim.h"

namespace vela {
namespace {

std::vector<int16_t> Transmit(Mode mode, const std::string& text, const std::string& secondary,
                              double centre = 1000.0) {
  TransmitSettings s;
  s.tailFrames = 8;  // idle frames after the text carry the secondary channel
  s.mode = mode;
  s.text = text;
  s.secondaryText = secondary;
  s.centreFrequency = centre;
  std::vector<int16_t> stereo;
  EXPECT_TRUE(TransmitText(
      s, [&](std::span<const int16_t> b) { stereo.insert(stereo.end(), b.begin(), b.end()); }));
  return cli::StereoToChannelRate(stereo);
}

struct Received {
  std::string text;  // named apart from the receiver's accessors
  std::string secondaryText;
  int64_t frameCount;
  const std::string& pane() const { return text; }
  const std::string& secondary() const { return secondaryText; }
  int64_t frames() const { return frameCount; }
};

Received Receive(Mode mode, const std::vector<int16_t>& samples, double rate = 8000.0,
                 double freq = 1000.0, int squelch = 5) {
  cli::ReceiverSettings settings;
  settings.squelch = squelch;
  settings.mode = mode;
  settings.rate = rate;
  settings.freq = freq;
  cli::Receiver receiver(settings);
  receiver.Process(samples);
  return {receiver.pane(), receiver.secondary(), receiver.frames()};
}

struct ModeCase {
  Mode mode;
  double snrDb;     // comfortably above the mode's threshold
  double offsetHz;  // well inside what the fine tune leaves
};

class Chain : public testing::TestWithParam<ModeCase> {};

TEST_P(Chain, NoisyOffsetSignalGivesBackBothTexts) {
  const ModeCase c = GetParam();
  const std::string text = "CQ CQ de M0XYZ/P M0XYZ/P pse k";
  const auto clean = Transmit(c.mode, text, "M0XYZ ");
  cli::ChannelSettings channel;
  channel.snrDb = c.snrDb;
  channel.offsetHz = c.offsetHz;
  channel.seed = 42;
  const auto noisy = cli::ApplyChannel(clean, channel);
  const auto receiver = Receive(c.mode, noisy.samples);
  EXPECT_NE(receiver.pane().find(text), std::string::npos) << receiver.pane();
  EXPECT_NE(receiver.secondary().find("M0XYZ"), std::string::npos) << receiver.secondary();
  EXPECT_EQ(noisy.clipped, 0);
}

INSTANTIATE_TEST_SUITE_P(
    AllModes, Chain,
    testing::Values(ModeCase{Mode::Vela8, -10.0, 0.3}, ModeCase{Mode::Vela31, -5.0, 1.0},
                    ModeCase{Mode::Vela63, -3.0, 2.0}, ModeCase{Mode::Vela125, 0.0, 3.0}),
    [](const auto& info) { return std::string(ModeTable(info.param.mode).name); });

TEST(Chain, SampleClockErrorIsCorrectedByAFractionalRate) {
  const std::string text = "clock check 599 599 73";
  const auto clean = Transmit(Mode::Vela63, text, "G4ABC ");
  cli::ChannelSettings channel;
  channel.ppm = 300;  // the receiving card runs 300 ppm fast: 8002.4 Hz
  const auto skewed = cli::ApplyChannel(clean, channel);
  const auto corrected = Receive(Mode::Vela63, skewed.samples, 8000.0 * (1 + 300e-6));
  EXPECT_NE(corrected.pane().find(text), std::string::npos) << corrected.pane();
}

TEST(Chain, OffCentreSignalIsCopiedWhenTunedToIt) {
  const std::string text = "QRG 1350 Hz";
  const auto clean = Transmit(Mode::Vela31, text, "", 1350.0);
  EXPECT_EQ(Receive(Mode::Vela31, clean, 8000.0, 1000.0).pane().find(text), std::string::npos);
  EXPECT_NE(Receive(Mode::Vela31, clean, 8000.0, 1350.0).pane().find(text), std::string::npos);
}

TEST(Chain, NoiseAloneIsHeldBackByARaisedSquelch) {
  // Five minutes of white noise in VELA125, the mode with the most frames per minute.
  std::vector<int16_t> noise(8000 * 300);
  std::mt19937_64 rng(3);
  std::normal_distribution<double> gauss(0.0, 3000.0);
  for (auto& x : noise)
    x = static_cast<int16_t>(std::clamp(std::lrint(gauss(rng)), -32768L, 32767L));
  // The best of 224 offsets of random bits correlates at about a third of full scale, so
  // the default threshold of 5 lets noise through; 50 holds nearly all of it back.
  const auto open = Receive(Mode::Vela125, noise, 8000.0, 1000.0, 5);
  const auto held = Receive(Mode::Vela125, noise, 8000.0, 1000.0, 50);
  EXPECT_GT(open.frames(), 160);
  EXPECT_GT(open.pane().size(), 100U);
  EXPECT_LT(held.pane().size(), open.pane().size() / 20) << held.pane().size() << " characters";
}

TEST(Sweep, AlignedEditDistanceIgnoresLeadingNoiseCharacters) {
  EXPECT_EQ(AlignedEditDistance("hello", "hello"), 0);
  EXPECT_EQ(AlignedEditDistance("hello", " tee t hello"), 0);
  EXPECT_EQ(AlignedEditDistance("hello", "hallo"), 1);
  EXPECT_EQ(AlignedEditDistance("hello", "helo"), 1);
  EXPECT_EQ(AlignedEditDistance("hello", "hello!!"), 2);  // trailing extras count
  EXPECT_EQ(AlignedEditDistance("hello", ""), 5);
  const std::string t = SweepText(300);
  EXPECT_EQ(t.size(), 300U);
  EXPECT_EQ(t, SweepText(300));
  for (char c : t) EXPECT_TRUE(c >= 32 && c <= 126);
}

}  // namespace
}  // namespace vela
