// Soft-in soft-out decoder for the K=7 code: forward-backward over the same 256-state
// trellis and encoder table the Viterbi decoder uses, in the log domain with the exact
// Jacobian correction (from a table). Given each code bit's log-likelihood ratio it gives
// every data bit's a-posteriori ratio and, for each code bit, what the code alone says about
// it (the extrinsic value: the a-posteriori ratio less the one it was given), which the
// iterative receiver hands back to the rail pass.
#pragma once

#include <array>
#include <span>
#include <vector>

namespace vela {

class CodeDecoder {
 public:
  static constexpr int kStates = 256;
  // Forward state metrics (log domain, relative).
  using Metrics = std::array<float, kStates>;
  // Every state equally likely: a decoder that has heard nothing yet.
  static Metrics Uniform() { return Metrics{}; }

  // `code`: 2n code-bit values in encoder order (+ve = 1), first and second bit of each
  // pair; `start`: the forward metrics before the first pair; the end is left open. Writes
  // `extrinsic` (2n) and `data` (n, +ve = 1). If `kept` is given, the forward metrics
  // before pair `keepAt` go there (where the next block of pairs starts).
  void Decode(std::span<const float> code, const Metrics& start, std::span<float> extrinsic,
              std::span<float> data, int keepAt = 0, Metrics* kept = nullptr);

 private:
  std::vector<Metrics> alpha_;  // before each pair, and after the last
};

}  // namespace vela
