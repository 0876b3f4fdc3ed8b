// The S/N bar's figure, the same for both receivers: 10 ln of the baseband amplitude
// (in tens) averaged over about a hundred quarter symbols, and a redraw every tenth.
#pragma once

#include <cmath>

namespace vela {

class LevelMeter {
 public:
  // One quarter symbol's baseband amplitude; true when the bars are due a redraw.
  bool Add(long double amplitude) {
    average_ = (99.0L * average_ + std::nearbyint(amplitude / 10.0L)) / 100.0L;
    // Before any signal the average is 0 and its logarithm -inf: the bar then shows 1.
    const long double level = std::nearbyint(10.0L * std::log(average_));
    level_ = level >= 1.0L ? static_cast<int>(level) : 1;
    if (++sinceRefresh_ < kRefreshEvery) return false;
    sinceRefresh_ = 0;
    return true;
  }
  // At least 1 once a value has come in; 0 before.
  int level() const { return level_; }

 private:
  static constexpr int kRefreshEvery = 10;
  long double average_ = 0.0L;
  int level_ = 0;
  int sinceRefresh_ = 0;
};

}  // namespace vela
