// Soft-in soft-out pass over the rails of one frame. MSK sent as FSK is offset QPSK in which
// each symbol is the product of the two rail values either side of it (+1, the lower tone,
// when they differ in sign), so the rails form a two-state chain: forward and backward over
// it, every rail's own log-likelihood ratio joins in, each symbol's a-priori value links its
// two rails, and a known symbol (a PN value, slot 31's +1, the next frame's first PN value)
// links them for sure. What the chain says about each symbol beyond its own a-priori value
// goes to the code decoder; the code decoder's view of each data symbol comes back as its
// a-priori value on the next pass.
#pragma once

#include <span>
#include <vector>

namespace vela {

// A-priori value of a symbol known to be +1 (-ve: -1): certain, yet finite.
inline constexpr float kKnownSymbol = 1000.0f;

class RailDecoder {
 public:
  // `rails`: n + 1 rail values (+ve = +1), rail k before symbol k and after symbol k - 1;
  // `prior`: n symbol values (+ve = +1). Writes `extrinsic` (n).
  void Pass(std::span<const float> rails, std::span<const float> prior, std::span<float> extrinsic);

 private:
  std::vector<float> forward_;   // each rail from its own value and everything before it
  std::vector<float> backward_;  // each rail from everything after it
};

}  // namespace vela
