#include <cstdio>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "coding/Charset.h"
#include "modem/TextTransmission.h"
#include "platform/WavFile.h"

namespace vela::cli {

int RunEncode(int argc, char** argv) {
  const Options opt(argc, argv, 2,
                    {"mode", "freq", "secondary", "tail-frames", "text", "text-file", "o"}, {"iq"});
  if (!opt.positional().empty())
    throw UsageError("unexpected argument \"" + opt.positional()[0] + "\"");
  TransmitSettings settings;
  settings.mode = opt.ModeOption();
  settings.centreFrequency = opt.Number("freq", 1000.0, 1.0, 15000.0);
  settings.tailFrames = static_cast<int>(opt.Integer("tail-frames", 2, 0, 1000000));
  settings.style = opt.Has("iq") ? OutputStyle::IQ : OutputStyle::Mono;
  if (const auto secondary = opt.Get("secondary")) settings.secondaryText = ToAirBytes(*secondary);
  const auto out = opt.Get("o");
  if (!out || out->empty()) throw UsageError("encode needs an output file: -o OUT.wav");
  if (opt.Has("text") == opt.Has("text-file")) {
    throw UsageError("encode needs the text: --text TEXT or --text-file FILE (one of them)");
  }
  const std::string input =
      opt.Has("text") ? *opt.Get("text") : ReadFileBytes(*opt.Get("text-file"));
  settings.text = ToAirBytes(input);
  if (settings.text.empty()) throw UsageError("encode: the text is empty");

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
