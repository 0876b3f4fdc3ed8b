#include "cli/Sweep.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/Receiver.h"
#include "modem/TextTransmission.h"
#include "sim/ChannelSim.h"
#include "sim/SweepText.h"

namespace vela::cli {

SweepPoint MeasurePoint(Mode mode, std::string_view text, std::span<const int16_t> clean8k,
                        const std::vector<int>& cleanLocations, double snrDb, int seeds,
                        const SweepReceiver& sweepReceiver, const ChannelSettings& impairments) {
  std::vector<int64_t> distance(static_cast<size_t>(seeds)), frames(distance.size()),
      open(distance.size());
  std::atomic<int> next{0};
  auto worker = [&] {
    for (int s = next++; s < seeds; s = next++) {
      ChannelSettings channel = impairments;
      channel.snrDb = snrDb;
      channel.seed = static_cast<uint64_t>(s + 1);
      std::vector<double> signal;
      const ChannelResult noisy =
          ApplyChannel(clean8k, channel, sweepReceiver.genie ? &signal : nullptr);
      std::string pane;
      int64_t found = 0, synced = 0;
      if (sweepReceiver.genie) {
        const GenieReceiver genie(
            mode, signal, channel.offsetHz, channel.ppm, sweepReceiver.estimate,
            sweepReceiver.iterations < 0 ? DefaultIterations(mode) : sweepReceiver.iterations);
        pane = genie.Decode(noisy.samples, noisy.signalScale, noisy.noiseSigma);
        found = synced = static_cast<int64_t>(cleanLocations.size());
      } else {
        ReceiverSettings settings;
        settings.mode = mode;
        settings.receiver = sweepReceiver.kind;
        settings.noiseBlanker = sweepReceiver.noiseBlanker;
        settings.iterations = sweepReceiver.iterations;
        Receiver receiver(settings);
        receiver.Process(noisy.samples);
        receiver.Finish();
        pane = receiver.pane();
        const auto& locations = receiver.locations();
        found = static_cast<int64_t>(std::min(locations.size(), cleanLocations.size()));
        for (size_t k = 0; k < static_cast<size_t>(found); ++k)
          synced += locations[k] == cleanLocations[k] ? 1 : 0;
      }
      distance[static_cast<size_t>(s)] = AlignedEditDistance(text, pane);
      frames[static_cast<size_t>(s)] = found;
      open[static_cast<size_t>(s)] = synced;
    }
  };
  const unsigned threads = std::max(
      1U, std::min<unsigned>(std::thread::hardware_concurrency(), static_cast<unsigned>(seeds)));
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();

  int64_t d = 0, f = 0, o = 0;
  for (size_t i = 0; i < distance.size(); ++i) {
    d += distance[i];
    f += frames[i];
    o += open[i];
  }
  SweepPoint point;
  point.snrDb = snrDb;
  point.cer =
      text.empty() ? 0.0 : static_cast<double>(d) / (static_cast<double>(text.size()) * seeds);
  point.framesSyncedPct = f > 0 ? 100.0 * static_cast<double>(o) / static_cast<double>(f) : 0.0;
  return point;
}

namespace {

// --receiver standard|enhanced|genie, --no-blanker (enhanced), --iterations (enhanced and
// genie) and --genie-estimate (genie).
SweepReceiver SweepReceiverOptions(const Options& opt) {
  SweepReceiver r;
  const auto receiver = opt.Get("receiver");
  r.genie = receiver && *receiver == "genie";
  // A sweep measures the standard receiver unless told: its figures are the reference.
  r.kind = r.genie ? ReceiverKind::Enhanced : ReceiverOption(opt, ReceiverKind::Standard);
  r.noiseBlanker = !opt.Has("no-blanker");
  if (!r.noiseBlanker && (r.genie || r.kind != ReceiverKind::Enhanced))
    throw UsageError("--no-blanker is for --receiver enhanced");
  if (opt.Has("iterations") && r.kind != ReceiverKind::Enhanced)
    throw UsageError("--iterations is for --receiver enhanced or genie");
  r.iterations = static_cast<int>(opt.Integer("iterations", kModeIterations, 0, 100));
  if (const auto estimate = opt.Get("genie-estimate")) {
    if (!r.genie) throw UsageError("--genie-estimate is for --receiver genie");
    if (*estimate == "plain") {
      r.estimate = GenieEstimate::Plain;
    } else if (*estimate == "phase") {
      r.estimate = GenieEstimate::Phase;
    } else if (*estimate == "scale") {
      r.estimate = GenieEstimate::Scale;
    } else if (*estimate == "frames") {
      r.estimate = GenieEstimate::Frames;
    } else {
      throw UsageError("--genie-estimate takes phase, scale or frames, not \"" + *estimate + "\"");
    }
  }
  return r;
}

}  // namespace

int RunSweep(int argc, char** argv) {
  const Options opt(argc, argv, 2,
                    {"mode", "snr", "chars", "seeds", "receiver", "offset", "ppm", "impulses",
                     "fading", "genie-estimate", "iterations"},
                    {"no-blanker"});
  if (!opt.positional().empty())
    throw UsageError("unexpected argument \"" + opt.positional()[0] + "\"");
  const Mode mode = opt.ModeOption();
  const SweepReceiver sweepReceiver = SweepReceiverOptions(opt);
  const ReceiverKind kind = sweepReceiver.kind;
  const auto range = opt.Get("snr");
  if (!range) throw UsageError("sweep needs --snr FROM:TO:STEP");
  const auto parts = ParseDecimalList(*range, 3, 3);
  const double from = parts ? (*parts)[0] : 0, to = parts ? (*parts)[1] : 0,
               step = parts ? (*parts)[2] : 0;
  if (!parts || step == 0 || !((to - from) / step >= 0) || (to - from) / step > 1000) {
    throw UsageError("--snr takes FROM:TO:STEP, e.g. -20:-5:0.5");
  }
  const int chars = static_cast<int>(opt.Integer("chars", 200, 1, 1000000));
  const int seeds = static_cast<int>(opt.Integer("seeds", 3, 1, 10000));
  ChannelSettings impairments;
  impairments.offsetHz = opt.Number("offset", 0.0, -1000.0, 1000.0);
  impairments.ppm = opt.Number("ppm", 0.0, -10000.0, 10000.0);
  ChannelNoiseOptions(opt, impairments);

  const std::string text = SweepText(chars);
  TransmitSettings tx;
  tx.mode = mode;
  tx.text = text;
  std::vector<int16_t> stereo;
  if (!TransmitText(tx, [&](std::span<const int16_t> b) {
        stereo.insert(stereo.end(), b.begin(), b.end());
      })) {
    throw IoError("sweep: the transmitter's echo never showed the text");
  }
  const std::vector<int16_t> clean = StereoToChannelRate(stereo);
  ReceiverSettings reference;
  reference.mode = mode;
  reference.receiver = kind;
  Receiver cleanReceiver(reference);
  cleanReceiver.Process(clean);
  cleanReceiver.Finish();

  const int points = static_cast<int>(std::floor((to - from) / step + 1e-9)) + 1;
  std::printf("mode,snr_db,cer,frames_synced_pct\n");
  Progress progress("sweep");
  for (int i = 0; i < points; ++i) {
    const double snr = from + step * i;
    const SweepPoint p = MeasurePoint(mode, text, clean, cleanReceiver.locations(), snr, seeds,
                                      sweepReceiver, impairments);
    std::printf("%s,%.2f,%.5f,%.1f\n", std::string(ModeTable(mode).name).c_str(), p.snrDb, p.cer,
                p.framesSyncedPct);
    std::fflush(stdout);
    progress.Update(static_cast<double>(i + 1) / points);
  }
  return 0;
}

}  // namespace vela::cli
