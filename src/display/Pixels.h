// Colours, rectangles and a small RGB image shared by the receive displays. The pictures'
// arithmetic lives here, apart from the widgets, so the window only copies pixels or fills
// rectangles.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace vela {

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};

// A filled box in control pixels, left/top inclusive, width/height in pixels.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
  bool Empty() const { return width <= 0 || height <= 0; }
};

// Clips `r` to a control of `width` x `height`; an empty result has zero size.
inline PixelRect ClipRect(PixelRect r, int width, int height) {
  const int left = std::max(r.x, 0);
  const int top = std::max(r.y, 0);
  const int right = std::min(r.x + std::max(r.width, 0), width);
  const int bottom = std::min(r.y + std::max(r.height, 0), height);
  if (right <= left || bottom <= top) return PixelRect{};
  return PixelRect{left, top, right - left, bottom - top};
}

// Row-major RGB pixels, three bytes each with no padding, so a window can wrap the data
// as a 24-bit image (bytes per line = 3 * width) without copying.
class PixelImage {
 public:
  PixelImage(int width, int height, Rgb fill = kBlack)
      : width_(std::max(width, 0)),
        height_(std::max(height, 0)),
        pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), fill) {}

  int width() const { return width_; }
  int height() const { return height_; }

  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  // Off-image coordinates are ignored, as a drawing surface clips them.
  void SetPixel(int x, int y, Rgb c) {
    if (Contains(x, y)) pixels_[Index(x, y)] = c;
  }
  Rgb Pixel(int x, int y) const { return Contains(x, y) ? pixels_[Index(x, y)] : kBlack; }

  void Fill(Rgb c) { std::fill(pixels_.begin(), pixels_.end(), c); }
  void FillRect(PixelRect r, Rgb c) {
    r = ClipRect(r, width_, height_);
    for (int y = r.y; y < r.y + r.height; ++y) {
      auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(Index(r.x, y));
      std::fill(row, row + r.width, c);
    }
  }

  // Row y, 0 <= y < height().
  std::span<Rgb> Row(int y) { return {pixels_.data() + Index(0, y), static_cast<size_t>(width_)}; }
  std::span<const Rgb> Row(int y) const {
    return {pixels_.data() + Index(0, y), static_cast<size_t>(width_)};
  }
  std::span<const Rgb> pixels() const { return pixels_; }
  std::span<Rgb> pixels() { return pixels_; }
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(pixels_.data()); }

 private:
  size_t Index(int x, int y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
  }

  int width_;
  int height_;
  std::vector<Rgb> pixels_;
};

static_assert(sizeof(Rgb) == 3, "pixels are packed 24-bit RGB");

}  // namespace vela
