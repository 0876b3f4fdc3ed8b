// The enhanced receiver end to end: text -> audio -> channel -> audio -> text through the
// command line's own code, beside the standard receiver on the same signals.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "cli/Receiver.h"
#include "cli/Sweep.h"
#include "modem/TextTransmission.h"
#include "rx/Receiver.h"
#include "sim/ChannelSim.h"
#include "support/Band.h"
#include "tx/BitSource.h"

namespace vela {
namespace {

std::vector<int16_t> Transmit(Mode mode, const std::string& text,
                              const std::string& secondary = "nocall") {
  TransmitSettings s;
  s.mode = mode;
  s.text = text;
  s.secondaryText = secondary;
  s.tailFrames = 4;
  std::vector<int16_t> stereo;
  EXPECT_TRUE(TransmitText(
      s, [&](std::span<const int16_t> b) { stereo.insert(stereo.end(), b.begin(), b.end()); }));
  return cli::StereoToChannelRate(stereo);
}

struct Copy {
  std::string pane;
  std::string secondary;
  int64_t frames;
  int64_t framesOpen;
};

Copy Receive(Mode mode, ReceiverKind kind, const std::vector<int16_t>& samples,
             int iterations = kDefaultIterations) {
  cli::ReceiverSettings settings;
  settings.mode = mode;
  settings.receiver = kind;
  settings.iterations = iterations;
  cli::Receiver receiver(settings);
  receiver.Process(samples);
  receiver.Finish();
  return {receiver.pane(), receiver.secondary(), receiver.frames(), receiver.framesOpen()};
}

std::vector<int16_t> Channel(const std::vector<int16_t>& clean, double snrDb, uint64_t seed,
                             double offsetHz = 0.0, double ppm = 0.0) {
  cli::ChannelSettings c;
  c.snrDb = snrDb;
  c.seed = seed;
  c.offsetHz = offsetHz;
  c.ppm = ppm;
  return cli::ApplyChannel(clean, c).samples;
}

double Cer(const std::string& sent, const std::string& received) {
  return static_cast<double>(AlignedEditDistance(sent, received)) /
         static_cast<double>(sent.size());
}

const std::string kText = "CQ CQ de M0XYZ/P M0XYZ/P pse k";

class CleanLoopback : public testing::TestWithParam<Mode> {};

TEST_P(CleanLoopback, BothReceiversGiveBackBothTexts) {
  const Mode mode = GetParam();
  const auto clean = Transmit(mode, kText, "M0XYZ ");
  for (ReceiverKind kind : {ReceiverKind::Standard, ReceiverKind::Enhanced}) {
    const Copy copy = Receive(mode, kind, clean);
    EXPECT_NE(copy.pane.find(kText), std::string::npos)
        << static_cast<int>(kind) << ": " << copy.pane;
    EXPECT_NE(copy.secondary.find("M0XYZ"), std::string::npos) << copy.secondary;
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, CleanLoopback,
                         testing::Values(Mode::Vela8, Mode::Vela31, Mode::Vela63, Mode::Vela125),
                         [](const auto& info) { return std::string(ModeTable(info.param).name); });

// Well below where the standard receiver copies: 2 dB under its 1% threshold the standard
// receiver loses much of the text, the enhanced one copies it.
struct WeakCase {
  Mode mode;
  double snrDb;
};

class BelowStandardThreshold : public testing::TestWithParam<WeakCase> {};

TEST_P(BelowStandardThreshold, EnhancedCopiesWhatStandardCannot) {
  const WeakCase c = GetParam();
  const std::string text = SweepText(120);
  const auto noisy = Channel(Transmit(c.mode, text), c.snrDb, 7);
  const double standard = Cer(text, Receive(c.mode, ReceiverKind::Standard, noisy).pane);
  const double enhanced = Cer(text, Receive(c.mode, ReceiverKind::Enhanced, noisy).pane);
  EXPECT_GT(standard, 0.05);
  EXPECT_LT(enhanced, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Modes, BelowStandardThreshold,
                         testing::Values(WeakCase{Mode::Vela31, -14.7},
                                         WeakCase{Mode::Vela63, -12.0},
                                         WeakCase{Mode::Vela125, -8.7}),
                         [](const auto& info) {
                           return std::string(ModeTable(info.param.mode).name);
                         });

// Below the threshold of the enhanced receiver decoding symbol by symbol through the Viterbi
// decoder, the iterative decoder still copies; and with no iterations the receiver's bits
// are exactly the Viterbi decoder's over each frame's soft values, as before there were any.
TEST(EnhancedReceiver, IterationsCopyBelowTheViterbiDecodersThreshold) {
  struct Bits : ReceiverEvents {
    std::vector<std::vector<float>> frames;
    std::vector<int> bits;
    void Frame(const FrameResult& f) override {
      frames.emplace_back(f.coded.begin(), f.coded.end());
    }
    void DecodedBit(int bit) override { bits.push_back(bit); }
  };
  const std::string text = SweepText(120);
  for (Mode mode : {Mode::Vela8, Mode::Vela31, Mode::Vela63, Mode::Vela125}) {
    const std::string name(ModeTable(mode).name);
    const auto clean = Transmit(mode, text);
    double viterbi = 0.0, iterative = 0.0;
    for (uint64_t seed : {3, 4}) {
      const auto noisy = Channel(clean, test::EnhancedThreshold(mode) - 1.1, seed);
      viterbi += Cer(text, Receive(mode, ReceiverKind::Enhanced, noisy, 0).pane) / 2;
      iterative += Cer(text, Receive(mode, ReceiverKind::Enhanced, noisy).pane) / 2;
    }
    EXPECT_GT(viterbi, 0.03) << name;
    EXPECT_LE(iterative, std::min(0.02, 0.4 * viterbi)) << name;

    const auto noisy = Channel(clean, test::EnhancedThreshold(mode), 3);
    ViterbiDecoder unused;
    const auto receiver = MakeReceiver(ReceiverKind::Enhanced, unused);
    ReceiverConfig config;
    config.mode = mode;
    config.iterations = 0;
    receiver->Configure(config);
    Bits heard;
    receiver->Process(noisy, heard);
    ViterbiDecoder viterbiAlone;
    std::vector<int> expected;
    for (const auto& coded : heard.frames)
      DecodeFrame(coded, viterbiAlone, [&](int bit) { expected.push_back(bit); });
    EXPECT_EQ(heard.bits, expected) << name;
  }
}

// Off-centre and off-rate: the fine tune's leftover and a sound card's clock error, at a
// signal the standard receiver could not copy at all.
TEST(EnhancedReceiver, CopiesOffCentreAndOffRate) {
  const std::string text = SweepText(100);
  const auto clean = Transmit(Mode::Vela63, text);
  for (const auto& [offset, ppm] : std::vector<std::pair<double, double>>{
           {2.0, 0.0}, {-2.0, 0.0}, {0.0, 200.0}, {0.0, -200.0}, {-2.0, 200.0}}) {
    const auto noisy = Channel(clean, -12.0, 11, offset, ppm);
    EXPECT_LT(Cer(text, Receive(Mode::Vela63, ReceiverKind::Enhanced, noisy).pane), 0.01)
        << offset << " Hz " << ppm << " ppm";
  }
}

TEST(EnhancedReceiver, SlowestModeToleratesHalfAHertz) {
  const auto clean = Transmit(Mode::Vela8, kText);
  for (double offset : {0.5, -0.5}) {
    const auto noisy = Channel(clean, -20.0, 3, offset);
    EXPECT_NE(Receive(Mode::Vela8, ReceiverKind::Enhanced, noisy).pane.find(kText),
              std::string::npos)
        << offset;
  }
}

// A fresh transmitter after a while of band noise: the enhanced receiver shows the text and
// nothing before it (not the never-built first frame's junk, nor the noise frames' bits
// the decoder still holds when the squelch opens). And a quarter of the baud off, 3 dB
// above its 1% threshold, it still pulls the signal in and copies it.
TEST(EnhancedReceiver, FreshStartShowsNoJunkAndPullsInAQuarterBaudOff) {
  struct Case {
    Mode mode;
    double quarterHz;
  };
  const std::string text = SweepText(80);
  for (const Case c : {Case{Mode::Vela8, 2.0}, Case{Mode::Vela31, 8.0}, Case{Mode::Vela63, 16.0},
                       Case{Mode::Vela125, 31.0}}) {
    const std::string name(ModeTable(c.mode).name);
    auto clean = Transmit(c.mode, text);
    const auto frame =
        static_cast<size_t>(8000.0 / ModeTable(c.mode).symbolRate * ModeTable(c.mode).frameLength);
    clean.insert(clean.begin(), 3 * frame, 0);
    for (uint64_t seed : {1, 2}) {
      const std::string pane =
          Receive(c.mode, ReceiverKind::Enhanced, Channel(clean, -3.0, seed)).pane;
      EXPECT_TRUE(pane.starts_with(text)) << name << ": " << pane;
    }
    for (double offset : {-c.quarterHz, c.quarterHz}) {
      const auto noisy = Channel(clean, test::EnhancedThreshold(c.mode) + 3.0, 5, offset);
      EXPECT_LE(Cer(text, Receive(c.mode, ReceiverKind::Enhanced, noisy).pane), 0.01)
          << name << " " << offset << " Hz";
    }
  }
}

// After an over the sync stays confident for a while on what it carries over from it, and
// for ever on digital silence: neither 60 s of band noise nor 60 s of silence after the over
// shows anything beyond its text, 3 dB over the 1% threshold and far above it.
TEST(EnhancedReceiver, NothingShownAfterAnOversEnd) {
  const std::string text = SweepText(60);
  for (Mode mode : {Mode::Vela8, Mode::Vela31, Mode::Vela63, Mode::Vela125}) {
    const std::string name(ModeTable(mode).name);
    auto over = Transmit(mode, text);
    const size_t length = over.size();
    over.resize(length + 60 * 8000, 0);
    for (double above : {3.0, 25.0}) {
      for (uint64_t seed : {1, 2}) {
        std::vector<int16_t> after = Channel(over, test::EnhancedThreshold(mode) + above, seed);
        for (const std::string what : {"noise", "silence"}) {
          if (what == "silence")
            std::fill(after.begin() + static_cast<std::ptrdiff_t>(length), after.end(), 0);
          EXPECT_EQ(Receive(mode, ReceiverKind::Enhanced, after).pane, text)
              << name << " +" << above << " dB, seed " << seed << ", " << what;
        }
      }
    }
  }
}

// Noise alone at the default squelch: the enhanced receiver's confidence keeps its squelch
// shut where the standard one's opens on chance correlations.
TEST(EnhancedReceiver, NoiseAloneShowsNoMoreTextThanStandard) {
  std::mt19937 rng(99);
  std::normal_distribution<double> gauss(0.0, 3000.0);
  std::vector<int16_t> noise(8000 * 120);
  for (auto& x : noise) x = static_cast<int16_t>(std::lround(gauss(rng)));
  for (Mode mode : {Mode::Vela31, Mode::Vela125}) {
    const Copy standard = Receive(mode, ReceiverKind::Standard, noise);
    const Copy enhanced = Receive(mode, ReceiverKind::Enhanced, noise);
    EXPECT_GT(enhanced.frames, 5);
    EXPECT_LE(enhanced.framesOpen, standard.framesOpen);
    EXPECT_LE(enhanced.pane.size(), standard.pane.size());
    EXPECT_LE(enhanced.framesOpen * 10, enhanced.frames) << "squelch open on noise";
  }
}

// A receiver switched while running starts afresh and still copies.
TEST(EnhancedReceiver, SwitchingReceiversMidStreamKeepsCopying) {
  const auto clean = Transmit(Mode::Vela125, kText + " " + kText);
  struct Pane : ModemEvents {
    std::string text;
    void RxChar(uint8_t c) override { text += static_cast<char>(c); }
  } events;
  Modem modem(events);
  modem.SetMode(Mode::Vela125);
  const size_t half = clean.size() / 2;
  modem.ProcessSamples(std::span(clean).first(half));
  modem.SetReceiver(ReceiverKind::Enhanced);
  EXPECT_EQ(modem.receiver(), ReceiverKind::Enhanced);
  modem.ProcessSamples(std::span(clean).subspan(half));
  modem.ProcessSamples(std::vector<int16_t>(8000 * 2, 0));
  EXPECT_NE(events.text.find("pse k"), std::string::npos) << events.text;
}

// After a switch the receive side is that of a new modem with the chosen receiver: the same
// frames and text, and the same echo through the decoder the receiver shares with it.
TEST(EnhancedReceiver, ASwitchedModemReceivesAndEchoesLikeANewOne) {
  struct Record : ModemEvents {
    std::vector<std::tuple<int, double, int>> frames;  // location, peak, confidence
    std::string rx, echo;
    void RxChar(uint8_t c) override { rx += static_cast<char>(c); }
    void EchoChar(uint8_t c) override { echo += static_cast<char>(c); }
    void FrameProcessed(const FrameReport& r) override {
      frames.emplace_back(r.location, r.syncPeak, r.confidence);
    }
  };
  const auto before = Transmit(Mode::Vela125, "QRL? de G3ABC");
  const auto after = Transmit(Mode::Vela125, kText, "G3ABC");
  for (ReceiverKind to : {ReceiverKind::Standard, ReceiverKind::Enhanced}) {
    const ReceiverKind from =
        to == ReceiverKind::Standard ? ReceiverKind::Enhanced : ReceiverKind::Standard;
    Record switchedEvents, freshEvents;
    Modem switched(switchedEvents), fresh(freshEvents);
    for (Modem* m : {&switched, &fresh}) m->SetMode(Mode::Vela125);
    switched.SetReceiver(from);
    switched.ProcessSamples(before);
    switched.SetReceiver(to);
    fresh.SetReceiver(to);
    switchedEvents = Record{};
    for (Modem* m : {&switched, &fresh}) {
      m->ProcessSamples(after);
      m->Flush();
      m->bitSource().SetPaneText("TU 73 de G3ABC k");
      for (int i = 0; i < 6 * m->params().frameLength; ++i) m->NextSymbol();
    }
    EXPECT_EQ(switchedEvents.frames, freshEvents.frames);
    EXPECT_NE(freshEvents.rx.find("pse k"), std::string::npos) << freshEvents.rx;
    // The text decoder runs on across a switch: it may still finish one character.
    ASSERT_GE(switchedEvents.rx.size(), freshEvents.rx.size());
    EXPECT_LE(switchedEvents.rx.size(), freshEvents.rx.size() + 1);
    EXPECT_TRUE(switchedEvents.rx.ends_with(freshEvents.rx)) << switchedEvents.rx;
    EXPECT_NE(freshEvents.echo.find("TU 73"), std::string::npos) << freshEvents.echo;
    EXPECT_EQ(switchedEvents.echo, freshEvents.echo);
  }
}

// The command line: --receiver on decode, and a clear refusal of anything else.
TEST(EnhancedReceiver, CommandLineDecodeTakesTheReceiverOption) {
  const char* tmp = std::getenv("VELA_TEST_TMP");
  const std::string dir = (tmp ? tmp : "/tmp") + std::string("/enhanced-cli");
  std::filesystem::create_directories(dir);
  auto run = [&](const std::string& args, std::string* out) {
    FILE* p =
        popen((std::string(VELA_MODEM_BIN) + " " + args + " 2>" + dir + "/err.txt").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    const int raw = pclose(p);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  };
  std::string ignored, decoded, refused;
  ASSERT_EQ(run("encode --mode vela125 --text 'CQ de M0XYZ k' -o " + dir + "/cq.wav", &ignored), 0);
  EXPECT_EQ(run("decode --mode vela125 --receiver enhanced " + dir + "/cq.wav", &decoded), 0);
  EXPECT_NE(decoded.find("CQ de M0XYZ k"), std::string::npos) << decoded;
  EXPECT_EQ(run("decode --receiver coherent " + dir + "/cq.wav", &refused), 2);
  EXPECT_TRUE(refused.empty());
}

}  // namespace
}  // namespace vela
