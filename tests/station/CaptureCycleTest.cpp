// The capture cycle against a scripted sound input: opening, the order of work for each
// returned buffer, pausing for transmissions, choosing another card and device failures.
#include "station/CaptureCycle.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <numeric>
#include <string>
#include <vector>

namespace vela {
namespace {

using Log = std::vector<std::string>;

class ScriptedInput : public AudioInputDevice {
 public:
  explicit ScriptedInput(Log& log) : log_(log) {}

  std::vector<std::string> ListDevices() override { return names; }
  bool Open(int device, int rate, AudioInputEvents& events) override {
    log_.push_back("open " + std::to_string(device) + " @" + std::to_string(rate));
    if (device >= static_cast<int>(names.size())) return false;
    events_ = &events;
    return true;
  }
  bool AddBuffer(int index, std::span<int16_t> buffer) override {
    log_.push_back("add " + std::to_string(index));
    if (failAddAfter == 0) return false;
    if (failAddAfter > 0) --failAddAfter;
    lent[index] = buffer;
    return true;
  }
  bool Start() override {
    log_.push_back("start");
    return !failStart;
  }
  void Stop() override { log_.push_back("stop"); }
  void Reset() override {
    log_.push_back("reset");
    for (auto& [index, buffer] : lent) Post(index, 0);
    lent.clear();
  }
  void Close() override { log_.push_back("close"); }
  std::string error() const override { return "driver said no"; }

  // Records `samples` into lent buffer `index` and hands it back.
  void Fill(int index, const std::vector<int16_t>& samples, int bytes = -1) {
    auto it = lent.find(index);
    ASSERT_NE(it, lent.end()) << "buffer " << index << " is not lent";
    std::copy(samples.begin(), samples.end(), it->second.begin());
    lent.erase(it);
    Post(index, bytes < 0 ? static_cast<int>(2 * samples.size()) : bytes);
    Pump();
  }
  void Fail(const std::string& reason) {
    pending_.push_back([this, reason] { events_->InputFailed(reason); });
    Pump();
  }
  void Post(int index, int bytes) {
    pending_.push_back([this, index, bytes] { events_->InputBufferFilled(index, bytes); });
  }
  void Pump() {
    while (!pending_.empty()) {
      auto event = std::move(pending_.front());
      pending_.pop_front();
      event();
    }
  }

  std::vector<std::string> names{"Line In", "USB Audio CODEC", "Monitor"};
  std::map<int, std::span<int16_t>> lent;
  int failAddAfter = -1;
  bool failStart = false;

 private:
  Log& log_;
  AudioInputEvents* events_ = nullptr;
  std::deque<std::function<void()>> pending_;
};

class RecordingSink : public CaptureSink {
 public:
  explicit RecordingSink(Log& log) : log_(log) {}
  void CaptureSamples(std::span<const int16_t> s) override {
    demod.insert(demod.end(), s.begin(), s.end());
  }
  void SpectrumStep(std::span<const int16_t> array) override {
    log_.push_back("spectrum after " + std::to_string(demod.size()));
    spectra.emplace_back(array.begin(), array.end());
  }
  void CaptureError(const std::string& text) override {
    log_.push_back("error");
    errors.push_back(text);
  }
  std::vector<int16_t> demod;
  std::vector<std::vector<int16_t>> spectra;
  std::vector<std::string> errors;

 private:
  Log& log_;
};

std::vector<int16_t> Ramp(int n, int start) {
  std::vector<int16_t> v(static_cast<size_t>(n));
  std::iota(v.begin(), v.end(), static_cast<int16_t>(start));
  return v;
}

class CaptureCycleTest : public ::testing::Test {
 protected:
  void StartRunning() {
    ASSERT_TRUE(cycle.StartCapture(0, 8000.0L));
    log.clear();
  }
  Log log;
  ScriptedInput device{log};
  RecordingSink sink{log};
  CaptureCycle cycle{device, sink};
};

TEST(CaptureRate, RoundsToTheNearestWholeRateTiesToEven) {
  EXPECT_EQ(CaptureCycle::CaptureRate(8000.4L), 8000);
  EXPECT_EQ(CaptureCycle::CaptureRate(11025.0L), 11025);
  EXPECT_EQ(CaptureCycle::CaptureRate(8000.5L), 8000);
  EXPECT_EQ(CaptureCycle::CaptureRate(8001.5L), 8002);
  EXPECT_EQ(CaptureCycle::CaptureRate(7999.6L), 8000);
}

TEST_F(CaptureCycleTest, StartOpensAtTheRoundedRateAndLendsFortyEightBuffers) {
  ASSERT_TRUE(cycle.StartCapture(1, 8000.4L));
  ASSERT_GE(log.size(), 50u);
  EXPECT_EQ(log.front(), "open 1 @8000");
  for (int i = 0; i < kCaptureBufferCount; ++i) EXPECT_EQ(log[1 + i], "add " + std::to_string(i));
  EXPECT_EQ(log.back(), "start");
  EXPECT_EQ(device.lent.size(), 48u);
  for (auto& [index, buffer] : device.lent) EXPECT_EQ(buffer.size(), 1024u);
  EXPECT_EQ(cycle.captureDevice(), 1);

  cycle.StopCapture();
  log.clear();
  ASSERT_TRUE(cycle.StartCapture(1, 11025.0L));
  EXPECT_EQ(log.front(), "open 1 @11025");
}

TEST_F(CaptureCycleTest, FilledBufferFeedsDemodulatorThenSpectrumThenGoesBack) {
  StartRunning();
  const auto first = Ramp(1024, -500);
  device.Fill(5, first);
  EXPECT_EQ(sink.demod, first);
  EXPECT_EQ(log, (Log{"spectrum after 1024", "add 5"}));
  ASSERT_EQ(sink.spectra.size(), 1u);
  ASSERT_EQ(sink.spectra[0].size(), static_cast<size_t>(kSampleArrayLength));
  EXPECT_TRUE(std::equal(first.begin(), first.end(), sink.spectra[0].begin()));
  EXPECT_TRUE(device.lent.count(5));
}

TEST_F(CaptureCycleTest, EmptyBufferStillReachesTheSpectrumAndIsQueuedAgain) {
  StartRunning();
  device.Fill(0, Ramp(1024, 1));
  device.Fill(1, Ramp(1024, 3000), 0);
  EXPECT_EQ(sink.demod.size(), 1024u);  // nothing from the empty one
  EXPECT_EQ(log, (Log{"spectrum after 1024", "add 0", "spectrum after 1024", "add 1"}));
  // The array still holds the previous buffer's audio.
  EXPECT_EQ(sink.spectra[1], sink.spectra[0]);
}

TEST_F(CaptureCycleTest, PartlyFilledBufferIsProcessedOnlyAsFarAsRecorded) {
  StartRunning();
  device.Fill(0, Ramp(1024, 1));
  device.Fill(1, Ramp(1024, 5000), 200);  // 100 samples recorded
  ASSERT_EQ(sink.demod.size(), 1124u);
  EXPECT_EQ(sink.demod[1024], 5000);
  EXPECT_EQ(sink.demod.back(), 5099);
  const auto& array = sink.spectra[1];
  EXPECT_EQ(array[99], 5099);
  EXPECT_EQ(array[100], 101);  // from the buffer before
  // A count beyond the buffer is held to the buffer.
  device.Fill(2, Ramp(1024, 0), 4096);
  EXPECT_EQ(sink.demod.size(), 2148u);
}

TEST_F(CaptureCycleTest, NoDeviceSaysSoAndLendsNothing) {
  device.names.clear();
  EXPECT_FALSE(cycle.StartCapture(0, 8000.0L));
  EXPECT_EQ(sink.errors, (std::vector<std::string>{"No suitable device found"}));
  EXPECT_EQ(log, (Log{"open 0 @8000", "error"}));
  EXPECT_FALSE(cycle.running());
}

TEST_F(CaptureCycleTest, QueueingOrStartFailureShowsTheDriverTextAndLetsTheDeviceGo) {
  device.failAddAfter = 10;
  EXPECT_FALSE(cycle.StartCapture(0, 8000.0L));
  EXPECT_EQ(sink.errors, (std::vector<std::string>{"driver said no"}));
  EXPECT_EQ(log.back(), "error");
  EXPECT_EQ(log[log.size() - 2], "close");
  EXPECT_EQ(std::count(log.begin(), log.end(), "start"), 0);

  device.failAddAfter = -1;
  device.failStart = true;
  device.Pump();  // buffers handed back by the reset are not processed
  log.clear();
  EXPECT_FALSE(cycle.StartCapture(0, 8000.0L));
  EXPECT_EQ(sink.errors.size(), 2u);
  EXPECT_FALSE(cycle.running());
  device.Pump();
  EXPECT_TRUE(sink.spectra.empty());
}

TEST_F(CaptureCycleTest, RequeueFailureWhileRunningStopsCaptureWithoutEndingAnything) {
  device.failAddAfter = kCaptureBufferCount;
  StartRunning();
  device.Fill(7, Ramp(1024, 0));
  EXPECT_EQ(sink.errors, (std::vector<std::string>{"driver said no"}));
  EXPECT_FALSE(cycle.running());
  EXPECT_EQ(log, (Log{"spectrum after 1024", "add 7", "reset", "close", "error"}));
  // Buffers that trickle back after the close are left alone.
  device.Post(8, 2048);
  device.Pump();
  EXPECT_EQ(sink.spectra.size(), 1u);
  // The operator can start again.
  device.failAddAfter = -1;
  EXPECT_TRUE(cycle.StartCapture(0, 8000.0L));
}

TEST_F(CaptureCycleTest, DeviceFailureWhileRunningClosesCaptureAndIgnoresLateBuffers) {
  StartRunning();
  device.Fail("Unanticipated host error");
  EXPECT_EQ(sink.errors, (std::vector<std::string>{"Unanticipated host error"}));
  EXPECT_EQ(log, (Log{"reset", "close", "error"}));
  EXPECT_FALSE(cycle.running());
  device.Pump();
  EXPECT_TRUE(sink.spectra.empty());
  device.Fail("again");
  EXPECT_EQ(sink.errors.size(), 1u);
}

TEST_F(CaptureCycleTest, PauseKeepsTheQueueAndResumeStartsAgain) {
  StartRunning();
  cycle.PauseCapture();
  cycle.PauseCapture();
  EXPECT_EQ(cycle.state(), CaptureCycle::State::Paused);
  device.Fill(0, Ramp(1024, 0), 300);  // the buffer the stop cut short
  cycle.ResumeCapture();
  cycle.ResumeCapture();
  EXPECT_EQ(log, (Log{"stop", "spectrum after 150", "add 0", "start"}));
  EXPECT_EQ(cycle.state(), CaptureCycle::State::Running);
}

TEST_F(CaptureCycleTest, ChoosingAnotherCardClosesThenOpensTheNewOne) {
  StartRunning();
  cycle.StopCapture();
  EXPECT_EQ(log, (Log{"reset", "close"}));
  device.Pump();  // the reset's buffers come back after the close: not queued again
  EXPECT_EQ(log.size(), 2u);
  EXPECT_TRUE(sink.spectra.empty());
  log.clear();
  ASSERT_TRUE(cycle.StartCapture(2, 8000.0L));
  EXPECT_EQ(log.front(), "open 2 @8000");
  EXPECT_EQ(cycle.captureDevice(), 2);
  EXPECT_EQ(cycle.ListCaptureDevices().size(), 3u);
}

}  // namespace
}  // namespace vela
