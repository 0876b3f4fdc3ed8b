#include <cmath>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "coding/Charset.h"
#include "modem/Modem.h"
#include "platform/WavFile.h"
#include "rx/ReceivePane.h"

namespace vela::cli {
namespace {

class DecodeEvents : public ModemEvents {
 public:
  explicit DecodeEvents(bool frames) : frames_(frames) {}
  std::string pane;
  std::string secondary;
  void RxChar(uint8_t c) override { ApplyToPane(pane, c); }
  void SecondaryChar(uint8_t c) override { secondary.push_back(static_cast<char>(c)); }
  void FrameProcessed(const FrameReport& r) override {
    if (!frames_) return;
    std::fprintf(stderr, "frame %lld loc %d peak %.0f conf %ld%%\n",
                 static_cast<long long>(r.frame), r.location, r.syncPeak,
                 std::lround(r.syncPeak / 961.0 * 100.0));
  }

 private:
  bool frames_;
};

}  // namespace

int RunDecode(int argc, char** argv) {
  const Options opt(argc, argv, 2, {"mode", "freq", "rate", "squelch", "secondary-out"},
                    {"frames"});
  if (opt.positional().size() != 1) throw UsageError("decode needs exactly one input file");
  const Mode mode = opt.ModeOption();
  const double freq = opt.Number("freq", 1000.0, 1.0, 15000.0);
  const double rate = opt.Number("rate", 8000.0, 1000.0, 192000.0);
  const int squelch = static_cast<int>(opt.Integer("squelch", 5, 0, 100));
  const std::string& path = opt.positional()[0];

  // The receiver runs at the rate the sound card would be opened at (the fractional part
  // of --rate corrects the clock in the demodulator only).
  WavReader reader;
  if (!reader.Open(path, static_cast<int>(std::nearbyint(rate)))) throw IoError(reader.error());

  DecodeEvents events(opt.Has("frames"));
  Modem modem(events);
  modem.SetMode(mode);
  modem.SetRxSampleRate(rate);
  modem.SetRxCentreFrequency(freq);
  modem.SetSquelch(squelch);

  Progress progress("decode");
  const double total = std::max<double>(
      1.0, static_cast<double>(reader.fileFrames()) * reader.outputRate() / reader.fileRate());
  double done = 0;
  for (auto block = reader.Read(); !block.empty(); block = reader.Read()) {
    modem.ProcessSamples(block);
    done += static_cast<double>(block.size());
    progress.Update(done / total);
  }
  if (!reader.error().empty()) throw IoError(path + ": " + reader.error());

  if (const auto out = opt.Get("secondary-out"))
    WriteFileBytes(*out, Windows1252ToUtf8(events.secondary));
  std::string text = Windows1252ToUtf8(events.pane);
  if (text.empty() || text.back() != '\n') text += '\n';
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

int RunChannel(int, char**) {
  throw UsageError("channel: not built yet");
}
int RunSweep(int, char**) {
  throw UsageError("sweep: not built yet");
}

}  // namespace vela::cli
