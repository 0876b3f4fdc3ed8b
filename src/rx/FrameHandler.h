// The sync correlator: the demodulator's decisions collected into a window two frames long,
// searched once per frame period against the PN values at every offset. The best offset is
// where the frame is read from; the size of its peak is the sync confidence. There is no
// locked state: every frame is searched afresh.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "coding/Frame.h"
#include "rx/CorrelationDisplay.h"

namespace vela {

class FrameHandler {
 public:
  explicit FrameHandler(InterleaveLength length);

  // One demodulated decision; returns true when it completed a frame period and the
  // search has run (the results below are then fresh).
  bool AddDecision(long double value);

  // Squared PN correlation of the window at offset `loc`.
  double SyncCorrelate(int loc) const;

  const std::vector<double>& window() const { return window_; }
  InterleaveLength interleave() const { return length_; }
  int frameLength() const { return geometry_.frameLength; }
  double syncPeak() const { return syncPeak_; }
  int syncLocation() const { return syncLocation_; }
  int row() const { return row_.row(); }
  // Grey level (255 none .. 69 full) per searched offset 0..L of the last search.
  const std::vector<uint8_t>& greyLevels() const { return grey_; }

 private:
  void SyncSearch();

  InterleaveLength length_;
  const FrameGeometry& geometry_;
  std::vector<double> window_;  // 2L values, oldest first once a frame is complete
  int n_ = 0;
  CorrelationRowCounter row_;
  double syncPeak_ = 0.0;
  int syncLocation_ = 0;
  std::vector<uint8_t> grey_;
};

}  // namespace vela
