// The transmit cycle against a scripted sound output: the order of every step from SEND to
// the device closing, and what happens when the device misbehaves.
#include "tx/TransmitCycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vela {
namespace {

using Log = std::vector<std::string>;

// A sound output whose events wait in a queue until the test lets them through, as a
// driver's messages wait in the window's queue.
class ScriptedOutput : public AudioOutputDevice {
 public:
  explicit ScriptedOutput(Log& log) : log_(log) {}

  bool Open(int device, AudioOutputEvents& events) override {
    log_.push_back("open " + std::to_string(device));
    if (failOpen) return false;
    events_ = &events;
    Post([this] { events_->OutputOpened(); });
    return true;
  }
  bool Write(int index, std::span<const int16_t> samples) override {
    log_.push_back("write " + std::to_string(index));
    if (failWriteAfter == 0) return false;
    if (failWriteAfter > 0) --failWriteAfter;
    queue.push_back(index);
    lastSamples.assign(samples.begin(), samples.end());
    return true;
  }
  void Reset() override {
    log_.push_back("reset");
    for (int index : queue) Post([this, index] { events_->OutputBufferDone(index); });
    queue.clear();
  }
  void Close() override {
    log_.push_back("close");
    Post([this] { events_->OutputClosed(); });
  }
  std::string error() const override { return "device gone"; }

  // Plays the oldest queued buffer and delivers what is pending.
  void PlayOne() {
    ASSERT_FALSE(queue.empty());
    const int index = queue.front();
    queue.pop_front();
    Post([this, index] { events_->OutputBufferDone(index); });
    Pump();
  }
  void Fail(const std::string& reason) {
    Post([this, reason] { events_->OutputFailed(reason); });
    Pump();
  }
  void Pump() {
    while (!pending_.empty()) {
      auto event = std::move(pending_.front());
      pending_.pop_front();
      event();
    }
  }

  bool failOpen = false;
  int failWriteAfter = -1;
  std::deque<int> queue;
  std::vector<int16_t> lastSamples;

 private:
  void Post(std::function<void()> event) { pending_.push_back(std::move(event)); }
  Log& log_;
  AudioOutputEvents* events_ = nullptr;
  std::deque<std::function<void()>> pending_;
};

class LoggingPtt : public PttControl {
 public:
  explicit LoggingPtt(Log& log) : log_(log) {}
  bool Key(bool on) override {
    log_.push_back(on ? "dtr on" : "dtr off");
    log_.push_back(on ? "rts on" : "rts off");
    return true;
  }

 private:
  Log& log_;
};

// Symbols come from a script; each synthesised buffer is filled with its symbol so the
// test can see what went out.
class ScriptedSource : public TransmitSource {
 public:
  explicit ScriptedSource(Log& log) : log_(log) {}
  int bufferLength() const override { return length; }
  bool morseIdentifierOn() const override { return morse; }
  int NextSymbol() override {
    log_.push_back("next");
    const int s = symbols.empty() ? 1 : symbols.front();
    if (!symbols.empty()) symbols.pop_front();
    return s;
  }
  void SynthesiseSymbol(std::span<int16_t> buffer, int symbol) override {
    log_.push_back("synth " + std::to_string(symbol) + " x" + std::to_string(buffer.size()));
    std::fill(buffer.begin(), buffer.end(), static_cast<int16_t>(symbol * 1000));
  }
  void TransmissionStopped() override { log_.push_back("stopped"); }

  int length = 1024;
  bool morse = false;
  std::deque<int> symbols;

 private:
  Log& log_;
};

class LoggingHost : public TransmitHost {
 public:
  explicit LoggingHost(Log& log) : log_(log) {}
  void SetTransmitControlsEnabled(bool on) override {
    log_.push_back(on ? "controls on" : "controls off");
  }
  void PauseCapture() override { log_.push_back("pause capture"); }
  void ResumeCapture() override { log_.push_back("resume capture"); }
  void ClearTransmitPane() override { log_.push_back("clear pane"); }
  void ShowTransmitMessage(const OperatorMessage& m) override {
    log_.push_back("message");
    messages.push_back(m);
  }
  void TransmissionAborted() override { log_.push_back("aborted"); }
  void TransmitterClosed(bool exitRequested) override {
    log_.push_back(exitRequested ? "closed, exit" : "closed");
  }
  std::vector<OperatorMessage> messages;

 private:
  Log& log_;
};

class TransmitCycleTest : public ::testing::Test {
 protected:
  TransmitCycleTest() { cycle.SetPtt(&ptt); }

  // Starts and lets the device open, so the preamble is queued; the log is emptied.
  void StartRunning() {
    cycle.ToggleTransmit();
    device.Pump();
    ASSERT_EQ(cycle.state(), TransmitCycle::State::Running);
    log.clear();
  }
  long Count(const std::string& entry) const { return std::count(log.begin(), log.end(), entry); }

  Log log;
  ScriptedOutput device{log};
  LoggingPtt ptt{log};
  ScriptedSource source{log};
  LoggingHost host{log};
  TransmitCycle cycle{device, source, host};
};

TEST_F(TransmitCycleTest, StartOpensThenKeysDtrThenRtsThenSendsThePreambleInOrder) {
  cycle.SetDevice(3);
  cycle.ToggleTransmit();
  EXPECT_EQ(log, (Log{"controls off", "pause capture", "open 3", "dtr on", "rts on"}));
  EXPECT_EQ(cycle.state(), TransmitCycle::State::Opening);

  log.clear();
  device.Pump();
  Log expected;
  for (int i = 0; i < kOutputBufferCount; ++i) {
    expected.push_back("synth 1 x1024");
    expected.push_back("write " + std::to_string(i));
  }
  EXPECT_EQ(log, expected);  // the preamble asks the pipeline for nothing
  EXPECT_EQ(cycle.buffersInFlight(), kOutputBufferCount);
  EXPECT_EQ(device.lastSamples, std::vector<int16_t>(1024, 1000));
}

TEST_F(TransmitCycleTest, EachReturnedBufferCarriesTheNextSymbolBackToTheDevice) {
  StartRunning();
  source.symbols = {-1, 0, 1};
  device.PlayOne();
  device.PlayOne();
  device.PlayOne();
  EXPECT_EQ(log, (Log{"next", "synth -1 x1024", "write 0", "next", "synth 0 x1024", "write 1",
                      "next", "synth 1 x1024", "write 2"}));
  EXPECT_EQ(device.queue.back(), 2);
  EXPECT_EQ(cycle.buffersInFlight(), kOutputBufferCount);
}

TEST_F(TransmitCycleTest, MorseIdentifierHoldsTheSymbolAndUsesItsOwnBufferLength) {
  source.length = 2048;  // the identifier's block length
  StartRunning();
  source.symbols = {-1};
  device.PlayOne();  // data symbol -1 before the identifier keys
  source.morse = true;
  device.PlayOne();
  device.PlayOne();
  EXPECT_EQ(Count("next"), 1);
  EXPECT_EQ(Count("synth -1 x2048"), 3);
  EXPECT_EQ(device.lastSamples.size(), 2048u);
}

TEST_F(TransmitCycleTest, StopWithFortyQueuedDropsThemAtOnceAndAsksForNoSymbol) {
  StartRunning();
  cycle.ToggleTransmit();
  EXPECT_EQ(log, (Log{"controls on", "resume capture", "reset", "dtr off", "rts off"}));
  EXPECT_EQ(cycle.state(), TransmitCycle::State::Stopping);

  log.clear();
  device.Pump();  // all 40 come back unplayed, then the close notice
  EXPECT_EQ(log, (Log{"close", "stopped", "clear pane", "closed"}));
  EXPECT_EQ(cycle.state(), TransmitCycle::State::Idle);
  EXPECT_FALSE(cycle.active());
}

TEST_F(TransmitCycleTest, AFreshTransmissionFollowsAFinishedOne) {
  StartRunning();
  cycle.ToggleTransmit();
  device.Pump();
  log.clear();
  source.length = 512;
  cycle.ToggleTransmit();
  device.Pump();
  EXPECT_EQ(cycle.state(), TransmitCycle::State::Running);
  EXPECT_EQ(Count("synth 1 x512"), kOutputBufferCount);
  EXPECT_EQ(Count("dtr on"), 1);
}

TEST_F(TransmitCycleTest, OpenFailureLeavesTheTransmitterUnkeyedAndReturnsToReceive) {
  device.failOpen = true;
  cycle.ToggleTransmit();
  EXPECT_EQ(log, (Log{"controls off", "pause capture", "open 0", "message", "controls on",
                      "resume capture", "aborted"}));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Error opening waveform audio device!");
  EXPECT_EQ(host.messages[0].caption, "VELA63 for LF/MF");
  EXPECT_EQ(cycle.state(), TransmitCycle::State::Idle);

  // The operator can simply try again.
  device.failOpen = false;
  log.clear();
  cycle.ToggleTransmit();
  EXPECT_EQ(cycle.state(), TransmitCycle::State::Opening);
  EXPECT_EQ(Count("dtr on"), 1);
}

TEST_F(TransmitCycleTest, StopBeforeTheDeviceOpensStillClosesIt) {
  cycle.ToggleTransmit();
  cycle.ToggleTransmit();  // before the open notice: nothing queued to come back
  EXPECT_EQ(Count("close"), 1);
  EXPECT_EQ(Count("rts off"), 1);
  log.clear();
  device.Pump();
  EXPECT_EQ(log, (Log{"closed"}));  // the late open notice writes nothing
  EXPECT_EQ(cycle.state(), TransmitCycle::State::Idle);
}

TEST_F(TransmitCycleTest, NothingStartsWhileAStopDrains) {
  StartRunning();
  cycle.ToggleTransmit();
  cycle.ToggleTransmit();
  EXPECT_EQ(Count("open 0"), 0);
  EXPECT_EQ(Count("reset"), 1);
  device.Pump();
  cycle.ToggleTransmit();  // a stale buffer-done after the close must not matter
  EXPECT_EQ(Count("open 0"), 1);
}

TEST_F(TransmitCycleTest, ClosingTheWindowWaitsForTheDeviceToClose) {
  EXPECT_FALSE(cycle.RequestExit());  // idle: end at once
  StartRunning();
  EXPECT_TRUE(cycle.RequestExit());
  EXPECT_EQ(Count("rts off"), 1);
  device.Pump();
  EXPECT_EQ(log.back(), "closed, exit");
  // The next transmission does not inherit the exit.
  cycle.ToggleTransmit();
  device.Pump();
  cycle.ToggleTransmit();
  device.Pump();
  EXPECT_EQ(log.back(), "closed");
}

TEST_F(TransmitCycleTest, DeviceFailureOnAirEndsTheTransmissionWithPttReleased) {
  StartRunning();
  device.PlayOne();
  log.clear();
  device.Fail("USB audio unplugged");
  EXPECT_EQ(log, (Log{"controls on", "resume capture", "reset", "dtr off", "rts off", "close",
                      "stopped", "message", "aborted", "closed"}));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("USB audio unplugged"), std::string::npos);
  EXPECT_EQ(host.messages[0].caption, kTransmitCaption);
  EXPECT_EQ(Count("clear pane"), 0);  // the unsent text stays for another try
  EXPECT_EQ(cycle.state(), TransmitCycle::State::Idle);
  device.Fail("again");  // a late failure after the close is ignored
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(TransmitCycleTest, WriteRefusedMidTransmissionEndsItTheSameWay) {
  device.failWriteAfter = kOutputBufferCount + 2;
  StartRunning();
  device.PlayOne();
  device.PlayOne();
  device.PlayOne();  // this refill is refused
  EXPECT_EQ(Count("rts off"), 1);
  EXPECT_EQ(Count("aborted"), 1);
  EXPECT_EQ(host.messages.back().text, "Sound output failed: device gone");
  device.Pump();
  EXPECT_EQ(Count("next"), 3);  // no symbol asked for after the failure
  EXPECT_EQ(cycle.state(), TransmitCycle::State::Idle);
}

TEST(PttKeying, OpenMessagesTellPortZeroFromAFailedPort) {
  auto none = PttOpenMessage(0, false);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->text, "Default comport set to 0\nGo to PTT to set up a valid comport");
  EXPECT_EQ(none->caption, "Comport");
  auto failed = PttOpenMessage(4, false);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->text, "Failure to open comport");
  EXPECT_EQ(failed->caption, "Comport");
  EXPECT_FALSE(PttOpenMessage(4, true));
}

}  // namespace
}  // namespace vela
