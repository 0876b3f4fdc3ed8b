// Two station cores on scripted devices, no Qt: one sends, the other listens to its audio.
// Every subscriber hears the same copy, and what the listener's band scanner finds, and each
// change of the dial; one that has left hears nothing more; a whole text goes out once and
// says so once; the end marker in the pane ends the over by itself.
#include "station/StationCore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "support/ScriptedInput.h"
#include "support/ScriptedOutput.h"
#include "tx/BitSource.h"

namespace vela {
namespace {

struct Heard : StationSubscriber {
  std::string rx, echo;
  int textsSent = 0;
  int64_t captured = 0;
  TransmitState last;
  std::vector<ScanSignal> listed;
  int scannerTurns = 0;
  std::vector<std::optional<DialReading>> dials;
  void RxChar(uint8_t c) override { rx += static_cast<char>(c); }
  void EchoChar(uint8_t c) override { echo += static_cast<char>(c); }
  void TextSent() override { ++textsSent; }
  void Captured(std::span<const int16_t> s) override { captured += static_cast<int64_t>(s.size()); }
  void TransmitStateChanged(const TransmitState& now, const TransmitState&) override { last = now; }
  void SignalListed(const BandScanner&, const ScanSignal& s) override { listed.push_back(s); }
  void ScannerRan(const BandScanner&) override { ++scannerTurns; }
  void DialChanged(const std::optional<DialReading>& dial) override { dials.push_back(dial); }
};

// Plays the over to its end: every buffer handed back, SEND pressed again once the text is
// out (as the command line does), and the left channel at 8000 per second returned.
std::vector<int16_t> PlayOver(StationCore& core, test::ScriptedOutput& out, const Heard& heard) {
  bool pressed = false;
  for (int i = 0; i < 20000 && core.transmitter().state().outputOpen(); ++i) {
    out.Play(1);
    if (heard.textsSent > 0 && !pressed && core.transmitter().state().sending()) {
      pressed = true;
      core.transmitter().Send();
    }
    out.Pump();
  }
  std::vector<int16_t> mono;
  for (size_t i = 0; i < out.sessions.back().size(); i += 8) mono.push_back(out.sessions.back()[i]);
  return mono;
}

TEST(StationCore, OneOverReachesEverySubscriberOfTheFarStation) {
  const std::string text = "CQ CQ de G3XYZ G3XYZ k ";
  for (const Mode mode : {Mode::Vela125, Mode::Vela31}) {
    SCOPED_TRACE(std::string(ModeTable(mode).name));
    test::ScriptedOutput out;
    StationHost host;
    StationCore sender(out, host);
    Heard own;
    sender.Subscribe(own);
    sender.modem().SetMode(mode);
    sender.SendText(text, 2);
    sender.transmitter().Send();
    out.Pump();
    std::vector<int16_t> air = PlayOver(sender, out, own);
    EXPECT_EQ(own.textsSent, 1);
    EXPECT_FALSE(sender.textFailed());
    EXPECT_NE(own.echo.find(text), std::string::npos) << own.echo;
    EXPECT_EQ(own.last.phase, OutputPhase::Idle);
    EXPECT_FALSE(own.last.keyed);

    // The far station: two subscribers; the second leaves halfway.
    const ModeParams& params = ModeTable(mode);
    air.resize(air.size() + static_cast<size_t>(3 * params.frameLength * 8000 / params.symbolRate));
    test::ScriptedInput input(air);
    StationCore far;
    far.modem().SetMode(mode);
    Heard first, second;
    far.Subscribe(first);
    far.Subscribe(second);
    far.Subscribe(first);  // twice is once
    ScanConfig scan;
    scan.modes = {mode};
    scan.fromHz = 800.0;
    scan.toHz = 1200.0;
    const BandScanner& scanner = far.AddScanner(scan, std::chrono::seconds(5));
    const auto deliver = [&] {
      input.Deliver();
      far.RunScanners();
    };
    CaptureCycle capture(input, far);
    ASSERT_TRUE(capture.StartCapture(0, 8000.0L));
    while (input.seconds() * 2 < static_cast<double>(air.size()) / 8000.0) deliver();
    far.Unsubscribe(second);
    const std::string secondHeard = second.rx;
    far.DialRead(DialReading{137000.0, "USB"});
    far.DialRead(DialReading{137000.0, "USB"});  // no change, no news
    while (input.seconds() < static_cast<double>(air.size()) / 8000.0) deliver();
    far.DialRead(std::nullopt);
    capture.StopCapture();
    ASSERT_EQ(first.listed.size(), 1u);
    EXPECT_EQ(first.listed[0].mode, mode);
    EXPECT_LT(std::abs(first.listed[0].centreHz - 1000.0), 2.0);
    ASSERT_EQ(scanner.listed().size(), 1u);
    EXPECT_NE(scanner.listed()[0].text.find("G3XYZ k"), std::string::npos);
    EXPECT_GT(first.scannerTurns, second.scannerTurns);
    EXPECT_EQ(first.dials, (std::vector<std::optional<DialReading>>{DialReading{137000.0, "USB"},
                                                                    std::nullopt}));
    const int turns = first.scannerTurns;
    far.RemoveScanner(scanner);
    far.RunScanners();
    EXPECT_EQ(first.scannerTurns, turns);
    EXPECT_NE(first.rx.find(text), std::string::npos) << first.rx;
    EXPECT_EQ(second.rx, secondHeard);
    EXPECT_GT(second.captured, 0);
    EXPECT_LT(second.captured, first.captured);
  }
}

// The delayed-receive marker, seen in the echo while the pane's text goes out, lets what is
// queued and two frames more play out, and then the over ends with no one pressing SEND.
TEST(StationCore, TheEndMarkerInThePaneEndsTheOverByItself) {
  test::ScriptedOutput out;
  StationHost host;
  StationCore core(out, host);
  Heard heard;
  core.Subscribe(heard);
  StationSettings settings;
  settings.mode = Mode::Vela125;
  core.Apply(settings);
  core.modem().bitSource().SetPaneText("tnx fer call [EOT]");
  core.transmitter().Send();
  out.Pump();
  for (int i = 0; i < 5000 && core.transmitter().state().outputOpen(); ++i) out.Play(1);
  EXPECT_EQ(heard.last.phase, OutputPhase::Idle);
  EXPECT_FALSE(core.transmitter().state().sending());
  EXPECT_NE(heard.echo.find("tnx fer call [EOT]"), std::string::npos) << heard.echo;
  EXPECT_EQ(heard.textsSent, 0);
}

}  // namespace
}  // namespace vela
