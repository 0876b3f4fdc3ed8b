#include <cstdio>
#include <limits>

#include "audio/WavFile.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "sim/ChannelSim.h"
#include "station/SafeFile.h"

namespace vela::cli {

int RunChannel(int argc, char** argv) {
  const Options opt(argc, argv, 2, {"snr", "offset", "ppm", "seed", "impulses", "fading"}, {});
  if (opt.positional().size() != 2) throw UsageError("channel needs IN.wav and OUT.wav");
  ChannelSettings settings;
  settings.snrDb = opt.Number("snr", 100.0, -60.0, 200.0);
  settings.offsetHz = opt.Number("offset", 0.0, -1000.0, 1000.0);
  settings.ppm = opt.Number("ppm", 0.0, -10000.0, 10000.0);
  settings.seed =
      static_cast<uint64_t>(opt.Integer("seed", 1, 0, std::numeric_limits<long>::max()));
  ChannelNoiseOptions(opt, settings);

  std::vector<int16_t> input;
  std::string error;
  if (!WavReader::ReadAll(opt.positional()[0], kChannelRate, input, error)) throw IoError(error);
  const ChannelResult result = ApplyChannel(input, settings);
  if (result.clipped > 0) {
    std::fprintf(stderr, "vela-modem: channel: %lld samples clipped\n",
                 static_cast<long long>(result.clipped));
  }
  SafeFile::RemoveTemporariesOnSignals();  // a signal leaves no half-written file behind
  WavWriter writer;
  if (!writer.Open(opt.positional()[1], kChannelRate, 1) || !writer.Write(result.samples) ||
      !writer.Commit()) {
    throw IoError(writer.error());
  }
  return 0;
}

}  // namespace vela::cli
