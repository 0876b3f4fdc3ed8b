#include "rx/SoftFrameHandler.h"

#include <algorithm>
#include <cmath>

#include "coding/Interleave.h"

namespace vela {

namespace {
constexpr double kNoiseFloor = 3.0;                // normalised correlation of noise peaks
constexpr double kFullMatch = 5.5677643628300219;  // sqrt(31)
}  // namespace

double SoftSyncPeak(double sum, double energy) {
  if (!(energy > 0.0)) return 0.0;
  const double z = sum / std::sqrt(energy);
  const double x = std::clamp((z - kNoiseFloor) / (kFullMatch - kNoiseFloor), 0.0, 1.0);
  return 961.0 * x * x;
}

SoftFrameHandler::SoftFrameHandler(InterleaveLength length)
    : length_(length),
      geometry_(Geometry(length)),
      window_(static_cast<size_t>(2 * geometry_.frameLength), 0.0f),
      grey_(static_cast<size_t>(geometry_.frameLength + 1), 255) {}

bool SoftFrameHandler::AddValue(float value) {
  const int frameLength = geometry_.frameLength;
  n_ = (n_ + 1) % frameLength;
  window_[static_cast<size_t>(n_)] = window_[static_cast<size_t>(frameLength + n_)];
  window_[static_cast<size_t>(frameLength + n_)] = value;
  if (n_ != frameLength - 1) return false;
  SyncSearch();
  return true;
}

double SoftFrameHandler::SyncSum(int loc, double* energy) const {
  double s = 0.0, e = 0.0;
  for (int i = 0; i < kSyncGroups - 1; ++i) {  // slot 31 carries nothing
    const double v = window_[static_cast<size_t>(loc + geometry_.groupSize * i)];
    s += SyncPattern()[static_cast<size_t>(i)] * v;
    e += v * v;
  }
  if (energy) *energy = e;
  return s;
}

void SoftFrameHandler::SyncSearch() {
  row_.Next();
  double bestSum = -1e300;
  int bestLoc = 0;
  double bestEnergy = 0.0;
  for (int loc = 0; loc <= geometry_.frameLength; ++loc) {
    double energy = 0.0;
    const double s = SyncSum(loc, &energy);
    if (s > bestSum) {
      bestSum = s;
      bestLoc = loc;
      bestEnergy = energy;
    }
    grey_[static_cast<size_t>(loc)] = CorrelationGrey(static_cast<float>(SoftSyncPeak(s, energy)));
  }
  syncPeak_ = static_cast<float>(SoftSyncPeak(bestSum, bestEnergy));
  syncLocation_ = bestLoc;
}

void DeinterleaveSoftFrame(InterleaveLength length, const std::vector<float>& window, int loc,
                           std::vector<float>& coded) {
  const FrameGeometry& geo = Geometry(length);
  const auto& table = InterleaveTable(length);
  const int g = geo.groupSize;
  const int n = geo.codedSymbols;
  coded.assign(static_cast<size_t>(n), 0.0f);
  for (int i = 0; i < kSyncGroups; ++i) {
    for (int j = 1; j < g; ++j) {
      const int k = (g - 1) * i + j - 1;
      if (k == n - 1) continue;  // never on air
      const size_t pos = static_cast<size_t>(loc + g * i + j);
      coded[static_cast<size_t>(table[static_cast<size_t>(k)])] =
          pos < window.size() ? window[pos] : 0.0f;
    }
  }
}

void DecodeSoftFrame(InterleaveLength length, const std::vector<float>& window, int loc,
                     SoftViterbiDecoder& viterbi, std::vector<float>& coded,
                     const std::function<void(int)>& bitSink) {
  DeinterleaveSoftFrame(length, window, loc, coded);
  for (size_t m = 0; m + 1 < coded.size(); m += 2) bitSink(viterbi.Decode(coded[m], coded[m + 1]));
}

}  // namespace vela
