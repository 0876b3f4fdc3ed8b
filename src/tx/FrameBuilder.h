// Builds the transmitted frame stream: data bits through the K=7 encoder at half the symbol
// rate, a frame period's coded symbols interleaved and laid among the sync values, sent in
// the next frame. One builder per interleave length; both live for the whole run.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "coding/Frame.h"
#include "tx/BitSource.h"

namespace vela {

class FrameBuilder {
 public:
  // Receives each newly built frame's coded symbols in encoder order (the transmit echo).
  using EchoSink = std::function<void(std::span<const int> coded)>;

  explicit FrameBuilder(InterleaveLength length);

  // The channel symbol (+1, -1 or 0) for the next audio buffer.
  int NextSymbol(BitSource& source, const EchoSink& echo);

  // Starts a new frame from a clear encoder: what the coded buffer held goes nowhere, and
  // the next frame carries no data.
  void Restart();

  int frameCounter() const { return counter_; }
  uint8_t encoderRegister() const { return encoderRegister_; }
  InterleaveLength interleave() const { return length_; }

 private:
  InterleaveLength length_;
  const FrameGeometry& geometry_;
  int counter_ = 0;
  int halfBitPhase_ = 0;
  uint8_t encoderRegister_ = 0;
  uint8_t entry_ = 0;
  std::vector<int> coded_;        // this frame period's coded symbols, encoder order
  std::vector<int> interleaved_;  // scratch
  std::vector<int> deinterleaved_;
  std::vector<int> image_;  // the frame being sent; all zero until the first build
};

}  // namespace vela
