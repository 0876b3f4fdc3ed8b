#include "rx/RailDecoder.h"

#include "rx/EnhancedDemodulator.h"

namespace vela {

void RailDecoder::Pass(std::span<const float> rails, std::span<const float> prior,
                       std::span<float> extrinsic) {
  const size_t n = prior.size();
  const double turnOver = turnOver_;
  link_.resize(n);
  forward_.resize(n + 1);
  backward_.resize(n + 1);
  for (size_t k = 0; k < n; ++k) link_[k] = static_cast<float>(BoxPlus(prior[k], turnOver));
  // Symbol k = -(rail k) (rail k + 1): a rail seen through a symbol is the other rail's value
  // combined with the symbol's, sign turned.
  forward_[0] = rails[0];
  for (size_t k = 0; k < n; ++k)
    forward_[k + 1] = rails[k + 1] - static_cast<float>(BoxPlus(link_[k], forward_[k]));
  backward_[n] = 0.0f;
  for (size_t k = n; k-- > 0;)
    backward_[k] = -static_cast<float>(BoxPlus(link_[k], rails[k + 1] + backward_[k + 1]));
  for (size_t k = 0; k < n; ++k)
    extrinsic[k] = -static_cast<float>(BoxPlus(forward_[k], rails[k + 1] + backward_[k + 1]));
}

}  // namespace vela
