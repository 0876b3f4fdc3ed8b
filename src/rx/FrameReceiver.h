// The two receivers, written once: a demodulator whose decisions go into the frame sync of
// the mode's interleave length, each found frame through the Viterbi decoder. The standard
// receiver is the discriminator with hard decisions, the enhanced one the coherent
// demodulator with soft values and their own search.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
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
  // A frame's data bits go into the decoder `decoder` (0, 1: the iterative ones, 2: the
  // Viterbi decoder); a bit out of it waits, if its frame was not heard, for the frames
  // after to tell a fade from the over's end.
  void BitsIn(int decoder, const FrameResult& frame);
  void BitOut(int bit, long double heardOn);
  // Hands on the waiting bits whose fate is known; `end`: all of them (the input's end).
  void Release(bool end);
  // Frames of nothing heard that end an over: about 10 s, and at least two frames.
  int64_t OverEndFrames() const;

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
  // The frequency each of the last three frames read was heard on, the newest first.
  std::array<long double, 3> heardOn_{};
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
  // The frame each bit in the decoder comes from (oldest first; -1: heard, whatever the
  // frames after say), and which decoder they went into (they start again when that
  // changes). Bits out of the decoder wait in `waiting_` with theirs.
  struct FrameBit {
    int64_t frame;
    int bit;
    long double heardOn;  // the receive frequency it was heard on
  };
  std::deque<int64_t> inDecoder_;
  std::deque<FrameBit> waiting_;
  int decoderUsed_ = -1;
  int64_t frames_ = 0;      // frames searched
  int64_t lastHeard_ = -1;  // the last of them heard
};

using StandardReceiver = FrameReceiver<Demodulator, HardSync>;
using EnhancedReceiver = FrameReceiver<EnhancedDemodulator, SoftSync>;

}  // namespace vela
