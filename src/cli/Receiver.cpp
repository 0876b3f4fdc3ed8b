#include "cli/Receiver.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "cli/Options.h"
#include "rx/CorrelationDisplay.h"
#include "rx/EnhancedDemodulator.h"
#include "rx/ReceivePane.h"

namespace vela::cli {

ReceiverKind ReceiverOption(const Options& opt) {
  const auto value = opt.Get("receiver");
  if (!value || *value == "standard") return ReceiverKind::Standard;
  if (*value == "enhanced") return ReceiverKind::Enhanced;
  throw UsageError("--receiver takes standard or enhanced, not \"" + *value + "\"");
}

Receiver::Receiver(const ReceiverSettings& settings) : settings_(settings), modem_(*this) {
  modem_.SetMode(settings.mode);
  modem_.SetRxSampleRate(settings.rate);
  modem_.SetRxCentreFrequency(settings.freq);
  modem_.SetSquelch(settings.squelch);
  modem_.SetReceiver(settings.receiver);
}

void Receiver::Finish() {
  if (settings_.receiver != ReceiverKind::Enhanced) return;
  const double symbols = EnhancedDemodulator::LatencySymbols() + 2;
  const auto samples = static_cast<size_t>(std::ceil(symbols * static_cast<double>(settings_.rate) /
                                                     ModeTable(settings_.mode).symbolRate));
  const std::vector<int16_t> silence(samples, 0);
  modem_.ProcessSamples(silence);
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
  if (r.confidence > settings_.squelch) ++framesOpen_;
  if (settings_.printFrames) {
    std::fprintf(stderr, "frame %lld loc %d peak %.0f conf %d%%\n", static_cast<long long>(r.frame),
                 r.location, r.syncPeak, ConfidencePercent(r.syncPeak));
  }
}

}  // namespace vela::cli
