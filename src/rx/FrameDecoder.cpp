#include "rx/FrameDecoder.h"

#include <cmath>

#include "coding/Interleave.h"

namespace vela {

void DeinterleaveFrame(InterleaveLength length, const std::vector<double>& window, int loc,
                       std::vector<double>& coded) {
  const FrameGeometry& geo = Geometry(length);
  const auto& table = InterleaveTable(length);
  const int g = geo.groupSize;
  coded.assign(static_cast<size_t>(geo.codedSymbols), 0.0);
  for (int i = 0; i < kSyncGroups; ++i) {
    for (int j = 1; j < g; ++j) {
      const size_t pos = static_cast<size_t>(loc + g * i + j);
      const double v = pos < window.size() ? window[pos] : 0.0;
      coded[static_cast<size_t>(table[static_cast<size_t>((g - 1) * i + j - 1)])] = v;
    }
  }
}

void DecodeFrame(InterleaveLength length, const std::vector<double>& window, int loc,
                 ViterbiDecoder& viterbi, std::vector<double>& coded,
                 const std::function<void(int)>& bitSink) {
  DeinterleaveFrame(length, window, loc, coded);
  for (size_t m = 0; m + 1 < coded.size(); m += 2) {
    const int r0 = static_cast<int>(std::nearbyint(coded[m]));
    const int r1 = static_cast<int>(std::nearbyint(coded[m + 1]));
    bitSink(viterbi.Decode(r0, r1));
  }
}

}  // namespace vela
