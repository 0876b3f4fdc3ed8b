#include <algorithm>
#include <cmath>
#include <vector>

#include "rx/FrameReceiver.h"

namespace vela {

namespace {
bool Usable(long double value) {
  return std::isfinite(static_cast<double>(value));
}
}  // namespace

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::Configure(const ReceiverConfig& config) {
  if (config.mode != config_.mode) {
    config_.mode = config.mode;
    demod_.SetMode(config.mode);
  }
  if (Usable(config.sampleRate) && config.sampleRate > 0 &&
      config.sampleRate != config_.sampleRate) {
    config_.sampleRate = config.sampleRate;
    demod_.SetSampleRate(config.sampleRate);
  }
  if (Usable(config.centreFrequency) && config.centreFrequency != config_.centreFrequency) {
    config_.centreFrequency = config.centreFrequency;
    demod_.SetCentreFrequency(config.centreFrequency);
  }
  config_.noiseBlanker = config.noiseBlanker;
  config_.iterations = config.iterations < 0 ? DefaultIterations(config_.mode) : config.iterations;
  for (IterativeDecoder& d : iterative_) {
    d.SetIterations(config_.iterations);
    d.SetTurnOver(RailTurnOver(config_.mode));
  }
  if constexpr (requires { demod_.SetNoiseBlanker(true); })
    demod_.SetNoiseBlanker(config.noiseBlanker);
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::Flush(ReceiverEvents& out) {
  const int held = Latency() + DecoderDelay();
  if (held == 0) return;
  // Two symbols more: the boundaries either side of the last symbol held.
  const double symbols = held + 2;
  const auto samples = static_cast<size_t>(std::ceil(
      symbols * static_cast<double>(config_.sampleRate) / ModeTable(config_.mode).symbolRate));
  const std::vector<int16_t> silence(samples, 0);
  Process(silence, out);
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::Reset() {
  demod_ = Demod();
  demod_.SetMode(config_.mode);
  demod_.SetSampleRate(config_.sampleRate);
  demod_.SetCentreFrequency(config_.centreFrequency);
  if constexpr (requires { demod_.SetNoiseBlanker(true); })
    demod_.SetNoiseBlanker(config_.noiseBlanker);
  for (FrameSync<Rule>& sync : syncs_) sync.Reset();
  for (IterativeDecoder& d : iterative_) d.Reset();
  decoder_->Reset();
  railAfter_ = 0.0f;
}

template <>
int StandardReceiver::Latency() const {
  return 0;  // every symbol is decided as the filters deliver it
}

template <>
int EnhancedReceiver::Latency() const {
  return EnhancedDemodulator::LatencySymbols();
}

template <class Demod, class Rule>
int FrameReceiver<Demod, Rule>::DecoderDelay() const {
  if (!Rule::kSoftFrame || config_.iterations == 0) return 0;
  return IterativeDecoder::LatencyFrames() * ModeTable(config_.mode).frameLength;
}

template <class Demod, class Rule>
FrameSync<Rule>& FrameReceiver<Demod, Rule>::ActiveSync() {
  return syncs_[ModeTable(config_.mode).interleave == InterleaveLength::Short ? 0 : 1];
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::Decision(long double value) {
  FrameSync<Rule>& sync = ActiveSync();
  if (!sync.Add(value, railAfter_)) return;
  const FrameResult frame = sync.result();
  out_->Frame(frame);
  if (Rule::kSoftFrame && config_.iterations > 0) {
    IterativeDecoder& decoder = iterative_[&sync == syncs_.data() ? 0 : 1];
    for (uint8_t bit : decoder.Frame(sync.rails(), frame.syncLocation, frame.idle))
      out_->DecodedBit(bit);
    return;
  }
  DecodeFrame(frame.coded, *decoder_, [this](int bit) { out_->DecodedBit(bit); });
}

template class FrameReceiver<Demodulator, HardSync>;
template class FrameReceiver<EnhancedDemodulator, SoftSync>;

std::unique_ptr<Receiver> MakeReceiver(ReceiverKind kind, ViterbiDecoder& sharedDecoder) {
  if (kind == ReceiverKind::Enhanced) return std::make_unique<EnhancedReceiver>();
  return std::make_unique<StandardReceiver>(sharedDecoder);
}

}  // namespace vela
