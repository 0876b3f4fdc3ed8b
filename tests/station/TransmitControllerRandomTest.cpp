// Thousands of operator and device event sequences through the transmit controller, from a
// fixed seed, with the real modem making the audio. After every event: PTT is keyed exactly
// while our audio can be going out, never without an open output, and no request sits idle
// with nothing on the air. At the end of every sequence: nothing keyed after the close, every
// transmission that started has ended, every buffer had the length and carrier of what it
// carried, and each data transmission, decoded by a far station, holds the text its echo
// showed. Under a time limit nothing stays on air once the limit's worth has played, and
// nothing is stopped for it sooner.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "coding/Modes.h"
#include "coding/Morse.h"
#include "modem/Modem.h"
#include "station/TransmitController.h"
#include "support/ScriptedOutput.h"
#include "tx/BitSource.h"

namespace vela {
namespace {

using test::ScriptedOutput;

class Ptt : public PttControl {
 public:
  bool Key(bool on) override {
    if (refuseNext) {
      refuseNext = false;
      return false;
    }
    keyed = on;
    return true;
  }
  bool keyed = false;
  bool refuseNext = false;
};

struct EchoedChar {
  char c;
  int64_t refill;  // data symbols asked for in its transmission before it was echoed
};

// What one open-to-close output session carried.
struct Session {
  Mode mode = Mode::Vela63;
  bool data = false;
  bool morse = false;
  bool tune = false;
  int length = 0;
  bool consistent = true;  // every buffer of one length and one kind of carrier
  int64_t refills = 0;
  bool endedByMarker = false;
  int64_t markerAt = -1;  // refill at which the echo first completed the end marker
  std::vector<EchoedChar> echo;
};

// The terminal around the controller: the modem as source, the pane, and a record of what
// happened for the checks.
class Station : public TransmitSource, public TransmitEvents, public ModemEvents {
 public:
  explicit Station(ScriptedOutput& out) : out_(out), modem(*this), tx(out, *this, *this) {
    tx.SetPtt(&ptt);
    modem.SetEndMarker("[EOT]");
    modem.bitSource().SetSecondaryText("G4ABC ");
  }

  // TransmitSource
  int bufferLength() const override { return modem.bufferLength(); }
  int frameLength() const override { return modem.params().frameLength; }
  SourceSymbol NextSymbol() override {
    marker_ = false;
    const int symbol = modem.NextSymbol();
    ++Current().refills;
    return {symbol, marker_};
  }
  void SynthesiseSymbol(std::span<int16_t> buffer, int symbol, CarrierMode carrier) override {
    Session& s = Current();
    const bool morse = carrier == CarrierMode::MorseKeyDown || carrier == CarrierMode::MorseKeyUp;
    const bool tune = carrier == CarrierMode::Tune;
    if (s.length == 0) {
      s.length = static_cast<int>(buffer.size());
      s.morse = morse;
      s.tune = tune;
      s.data = !morse && !tune;
    }
    const int want = morse ? kMorseBufferValues : ModeTable(s.mode).bufferLength;
    if (static_cast<int>(buffer.size()) != want || static_cast<int>(buffer.size()) != s.length ||
        morse != s.morse || tune != s.tune) {
      s.consistent = false;
    }
    // Only data is decoded afterwards; the carriers' audio is the synthesiser's own test.
    if (s.data) {
      modem.SynthesiseSymbol(buffer, symbol, carrier);
    } else {
      std::fill(buffer.begin(), buffer.end(), int16_t{0});
    }
  }
  void TransmissionStopped() override { modem.TransmissionStopped(); }
  void SetBeacon(bool on) override { modem.bitSource().SetBeacon(on); }

  // TransmitEvents
  void TransmitStateChanged(const TransmitState& now, const TransmitState& before) override {
    // A request goes off only when the operator takes it back, the identifier ends itself on
    // a tick, the end marker ends the over, the output fails, or the program ends.
    if (before.request != TransmitRequest::None && now.request == TransmitRequest::None &&
        !operatorPressed && !exiting && failures == failuresBefore &&
        !(ticked && before.identifying()) &&
        !(markerSeen && before.sending() && now.phase == OutputPhase::Stopping)) {
      lostRequest = true;
    }
    // The over ended by the marker: SEND went off by itself into an orderly stop (a
    // failure closes at once instead).
    if (before.sending() && !now.sending() && now.phase == OutputPhase::Stopping &&
        !operatorPressed && !exiting && markerSeen) {
      Current().endedByMarker = true;
    }
  }
  void TransmitPaneSent() override { Type(std::string(), true); }
  void TransmitFailed(TransmitProblem problem, const std::string&) override {
    ++failures;
    if (problem != TransmitProblem::TimeLimit) return;
    ++limitStops;
    EXPECT_GE(static_cast<int64_t>(out_.sessions.back().size()), limitValues) << "stopped early";
  }
  void SetMorseClock(int periodMs) override { clock = periodMs > 0; }
  void ReadyToExit() override { readyToExit = true; }

  // ModemEvents: the transmit echo.
  void EchoChar(uint8_t c) override {
    Current().echo.push_back({static_cast<char>(c), Current().refills});
  }
  void EndMarkerEchoed() override {
    markerSeen = true;
    if (Current().markerAt < 0) Current().markerAt = Current().refills;
    marker_ = true;
  }

  void Type(const std::string& text, bool clear = false) {
    pane = clear ? std::string() : pane + text;
    modem.bitSource().SetPaneText(pane);
  }
  // A session starts with every open; the controller asks for symbols only after one.
  Session& Current() {
    while (sessions.size() < out_.sessions.size()) {
      sessions.emplace_back();
      sessions.back().mode = modem.mode();
      markerSeen = false;
    }
    return sessions.empty() ? scratch_ : sessions.back();
  }

  ScriptedOutput& out_;
  bool marker_ = false;  // the end marker came with the symbol being made
  Modem modem;
  Ptt ptt;
  TransmitController tx;
  std::string pane;
  std::vector<Session> sessions;
  Session scratch_;
  bool clock = false;
  bool readyToExit = false;
  bool operatorPressed = false;
  bool ticked = false;
  bool exiting = false;
  bool lostRequest = false;
  int failuresBefore = 0;
  bool markerSeen = false;
  int failures = 0;
  int64_t limitValues = 0;  // the time limit in output values, 0 for none
  int limitStops = 0;
};

// What a far station copies from the audio of one session (left channel, 8000 per second)
// and from the quiet band for two frames after it, as it goes on listening.
std::string FarCopy(const std::vector<int16_t>& stereo32k, Mode mode) {
  struct Far : ModemEvents {
    std::string text;
    void RxChar(uint8_t c) override { text += static_cast<char>(c); }
  } far;
  Modem modem(far);
  modem.SetMode(mode);
  std::vector<int16_t> mono;
  mono.reserve(stereo32k.size() / 8 + 1);
  for (size_t i = 0; i < stereo32k.size(); i += 8) mono.push_back(stereo32k[i]);
  const ModeParams& params = ModeTable(mode);
  mono.resize(mono.size() + static_cast<size_t>(2 * params.frameLength * 8000 / params.symbolRate));
  modem.ProcessSamples(mono);
  return far.text;
}

// The echo of a session that a far station must have copied: from the third frame (the
// session's first frame is a part one, continued from the last transmission; the far
// correlator needs a whole frame for sync and its decoder one more to settle) to what was
// on the air two frames before the end (the frame carrying a character, and one more for
// the decoder to put it out).
std::string MustCopy(const Session& s, int64_t playedData) {
  const int64_t frame = ModeTable(s.mode).frameLength;
  std::string text;
  for (const EchoedChar& e : s.echo) {
    if (e.refill >= 3 * frame && e.refill + 2 * frame <= playedData) text += e.c;
  }
  return text;
}

std::string Letters(std::mt19937& rng, int n) {
  static const std::string kAlphabet = "abcdefghijklmnopqrstuvwxyz 0123456789";
  std::string text;
  for (int i = 0; i < n; ++i) text += kAlphabet[rng() % kAlphabet.size()];
  return text;
}

void CheckInvariants(const Station& st, const ScriptedOutput& out, int step) {
  const TransmitState& s = st.tx.state();
  ASSERT_EQ(s.keyed, st.ptt.keyed) << "step " << step;
  ASSERT_EQ(s.keyed, s.onAir()) << "step " << step;
  ASSERT_TRUE(!st.ptt.keyed || out.open) << "keyed with no output, step " << step;
  ASSERT_LE(st.tx.buffersInFlight(), kOutputBufferCount);
  // A request shown to the operator always has its transmission on the way: nothing sits
  // at "F9 Receive" with the output idle and nothing left to happen.
  if (out.idle() && s.phase == OutputPhase::Idle) {
    ASSERT_EQ(s.request, TransmitRequest::None) << "request left idle, step " << step;
  }
  // Every played buffer told, nothing stays on air past the limit: at most the buffer that
  // reached it went out.
  if (st.limitValues > 0 && out.idle() &&
      (s.phase == OutputPhase::OnAir || s.phase == OutputPhase::Draining)) {
    ASSERT_LT(static_cast<int64_t>(out.sessions.back().size()), st.limitValues) << step;
  }
}

class TransmitControllerRandomTest : public ::testing::TestWithParam<int> {};

TEST_P(TransmitControllerRandomTest, EverySequenceKeepsTheInvariants) {
#ifdef VELA_SANITIZED_BUILD
  constexpr int kSequences = 16;
#else
  constexpr int kSequences = 250;
#endif
  constexpr int kSteps = 160;
  std::mt19937 rng(static_cast<uint32_t>(20261209 + GetParam()));
  int dataSessionsChecked = 0;  // with text the far station must have copied
  int markerEnds = 0;
  int limitStops = 0;
  for (int seq = 0; seq < kSequences; ++seq) {
    ScriptedOutput out;
    Station st(out);
    const Mode modes[] = {Mode::Vela31, Mode::Vela63, Mode::Vela125};
    st.modem.SetMode(modes[rng() % 3]);
    st.tx.SetMorseIdentifier(MorsePattern(rng() % 2 ? "E" : "G4ABC"), 100);
    // A third run under a time limit of seconds, which the long runs of buffers reach.
    if (rng() % 3 == 0) {
      const auto limit = std::chrono::seconds(1 + rng() % 20);
      st.tx.SetTimeLimit(limit);
      st.limitValues = limit.count() * kOutputSampleRate * kOutputChannels;
    }
    for (int step = 0; step < kSteps; ++step) {
      st.operatorPressed = false;
      st.ticked = false;
      st.failuresBefore = st.failures;
      out.failWrite = false;
      const unsigned pick = rng() % 100;
      if (pick < 30) {
        // Overs are long beside the other events: let a data transmission run for a while.
        const unsigned longRun = rng() % (st.tx.state().sending() ? 2 : 6);
        out.Play(1 + static_cast<int>(rng() % (longRun == 0 ? 1500 : 30)));
      } else if (pick < 38) {
        out.Burst(1 + static_cast<int>(rng() % 40));
      } else if (pick < 44) {
        out.Pump();
      } else if (pick < 54) {
        st.ticked = true;
        if (st.clock) st.tx.MorseTick();
      } else if (pick < 64) {
        const int length = 1 + static_cast<int>(rng() % 12);
        st.Type(Letters(rng, length));
      } else if (pick < 67) {
        st.Type(" [EOT]");
      } else if (pick < 78) {
        st.operatorPressed = true;
        st.tx.Send();
      } else if (pick < 84) {
        st.operatorPressed = true;
        st.tx.ToggleCwId();
      } else if (pick < 89) {
        st.operatorPressed = true;
        st.tx.ToggleTune();
      } else if (pick < 91) {
        st.tx.ToggleBeacon();
      } else if (pick < 93) {
        if (out.open) out.Fail("unplugged");
      } else if (pick < 94) {
        out.failOpen = !out.failOpen;
      } else if (pick < 95) {
        out.failWrite = true;
        out.Play(1);
      } else if (pick < 96) {
        st.ptt.refuseNext = true;
      } else if (pick < 98) {
        // The mode buttons are usable whenever nothing of ours is going out.
        if (!st.tx.state().onAir()) st.modem.SetMode(modes[rng() % 3]);
      } else {
        out.Pump();
      }
      CheckInvariants(st, out, step);
      ASSERT_FALSE(st.lostRequest) << "a request vanished, sequence " << seq << " step " << step;
      if (HasFatalFailure()) return;
    }
    // The window closes: the controller stops what is on air and says when it may end.
    out.failOpen = false;
    out.failWrite = false;
    st.exiting = true;
    if (!st.tx.RequestExit()) {
      for (int i = 0; i < 2000 && !st.readyToExit; ++i) out.Burst(40);
      ASSERT_TRUE(st.readyToExit) << "sequence " << seq;
    }
    ASSERT_FALSE(st.ptt.keyed);
    ASSERT_FALSE(out.open);
    ASSERT_EQ(out.opens, out.closes) << "a transmission never ended, sequence " << seq;
    ASSERT_EQ(st.tx.state().phase, OutputPhase::Idle);
    limitStops += st.limitStops;

    for (size_t i = 0; i < st.sessions.size(); ++i) {
      const Session& s = st.sessions[i];
      ASSERT_TRUE(s.consistent) << "sequence " << seq << " session " << i;
      if (!s.data) continue;
      const int64_t playedData =
          static_cast<int64_t>(out.sessions[i].size()) / s.length - kOutputBufferCount;
      const std::string must = MustCopy(s, playedData);
      if (s.endedByMarker) {
        // The first marker in the echo ended the over; once the far station has sync it
        // must have copied it.
        const int64_t at = s.markerAt;
        ASSERT_GE(at, 0) << "sequence " << seq;
        std::string echoed;
        for (const EchoedChar& e : s.echo) echoed += e.c;
        if (at >= 3 * ModeTable(s.mode).frameLength) {
          ++markerEnds;
          ASSERT_NE(FarCopy(out.sessions[i], s.mode).find("[EOT]"), std::string::npos)
              << "the marker never reached the far station, sequence " << seq << "\n echo "
              << echoed << "\n heard " << FarCopy(out.sessions[i], s.mode);
        }
      }
      if (must.empty()) continue;
      ++dataSessionsChecked;
      const std::string heard = FarCopy(out.sessions[i], s.mode);
      ASSERT_NE(heard.find(must), std::string::npos)
          << "sequence " << seq << " session " << i << "\n echo: " << must << "\n heard: " << heard;
    }
  }
  // The sequences really do exercise the long transmissions and the marker's end (the
  // sanitizers' short run only looks for memory faults).
  if (kSequences >= 100) {
    EXPECT_GT(dataSessionsChecked, kSequences / 5);
    EXPECT_GT(markerEnds, kSequences / 50);
    EXPECT_GT(limitStops, kSequences / 20);
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, TransmitControllerRandomTest, ::testing::Range(0, 4));

}  // namespace
}  // namespace vela
