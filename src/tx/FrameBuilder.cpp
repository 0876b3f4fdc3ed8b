#include "tx/FrameBuilder.h"

#include <algorithm>

#include "coding/ConvolutionalCode.h"
#include "coding/Interleave.h"

namespace vela {

FrameBuilder::FrameBuilder(InterleaveLength length)
    : length_(length),
      geometry_(Geometry(length)),
      coded_(static_cast<size_t>(geometry_.codedSymbols), 0),
      interleaved_(coded_.size(), 0),
      deinterleaved_(coded_.size(), 0),
      image_(static_cast<size_t>(geometry_.imageSize), 0) {}

void FrameBuilder::Restart() {
  counter_ = 0;
  halfBitPhase_ = 0;
  encoderRegister_ = 0;
  entry_ = 0;
  // The first frame built then carries zero bits from a clear encoder: idle, no text.
  std::fill(coded_.begin(), coded_.end(), CodedBitToSymbol(0));
}

int FrameBuilder::NextSymbol(BitSource& source, const EchoSink& echo) {
  bool haveCoded = false;
  int codedSymbol = 0;
  if (counter_ < geometry_.codedSymbols) {
    halfBitPhase_ ^= 1;
    int codedBit;
    if (halfBitPhase_ == 1) {
      entry_ = EncoderStep(encoderRegister_, source.NextDataBit());
      codedBit = SplitEntry(entry_).p1;
    } else {
      codedBit = SplitEntry(entry_).p2;
    }
    codedSymbol = CodedBitToSymbol(codedBit);
    haveCoded = true;
  }

  // The symbol sent comes from the image built at the start of this frame; at position 0
  // that is still the previous frame's image (its first sync value).
  const int out = image_[static_cast<size_t>(counter_)];

  if (counter_ == 0) {
    const auto& table = InterleaveTable(length_);
    Interleave<int>(table, coded_, interleaved_);
    BuildFrameImage(length_, interleaved_, image_);
    if (echo) {
      Deinterleave<int>(table, interleaved_, deinterleaved_);
      echo(deinterleaved_);
    }
  }
  if (haveCoded) coded_[static_cast<size_t>(counter_)] = codedSymbol;

  if (++counter_ == geometry_.frameLength) counter_ = 0;
  return out;
}

}  // namespace vela
