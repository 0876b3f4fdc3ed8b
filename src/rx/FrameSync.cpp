#include "rx/FrameSync.h"

#include <algorithm>
#include <cmath>

#include "coding/Interleave.h"
#include "rx/EnhancedDemodulator.h"

namespace vela {

namespace {
constexpr double kNoiseFloor = 3.0;                // normalised correlation of noise peaks
constexpr double kFullMatch = 5.5677643628300219;  // sqrt(31)
constexpr double kCarryOver = 0.6;                 // weight of the previous frames' sums

// The frame's own correlation or the one carried over from earlier frames, whichever is
// surer: a new signal shows at once, a steady weak one builds up.
double FramePeak(double sum, double energy, double carriedSum, double carriedEnergy) {
  // A clean signal heard for many frames: sqrt(31) times sqrt((1 + c) / (1 - c)).
  static const double carriedFull = kFullMatch * std::sqrt((1 + kCarryOver) / (1 - kCarryOver));
  return std::max(SoftSyncPeak(sum, energy, kFullMatch),
                  SoftSyncPeak(carriedSum, carriedEnergy, carriedFull));
}
}  // namespace

void DeinterleaveFrame(InterleaveLength length, std::span<const float> window, int loc,
                       UnsentSymbol unsent, std::vector<float>& coded) {
  const FrameGeometry& geo = Geometry(length);
  const auto& table = InterleaveTable(length);
  const int g = geo.groupSize;
  const int n = geo.codedSymbols;
  coded.assign(static_cast<size_t>(n), 0.0f);
  for (int i = 0; i < kSyncGroups; ++i) {
    for (int j = 1; j < g; ++j) {
      const int k = (g - 1) * i + j - 1;
      if (k == n - 1 && unsent == UnsentSymbol::Neutral) continue;
      const size_t pos = static_cast<size_t>(loc + g * i + j);
      coded[static_cast<size_t>(table[static_cast<size_t>(k)])] =
          pos < window.size() ? window[pos] : 0.0f;
    }
  }
}

namespace {

// Fresh-start test: the data's mean certainty of +1 against their mean certainty at all.
constexpr double kNeverBuilt = 0.6;

bool NeverBuiltFrame(std::span<const float> coded) {
  double sum = 0.0, sure = 0.0;
  for (float v : coded) {
    const double t = std::tanh(0.5 * v);
    sum += t;
    sure += std::abs(t);
  }
  return sure > 0.0 && sum > kNeverBuilt * sure;
}

// A frame in which nothing but noise was heard: no clear PN match at its own offset, and
// its data no surer on the whole than noise taken for a signal reads. Such frames follow
// an over's end for as long as the correlation carried over from it keeps the sync
// confident, and make up digital silence. A deep fade within an over reads the same, yet
// a frame in it may still decode: the receiver tells the two apart by the frames after.
constexpr double kClearSync = 4.0;        // normalised PN correlation; noise's peaks reach 3
constexpr double kNoiseCertainty = 0.55;  // mean |tanh(llr/2)|: noise under 0.5

bool ClearSync(std::span<const float> window, const FrameGeometry& geometry, int loc) {
  double energy = 0.0;
  const double sum = SoftSync::Sum(window, geometry, loc, &energy);
  return energy > 0.0 && sum > kClearSync * std::sqrt(energy);
}

bool UnsureAsNoise(std::span<const float> coded) {
  double sure = 0.0;
  for (float v : coded) sure += std::abs(std::tanh(0.5 * v));
  return sure < kNoiseCertainty * static_cast<double>(coded.size());
}

}  // namespace

bool ReadSoftFrame(InterleaveLength length, std::span<const float> window,
                   std::span<const float> railsAfter, int loc, std::vector<float>& scratch,
                   std::vector<float>& coded) {
  const FrameGeometry& geo = Geometry(length);
  scratch.assign(window.begin(), window.end());
  const auto last = static_cast<int>(window.size()) - 1;
  auto rail = [&](int k) {
    return k >= 0 && k <= last ? railsAfter[static_cast<size_t>(k)] : 0.0f;
  };
  for (int i = 0; i <= kSyncGroups; ++i) {
    // Slot 31 holds 0, sent as +1; the next frame starts with PN value 0.
    const int p =
        loc + geo.groupSize * (i % kSyncGroups) + (i == kSyncGroups ? geo.frameLength : 0);
    const int known = i < kSyncGroups - 1 || i == kSyncGroups
                          ? SyncPattern()[static_cast<size_t>(i % kSyncGroups)]
                          : 1;
    // Symbol value v = -r0 r1: a known +1 makes the rail after it minus the one before.
    if (i < kSyncGroups && p + 1 <= last && p >= 1)
      scratch[static_cast<size_t>(p + 1)] = -BoxPlus(rail(p) - known * rail(p - 1), rail(p + 1));
    if (i > 0 && p - 1 >= 1 && p <= last)
      scratch[static_cast<size_t>(p - 1)] = -BoxPlus(rail(p - 2), rail(p - 1) - known * rail(p));
  }
  DeinterleaveFrame(length, scratch, loc, UnsentSymbol::Neutral, coded);
  if (!NeverBuiltFrame(coded)) return false;
  ReadAsIdle(coded);
  return true;
}

void ReadAsIdle(std::vector<float>& coded) {
  std::fill(coded.begin(), coded.end(), -kIdleLlr);
}

double HardSync::Correlate(std::span<const float> window, const FrameGeometry& geometry, int loc) {
  double s = 0.0;
  for (int i = 0; i < kSyncGroups; ++i) {
    s += SyncPattern()[static_cast<size_t>(i)] *
         window[static_cast<size_t>(loc + geometry.groupSize * i)];
  }
  return s * s;
}

void HardSync::Search(std::span<const float> window, const FrameGeometry& geometry,
                      std::span<float> correlations, double& peak, int& location) {
  float best = 0.0f;
  int bestLoc = 0;
  for (int loc = 0; loc <= geometry.frameLength; ++loc) {
    const float c = static_cast<float>(Correlate(window, geometry, loc));
    if (c > best) {
      best = c;
      bestLoc = loc;
    }
    correlations[static_cast<size_t>(loc)] = c;
  }
  peak = best;
  location = bestLoc;
}

double SoftSyncPeak(double sum, double energy, double full) {
  if (!(energy > 0.0)) return 0.0;
  const double z = sum / std::sqrt(energy);
  const double x = std::clamp((z - kNoiseFloor) / (full - kNoiseFloor), 0.0, 1.0);
  return 961.0 * x * x;
}

double SoftSync::Sum(std::span<const float> window, const FrameGeometry& geometry, int loc,
                     double* energy) {
  double s = 0.0, e = 0.0;
  for (int i = 0; i < kSyncGroups - 1; ++i) {  // slot 31 carries nothing
    const double v = window[static_cast<size_t>(loc + geometry.groupSize * i)];
    s += SyncPattern()[static_cast<size_t>(i)] * v;
    e += v * v;
  }
  if (energy) *energy = e;
  return s;
}

void SoftSync::Reset(size_t offsets) {
  sums_.assign(offsets, 0.0);
  energies_.assign(offsets, 0.0);
}

void SoftSync::Search(std::span<const float> window, const FrameGeometry& geometry,
                      std::span<float> correlations, double& peak, int& location) {
  double bestSum = -1e300;
  int bestLoc = 0;
  double bestPeak = 0.0;
  for (int loc = 0; loc <= geometry.frameLength; ++loc) {
    double energy = 0.0;
    const double s = Sum(window, geometry, loc, &energy);
    const auto i = static_cast<size_t>(loc);
    sums_[i] = kCarryOver * sums_[i] + s;
    energies_[i] = kCarryOver * kCarryOver * energies_[i] + energy;
    const double framePeak = FramePeak(s, energy, sums_[i], energies_[i]);
    if (sums_[i] > bestSum) {
      bestSum = sums_[i];
      bestLoc = loc;
      bestPeak = framePeak;
    }
    correlations[i] = static_cast<float>(framePeak);
  }
  peak = static_cast<float>(bestPeak);
  location = bestLoc;
}

template <class Rule>
FrameSync<Rule>::FrameSync(InterleaveLength length)
    : length_(length), geometry_(&Geometry(length)) {
  Reset();
}

template <class Rule>
void FrameSync<Rule>::Reset() {
  const auto frameLength = static_cast<size_t>(geometry_->frameLength);
  window_.assign(2 * frameLength, 0.0f);
  rails_.assign(Rule::kSoftFrame ? 2 * frameLength : 0, 0.0f);
  correlations_.assign(frameLength + 1, 0.0f);
  coded_.clear();
  rule_.Reset(correlations_.size());
  n_ = 0;
  searches_ = 0;
  syncPeak_ = 0.0;
  syncLocation_ = 0;
  idle_ = false;
  heard_ = true;
}

template <class Rule>
bool FrameSync<Rule>::Add(long double value, float railAfter) {
  const int frameLength = geometry_->frameLength;
  n_ = (n_ + 1) % frameLength;
  const auto older = static_cast<size_t>(n_), newer = static_cast<size_t>(frameLength + n_);
  window_[older] = window_[newer];
  window_[newer] = Rule::Value(value);
  if constexpr (Rule::kSoftFrame) {
    rails_[older] = rails_[newer];
    rails_[newer] = railAfter;
  }
  if (n_ != frameLength - 1) return false;
  ++searches_;
  rule_.Search(window_, *geometry_, correlations_, syncPeak_, syncLocation_);
  if constexpr (Rule::kSoftFrame) {
    idle_ = ReadSoftFrame(length_, window_, rails_, syncLocation_, scratch_, coded_);
    heard_ = true;
    // Nothing heard: its decoded bits come out in the next frame's time, maybe with the
    // squelch open, so they had better be the idle stream's nothing than noise's junk.
    if (syncPeak_ == 0.0) {
      ReadAsIdle(coded_);
      idle_ = true;
      heard_ = false;
    } else if (!ClearSync(window_, *geometry_, syncLocation_)) {
      // Noise may chance to read as a never-built frame; a real one's sync is clear.
      heard_ = !idle_ && !UnsureAsNoise(coded_);
    }
  } else {
    DeinterleaveFrame(length_, window_, syncLocation_, Rule::kUnsent, coded_);
  }
  return true;
}

template <class Rule>
FrameResult FrameSync<Rule>::result() const {
  return {length_, searches_, syncPeak_, syncLocation_, correlations_, coded_, idle_, heard_};
}

template class FrameSync<HardSync>;
template class FrameSync<SoftSync>;

}  // namespace vela
