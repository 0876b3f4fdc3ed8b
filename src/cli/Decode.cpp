#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/Receiver.h"
#include "cli/Recording.h"
#include "cli/UdpOption.h"
#include "coding/Charset.h"
#include "coding/Modes.h"

namespace vela::cli {

int RunDecode(int argc, char** argv) {
  const Options opt(argc, argv, 2,
                    {"mode", "freq", "rate", "squelch", "secondary-out", "receiver", "udp"},
                    {"frames"});
  if (opt.positional().size() != 1) throw UsageError("decode needs exactly one input file");
  ReceiverSettings settings;
  settings.mode = opt.ModeOption();
  const double rate = opt.Number("rate", kNominalRxRate, 1000.0, 192000.0);
  settings.rate = rate;
  settings.freq = ReceiveFrequencyOption(opt, settings.mode, rate);
  settings.squelch = static_cast<int>(opt.Integer("squelch", kDefaultSquelch, 0, 100));
  settings.printFrames = opt.Has("frames");
  settings.receiver = ReceiverOption(opt);
  const std::string& path = opt.positional()[0];
  std::optional<QCoreApplication> app;
  int qtArgc = 1;
  if (opt.Has("udp") && !QCoreApplication::instance()) app.emplace(qtArgc, argv);
  const std::unique_ptr<UdpMessages> udp = OpenUdpOption(opt);
  const std::string modeName(ModeTable(settings.mode).name);
  wsjtx::Status status;
  status.mode = modeName;
  status.rxAudioHz = status.txAudioHz = static_cast<uint32_t>(std::lround(settings.freq));
  status.decoding = true;
  if (udp) udp->SetStatus(status);

  // The receiver runs at the rate a sound card would be opened at (the fractional part of
  // --rate corrects the clock inside the demodulator only).
  Receiver receiver(settings);
  ReadRecording(path, static_cast<int>(std::nearbyint(static_cast<double>(settings.rate))),
                "decode", [&](std::span<const int16_t> block) { receiver.Process(block); });
  receiver.Finish();

  if (const auto out = opt.Get("secondary-out")) {
    WriteFileBytes(*out, Windows1252ToUtf8(receiver.secondary()));
  }
  std::string text = Windows1252ToVisibleUtf8(receiver.pane());
  if (text.empty() || text.back() != '\n') text += '\n';
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (udp) {
    // A recording has no times of its own worth telling: each line goes as copied now.
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      SendDecodeLine(*udp, line, modeName, static_cast<double>(settings.freq),
                     receiver.signalLevel(), true);
    }
    status.decoding = false;
    udp->SetStatus(status);
    FinishUdp(*udp);
  }
  return 0;
}

}  // namespace vela::cli
