// Recordings standing in for the sound card, driven through the real capture and transmit
// cycles.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <numeric>

#include "audio/WavFile.h"
#include "audio/WavFileDevices.h"
#include "station/CaptureCycle.h"
#include "station/TransmitController.h"
#include "support/EventLoop.h"
#include "support/TransmitWatch.h"

namespace vela {
namespace {

class Collector : public CaptureSink {
 public:
  void CaptureSamples(std::span<const int16_t> s) override {
    samples.insert(samples.end(), s.begin(), s.end());
  }
  void SpectrumStep(std::span<const int16_t>) override { ++spectra; }
  void CaptureError(const std::string& text) override { errors.push_back(text); }
  std::vector<int16_t> samples;
  int spectra = 0;
  std::vector<std::string> errors;
};

std::string WriteRecording(const std::string& name, const std::vector<int16_t>& samples, int rate) {
  const auto path = (test::ScratchDir("wav") / name).string();
  WavWriter writer;
  EXPECT_TRUE(writer.Open(path, rate, 1));
  EXPECT_TRUE(writer.Write(samples));
  EXPECT_TRUE(writer.Commit());
  return path;
}

std::vector<int16_t> Pattern(int n) {
  std::vector<int16_t> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    v[static_cast<size_t>(i)] = static_cast<int16_t>((i * 31) % 20001 - 10000);
  return v;
}

TEST(WavFileInput, ARecordingFeedsTheReceiverWholeWithTheLastBufferPartlyFilled) {
  const auto samples = Pattern(5000);  // 4 full buffers and 904 samples
  WavFileInput input(WriteRecording("in.wav", samples, 8000), Pacing::AsFastAsPossible);
  bool finished = false;
  input.SetOnFinished([&] { finished = true; });
  Collector sink;
  CaptureCycle capture(input, sink);
  ASSERT_TRUE(capture.StartCapture(0, 8000.0L));
  ASSERT_TRUE(test::RunUntil([&] { return finished; }));
  EXPECT_EQ(sink.samples, samples);
  EXPECT_EQ(sink.spectra, 5);
  EXPECT_TRUE(sink.errors.empty());
  capture.StopCapture();
}

TEST(WavFileInput, RecordingAtAnotherRateIsConvertedAndMissingFileRefused) {
  const auto samples = Pattern(16000);  // one second at 16 kHz
  WavFileInput input(WriteRecording("in16k.wav", samples, 16000), Pacing::AsFastAsPossible);
  bool finished = false;
  input.SetOnFinished([&] { finished = true; });
  Collector sink;
  CaptureCycle capture(input, sink);
  ASSERT_TRUE(capture.StartCapture(0, 8000.0L));
  ASSERT_TRUE(test::RunUntil([&] { return finished; }));
  EXPECT_NEAR(static_cast<double>(sink.samples.size()), 8000.0, 8.0);

  WavFileInput missing("/nonexistent/none.wav", Pacing::AsFastAsPossible);
  Collector none;
  CaptureCycle failed(missing, none);
  EXPECT_FALSE(failed.StartCapture(0, 8000.0L));
  EXPECT_EQ(none.errors, (std::vector<std::string>{"No suitable device found"}));
}

TEST(WavFileInput, RealTimePacingTakesAboutAsLongAsTheRecording) {
  WavFileInput input(WriteRecording("paced.wav", Pattern(2400), 8000), Pacing::RealTime);
  bool finished = false;
  input.SetOnFinished([&] { finished = true; });
  Collector sink;
  CaptureCycle capture(input, sink);
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(capture.StartCapture(0, 8000.0L));
  ASSERT_TRUE(test::RunUntil([&] { return finished; }));
  EXPECT_GE(clock.elapsed(), 250);  // 300 ms of audio is not delivered at once
  EXPECT_EQ(sink.samples.size(), 2400u);
}

class StepSource : public TransmitSource {
 public:
  int bufferLength() const override { return 64; }
  int frameLength() const override { return 223; }
  SourceSymbol NextSymbol() override { return ++symbols % 2 ? -1 : 1; }
  void SynthesiseSymbol(std::span<int16_t> buffer, int symbol, CarrierMode) override {
    ++buffers;
    for (auto& v : buffer) v = static_cast<int16_t>(symbol * buffers);
  }
  void TransmissionStopped() override { stopped = true; }
  void SetBeacon(bool) override {}
  int symbols = 0;
  int buffers = 0;
  bool stopped = false;
};

TEST(WavFileOutput, ATransmissionIsRecordedBufferByBufferAndStopDropsTheQueue) {
  const auto path = (test::ScratchDir("wav") / "tx.wav").string();
  WavFileOutput output(path, Pacing::AsFastAsPossible);
  StepSource source;
  test::TransmitWatch host;
  TransmitController controller(output, source, host);
  controller.Send();
  ASSERT_TRUE(test::RunUntil([&] { return source.buffers >= 100; }));
  controller.Send();
  ASSERT_TRUE(test::RunUntil([&] { return host.closed; }));
  EXPECT_TRUE(source.stopped);
  EXPECT_TRUE(host.failures.empty());

  std::vector<int16_t> recorded;
  std::string error;
  ASSERT_TRUE(WavReader::ReadAll(path, 0, recorded, error)) << error;
  // First channel only: 32 frames per buffer. Played buffers are in order; the 40 still
  // queued at the stop never reach the file.
  ASSERT_EQ(recorded.size() % 32, 0u);
  const size_t played = recorded.size() / 32;
  // The stop catches 40 buffers in flight: queued, or played with their notice still on its
  // way. None of the queued ones may be recorded.
  EXPECT_GE(played, static_cast<size_t>(source.buffers - kOutputBufferCount));
  EXPECT_LT(played, static_cast<size_t>(source.buffers - kOutputBufferCount / 2));
  for (size_t b = 0; b < played; ++b) {
    const int symbol = b < 40 ? 1 : ((b - 39) % 2 ? -1 : 1);
    ASSERT_EQ(recorded[b * 32], symbol * static_cast<int>(b + 1)) << "buffer " << b;
  }
}

TEST(WavFileOutput, UnwritableFileRefusesToOpenAndTheCycleReturnsToReceive) {
  WavFileOutput output("/nonexistent/dir/tx.wav", Pacing::AsFastAsPossible);
  StepSource source;
  test::TransmitWatch host;
  TransmitController controller(output, source, host);
  controller.Send();
  EXPECT_EQ(controller.state(), TransmitState{});
  ASSERT_EQ(host.failures.size(), 1u);
  // The reason the file would not open, for the operator's second line.
  EXPECT_NE(host.failures[0].find("/nonexistent/dir/tx.wav"), std::string::npos)
      << host.failures[0];
}

}  // namespace
}  // namespace vela
