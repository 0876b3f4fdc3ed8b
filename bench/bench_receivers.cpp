// Both receivers on band noise alone: decode speed (x real time on one core: audio seconds
// over the thread's CPU seconds) and how much false text each shows at the default squelch.
// Then the enhanced receiver's speed on a signal near its threshold, where its iterative
// decoder works hardest, with and without iterations. Usage:
// bench_receivers [SECONDS_PER_MODE]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "modem/Modem.h"
#include "modem/TextTransmission.h"

namespace {

struct Count : vela::ModemEvents {
  int64_t chars = 0;
  int64_t frames = 0;
  int64_t open = 0;
  void RxChar(uint8_t) override { ++chars; }
  void SecondaryChar(uint8_t) override { ++chars; }
  void FrameProcessed(const vela::FrameReport& r) override {
    ++frames;
    open += r.confidence > 5;
  }
};

// A transmission of random text at `snrDb` in 2500 Hz, 8000 Hz (the 32000 Hz output's left
// channel, every fourth sample: the tones lie far below the folding frequency).
std::vector<int16_t> WeakSignal(vela::Mode mode, double snrDb, int chars) {
  std::mt19937 rng(7);
  vela::TransmitSettings tx;
  tx.mode = mode;
  for (int i = 0; i < chars; ++i) tx.text += static_cast<char>(32 + rng() % 95);
  std::vector<double> clean;
  size_t n = 0;
  vela::TransmitText(tx, [&](std::span<const int16_t> b) {
    for (size_t i = 0; i < b.size(); i += 2, ++n)
      if (n % 4 == 0) clean.push_back(b[i]);
  });
  double power = 0.0;
  for (double v : clean) power += v * v;
  power /= static_cast<double>(clean.size());
  const double sigma = std::sqrt(power / std::pow(10.0, snrDb / 10.0) * 4000.0 / 2500.0);
  const double scale = 4000.0 / std::sqrt(power + sigma * sigma);
  std::normal_distribution<double> gauss(0.0, sigma);
  std::vector<int16_t> x(clean.size());
  for (size_t i = 0; i < x.size(); ++i)
    x[i] = static_cast<int16_t>(
        std::lround(std::clamp((clean[i] + gauss(rng)) * scale, -32767.0, 32767.0)));
  return x;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 600.0;
  const int rate = 8000;
  std::mt19937 rng(2026);
  std::normal_distribution<double> gauss(0.0, 3000.0);
  std::vector<int16_t> noise(static_cast<size_t>(seconds * rate));
  for (auto& x : noise) x = static_cast<int16_t>(std::lround(gauss(rng)));

  std::printf("| mode | receiver | x real time | frames | squelch open | false chars per hour |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (vela::Mode mode :
       {vela::Mode::Vela8, vela::Mode::Vela31, vela::Mode::Vela63, vela::Mode::Vela125}) {
    for (vela::ReceiverKind kind : {vela::ReceiverKind::Standard, vela::ReceiverKind::Enhanced}) {
      Count events;
      vela::Modem modem(events);
      modem.SetMode(mode);
      modem.SetReceiver(kind);
      const double start = vela::bench::ThreadSeconds();
      modem.ProcessSamples(noise);
      const double elapsed = vela::bench::ThreadSeconds() - start;
      std::printf("| %s | %s | %.0f | %lld | %lld | %.0f |\n",
                  std::string(vela::ModeTable(mode).name).c_str(),
                  kind == vela::ReceiverKind::Standard ? "standard" : "enhanced", seconds / elapsed,
                  static_cast<long long>(events.frames), static_cast<long long>(events.open),
                  static_cast<double>(events.chars) * 3600.0 / seconds);
    }
  }

  std::printf("\n| mode | SNR | iterations | x real time | chars shown |\n|---|---|---|---|---|\n");
  const vela::Mode mode = vela::Mode::Vela125;
  const double snr = -12.5;  // about the iterative receiver's CER 1% threshold
  const std::vector<int16_t> weak = WeakSignal(mode, snr, 300);
  const double audio = static_cast<double>(weak.size()) / rate;
  for (int iterations : {0, vela::kDefaultIterations}) {
    Count events;
    vela::Modem modem(events);
    modem.SetMode(mode);
    modem.SetReceiver(vela::ReceiverKind::Enhanced);
    modem.SetIterations(iterations);
    const double start = vela::bench::ThreadSeconds();
    modem.ProcessSamples(weak);
    const double elapsed = vela::bench::ThreadSeconds() - start;
    std::printf("| %s | %.1f dB | %d | %.0f | %lld |\n",
                std::string(vela::ModeTable(mode).name).c_str(), snr, iterations, audio / elapsed,
                static_cast<long long>(events.chars));
  }
  return 0;
}
