#include "cli/Receiver.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "cli/Options.h"
#include "coding/Modes.h"
#include "display/CorrelationDisplay.h"
#include "rx/ReceivePane.h"
#include "rx/SyncConfidence.h"
#include "station/StationSettings.h"

namespace vela::cli {

ReceiverKind ReceiverOption(const Options& opt, ReceiverKind absent) {
  const auto value = opt.Get("receiver");
  if (!value) return absent;
  if (*value == "standard") return ReceiverKind::Standard;
  if (*value == "enhanced") return ReceiverKind::Enhanced;
  throw UsageError("--receiver takes standard or enhanced, not \"" + *value + "\"");
}

double ReceiveFrequencyOption(const Options& opt, Mode mode, double rate) {
  const double highest = rate / 2 - SignalHalfWidth(mode);
  const double freq = opt.Number("freq", kDefaultCentreHz, 1.0, 15000.0);
  if (freq > highest) {
    char reason[160];
    std::snprintf(reason, sizeof reason,
                  "--freq %g is beyond what %g samples per second carry for %s (at most %g)", freq,
                  rate, std::string(ModeTable(mode).name).c_str(), std::floor(highest));
    throw UsageError(reason);
  }
  return freq;
}

Receiver::Receiver(const ReceiverSettings& settings) : settings_(settings), modem_(*this) {
  StationSettings station;
  station.mode = settings.mode;
  station.rxSampleRate = settings.rate;
  station.rxCentreFrequency = settings.freq;
  station.squelch = settings.squelch;
  station.receiver = settings.receiver;
  station.noiseBlanker = settings.noiseBlanker;
  station.iterations = settings.iterations;
  ApplyStationSettings(modem_, station);
}

void Receiver::Finish() {
  modem_.Flush();
}

void Receiver::RxChar(uint8_t c) {
  ApplyToPane(pane_, c);
}

void Receiver::SecondaryChar(uint8_t c) {
  secondary_.push_back(static_cast<char>(c));
}

void Receiver::FrameProcessed(const FrameReport& r) {
  ++frames_;
  locations_.push_back(r.location);
  if (SquelchOpen(r.confidence, settings_.squelch)) ++framesOpen_;
  if (settings_.printFrames) {
    std::fprintf(stderr, "frame %lld loc %d peak %.0f conf %d%%\n", static_cast<long long>(r.frame),
                 r.location, r.syncPeak, ConfidencePercent(r.syncPeak));
  }
}

}  // namespace vela::cli
