// The transmitted symbol stream: against the independent implementation's first frames,
// and back through sync stripping, de-interleaving and the Viterbi decoder to the text.
#include "tx/FrameBuilder.h"

#include <gtest/gtest.h>

#include "coding/Interleave.h"
#include "modem/Modem.h"
#include "rx/FrameSync.h"
#include "rx/VaricodeDecoder.h"
#include "support/Vectors.h"

namespace vela {
namespace {

struct EchoCollector : ModemEvents {
  std::string echo;
  std::string rx;
  void EchoChar(uint8_t c) override { echo += static_cast<char>(c); }
  void RxChar(uint8_t c) override { rx += static_cast<char>(c); }
};

TEST(FrameBuilder, FirstFramesOfAFreshRunMatchTheIndependentImplementation) {
  const auto& v = test::AirFormat()["symbols_VELA63"];
  EchoCollector events;
  Modem modem(events);
  modem.SetMode(Mode::Vela63);
  modem.bitSource().SetSecondaryText(v["secondary"].get<std::string>());
  modem.bitSource().SetPaneText(v["text"].get<std::string>());
  const auto& frames = v["frames"];
  ASSERT_EQ(frames.size(), 3U * 223U);
  for (size_t i = 0; i < frames.size(); ++i) {
    ASSERT_EQ(modem.NextSymbol(), frames[i].get<int>()) << "symbol " << i;
  }
  EXPECT_EQ(events.echo, v["echo_after_3_frame_builds"].get<std::string>());
  EXPECT_EQ(v["preamble"].size(), static_cast<size_t>(kPreambleSymbols));
}

// Receives a symbol stream with perfect decisions: sync stripped at the known frame start.
std::string DecodeStream(InterleaveLength length, const std::vector<int>& symbols) {
  const FrameGeometry& g = Geometry(length);
  ViterbiDecoder viterbi;
  VaricodeRxDecoder rx;
  EchoCollector events;
  std::vector<float> window, coded;
  for (size_t start = 0; start + static_cast<size_t>(g.frameLength) < symbols.size();
       start += static_cast<size_t>(g.frameLength)) {
    window.assign(symbols.begin() + static_cast<std::ptrdiff_t>(start),
                  symbols.begin() +
                      static_cast<std::ptrdiff_t>(start + static_cast<size_t>(g.frameLength) + 1));
    for (float& w : window) w = w > 0 ? 1.0f : -1.0f;
    DeinterleaveFrame(length, window, 0, UnsentSymbol::Read, coded);
    DecodeFrame(coded, viterbi, [&](int bit) { rx.Bit(bit, true, false, events); });
  }
  return events.rx;
}

TEST(FrameBuilder, TextSurvivesTheWholeCodeInBothInterleaveLengths) {
  const std::string text = "IIIIIII 1111111 rst 599 tnx fer QSO 73 de G0ABC/P k";
  for (Mode mode : {Mode::Vela31, Mode::Vela125}) {
    EchoCollector events;
    Modem modem(events);
    modem.SetMode(mode);
    modem.bitSource().SetPaneText(text);
    std::vector<int> symbols;
    for (int i = 0; i < 30 * modem.params().frameLength; ++i) symbols.push_back(modem.NextSymbol());
    const std::string received = DecodeStream(modem.params().interleave, symbols);
    EXPECT_NE(received.find(text), std::string::npos) << modem.params().name << ": " << received;
    EXPECT_NE(events.echo.find(text), std::string::npos)
        << modem.params().name << ": " << events.echo;
  }
}

TEST(FrameBuilder, EncodingPausesForTheLast31SymbolsOfEveryFrame) {
  BitSource source;
  source.SetPaneText("IIIIIIII");  // long runs of ones keep the register moving
  for (auto length : {InterleaveLength::Short, InterleaveLength::Long}) {
    FrameBuilder builder(length);
    const FrameGeometry& g = Geometry(length);
    int frameBuilds = 0;
    for (int i = 0; i < 3 * g.frameLength; ++i) {
      const uint8_t before = builder.encoderRegister();
      builder.NextSymbol(source, [&](std::span<const int> coded) {
        ++frameBuilds;
        EXPECT_EQ(coded.size(), static_cast<size_t>(g.codedSymbols));
      });
      // No data bit enters during the pause, nor on the odd symbol of a data bit.
      const int position = i % g.frameLength;
      if (position >= g.codedSymbols || position % 2 == 1) {
        EXPECT_EQ(builder.encoderRegister(), before) << i;
      }
    }
    EXPECT_EQ(frameBuilds, 3);
    EXPECT_EQ(builder.frameCounter(), 0);
  }
}

TEST(FrameBuilder, SyncValuesSitAtEveryGroupStartOfEveryFrame) {
  EchoCollector events;
  Modem modem(events);
  modem.SetMode(Mode::Vela8);
  modem.bitSource().SetPaneText("sync check");
  std::vector<int> s;
  for (int i = 0; i < 4 * 127; ++i) s.push_back(modem.NextSymbol());
  for (int f = 1; f < 4; ++f) {
    for (int g = 0; g < 31; ++g)
      EXPECT_EQ(s[static_cast<size_t>(127 * f + 4 * g)], SyncPattern()[static_cast<size_t>(g)]);
    EXPECT_EQ(s[static_cast<size_t>(127 * f + 124)], 0);
  }
}

TEST(FrameBuilder, StateSurvivesTransmissionsAndModeChanges) {
  EchoCollector events;
  Modem a(events), b(events);
  // a stops mid-frame and switches speeds back and forth; b runs on unbroken.
  std::vector<int> sa, sb;
  for (int i = 0; i < 100; ++i) sa.push_back(a.NextSymbol());
  a.TransmissionStopped();
  a.SetMode(Mode::Vela31);
  a.SetMode(Mode::Vela63);
  for (int i = 0; i < 400; ++i) sa.push_back(a.NextSymbol());
  for (int i = 0; i < 500; ++i) sb.push_back(b.NextSymbol());
  EXPECT_EQ(sa, sb);

  // Each interleave length keeps its own frame position.
  a.SetMode(Mode::Vela31);
  for (int i = 0; i < 50; ++i) a.NextSymbol();
  a.SetMode(Mode::Vela125);
  const int longPosition = a.frameCounter();
  for (int i = 0; i < 30; ++i) a.NextSymbol();
  EXPECT_EQ(a.frameCounter(), (longPosition + 30) % 223);
  a.SetMode(Mode::Vela8);
  EXPECT_EQ(a.frameCounter(), 50);
}

}  // namespace
}  // namespace vela
