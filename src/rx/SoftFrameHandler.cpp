#include "rx/SoftFrameHandler.h"

#include <algorithm>
#include <cmath>

#include "coding/Interleave.h"

namespace vela {

namespace {
constexpr double kNoiseFloor = 3.0;                // normalised correlation of noise peaks
constexpr double kFullMatch = 5.5677643628300219;  // sqrt(31)
constexpr double kCarryOver = 0.6;                 // weight of the previous frames' sums
}  // namespace

double SoftSyncPeak(double sum, double energy, double full) {
  if (!(energy > 0.0)) return 0.0;
  const double z = sum / std::sqrt(energy);
  const double x = std::clamp((z - kNoiseFloor) / (full - kNoiseFloor), 0.0, 1.0);
  return 961.0 * x * x;
}

namespace {
// The frame's own correlation or the one carried over from earlier frames, whichever is
// surer: a new signal shows at once, a steady weak one builds up.
double FramePeak(double sum, double energy, double carriedSum, double carriedEnergy) {
  // A clean signal heard for many frames: sqrt(31) times sqrt((1 + c) / (1 - c)).
  static const double carriedFull = kFullMatch * std::sqrt((1 + kCarryOver) / (1 - kCarryOver));
  return std::max(SoftSyncPeak(sum, energy, kFullMatch),
                  SoftSyncPeak(carriedSum, carriedEnergy, carriedFull));
}
}  // namespace

SoftFrameHandler::SoftFrameHandler(InterleaveLength length)
    : length_(length),
      geometry_(Geometry(length)),
      window_(static_cast<size_t>(2 * geometry_.frameLength), 0.0f),
      grey_(static_cast<size_t>(geometry_.frameLength + 1), 255),
      sums_(grey_.size(), 0.0),
      energies_(grey_.size(), 0.0) {}

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
  double bestPeak = 0.0;
  for (int loc = 0; loc <= geometry_.frameLength; ++loc) {
    double energy = 0.0;
    const double s = SyncSum(loc, &energy);
    const auto i = static_cast<size_t>(loc);
    sums_[i] = kCarryOver * sums_[i] + s;
    energies_[i] = kCarryOver * kCarryOver * energies_[i] + energy;
    const double peak = FramePeak(s, energy, sums_[i], energies_[i]);
    if (sums_[i] > bestSum) {
      bestSum = sums_[i];
      bestLoc = loc;
      bestPeak = peak;
    }
    grey_[i] = CorrelationGrey(static_cast<float>(peak));
  }
  syncPeak_ = static_cast<float>(bestPeak);
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
                     ViterbiDecoder& viterbi, std::vector<float>& coded,
                     const std::function<void(int)>& bitSink) {
  DeinterleaveSoftFrame(length, window, loc, coded);
  for (size_t m = 0; m + 1 < coded.size(); m += 2) bitSink(viterbi.Decode(coded[m], coded[m + 1]));
}

}  // namespace vela
