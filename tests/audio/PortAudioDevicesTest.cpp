// Real PortAudio on ALSA test devices: the `file` plugin over `null` gives a capture device
// that plays back a raw file and a playback device that writes one; the test plugin
// `velafixed` gives a pair that, like many USB codecs, take 48000 Hz stereo and nothing else.
// All run as fast as they can, so every test counts samples rather than time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <numbers>
#include <span>
#include <utility>
#include <vector>

#include <samplerate.h>

#include "audio/PortAudioInput.h"
#include "audio/PortAudioOutput.h"
#include "audio/PortAudioSystem.h"
#include "cli/Receiver.h"
#include "modem/TextTransmission.h"
#include "station/CaptureCycle.h"
#include "station/TransmitController.h"
#include "support/EventLoop.h"
#include "support/TransmitWatch.h"

namespace vela {
namespace {

constexpr int kKnownSamples = 30000;

int16_t Known(int i) {
  return static_cast<int16_t>((i * 7919) % 60000 - 30000);
}

// The fixed-format card records, at 48000 Hz stereo, a 1000 Hz tone on the left with a
// 6000 Hz one beside it that an 8000 Hz stream cannot carry, and a 1700 Hz tone on the right,
// for exactly 2000 cycles of the 1000 Hz tone; then silence.
constexpr int kFixedRate = 48000;
constexpr int kFixedToneFrames = 96000;
constexpr double kLeftAmplitude = 16384;  // half of full scale
constexpr double kOutOfBandAmplitude = 6554;
constexpr double kRightAmplitude = 13107;

double Tone(double amplitude, double hz, int frame, int rate) {
  return amplitude * std::sin(2 * std::numbers::pi * hz * frame / rate);
}

void WriteFixedRecording(const std::filesystem::path& path) {
  std::vector<int16_t> frames;
  for (int n = 0; n < kFixedToneFrames; ++n) {
    const double left =
        Tone(kLeftAmplitude, 1000, n, kFixedRate) + Tone(kOutOfBandAmplitude, 6000, n, kFixedRate);
    frames.push_back(static_cast<int16_t>(std::lrint(left)));
    frames.push_back(static_cast<int16_t>(std::lrint(Tone(kRightAmplitude, 1700, n, kFixedRate))));
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(frames.data()),
             static_cast<std::streamsize>(frames.size() * sizeof(int16_t)));
}

// One ALSA configuration per test process, holding every test device: ALSA reads it once.
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
    WriteFixedRecording(dir / "in48.raw");
    std::ofstream(dir / "air48.raw");  // the test that records through it fills it first
    std::ofstream rc(dir / ".asoundrc");
    rc << "pcm.velacap {\n type file\n slave.pcm \"null\"\n infile \"" << (dir / "in.raw").string()
       << "\"\n file \"/dev/null\"\n format \"raw\"\n}\n"
       << "pcm.velaplay {\n type file\n slave.pcm \"null\"\n file \"" << (dir / "out.raw").string()
       << "\"\n format \"raw\"\n}\n"
       << "pcm_type.velafixed {\n lib \"" << VELA_FIXED_RATE_PCM << "\"\n}\n"
       << "pcm.velafixedcap {\n type velafixed\n infile \"" << (dir / "in48.raw").string()
       << "\"\n}\n"
       << "pcm.velafixedplay {\n type velafixed\n outfile \"" << (dir / "out48.raw").string()
       << "\"\n}\n"
       << "pcm.velafixedair {\n type velafixed\n infile \"" << (dir / "air48.raw").string()
       << "\"\n}\n";
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
  void CaptureSamples(std::span<const int16_t> s) override {
    samples.insert(samples.end(), s.begin(), s.end());
  }
  void SpectrumStep(std::span<const int16_t> a) override { spectrumLength = a.size(); }
  void CaptureError(const std::string& text) override { errors.push_back(text); }
  std::vector<int16_t> samples;
  size_t spectrumLength = 0;
  std::vector<std::string> errors;
};

// A tone measured in a stretch of samples. The stretch is cut to whole cycles of the tone,
// where the tone's sine, its cosine and a constant are orthogonal, so projecting on them is
// the least-squares fit; `residual` is the RMS of what the fit leaves.
struct ToneFit {
  double amplitude = 0;
  double mean = 0;
  double residual = 0;
};

ToneFit FitTone(std::span<const double> x, int samplesPerCycle) {
  const size_t n = x.size() / static_cast<size_t>(samplesPerCycle) * samplesPerCycle;
  const double w = 2 * std::numbers::pi / samplesPerCycle;
  double c = 0, s = 0, m = 0;
  for (size_t i = 0; i < n; ++i) {
    c += x[i] * std::cos(w * double(i));
    s += x[i] * std::sin(w * double(i));
    m += x[i];
  }
  c *= 2.0 / double(n);
  s *= 2.0 / double(n);
  m /= double(n);
  double e = 0;
  for (size_t i = 0; i < n; ++i) {
    const double d = x[i] - m - c * std::cos(w * double(i)) - s * std::sin(w * double(i));
    e += d * d;
  }
  return {std::hypot(c, s), m, std::sqrt(e / double(n))};
}

// Whole cycles between the first and the last upward zero crossing, and the samples they
// span, each crossing placed between its two samples by a straight line.
struct Cycles {
  int count = 0;
  double samples = 0;
  double frequency(int rate) const { return count * rate / samples; }
};

Cycles CountCycles(std::span<const double> x) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      last = double(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (crossings++ == 0) first = last;
    }
  }
  return {std::max(crossings - 1, 0), last - first};
}

class PortAudioDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AlsaHome();
    system = std::make_unique<PortAudioSystem>();
    ASSERT_TRUE(system->ok()) << system->error();
  }
  std::unique_ptr<PortAudioSystem> system;
};

// A card that appears after the start (plugged in, or a sound server started late) is
// found when the devices are looked for again, and only while no stream is open.
TEST(PortAudioDevices, ACardPluggedInAfterTheStartIsFound) {
  const std::filesystem::path home = AlsaHome();
  PortAudioSystem system;
  ASSERT_TRUE(system.ok()) << system.error();
  PortAudioInput input(system);
  const int capture = CaptureIndex(system, "velacap");
  ASSERT_GE(capture, 0);
  EXPECT_EQ(CaptureIndex(system, "velalate"), -1);
  const auto rc = home / ".asoundrc";
  std::ofstream(rc, std::ios::app)
      << "pcm.velalate {\n type file\n slave.pcm \"null\"\n infile \"" << (home / "in.raw").string()
      << "\"\n file \"/dev/null\"\n format \"raw\"\n}\n";
  // ALSA reads its configuration again when the file's time has moved on.
  std::filesystem::last_write_time(rc,
                                   std::filesystem::last_write_time(rc) + std::chrono::seconds(2));
  Collector sink;
  CaptureCycle cycle(input, sink);
  ASSERT_TRUE(cycle.StartCapture(capture, 8000));
  EXPECT_FALSE(input.Rediscover());  // the card in use is not let go of
  cycle.StopCapture();
  EXPECT_TRUE(input.Rediscover());
  EXPECT_GE(CaptureIndex(system, "velalate"), 0);
}

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
  int frameLength() const override { return 223; }
  SourceSymbol NextSymbol() override { return -1; }
  void SynthesiseSymbol(std::span<int16_t> buffer, int, CarrierMode) override {
    for (auto& v : buffer) {
      v = static_cast<int16_t>(1 + next % 30000);
      written.push_back(v);
      ++next;
    }
    ++buffers;
  }
  void TransmissionStopped() override {}
  void SetBeacon(bool) override {}
  std::vector<int16_t> written;
  int next = 0;
  int buffers = 0;
};

TEST_F(PortAudioDevicesTest, PlaybackWritesEveryBufferInOrderToTheCard) {
  const auto out = AlsaHome() / "out.raw";
  std::filesystem::remove(out);
  PortAudioOutput output(*system);
  CountingSource source;
  test::TransmitWatch host;
  TransmitController controller(output, source, host);
  controller.SetOutputDevice(CaptureIndex(*system, "velaplay"));
  controller.Send();
  ASSERT_EQ(controller.state().phase, OutputPhase::Opening) << output.error();
  EXPECT_EQ(output.deviceName(), "velaplay");
  EXPECT_EQ(output.deviceRate(), kOutputSampleRate);
  EXPECT_EQ(output.deviceChannels(), 2);
  // The ring starts with 40 buffers; each later one is a refill after a buffer went to the
  // card. Wait for 80 refills so that at least 40 buffers are beyond anything ALSA or
  // PortAudio may still hold (and drop) when the stop aborts the stream.
  ASSERT_TRUE(test::RunUntil([&] { return source.buffers >= 40 + 80; }));
  controller.Send();
  ASSERT_TRUE(test::RunUntil([&] { return host.closed; }));
  EXPECT_TRUE(host.failures.empty());

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

// The card records 48000 Hz stereo only; the receiver still gets 8000 Hz mono, converted in
// the backend. PortAudio opens a stereo-only card for one channel by taking its left one.
TEST_F(PortAudioDevicesTest, CaptureFromAFixedRateStereoCardArrivesAs8000HzMono) {
  PortAudioInput input(*system);
  Collector sink;
  CaptureCycle capture(input, sink);
  const int device = CaptureIndex(*system, "velafixedcap");
  ASSERT_GE(device, 0);
  ASSERT_TRUE(capture.StartCapture(device, 8000.0L)) << input.error();
  EXPECT_EQ(input.deviceRate(), kFixedRate);
  EXPECT_EQ(input.deviceChannels(), 1);
  // The recording becomes 16000 samples; the 48 buffers lent at the start hold them all.
  ASSERT_TRUE(test::RunUntil([&] { return sink.samples.size() >= 24000; }));
  capture.StopCapture();
  EXPECT_TRUE(sink.errors.empty());

  const std::vector<double> x(sink.samples.begin(), sink.samples.end());
  auto loud = [](double v) { return std::abs(v) > kLeftAmplitude / 2; };
  const auto first = std::find_if(x.begin(), x.end(), loud);
  const auto last = std::find_if(x.rbegin(), x.rend(), loud).base();
  ASSERT_LT(first, last);
  // The tone lasts a sixth of its 96000 frames, give or take the cycle its edges are found in.
  const auto length = static_cast<double>(last - first);
  EXPECT_NEAR(length, kFixedToneFrames / 6.0, 8.0);
  // Away from the edges: 1000 Hz at the left channel's amplitude, and nothing else, so neither
  // the right channel, nor the 6000 Hz tone folded to 2000 Hz, nor a lost or repeated sample
  // (a jump in phase) is there.
  const std::span<const double> steady(first + 64, last - 64);
  const Cycles cycles = CountCycles(steady);
  const double ratio = cycles.samples / (cycles.count * (kFixedRate / 1000.0));
  EXPECT_NEAR(ratio, 1.0 / 6.0, 1e-5) << cycles.count << " cycles in " << cycles.samples;
  EXPECT_NEAR(cycles.frequency(8000), 1000.0, 0.05);
  const ToneFit fit = FitTone(steady, 8);
  EXPECT_NEAR(fit.amplitude, kLeftAmplitude, kLeftAmplitude * 0.01);
  EXPECT_LT(fit.residual, kLeftAmplitude * 0.01);
  EXPECT_LT(std::abs(fit.mean), 20.0);
  std::cout << std::setprecision(9) << "capture: " << length << " samples from " << kFixedToneFrames
            << " frames, ratio " << ratio << ", " << cycles.frequency(8000) << " Hz, amplitude "
            << fit.amplitude << " of " << kLeftAmplitude << ", residual " << fit.residual << "\n";
}

class InputWatch : public AudioInputEvents {
 public:
  void InputBufferFilled(int, int bytes) override { filled = bytes; }
  void InputFailed(const std::string& reason) override { failures.push_back(reason); }
  int filled = -1;
  std::vector<std::string> failures;
};

// A transmission as the fixed-format card records it, at 48000 Hz stereo, copies through the
// backend's conversion to the receiver's 8000 Hz.
TEST_F(PortAudioDevicesTest, TransmissionRecordedByAFixedRateCardDecodes) {
  TransmitSettings settings;
  settings.mode = Mode::Vela125;
  settings.text = "fixed rate copy de G3XYZ";
  std::vector<int16_t> stereo;
  ASSERT_TRUE(TransmitText(settings, [&](std::span<const int16_t> b) {
    stereo.insert(stereo.end(), b.begin(), b.end());
  }));
  const long frames = static_cast<long>(stereo.size() / 2);
  // The card's recording: the 32000 Hz transmission taken to 48000 Hz by libsamplerate's
  // best converter, apart from the backend's own.
  std::vector<float> in(stereo.size());
  std::vector<float> converted(stereo.size() * 3 / 2 + 1024);
  src_short_to_float_array(stereo.data(), in.data(), static_cast<int>(in.size()));
  SRC_DATA data{};
  data.data_in = in.data();
  data.input_frames = frames;
  data.data_out = converted.data();
  data.output_frames = static_cast<long>(converted.size() / 2);
  data.src_ratio = 1.5;
  ASSERT_EQ(src_simple(&data, SRC_SINC_BEST_QUALITY, 2), 0);
  std::vector<int16_t> recording(static_cast<size_t>(data.output_frames_gen) * 2);
  src_float_to_short_array(converted.data(), recording.data(), static_cast<int>(recording.size()));
  std::ofstream(AlsaHome() / "air48.raw", std::ios::binary)
      .write(reinterpret_cast<const char*>(recording.data()),
             static_cast<std::streamsize>(recording.size() * sizeof(int16_t)));

  // One buffer lent for the whole transmission and a second of silence after it: the card
  // outruns real time, and this way nothing depends on the test keeping up with it.
  const int device = CaptureIndex(*system, "velafixedair");
  ASSERT_GE(device, 0);
  PortAudioInput input(*system);
  InputWatch watch;
  std::vector<int16_t> received(static_cast<size_t>(frames / 4 + 8000));
  ASSERT_TRUE(input.Open(device, 8000, watch)) << input.error();
  EXPECT_EQ(input.deviceRate(), kFixedRate);
  ASSERT_TRUE(input.AddBuffer(0, received));
  ASSERT_TRUE(input.Start()) << input.error();
  ASSERT_TRUE(test::RunUntil([&] { return watch.filled >= 0; }));
  input.Close();
  EXPECT_EQ(watch.filled, static_cast<int>(received.size() * sizeof(int16_t)));
  EXPECT_TRUE(watch.failures.empty());
  cli::ReceiverSettings receive;
  receive.mode = settings.mode;
  cli::Receiver receiver(receive);
  receiver.Process(received);
  receiver.Finish();
  EXPECT_NE(receiver.pane().find(settings.text), std::string::npos) << receiver.pane();
}

class OutputWatch : public AudioOutputEvents {
 public:
  void OutputOpened() override { opened = true; }
  void OutputBufferDone(int) override { ++done; }
  void OutputClosed() override { closed = true; }
  void OutputFailed(const std::string& reason) override { failures.push_back(reason); }
  bool opened = false;
  int done = 0;
  bool closed = false;
  std::vector<std::string> failures;
};

// The card plays 48000 Hz stereo only; the transmitter's 32000 Hz stereo reaches it converted.
// Played: the 40-buffer ring filled once with 4096-frame buffers carrying a 1000 Hz tone on
// the left and a constant on the right. The constant marks every frame of the stream, so
// silence the card played while the ring ran dry (which can happen between two writes on a
// loaded machine) is told apart and left out.
TEST_F(PortAudioDevicesTest, PlaybackThroughAFixedRateStereoCardKeepsTheWaveform) {
  const auto out = AlsaHome() / "out48.raw";
  std::filesystem::remove(out);
  constexpr int kFrames = 4096;
  constexpr double kTone = 16000;
  constexpr double kMark = 8000;
  std::vector<std::vector<int16_t>> buffers(kOutputBufferCount);
  int frame = 0;
  for (auto& b : buffers) {
    for (int i = 0; i < kFrames; ++i, ++frame) {
      b.push_back(static_cast<int16_t>(std::lrint(Tone(kTone, 1000, frame, kOutputSampleRate))));
      b.push_back(static_cast<int16_t>(kMark));
    }
  }
  const int device = CaptureIndex(*system, "velafixedplay");
  ASSERT_GE(device, 0);
  PortAudioOutput output(*system);
  OutputWatch watch;
  ASSERT_TRUE(output.Open(device, watch)) << output.error();
  EXPECT_EQ(output.deviceName(), "velafixedplay");
  EXPECT_EQ(output.deviceRate(), kFixedRate);
  EXPECT_EQ(output.deviceChannels(), 2);
  ASSERT_TRUE(test::RunUntil([&] { return watch.opened; }));
  for (int i = 0; i < kOutputBufferCount; ++i) {
    ASSERT_TRUE(output.Write(i, buffers[static_cast<size_t>(i)])) << output.error();
  }
  ASSERT_TRUE(test::RunUntil([&] { return watch.done == kOutputBufferCount; }));
  // The last buffer has left the ring; a second of the card's silence after it pushes out
  // whatever the converter and the card still held.
  ASSERT_TRUE(std::filesystem::exists(out));
  const auto taken = std::filesystem::file_size(out);
  ASSERT_TRUE(test::RunUntil([&] { return std::filesystem::file_size(out) > taken + 4 * 48000; }));
  output.Close();
  ASSERT_TRUE(test::RunUntil([&] { return watch.closed; }));
  EXPECT_TRUE(watch.failures.empty());

  std::ifstream file(out, std::ios::binary);
  std::vector<double> left, right;
  int16_t v[2];
  while (file.read(reinterpret_cast<char*>(v), sizeof v)) {
    left.push_back(v[0]);
    right.push_back(v[1]);
  }
  // Every 32000 Hz frame became one and a half at 48000 Hz.
  std::vector<std::pair<size_t, size_t>> runs;  // the marked stretches, [begin, end)
  size_t marked = 0;
  for (size_t i = 0; i < right.size(); ++i) {
    if (right[i] <= kMark / 2) continue;
    if (runs.empty() || runs.back().second != i) runs.emplace_back(i, i);
    ++runs.back().second;
    ++marked;
  }
  ASSERT_FALSE(runs.empty());
  const double ratio = double(marked) / (kOutputBufferCount * kFrames);
  EXPECT_NEAR(ratio, 1.5, 2.0 * double(runs.size()) / (kOutputBufferCount * kFrames))
      << marked << " frames in " << runs.size() << " stretches";
  // Inside each stretch, clear of its edges: the tone whole at 1000 Hz (48 frames a cycle)
  // with its amplitude, so no frame was lost or repeated, and the mark steady on the right.
  size_t checked = 0;
  double worstAmplitude = 0, worstResidual = 0;
  Cycles longest;
  for (const auto& [begin, end] : runs) {
    if (end - begin < 1000) continue;
    const std::span<const double> l(&left[begin + 100], &left[end - 100]);
    const std::span<const double> r(&right[begin + 100], &right[end - 100]);
    const ToneFit tone = FitTone(l, 48);
    const ToneFit mark = FitTone(r, 48);
    EXPECT_NEAR(tone.amplitude, kTone, kTone * 0.01) << "stretch at " << begin;
    EXPECT_LT(tone.residual, kTone * 0.01) << "stretch at " << begin;
    EXPECT_NEAR(mark.mean, kMark, kMark * 0.01) << "stretch at " << begin;
    EXPECT_LT(mark.amplitude, kMark * 0.01) << "stretch at " << begin;
    EXPECT_LT(mark.residual, kMark * 0.01) << "stretch at " << begin;
    worstAmplitude = std::max(worstAmplitude, std::abs(tone.amplitude - kTone) / kTone);
    worstResidual = std::max(worstResidual, tone.residual / kTone);
    const Cycles cycles = CountCycles(l);
    if (cycles.samples > longest.samples) longest = cycles;
    checked += l.size();
  }
  EXPECT_GT(checked, marked * 9 / 10);
  EXPECT_NEAR(longest.frequency(kFixedRate), 1000.0, 0.05);
  std::cout << std::setprecision(9) << "playback: " << marked << " frames from "
            << kOutputBufferCount * kFrames << " in " << runs.size() << " stretches, ratio "
            << ratio << ", " << longest.frequency(kFixedRate) << " Hz, amplitude error "
            << worstAmplitude << ", residual " << worstResidual << " of the amplitude\n";
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
