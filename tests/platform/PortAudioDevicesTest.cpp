// Real PortAudio on ALSA test devices: the `file` plugin over `null` gives a capture device
// that plays back a raw file and a playback device that writes one. Both run as fast as
// they can, so every test counts buffers rather than time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "PlatformTestSupport.h"
#include "platform/PortAudioInput.h"
#include "platform/PortAudioOutput.h"
#include "platform/PortAudioSystem.h"
#include "rx/CaptureCycle.h"
#include "tx/TransmitCycle.h"

namespace vela {
namespace {

constexpr int kKnownSamples = 30000;

int16_t Known(int i) {
  return static_cast<int16_t>((i * 7919) % 60000 - 30000);
}

// One ALSA configuration per test process: ALSA reads it once.
const std::filesystem::path& AlsaHome() {
  static const std::filesystem::path home = [] {
    const auto dir = test::ScratchDir("alsa");
    std::ofstream raw(dir / "in.raw", std::ios::binary);
    for (int i = 0; i < kKnownSamples; ++i) {
      const int16_t s = Known(i);
      raw.write(reinterpret_cast<const char*>(&s), sizeof s);
    }
    const std::vector<int16_t> pad(200000, 0);  // past its end the plugin repeats old data
    raw.write(reinterpret_cast<const char*>(pad.data()),
              static_cast<std::streamsize>(pad.size() * sizeof(int16_t)));
    std::ofstream rc(dir / ".asoundrc");
    rc << "pcm.velacap {\n type file\n slave.pcm \"null\"\n infile \"" << (dir / "in.raw").string()
       << "\"\n file \"/dev/null\"\n format \"raw\"\n}\n"
       << "pcm.velaplay {\n type file\n slave.pcm \"null\"\n file \"" << (dir / "out.raw").string()
       << "\"\n format \"raw\"\n}\n";
    static std::string keep = dir.string();
    std::atexit([] { std::filesystem::remove_all(keep); });  // the played audio is large
    setenv("HOME", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    return dir;
  }();
  return home;
}

int CaptureIndex(const PortAudioSystem& system, const std::string& name) {
  const auto devices = system.CaptureDevices();
  for (size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

class Collector : public CaptureSink {
 public:
  void DemodSample(int16_t s) override { samples.push_back(s); }
  void SpectrumStep(std::span<const int16_t> a) override { spectrumLength = a.size(); }
  void CaptureError(const std::string& text) override { errors.push_back(text); }
  std::vector<int16_t> samples;
  size_t spectrumLength = 0;
  std::vector<std::string> errors;
};

class PortAudioDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AlsaHome();
    system = std::make_unique<PortAudioSystem>();
    ASSERT_TRUE(system->ok()) << system->error();
  }
  std::unique_ptr<PortAudioSystem> system;
};

TEST_F(PortAudioDevicesTest, CaptureListPutsTheDefaultFirstAndKeepsOnlyRecordingDevices) {
  const auto devices = system->CaptureDevices();
  ASSERT_FALSE(devices.empty());
  for (const auto& d : devices) EXPECT_GT(d.maxInputChannels, 0) << d.name;
  PortAudioInput input(*system);
  const auto names = input.ListDevices();
  ASSERT_EQ(names.size(), devices.size());
  EXPECT_NE(CaptureIndex(*system, "velacap"), -1);
}

TEST_F(PortAudioDevicesTest, CaptureOfAKnownFileArrivesIntactInOrder) {
  PortAudioInput input(*system);
  Collector sink;
  CaptureCycle capture(input, sink);
  const int device = CaptureIndex(*system, "velacap");
  ASSERT_GE(device, 0);
  ASSERT_TRUE(capture.StartCapture(device, 8000.4L)) << input.error();
  EXPECT_EQ(input.deviceRate(), 8000);
  EXPECT_EQ(input.deviceChannels(), 1);
  ASSERT_TRUE(test::RunUntil([&] { return sink.samples.size() >= kKnownSamples; }));
  capture.StopCapture();
  EXPECT_TRUE(sink.errors.empty());
  EXPECT_EQ(sink.spectrumLength, static_cast<size_t>(kSampleArrayLength));
  for (int i = 0; i < kKnownSamples; ++i) {
    ASSERT_EQ(sink.samples[static_cast<size_t>(i)], Known(i)) << "sample " << i;
  }
}

TEST_F(PortAudioDevicesTest, PausedCaptureResumesWithoutLosingItsPlace) {
  PortAudioInput input(*system);
  Collector sink;
  CaptureCycle capture(input, sink);
  ASSERT_TRUE(capture.StartCapture(CaptureIndex(*system, "velacap"), 8000.0L));
  ASSERT_TRUE(test::RunUntil([&] { return sink.samples.size() >= 4096; }));
  capture.PauseCapture();
  // Whatever was in flight comes back; after that nothing arrives while paused.
  test::RunUntil([] { return false; }, 200);
  const size_t atPause = sink.samples.size();
  test::RunUntil([] { return false; }, 200);
  EXPECT_EQ(sink.samples.size(), atPause);
  capture.ResumeCapture();
  ASSERT_TRUE(test::RunUntil([&] { return sink.samples.size() >= atPause + 4096; }));
  capture.StopCapture();
  for (size_t i = 0; i < std::min<size_t>(sink.samples.size(), kKnownSamples); ++i) {
    ASSERT_EQ(sink.samples[i], Known(static_cast<int>(i))) << "sample " << i;
  }
}

// Counts each buffer it synthesises with values that are never zero, so silence the card
// plays between refills can be told apart from the signal.
class CountingSource : public TransmitSource {
 public:
  int bufferLength() const override { return 512; }
  bool morseIdentifierOn() const override { return false; }
  int NextSymbol() override { return -1; }
  void SynthesiseSymbol(std::span<int16_t> buffer, int) override {
    for (auto& v : buffer) {
      v = static_cast<int16_t>(1 + next % 30000);
      written.push_back(v);
      ++next;
    }
    ++buffers;
  }
  void TransmissionStopped() override {}
  std::vector<int16_t> written;
  int next = 0;
  int buffers = 0;
};

class ClosedWatch : public TransmitHost {
 public:
  void TransmitterClosed(bool) override { closed = true; }
  void ShowTransmitMessage(const OperatorMessage& m) override { messages.push_back(m.text); }
  bool closed = false;
  std::vector<std::string> messages;
};

TEST_F(PortAudioDevicesTest, PlaybackWritesEveryBufferInOrderToTheCard) {
  const auto out = AlsaHome() / "out.raw";
  std::filesystem::remove(out);
  PortAudioOutput output(*system);
  CountingSource source;
  ClosedWatch host;
  TransmitCycle cycle(output, source, host);
  cycle.SetDevice(CaptureIndex(*system, "velaplay"));
  cycle.ToggleTransmit();
  ASSERT_EQ(cycle.state(), TransmitCycle::State::Opening) << output.error();
  EXPECT_EQ(output.deviceName(), "velaplay");
  EXPECT_EQ(output.deviceRate(), kOutputSampleRate);
  EXPECT_EQ(output.deviceChannels(), 2);
  // The ring starts with 40 buffers; each later one is a refill after a buffer went to the
  // card. Wait for 80 refills so that at least 40 buffers are beyond anything ALSA or
  // PortAudio may still hold (and drop) when the stop aborts the stream.
  ASSERT_TRUE(test::RunUntil([&] { return source.buffers >= 40 + 80; }));
  cycle.ToggleTransmit();
  ASSERT_TRUE(test::RunUntil([&] { return host.closed; }));
  EXPECT_TRUE(host.messages.empty());

  std::ifstream file(out, std::ios::binary);
  std::vector<int16_t> played;
  int16_t v = 0;
  while (file.read(reinterpret_cast<char*>(&v), sizeof v)) {
    if (v != 0) played.push_back(v);  // drop the silence the card filled gaps with
  }
  // Everything that reached the card is the synthesised stream, from its start, in order;
  // at least the first 40 buffers got there before the stop.
  ASSERT_GE(played.size(), 40u * 512u);
  ASSERT_LE(played.size(), source.written.size());
  EXPECT_TRUE(std::equal(played.begin(), played.end(), source.written.begin()));
}

TEST_F(PortAudioDevicesTest, NoSuchCaptureDeviceIsReportedNotCrashed) {
  PortAudioInput input(*system);
  Collector sink;
  CaptureCycle capture(input, sink);
  EXPECT_FALSE(capture.StartCapture(999, 8000.0L));
  EXPECT_EQ(sink.errors, (std::vector<std::string>{"No suitable device found"}));
}

}  // namespace
}  // namespace vela
