#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "rx/FrameReceiver.h"

namespace vela {

namespace {
bool Usable(long double value) {
  return std::isfinite(static_cast<double>(value));
}
// Retunes remembered until the frames read catch up with them: far more than an operator
// stepping the fine tune makes in the two frames a long frame sync holds.
constexpr size_t kTuningsKept = 64;
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
    // The audio from the next sample on is mixed on the new frequency; it is decided on
    // once it is through the look-ahead (the filters' few symbols aside). Tuned before
    // anything was decided, all of it is heard there.
    const int64_t from = decisions_ + Latency() + 1;
    if (decisions_ == 0) {
      StartTuning();
    } else {
      if (tunings_.size() > 1 && tunings_.back().fromDecision >= from) tunings_.pop_back();
      if (tunings_.size() >= kTuningsKept) tunings_.erase(tunings_.begin());
      tunings_.push_back({from, config.centreFrequency});
    }
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
  Release(true);
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
  inDecoder_.clear();
  waiting_.clear();
  decoderUsed_ = -1;
  frames_ = 0;
  lastHeard_ = -1;
  StartTuning();
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::StartTuning() {
  decisions_ = 0;
  tunings_.assign(1, {std::numeric_limits<int64_t>::min(), config_.centreFrequency});
  heardOn_.fill(config_.centreFrequency);
  told_.reset();
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::FrameHeard(int loc, int frameLength) {
  // The window holds the last 2L decisions; the frame read is the L from `loc` on. Frames'
  // middles never go back (in one interleave length), so retunes before this one's are done
  // with.
  const int64_t middle = decisions_ - 2 * frameLength + 1 + loc + (frameLength - 1) / 2;
  size_t done = 0;
  while (done + 1 < tunings_.size() && tunings_[done + 1].fromDecision <= middle) ++done;
  tunings_.erase(tunings_.begin(), tunings_.begin() + static_cast<std::ptrdiff_t>(done));
  heardOn_ = {tunings_.front().centreFrequency, heardOn_[0], heardOn_[1]};
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::TellHeardOn(long double centreFrequency) {
  if (told_ == centreFrequency) return;
  told_ = centreFrequency;
  out_->HeardOn(centreFrequency);
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
int64_t FrameReceiver<Demod, Rule>::OverEndFrames() const {
  const ModeParams& mode = ModeTable(config_.mode);
  const double frameSeconds = mode.frameLength / mode.symbolRate;
  return std::max<int64_t>(2, static_cast<int64_t>(std::ceil(10.0 / frameSeconds)));
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::BitsIn(int decoder, const FrameResult& frame) {
  if (decoder != decoderUsed_) {
    // Another decoder: what the last one held never comes out of this one. The Viterbi
    // decoder's first bits are those from before its start.
    inDecoder_.assign(decoder == 2 ? kViterbiDelay : 0, -1);
    decoderUsed_ = decoder;
  }
  const int64_t index = frames_++;
  if (frame.heard) lastHeard_ = index;
  inDecoder_.insert(inDecoder_.end(), frame.coded.size() / 2, frame.heard ? -1 : index);
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::BitOut(int bit, long double heardOn) {
  int64_t frame = -1;
  if (!inDecoder_.empty()) {
    frame = inDecoder_.front();
    inDecoder_.pop_front();
  }
  waiting_.push_back({frame, bit, heardOn});
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::Release(bool end) {
  // A frame not heard is part of a fade if a frame after it was heard, and comes after
  // the over's end once enough frames after it were not: its text is then noise's junk,
  // and so is a character it completes (the last one of an over, cut off by the carrier
  // going down). Its bits still go on, so the characters after it split where they should.
  while (!waiting_.empty()) {
    const FrameBit b = waiting_.front();
    const bool heard = b.frame < 0 || lastHeard_ > b.frame;
    if (!heard && !end && frames_ - b.frame <= OverEndFrames()) return;
    TellHeardOn(b.heardOn);
    out_->Heard(heard);
    out_->DecodedBit(b.bit);
    waiting_.pop_front();
  }
}

template <class Demod, class Rule>
void FrameReceiver<Demod, Rule>::Decision(long double value) {
  ++decisions_;
  FrameSync<Rule>& sync = ActiveSync();
  if (!sync.Add(value, railAfter_)) return;
  const FrameResult frame = sync.result();
  out_->Frame(frame);
  FrameHeard(frame.syncLocation, sync.geometry().frameLength);
  const int shortOrLong = &sync == syncs_.data() ? 0 : 1;
  if (Rule::kSoftFrame && config_.iterations > 0) {
    IterativeDecoder& decoder = iterative_[static_cast<size_t>(shortOrLong)];
    BitsIn(shortOrLong, frame);
    // They are the frame before's.
    for (uint8_t bit : decoder.Frame(sync.rails(), frame.syncLocation, frame.idle))
      BitOut(bit, heardOn_[1]);
  } else {
    BitsIn(2, frame);
    // The Viterbi decoder's first bits out finish the frame before (two before, for the
    // short interleave's frames of 48 bits).
    const int perFrame = static_cast<int>(frame.coded.size() / 2);
    int out = 0;
    DecodeFrame(frame.coded, *decoder_, [&](int bit) {
      const int back = out < kViterbiDelay ? (kViterbiDelay - out + perFrame - 1) / perFrame : 0;
      ++out;
      BitOut(bit, heardOn_[static_cast<size_t>(std::min(back, 2))]);
    });
  }
  Release(false);
}

template class FrameReceiver<Demodulator, HardSync>;
template class FrameReceiver<EnhancedDemodulator, SoftSync>;

std::unique_ptr<Receiver> MakeReceiver(ReceiverKind kind, ViterbiDecoder& sharedDecoder) {
  if (kind == ReceiverKind::Enhanced) return std::make_unique<EnhancedReceiver>();
  return std::make_unique<StandardReceiver>(sharedDecoder);
}

}  // namespace vela
