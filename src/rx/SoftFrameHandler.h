// Frame sync on soft symbol values: the enhanced receiver's counterpart of the sync
// correlator. The same two-frame window and once-per-frame search over every offset, but
// the correlation keeps each value's weight and its sign (a PN match is a positive sum),
// and each offset's correlation carries over part of its value from the frames before: the
// coherent receiver does not slip, so a weak frame is found where the last ones were, while
// a signal that has moved still wins at its new offset within a frame. The frame is read
// out as soft values for the soft-decision Viterbi decoder.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "coding/Frame.h"
#include "rx/CorrelationDisplay.h"
#include "rx/Viterbi.h"

namespace vela {

// Confidence of a PN match on the 0..961 scale of the squared hard correlation, from the
// soft correlation `sum` and the sum of squares `energy` of the values it covered, and the
// normalised correlation `full` a clean signal gives. On noise alone the largest normalised
// correlation over a frame's offsets is about 3, so the scale starts there: noise reads near
// 0 and a clean frame 961.
double SoftSyncPeak(double sum, double energy, double full);

class SoftFrameHandler {
 public:
  explicit SoftFrameHandler(InterleaveLength length);

  // One soft symbol value (+ve = symbol +1); true when a frame period completed and the
  // search has run.
  bool AddValue(float value);

  // Soft PN correlation of the current window at offset `loc`, and the squared values it
  // covered.
  double SyncSum(int loc, double* energy = nullptr) const;

  const std::vector<float>& window() const { return window_; }
  InterleaveLength interleave() const { return length_; }
  double syncPeak() const { return syncPeak_; }
  int syncLocation() const { return syncLocation_; }
  int row() const { return row_.row(); }
  const std::vector<uint8_t>& greyLevels() const { return grey_; }

 private:
  void SyncSearch();

  InterleaveLength length_;
  const FrameGeometry& geometry_;
  std::vector<float> window_;  // 2L values, oldest first once a frame is complete
  int n_ = 0;
  CorrelationRowCounter row_;
  double syncPeak_ = 0.0;
  int syncLocation_ = 0;
  std::vector<uint8_t> grey_;
  std::vector<double> sums_;      // per offset, earlier frames weighted down
  std::vector<double> energies_;  // the squared values under those sums, likewise
};

// Soft values of one frame in encoder order. The last interleaved symbol is never sent (its
// slot holds the next frame's first PN value) and reads as 0, as does anything past the
// window.
void DeinterleaveSoftFrame(InterleaveLength length, const std::vector<float>& window, int loc,
                           std::vector<float>& coded);

// DeinterleaveSoftFrame, then one soft Viterbi step per code pair, each decoded bit to
// `bitSink` in order.
void DecodeSoftFrame(InterleaveLength length, const std::vector<float>& window, int loc,
                     ViterbiDecoder& viterbi, std::vector<float>& coded,
                     const std::function<void(int)>& bitSink);

}  // namespace vela
