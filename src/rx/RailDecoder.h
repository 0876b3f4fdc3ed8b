// Soft-in soft-out pass over the rails of one frame. MSK sent as FSK is offset QPSK in which
// each symbol is the product of the two rail values either side of it (+1, the lower tone,
// when they differ in sign), so the rails form a two-state chain: forward and backward over
// it, every rail's own log-likelihood ratio joins in, each symbol's a-priori value links its
// two rails, and a known symbol (a PN value, slot 31's +1, the next frame's first PN value)
// links them for sure. What the chain says about each symbol beyond its own a-priori value
// goes to the code decoder; the code decoder's view of each data symbol comes back as its
// a-priori value on the next pass.
//
// The carrier reference the rails are read against can turn over between two rails: under
// slow fading the phase estimate lags the path's phase, and a few per cent of symbols read
// wrong even from a strong signal. Each link is therefore taken to be turned over with a
// small probability, and the extrinsic value is that of the link as the rails see it (the
// symbol times any turn-over), as a receiver that multiplies adjacent rails reads it.
// Without the turn-over, once the code's values are sure, the chain carries one side of a
// turn-over across the whole frame and overrules the symbols on the other side; with it,
// a turn-over costs about the one symbol it falls on.
#pragma once

#include <span>
#include <vector>

namespace vela {

// A-priori value of a symbol known to be +1 (-ve: -1): certain, yet finite.
inline constexpr float kKnownSymbol = 1000.0f;
// Log-likelihood ratio against the reference turning over between two adjacent rails, at
// VELA8's symbol rate.
inline constexpr float kRailTurnOver = 3.0f;

class RailDecoder {
 public:
  explicit RailDecoder(float turnOver = kRailTurnOver) : turnOver_(turnOver) {}
  void SetTurnOver(float turnOver) { turnOver_ = turnOver; }

  // `rails`: n + 1 rail values (+ve = +1), rail k before symbol k and after symbol k - 1;
  // `prior`: n symbol values (+ve = +1). Writes `extrinsic` (n): each link's value from
  // everything but its own a-priori value.
  void Pass(std::span<const float> rails, std::span<const float> prior, std::span<float> extrinsic);

 private:
  float turnOver_;
  std::vector<float> link_;      // each symbol's a-priori value as a link between its rails
  std::vector<float> forward_;   // each rail from its own value and everything before it
  std::vector<float> backward_;  // each rail from everything after it
};

}  // namespace vela
