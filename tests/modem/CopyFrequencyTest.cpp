// Two stations on, the dial moved from one to the other mid-word: the old station's last
// words still come out after the retune and are told as heard on the old frequency, the
// new station's on the new, and the copy's frequency changes once (not at the start either,
// when the receiver was tuned away from its first frequency before hearing anything).
#include <gtest/gtest.h>

#include <regex>

#include "modem/Modem.h"
#include "support/Band.h"

namespace vela {
namespace {

struct Copy : ModemEvents {
  Modem modem{*this};
  std::string heard[2];  // told on the old frequency, on the new
  void RxChar(uint8_t c) override {
    const bool now = modem.copyFrequency() == 1000.0L;
    EXPECT_TRUE(now || (heard[1].empty() && modem.copyFrequency() == 1600.0L));
    heard[now] += static_cast<char>(c);
  }
};

TEST(CopyFrequency, FollowsTheCopyAcrossARetuneNotTheDial) {
  const std::regex a("\\b(alpha|bravo|charlie|delta|echo|foxtrot)\\b"), b("\\b(ONE|TWO|SIX)\\b");
  std::string sentA, sentB;
  for (int i = 0; i < 16; ++i)
    sentA += i < 4 ? "alpha bravo charlie delta echo foxtrot " : "", sentB += "ONE TWO SIX ";
  for (const auto& [mode, kind, passes] : {std::tuple{Mode::Vela125, ReceiverKind::Standard, -1},
                                           {Mode::Vela125, ReceiverKind::Enhanced, -1},
                                           {Mode::Vela31, ReceiverKind::Enhanced, 0}}) {
    const test::BandTransmission on[] = {{mode, 1600.0, 10.0, "A", sentA, 0.0, 2},
                                         {mode, 1000.0, 10.0, "B", sentB, 0.0, 2}};
    const std::vector<int16_t> band = test::Band(on, 5);
    const double frame =
        Geometry(ModeTable(mode).interleave).frameLength * 8000.0 / ModeTable(mode).symbolRate;
    for (const double frames : {6.0, 6.35, 6.7}) {  // where in a frame the dial moves
      const auto retune = static_cast<size_t>(frames * frame);
      Copy copy;
      copy.modem.SetMode(mode);
      copy.modem.SetReceiver(kind);
      copy.modem.SetIterations(passes);
      copy.modem.SetRxCentreFrequency(1600.0);
      copy.modem.ProcessSamples(std::span(band).first(retune));
      const size_t before = copy.heard[0].size();
      copy.modem.SetRxCentreFrequency(1000.0);
      copy.modem.ProcessSamples(std::span(band).subspan(retune, retune));
      const std::string &old = copy.heard[0], &now = copy.heard[1];
      EXPECT_TRUE(std::regex_search(old.substr(before), a) && std::regex_search(now, b) &&
                  !std::regex_search(old, b) && !std::regex_search(now, a))
          << old << "|" << now;
    }
  }
}

}  // namespace
}  // namespace vela
