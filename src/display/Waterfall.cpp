#include "display/Waterfall.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vela {
namespace {

uint8_t Component(int value) {
  return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// Far enough off any screen, small enough to add widths to without overflow.
constexpr double kFarColumn = 1.0e6;

}  // namespace

const std::array<Rgb, 257>& WaterfallPalette() {
  static const std::array<Rgb, 257> palette = [] {
    std::array<Rgb, 257> p{};  // 255 and 256 stay black
    for (int i = 0; i <= 63; ++i) p[static_cast<size_t>(i)] = {0, 0, Component(4 * i)};
    for (int i = 64; i <= 127; ++i) p[static_cast<size_t>(i)] = {0, Component(4 * (i - 64)), 255};
    for (int i = 128; i <= 191; ++i) {
      p[static_cast<size_t>(i)] = {Component(4 * (i - 128)), 255, Component(256 - 4 * (i - 128))};
    }
    for (int i = 192; i <= 254; ++i)
      p[static_cast<size_t>(i)] = {255, 255, Component(4 * (i - 192))};
    // Each ramp ends on its full value.
    p[63].b = 255;
    p[127].g = 255;
    p[191].r = 255;
    p[191].b = 0;
    p[254].b = 255;
    return p;
  }();
  return palette;
}

Rgb WaterfallColour(float magnitude, int paletteSwitch) {
  return WaterfallValueColour(magnitude / 3.0f, paletteSwitch);
}

Rgb WaterfallValueColour(float v, int paletteSwitch) {
  if (!(v >= 0.0f)) v = 0.0f;  // NaN or negative: no signal
  v = std::min(v, 255.0f);
  if (paletteSwitch == kPaletteColouring) {
    // Weak bins (v below 1) would index -1; black matches the start of the palette.
    if (v < 1.0f) return kBlack;
    return WaterfallPalette()[static_cast<size_t>(std::floor(v)) - 1];
  }
  const auto level = [](float x) {
    return Component(static_cast<int>(std::nearbyint(std::min(x, 255.0f))));
  };
  return {level(v), level(v), level(1.7f * v)};
}

void WaterfallLine(std::span<const float, kSpectrumBins> magnitudes, int paletteSwitch,
                   WaterfallLineColours& line) {
  for (size_t i = 0; i < kWaterfallBins; ++i) {
    line[i] = WaterfallColour(magnitudes[kWaterfallFirstBin + i], paletteSwitch);
  }
}

WaterfallImage::WaterfallImage(int width, int height)
    : image_(std::max(width, 0), std::max(height, 0) + 1) {}

WaterfallImage WaterfallImage::Resized(int height) const {
  WaterfallImage resized(width(), height);
  const int rows = std::min(this->height(), resized.height());
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width(); ++x) resized.image_.SetPixel(x, y + 1, Pixel(x, y));
  }
  return resized;
}

void WaterfallImage::Shift(int columns) {
  const int w = image_.width();
  if (columns == 0 || w == 0) return;
  for (int y = 0; y < image_.height(); ++y) {
    const auto row = image_.Row(y);
    if (columns >= w || columns <= -w) {
      std::fill(row.begin(), row.end(), kBlack);
    } else if (columns > 0) {
      std::copy_backward(row.begin(), row.end() - columns, row.end());
      std::fill(row.begin(), row.begin() + columns, kBlack);
    } else {
      std::copy(row.begin() - columns, row.end(), row.begin());
      std::fill(row.end() + columns, row.end(), kBlack);
    }
  }
}

void WaterfallImage::Clear() {
  image_.Fill(kBlack);
}

void WaterfallImage::AddLine(std::span<const Rgb, kWaterfallBins> line) {
  if (image_.width() == 0) return;
  auto top = image_.Row(0);
  const size_t n = std::min(top.size(), line.size());
  std::copy_n(line.begin(), n, top.begin());
  // One block move of the whole image, one row down; the bottom row falls off.
  auto all = image_.pixels();
  const size_t rowPixels = static_cast<size_t>(image_.width());
  std::memmove(all.data() + rowPixels, all.data(), (all.size() - rowPixels) * sizeof(Rgb));
}

const uint8_t* WaterfallImage::ShownBytes() const {
  return image_.bytes() + static_cast<size_t>(image_.width()) * sizeof(Rgb);
}

double ScreenColumnFrequency(int x) {
  return kWaterfallBaseHz + kHzPerScreenColumn * x;
}

int ScreenColumnBin(int x) {
  // Floor division so a column left of the image maps below bin 32, not onto it.
  const int half = x >= 0 ? x / 2 : -((1 - x) / 2);
  return half + kWaterfallFirstBin;
}

int FrequencyScreenColumn(double hz) {
  double column = std::nearbyint((hz - kWaterfallBaseHz) / kHzPerScreenColumn);
  if (std::isnan(column)) column = -kFarColumn;
  return static_cast<int>(std::clamp(column, -kFarColumn, kFarColumn));
}

}  // namespace vela
