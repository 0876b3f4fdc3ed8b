// Both receivers on band noise alone: decode speed (x real time on one core: audio seconds
// over the thread's CPU seconds) and how much false text each shows at the default squelch. Usage:
// bench_receivers [SECONDS_PER_MODE]
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "modem/Modem.h"

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
  return 0;
}
