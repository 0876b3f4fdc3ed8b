#include "display/CorrelationDisplay.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vela {

uint8_t CorrelationGrey(float c) {
  if (!(c > 0.0f)) return 255;  // no correlation (or a NaN)
  const float g = std::nearbyint(255.0f - 6.0f * std::sqrt(c));
  return static_cast<uint8_t>(std::clamp(g, 0.0f, 255.0f));
}

void CorrelationGreys(std::span<const float> correlations, std::span<uint8_t> greys) {
  const size_t n = std::min(correlations.size(), greys.size());
  for (size_t i = 0; i < n; ++i) greys[i] = CorrelationGrey(correlations[i]);
}

void DrawCorrelationRow(int row, std::span<const uint8_t> greys, PixelImage& image) {
  for (size_t loc = 0; loc < greys.size(); ++loc) {
    const Rgb colour{greys[loc], greys[loc], greys[loc]};
    const int x = 2 * static_cast<int>(loc);
    image.SetPixel(x, row, colour);
    image.SetPixel(x + 1, row, colour);
  }
}

int ConfidencePercent(double syncPeak) {
  if (!(syncPeak > 0.0)) return 0;
  return static_cast<int>(std::lround(std::min(syncPeak, 1.0e6) / 961.0 * 100.0));
}

std::string CorrelationCaption(double syncPeak, int location) {
  char number[16];
  std::string caption = "Correlator sync confidence = ";
  auto end = std::to_chars(number, number + sizeof number, ConfidencePercent(syncPeak)).ptr;
  caption.append(number, end);
  caption.append("%                 Sync start location = ");
  // A non-negative number is written with a leading space where its sign would go.
  if (location >= 0) caption.push_back(' ');
  end = std::to_chars(number, number + sizeof number, location).ptr;
  caption.append(number, end);
  return caption;
}

}  // namespace vela
