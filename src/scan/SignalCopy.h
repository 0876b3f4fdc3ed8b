// One signal the scanner has found: an enhanced receiver of its own, tuned to the
// estimate, with its own text decoder and squelch, and what the scanner has measured of it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "rx/Receiver.h"
#include "rx/TextEvents.h"
#include "rx/VaricodeDecoder.h"
#include "scan/LineSearch.h"
#include "scan/ScanSignal.h"

namespace vela {

class SignalCopy : private ReceiverEvents, private TextEvents {
 public:
  // `textLimit`: bytes of text and secondary text kept (the oldest go first); 0 keeps all.
  SignalCopy(const LineCandidate& found, long double sampleRate, int squelch, size_t textLimit);
  SignalCopy(const SignalCopy&) = delete;
  SignalCopy& operator=(const SignalCopy&) = delete;

  // Samples in; `start` is the input position (samples since the scanner began) of the
  // first of them.
  void Process(std::span<const int16_t> samples, int64_t start);
  void Flush(int64_t end);
  // A later sighting of the same signal refines the estimate.
  void Sighted(const LineCandidate& found);

  Mode mode() const { return signal_.mode; }
  double centreHz() const { return signal_.centreHz; }
  // The number it is listed under.
  void SetId(int id) {
    signal_.id = id;
    changed_ = true;
  }
  int64_t frames() const { return signal_.frames; }
  // Frames searched since the last Mark().
  void Mark() { marked_ = signal_.frames; }
  int64_t framesSinceMark() const { return signal_.frames - marked_; }
  // The best sync confidence of any frame so far, and frames since the last one with sync.
  int bestConfidence() const { return bestConfidence_; }
  int64_t framesWithoutSync() const { return framesWithoutSync_; }
  // Anything published has changed since the last call.
  bool TakeChanged();
  const ScanSignal& signal() const { return signal_; }

 private:
  void Frame(const FrameResult& frame) override;
  void DecodedBit(int bit) override;
  void RxChar(uint8_t c) override;
  void SecondaryChar(uint8_t c) override;
  double AirSeconds() const;  // when the frame just decided went out
  void UpdateCall();          // the secondary text's call, else the text's "de CALL"

  std::unique_ptr<Receiver> receiver_;
  VaricodeRxDecoder decoder_;
  ScanSignal signal_;
  std::string secondaryCall_;
  std::string textCall_;
  int squelch_;
  size_t textLimit_;
  bool squelchOpen_ = false;
  bool changed_ = true;
  int bestConfidence_ = 0;
  int64_t framesWithoutSync_ = 0;
  int64_t marked_ = 0;
  int64_t confidenceSum_ = 0;
  double weight_ = 0.0;       // the sightings' strengths, added
  double centreSum_ = 0.0;    // their centres, weighted by strength
  double snrPowerSum_ = 0.0;  // their S/N as power ratios, weighted likewise
  int64_t position_ = 0;      // input position of the samples being processed
};

}  // namespace vela
