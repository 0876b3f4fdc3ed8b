// The transmit controller against a scripted sound output and PTT: the order of every step
// of a transmission, the identifier's elements, the drains, requests made while the air
// clears, and what happens when the output or the rig misbehaves.
#include "station/TransmitController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "coding/Morse.h"
#include "support/ScriptedOutput.h"

namespace vela {
namespace {

using Log = std::vector<std::string>;
using test::ScriptedOutput;

const char* Name(TransmitRequest r) {
  switch (r) {
    case TransmitRequest::None:
      return "none";
    case TransmitRequest::Data:
      return "send";
    case TransmitRequest::Tune:
      return "tune";
    case TransmitRequest::MorseId:
      return "cwid";
  }
  return "?";
}

const char* Name(OutputPhase p) {
  constexpr const char* kNames[] = {"idle", "opening", "on air", "draining", "stopping", "closing"};
  return kNames[static_cast<int>(p)];
}

const char* Name(CarrierMode c) {
  constexpr const char* kNames[] = {"data", "key down", "key up", "tune"};
  return kNames[static_cast<int>(c)];
}

class LoggingPtt : public PttControl {
 public:
  explicit LoggingPtt(Log& log) : log_(log) {}
  bool Key(bool on) override {
    log_.push_back(on ? "ptt on" : "ptt off");
    if (refuse) return false;
    keyed = on;
    return true;
  }
  std::string error() const override { return "rig not answering"; }
  bool refuse = false;
  bool keyed = false;

 private:
  Log& log_;
};

// Symbols come from a script; each buffer is filled with its symbol so the test can see
// what went out.
class ScriptedSource : public TransmitSource {
 public:
  explicit ScriptedSource(Log& log) : log_(log) {}
  int bufferLength() const override { return length; }
  int frameLength() const override { return frame; }
  SourceSymbol NextSymbol() override {
    log_.push_back("next");
    const int s = symbols.empty() ? 1 : symbols.front();
    if (!symbols.empty()) symbols.pop_front();
    return {s, markers > 0 && markers-- > 0};
  }
  void SynthesiseSymbol(std::span<int16_t> buffer, int symbol, CarrierMode carrier) override {
    log_.push_back("synth " + std::to_string(symbol) + " " + Name(carrier) + " x" +
                   std::to_string(buffer.size()));
    std::fill(buffer.begin(), buffer.end(), static_cast<int16_t>(symbol * 1000));
    carriers.push_back(carrier);
  }
  void TransmissionStopped() override { log_.push_back("stopped"); }
  void SetBeacon(bool on) override { log_.push_back(on ? "beacon on" : "beacon off"); }

  int length = 1024;
  int frame = 223;
  std::deque<int> symbols;
  int markers = 0;  // the next refills that echo the end marker
  std::vector<CarrierMode> carriers;

 private:
  Log& log_;
};

class LoggingEvents : public TransmitEvents {
 public:
  explicit LoggingEvents(Log& log) : log_(log) {}
  void TransmitStateChanged(const TransmitState& now, const TransmitState&) override {
    log_.push_back(std::string("state ") + Name(now.request) + " " + Name(now.phase) +
                   (now.keyed ? " keyed" : ""));
    states.push_back(now);
  }
  void TransmitPaneSent() override { log_.push_back("pane sent"); }
  void TransmitFailed(TransmitProblem problem, const std::string& detail) override {
    log_.push_back("failed " + std::to_string(static_cast<int>(problem)) + " " + detail);
    problems.push_back(problem);
  }
  void SetMorseClock(int periodMs) override {
    log_.push_back("clock " + std::to_string(periodMs));
    clockMs = periodMs;
  }
  void ReadyToExit() override { log_.push_back("exit"); }
  std::vector<TransmitState> states;
  std::vector<TransmitProblem> problems;
  int clockMs = 0;

 private:
  Log& log_;
};

class TransmitControllerTest : public ::testing::Test {
 protected:
  TransmitControllerTest() {
    tx.SetPtt(&ptt);
    tx.SetMorseIdentifier(MorsePattern("E"), 100);
  }

  // Starts `press` and lets the output open, so the preamble is queued; the log is emptied.
  void StartOnAir(void (TransmitController::*press)() = &TransmitController::Send) {
    (tx.*press)();
    out.Pump();
    ASSERT_EQ(tx.state().phase, OutputPhase::OnAir);
    log.clear();
  }
  long Count(const std::string& entry) const { return std::count(log.begin(), log.end(), entry); }
  bool Logged(const std::string& entry) const { return Count(entry) > 0; }
  // Ticks the identifier until it has switched itself off.
  void TickToTheEnd() {
    for (int i = 0; i < 100 && tx.state().identifying(); ++i) tx.MorseTick();
  }

  Log log;
  ScriptedOutput out;
  LoggingPtt ptt{log};
  ScriptedSource source{log};
  LoggingEvents events{log};
  TransmitController tx{out, source, events};
};

TEST_F(TransmitControllerTest, SendHoldsCaptureOpensKeysThenSendsThePreamble) {
  tx.SetOutputDevice(3);
  tx.Send();
  EXPECT_EQ(log, (Log{"state send opening", "ptt on", "state send opening keyed"}));
  EXPECT_EQ(out.lastDevice, 3);
  EXPECT_TRUE(tx.state().keyed && tx.state().onAir() && tx.state().sending());

  log.clear();
  out.Pump();
  Log expected;
  for (int i = 0; i < kOutputBufferCount; ++i) expected.push_back("synth 1 data x1024");
  expected.push_back("state send on air keyed");
  EXPECT_EQ(log, expected);  // the preamble asks the pipeline for nothing
  EXPECT_EQ(tx.buffersInFlight(), kOutputBufferCount);

  log.clear();
  source.symbols = {-1, 0, 1};
  out.Play(3);
  EXPECT_EQ(log, (Log{"next", "synth -1 data x1024", "next", "synth 0 data x1024", "next",
                      "synth 1 data x1024"}));
  EXPECT_EQ(tx.buffersInFlight(), kOutputBufferCount);
}

TEST_F(TransmitControllerTest, F9StopsAtOnceDroppingWhatIsQueuedAndEndsTheOver) {
  StartOnAir();
  tx.Send();
  // Reset, then PTT off, then the state (capture back, mode buttons free).
  EXPECT_EQ(log, (Log{"ptt off", "state none stopping"}));
  EXPECT_EQ(out.queue.size(), 0u);
  log.clear();
  out.Pump();  // all 40 come back unplayed: the first closes the output
  EXPECT_EQ(log, (Log{"stopped", "pane sent", "state none closing", "state none idle"}));
  EXPECT_EQ(out.played, 0);
  EXPECT_FALSE(Logged("next"));
}

TEST_F(TransmitControllerTest, StopBeforeTheOutputOpensStillClosesIt) {
  tx.Send();
  tx.Send();
  EXPECT_EQ(out.closes, 1);
  EXPECT_FALSE(ptt.keyed);
  out.Pump();  // the late open notice writes nothing
  EXPECT_TRUE(out.writes.empty());
  EXPECT_EQ(tx.state().phase, OutputPhase::Idle);
}

TEST_F(TransmitControllerTest, OutputThatWillNotOpenLeavesTheRigUnkeyedAndReceiving) {
  out.failOpen = true;
  tx.Send();
  EXPECT_EQ(log, (Log{"state send opening", "failed 0 the card went away", "state none idle"}));
  EXPECT_FALSE(Logged("ptt on"));
  out.failOpen = false;
  tx.Send();  // the operator simply tries again
  EXPECT_EQ(tx.state().phase, OutputPhase::Opening);
  EXPECT_TRUE(ptt.keyed);
}

TEST_F(TransmitControllerTest, RigThatWillNotKeyGetsNoAudio) {
  ptt.refuse = true;
  tx.Send();
  out.Pump();
  EXPECT_TRUE(out.writes.empty());
  EXPECT_EQ(events.problems, std::vector<TransmitProblem>{TransmitProblem::PttFailed});
  EXPECT_NE(std::find(log.begin(), log.end(), "failed 2 rig not answering"), log.end());
  EXPECT_EQ(tx.state(), TransmitState{});
  EXPECT_FALSE(tx.state().keyed);
}

// Failures on air: the card breaking, a write refused. PTT drops first, the operator is
// told, the unsent text stays in the pane, and the next SEND goes on air normally.
TEST_F(TransmitControllerTest, OutputFailingOnAirEndsTheOverAndTheNextSendWorks) {
  for (const bool refuseWrite : {false, true}) {
    StartOnAir();
    out.Play(1);
    if (refuseWrite) {
      out.failWrite = true;
      out.Play(1);
      out.failWrite = false;
    } else {
      out.Fail("USB audio unplugged");
    }
    EXPECT_FALSE(ptt.keyed);
    EXPECT_FALSE(Logged("pane sent"));
    EXPECT_EQ(events.problems.back(), TransmitProblem::OutputFailed);
    out.Pump();
    EXPECT_EQ(tx.state(), TransmitState{});
    const auto nexts = Count("next");
    out.Fail("again");  // a late failure after the close is ignored
    out.Play(5);
    EXPECT_EQ(Count("next"), nexts);
    tx.Send();
    out.Pump();
    EXPECT_EQ(tx.state().phase, OutputPhase::OnAir);
    tx.Send();
    out.Pump();
    events.problems.clear();
  }
}

TEST_F(TransmitControllerTest, ClosingTheProgramStopsFirstAndSaysWhenItMayEnd) {
  StartOnAir(&TransmitController::ToggleTune);
  EXPECT_FALSE(tx.RequestExit());
  EXPECT_FALSE(ptt.keyed);
  tx.Send();  // nothing new starts once the program is ending
  tx.ToggleCwId();
  out.Pump();
  EXPECT_EQ(log.back(), "exit");
  EXPECT_EQ(out.opens, 1);
  EXPECT_TRUE(tx.RequestExit());  // idle now: end at once
}

// SEND, CWID and tune exclude one another: while one is on, the other two change nothing.
TEST_F(TransmitControllerTest, SendCwidAndTuneExcludeOneAnother) {
  using Press = void (TransmitController::*)();
  const std::pair<Press, TransmitRequest> presses[] = {
      {&TransmitController::Send, TransmitRequest::Data},
      {&TransmitController::ToggleTune, TransmitRequest::Tune},
      {&TransmitController::ToggleCwId, TransmitRequest::MorseId}};
  for (const auto& [on, request] : presses) {
    (tx.*on)();
    out.Pump();
    const int opens = out.opens;
    for (const auto& [other, otherRequest] : presses) {
      if (otherRequest == request) continue;
      (tx.*other)();
      EXPECT_EQ(tx.state().request, request) << Name(otherRequest) << " during " << Name(request);
    }
    EXPECT_EQ(out.opens, opens);
    tx.ToggleBeacon();  // always accepted
    EXPECT_TRUE(tx.state().beacon);
    tx.ToggleBeacon();
    (tx.*on)();
    out.Play(100);
    EXPECT_EQ(tx.state().request, TransmitRequest::None);
  }
  EXPECT_EQ(Count("beacon on"), 3);
}

TEST_F(TransmitControllerTest, TuneSendsTheCarrierWhileThePipelineRunsUnderIt) {
  StartOnAir(&TransmitController::ToggleTune);
  source.symbols = {-1, 1};
  out.Play(2);
  EXPECT_EQ(log, (Log{"next", "synth -1 tune x1024", "next", "synth 1 tune x1024"}));
  tx.ToggleTune();
  out.Pump();
  EXPECT_TRUE(Logged("pane sent"));  // the pipeline took the pane's text
}

// The identifier's elements per tick, for callsigns with one element, several letters, a
// character Morse has no pattern for, and none at all: each element in turn, then eight
// key-up ticks, then it switches itself off.
TEST_F(TransmitControllerTest, IdentifierKeysEachElementPerTickThenEightQuietOnes) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"E", {"-", "-", "1", "-"}},
      {"ab", {"-", "-", "1", "-", "1", "1", "1", "-", "-", "-",
              "1", "1", "1", "-", "1", "-", "1", "-", "1", "-"}},
      {"E#", {"-", "-", "1", "-", " "}},
      {"", {}}};
  for (const auto& [callsign, elements] : cases) {
    tx.SetMorseIdentifier(MorsePattern(callsign), 100);
    tx.ToggleCwId();
    out.Pump();
    EXPECT_EQ(events.clockMs, 100);
    std::vector<std::string> keyed;
    int ticks = 0;
    while (tx.state().identifying() && ticks < 100) {
      tx.MorseTick();
      ++ticks;
      keyed.push_back(tx.morseElement());
    }
    EXPECT_EQ(ticks, static_cast<int>(elements.size()) + 8) << callsign;
    keyed.resize(elements.size());
    EXPECT_EQ(keyed, elements) << callsign;
    EXPECT_EQ(tx.morseElement(), "-");
    EXPECT_EQ(events.clockMs, 0);
    out.Play(kOutputBufferCount);
    out.Pump();
    EXPECT_EQ(tx.state().phase, OutputPhase::Idle) << callsign;
  }
}

// Elements are sampled when a buffer is refilled; every buffer of the identifier is 2048
// values, its symbol is held, and its end lets the 40 queued buffers reach the air key-up.
TEST_F(TransmitControllerTest, IdentifierTailLetsTheQueuedElementsReachTheAir) {
  source.length = 512;
  StartOnAir(&TransmitController::ToggleCwId);
  tx.MorseTick();
  tx.MorseTick();
  tx.MorseTick();  // "1"
  out.Play(1);
  EXPECT_EQ(log.back(), "synth 1 key down x2048");
  TickToTheEnd();
  EXPECT_EQ(tx.state().phase, OutputPhase::Draining);
  EXPECT_TRUE(ptt.keyed);
  log.clear();
  out.Play(kOutputBufferCount - 1);
  EXPECT_EQ(Count("synth 1 key up x2048"), kOutputBufferCount - 1);
  EXPECT_TRUE(tx.state().onAir());
  out.Play(1);  // the 40th: everything keyed has been heard
  EXPECT_FALSE(ptt.keyed);
  EXPECT_FALSE(Logged("next"));
  out.Pump();
  EXPECT_FALSE(Logged("pane sent"));  // nothing of the pane went out
  EXPECT_TRUE(std::all_of(out.writes.begin(), out.writes.end(), [](int n) { return n == 2048; }));
  // The next data transmission has the mode's buffers again.
  tx.Send();
  out.Pump();
  EXPECT_EQ(out.writes.back(), 512);
}

TEST_F(TransmitControllerTest, CwidAgainDuringItsTailRestartsItOnTheSameOutput) {
  StartOnAir(&TransmitController::ToggleCwId);
  tx.ToggleCwId();  // the operator switches it off mid-callsign
  EXPECT_EQ(tx.state().phase, OutputPhase::Draining);
  out.Play(10);
  tx.ToggleCwId();
  EXPECT_EQ(tx.state().phase, OutputPhase::OnAir);
  EXPECT_EQ(tx.morsePosition(), 1);
  EXPECT_EQ(events.clockMs, 100);
  out.Play(kOutputBufferCount);
  EXPECT_EQ(tx.state().phase, OutputPhase::OnAir);
  EXPECT_EQ(out.opens, 1);
}

// SEND pressed while the identifier's tail plays shows at once, goes out once the output
// has closed (in the mode's buffer length, as data), and can be taken back before that.
TEST_F(TransmitControllerTest, SendDuringTheIdentifierTailGoesOutAfterIt) {
  StartOnAir(&TransmitController::ToggleCwId);
  TickToTheEnd();
  tx.Send();
  EXPECT_TRUE(tx.state().sending());
  EXPECT_EQ(tx.state().phase, OutputPhase::Draining);
  out.Play(kOutputBufferCount);
  out.Pump();
  EXPECT_EQ(out.opens, 2);
  EXPECT_EQ(tx.state().phase, OutputPhase::OnAir);
  EXPECT_EQ(out.writes.back(), 1024);
  EXPECT_EQ(source.carriers.back(), CarrierMode::Data);
  tx.Send();
  out.Pump();

  tx.ToggleCwId();
  out.Pump();
  TickToTheEnd();
  tx.Send();
  tx.Send();  // taken back
  out.Play(kOutputBufferCount);
  out.Pump();
  EXPECT_EQ(out.opens, 3);
  EXPECT_EQ(tx.state(), TransmitState{});
}

// CWID pressed while a stopped over is still leaving the air: the element clock waits for
// the identifier's own transmission, so its first elements are not keyed into nothing.
TEST_F(TransmitControllerTest, CwidPressedWhileAStopDrainsStartsItsClockWithItsOutput) {
  StartOnAir();
  out.Play(3);
  tx.Send();
  tx.ToggleCwId();
  EXPECT_TRUE(tx.state().identifying());
  EXPECT_EQ(events.clockMs, 0);
  tx.MorseTick();  // a tick from an earlier clock must not advance anything
  EXPECT_EQ(tx.morsePosition(), 1);
  out.Pump();
  EXPECT_EQ(out.opens, 2);
  EXPECT_EQ(events.clockMs, 100);
  EXPECT_EQ(tx.morsePosition(), 1);
}

// The delayed-receive marker in the echo: what is queued and two frames more go out, then
// the over ends by itself. F9 during that tail ends it at once.
TEST_F(TransmitControllerTest, EndMarkerEndsTheOverAfterTwoFramesMore) {
  source.frame = 127;
  for (const bool pressF9 : {false, true}) {
    StartOnAir();
    out.Play(5);
    const int64_t from = out.played;
    source.markers = 2;  // seen again in the next frame's refill: counts once
    out.Play(2);
    EXPECT_TRUE(tx.state().sending());
    EXPECT_EQ(tx.state().phase, OutputPhase::Draining);
    if (pressF9) {
      out.Play(5);
      tx.Send();
      EXPECT_EQ(out.played - from, 7);
    } else {
      out.Play(kOutputBufferCount + 2 * 127 - 3);
      EXPECT_TRUE(ptt.keyed);
      out.Play(1);
      EXPECT_EQ(out.played - from, kOutputBufferCount + 2 * 127);
    }
    EXPECT_FALSE(ptt.keyed);
    EXPECT_FALSE(tx.state().sending());
    out.Pump();
    EXPECT_EQ(tx.state().phase, OutputPhase::Idle);
  }
}

}  // namespace
}  // namespace vela
