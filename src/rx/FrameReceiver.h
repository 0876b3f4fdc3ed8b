// The two receivers, written once: a demodulator whose decisions go into the frame sync of
// the mode's interleave length, each found frame through the Viterbi decoder. The standard
// receiver is the discriminator with hard decisions, the enhanced one the coherent
// demodulator with soft values and their own search.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "rx/Demodulator.h"
#include "rx/EnhancedDemodulator.h"
#include "rx/FrameSync.h"
#include "rx/IterativeDecoder.h"
#include "rx/Receiver.h"
#include "rx/Viterbi.h"

namespace vela {

template <class Demod, class Rule>
class FrameReceiver final : public Receiver, private DemodulatorOutput {
 public:
  // Decodes through a decoder of its own...
  FrameReceiver() : decoder_(&ownDecoder_) { StartTuning(); }
  // ...or through `decoder`, which must outlive it.
  explicit FrameReceiver(ViterbiDecoder& decoder) : decoder_(&decoder) { StartTuning(); }
  FrameReceiver(const FrameReceiver&) = delete;
  FrameReceiver& operator=(const FrameReceiver&) = delete;

  void Configure(const ReceiverConfig& config) override;
  const ReceiverConfig& config() const override { return config_; }
  void Process(std::span<const int16_t> samples, ReceiverEvents& out) override {
    out_ = &out;
    for (int16_t x : samples) demod_.DemodSample(x, *this);
  }
  void Flush(ReceiverEvents& out) override;
  void Reset() override;
  int Latency() const override;
  int signalLevel() const override { return demod_.signalLevel(); }

  const Demod& demodulator() const { return demod_; }

 private:
  void Decision(long double value) override;
  void RailAfter(double llr) override { railAfter_ = static_cast<float>(llr); }
  void EyeStep(int subSymbol, long double phaseStep) override {
    out_->EyeStep(subSymbol, phaseStep);
  }
  void Refresh(int signalLevel) override { out_->Refresh(signalLevel); }
  FrameSync<Rule>& ActiveSync();
  // Symbols the decoder holds back after the frame sync: a frame when it iterates.
  int DecoderDelay() const;

  // Which receive frequency the copy was heard on. A retune reaches the decisions once the
  // audio mixed on the new frequency has come through the demodulator; a frame read counts
  // as heard where its middle symbol was; its bits come out of the decoder a frame or two
  // later.
  void StartTuning();
  // The frame just read lay at `loc` of its sync's window, `frameLength` symbols long.
  void FrameHeard(int loc, int frameLength);
  // HeardOn() to the events, when it differs from what they were last told.
  void TellHeardOn(long double centreFrequency);
  struct Tuning {
    int64_t fromDecision;  // the first decision demodulated at `centreFrequency`
    long double centreFrequency;
  };
  std::vector<Tuning> tunings_;  // oldest first; the first is in force at the oldest frame
  int64_t decisions_ = 0;
  std::array<long double, 3> heard_{};  // the last three frames read, the newest first
  std::optional<long double> told_;

  ReceiverConfig config_;
  Demod demod_;
  // Both interleave lengths' syncs keep their windows across a change of mode.
  std::array<FrameSync<Rule>, 2> syncs_{FrameSync<Rule>(InterleaveLength::Short),
                                        FrameSync<Rule>(InterleaveLength::Long)};
  // The enhanced receiver's, likewise one per interleave length.
  std::array<IterativeDecoder, 2> iterative_{IterativeDecoder(InterleaveLength::Short),
                                             IterativeDecoder(InterleaveLength::Long)};
  ViterbiDecoder ownDecoder_;
  ViterbiDecoder* decoder_;
  ReceiverEvents* out_ = nullptr;
  float railAfter_ = 0.0f;
};

using StandardReceiver = FrameReceiver<Demodulator, HardSync>;
using EnhancedReceiver = FrameReceiver<EnhancedDemodulator, SoftSync>;

}  // namespace vela
