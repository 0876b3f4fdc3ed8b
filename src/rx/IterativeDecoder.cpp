#include "rx/IterativeDecoder.h"

#include <algorithm>

#include "coding/Frame.h"
#include "coding/Interleave.h"
#include "rx/FrameSync.h"

namespace vela {

IterativeDecoder::IterativeDecoder(InterleaveLength length, int iterations) {
  const FrameGeometry& geo = Geometry(length);
  const auto& table = InterleaveTable(length);
  codedSymbols_ = geo.codedSymbols;
  frameLength_ = geo.frameLength;
  codeBit_.assign(static_cast<size_t>(frameLength_ + 1), -1);
  known_.assign(codeBit_.size(), 0.0f);
  const int g = geo.groupSize;
  for (int i = 0; i <= kSyncGroups; ++i) {
    // Slot 31 holds a 0, sent as +1; position L is the next frame's first PN value.
    const int pn = SyncPattern()[static_cast<size_t>(i % kSyncGroups)];
    known_[static_cast<size_t>(std::min(g * i, frameLength_))] =
        (i == kSyncGroups - 1 ? 1 : pn) * kKnownSymbol;
  }
  for (int i = 0; i < kSyncGroups; ++i) {
    for (int j = 1; j < g; ++j) {
      const int k = (g - 1) * i + j - 1;
      if (k < codedSymbols_ - 1)  // the last one is never sent
        codeBit_[static_cast<size_t>(g * i + j)] = table[static_cast<size_t>(k)];
    }
  }
  SetIterations(iterations);
  Reset();
}

void IterativeDecoder::SetIterations(int iterations) {
  iterations_ = std::max(1, iterations);
}

void IterativeDecoder::Reset() {
  for (HeldFrame& f : frames_) f.present = false;
  start_ = CodeDecoder::Uniform();
  passes_ = 0;
}

std::span<const uint8_t> IterativeDecoder::Frame(std::span<const float> railsAfter, int loc,
                                                 bool idle) {
  HeldFrame& f = frames_[1];
  f.present = true;
  f.idle = idle;
  // Rail k of the frame lies after window symbol loc - 1 + k.
  f.rails.assign(static_cast<size_t>(frameLength_ + 2), 0.0f);
  for (int k = 0; k < frameLength_ + 2; ++k) {
    const int w = loc - 1 + k;
    if (w >= 0 && w < static_cast<int>(railsAfter.size()))
      f.rails[static_cast<size_t>(k)] = railsAfter[static_cast<size_t>(w)];
  }
  f.feedback.assign(static_cast<size_t>(codedSymbols_), 0.0f);
  if (!frames_[0].present) {
    std::swap(frames_[0], frames_[1]);
    frames_[1].present = false;
    decided_.clear();
    return decided_;
  }
  return Decide(2);
}

std::span<const uint8_t> IterativeDecoder::Finish() {
  if (!frames_[0].present) {
    decided_.clear();
    return decided_;
  }
  return Decide(1);
}

std::span<const uint8_t> IterativeDecoder::Decide(int frames) {
  const auto n = static_cast<size_t>(codedSymbols_);
  const size_t positions = codeBit_.size();
  coded_.resize(n * static_cast<size_t>(frames));
  codeExtrinsic_.resize(coded_.size());
  data_.resize(coded_.size() / 2);
  prior_.resize(positions);
  extrinsic_.resize(positions);
  last_.clear();
  CodeDecoder::Metrics kept{};
  // Nothing heard in the window (band noise, mostly): the idle stream's zeros, and the code
  // left in the state it ends in, without the work.
  if (std::all_of(frames_, frames_ + frames, [](const HeldFrame& f) { return f.idle; })) {
    passes_ = 0;
    decided_.assign(n / 2, 0);
    kept.fill(-kIdleLlr * 10);
    kept[0] = 0.0f;
    return Advance(kept);
  }
  for (passes_ = 1; passes_ <= iterations_; ++passes_) {
    for (int w = 0; w < frames; ++w) {
      HeldFrame& f = frames_[w];
      const std::span<float> coded(coded_.data() + n * static_cast<size_t>(w), n);
      if (f.idle) {
        std::fill(coded.begin(), coded.end(), -kIdleLlr);
        continue;
      }
      for (size_t p = 0; p < positions; ++p) {
        const int c = codeBit_[p];
        prior_[p] = c < 0 ? known_[p] : f.feedback[static_cast<size_t>(c)];
      }
      rail_.Pass(f.rails, prior_, extrinsic_);
      std::fill(coded.begin(), coded.end(), 0.0f);
      for (size_t p = 0; p < positions; ++p) {
        const int c = codeBit_[p];
        if (c >= 0) coded[static_cast<size_t>(c)] = extrinsic_[p];
      }
    }
    code_.Decode(coded_, start_, codeExtrinsic_, data_, codedSymbols_ / 2, &kept);
    for (int w = 0; w < frames; ++w) {
      std::copy_n(codeExtrinsic_.begin() + static_cast<std::ptrdiff_t>(n) * w, n,
                  frames_[w].feedback.begin());
    }
    // Ties read as 0: the idle stream's bit, as the Viterbi decoder reads a silent start.
    decided_.resize(data_.size());
    for (size_t i = 0; i < data_.size(); ++i) decided_[i] = data_[i] > 0.0f ? 1 : 0;
    if (decided_ == last_) break;
    last_ = decided_;
  }
  passes_ = std::min(passes_, iterations_);
  decided_.resize(n / 2);
  return Advance(kept);
}

std::span<const uint8_t> IterativeDecoder::Advance(const CodeDecoder::Metrics& next) {
  start_ = next;
  std::swap(frames_[0], frames_[1]);
  frames_[1].present = false;
  return decided_;
}

}  // namespace vela
