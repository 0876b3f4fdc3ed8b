#include "rx/FrameHandler.h"

#include <cmath>

namespace vela {

FrameHandler::FrameHandler(InterleaveLength length)
    : length_(length),
      geometry_(Geometry(length)),
      window_(static_cast<size_t>(2 * geometry_.frameLength), 0.0),
      grey_(static_cast<size_t>(geometry_.frameLength + 1), 255) {}

bool FrameHandler::AddDecision(long double value) {
  const int frameLength = geometry_.frameLength;
  const double b = value > 0 ? 1.0 : -1.0;  // a zero counts as a 0 bit
  n_ = (n_ + 1) % frameLength;
  window_[static_cast<size_t>(n_)] = window_[static_cast<size_t>(frameLength + n_)];
  window_[static_cast<size_t>(frameLength + n_)] = b;
  if (n_ != frameLength - 1) return false;
  SyncSearch();
  return true;
}

double FrameHandler::SyncCorrelate(int loc) const {
  double s = 0.0;
  for (int i = 0; i < kSyncGroups; ++i) {
    s += SyncPattern()[static_cast<size_t>(i)] *
         window_[static_cast<size_t>(loc + geometry_.groupSize * i)];
  }
  return s * s;
}

void FrameHandler::SyncSearch() {
  row_.Next();
  float best = 0.0f;
  int bestLoc = 0;
  for (int loc = 0; loc <= geometry_.frameLength; ++loc) {
    const float c = static_cast<float>(SyncCorrelate(loc));
    if (c > best) {
      best = c;
      bestLoc = loc;
    }
    grey_[static_cast<size_t>(loc)] = CorrelationGrey(c);
  }
  syncPeak_ = best;
  syncLocation_ = bestLoc;
}

}  // namespace vela
