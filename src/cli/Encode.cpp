#include <cstdio>

#include "audio/WavFile.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "modem/TextTransmission.h"
#include "station/SafeFile.h"

namespace vela::cli {

int RunEncode(int argc, char** argv) {
  const Options opt(argc, argv, 2,
                    {"mode", "freq", "secondary", "tail-frames", "text", "text-file", "o"}, {"iq"});
  if (!opt.positional().empty())
    throw UsageError("unexpected argument \"" + opt.positional()[0] + "\"");
  const auto out = opt.Get("o");
  if (!out || out->empty()) throw UsageError("encode needs an output file: -o OUT.wav");
  const TransmitSettings settings = TransmitOptions(opt, "encode");

  // Ended by a signal, the run leaves no half-written file behind.
  SafeFile::RemoveTemporariesOnSignals();
  WavWriter writer;
  if (!writer.Open(*out, kOutputSampleRate, 2)) throw IoError(writer.error());
  bool writeFailed = false;
  const bool echoed = TransmitText(settings, [&](std::span<const int16_t> buffer) {
    if (!writeFailed && !writer.Write(buffer)) writeFailed = true;
  });
  if (writeFailed) throw IoError(writer.error());
  if (!echoed) {
    throw IoError("encode: the transmitter's echo never showed the whole text; nothing written");
  }
  if (!writer.Commit()) throw IoError(writer.error());
  return 0;
}

}  // namespace vela::cli
