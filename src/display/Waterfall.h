// The waterfall: one line of 231 colours per capture buffer (bins 32..262, 250 Hz to about
// 2047 Hz), scrolled down an image; and the mapping between screen columns and audio
// frequency that the scale and click tuning share.
//
// Screen geometry: the image is shown stretched to twice its width, so screen column x
// shows image column x / 2, which is bin x / 2 + 32, at 250 + 3.90625 * x Hz. A bin is two
// screen columns wide; the even column of the pair is exactly the bin's frequency.
#pragma once

#include <array>
#include <span>

#include "display/Pixels.h"
#include "rx/Spectrum.h"

namespace vela {

inline constexpr int kWaterfallFirstBin = 32;
inline constexpr int kWaterfallBins = 231;  // bins 32..262
inline constexpr double kWaterfallBaseHz = 250.0;
inline constexpr double kHzPerScreenColumn = 8000.0 / 1024.0 / 2.0;  // 3.90625

// The colouring chosen by "Toggle waterfall palette": 1 = palette (start-up), 0 = blue-grey.
inline constexpr int kPaletteColouring = 1;
inline constexpr int kBlueGreyColouring = 0;

// 257 colours: black->blue 0..63, blue->cyan 64..127, cyan->yellow 128..191,
// yellow->white 192..254; 255 and 256 black and unused.
const std::array<Rgb, 257>& WaterfallPalette();

// Colour of one bin from its magnitude (the spectrum value, already divided by 100).
// v = magnitude / 3 capped at 255; palette entry floor(v) - 1, black below v = 1.
Rgb WaterfallColour(float magnitude, int paletteSwitch);
// The same from the palette value v itself (magnitude / 3 above).
Rgb WaterfallValueColour(float v, int paletteSwitch);

using WaterfallLineColours = std::array<Rgb, kWaterfallBins>;

// The colours of bins 32..262 for one new line.
void WaterfallLine(std::span<const float, kSpectrumBins> magnitudes, int paletteSwitch,
                   WaterfallLineColours& line);

// The off-screen waterfall. Image row 0 is where a new line is set; the image then scrolls
// down one row, so the newest line is also in row 1. The screen shows rows 1..height, so
// the image holds height + 1 rows and every screen row has real pixels. Columns past 230
// are never drawn and stay black.
class WaterfallImage {
 public:
  // width x height are the image's pixels as shown before the 2x horizontal stretch.
  WaterfallImage(int width, int height);

  int width() const { return image_.width(); }
  int height() const { return image_.height() - 1; }  // rows shown

  // Sets the line into row 0, then shifts the image down one row; the bottom row is lost.
  void AddLine(std::span<const Rgb, kWaterfallBins> line);
  // The history moved `columns` image columns right (left when negative), as when the
  // span's centre moves; columns coming in are black.
  void Shift(int columns);
  void Clear();
  // The same history at another height (the window resized): the newest rows, as many as
  // fit, the rest black.
  WaterfallImage Resized(int height) const;

  // Shown row y (0 = top, newest) at image column x.
  Rgb Pixel(int x, int y) const { return image_.Pixel(x, y + 1); }
  // What screen column x (of the 2x stretched display) shows in row y.
  Rgb ScreenPixel(int x, int y) const { return Pixel(x >= 0 ? x / 2 : -1, y); }

  // The shown rows as packed 24-bit RGB: width() * height() pixels, row-major.
  const uint8_t* ShownBytes() const;
  const PixelImage& image() const { return image_; }

 private:
  PixelImage image_;
};

// Screen column <-> frequency and bin. Columns left of 0 or past the image are allowed in
// the arithmetic; callers clip.
double ScreenColumnFrequency(int x);  // 250 + 3.90625 * x
int ScreenColumnBin(int x);           // x / 2 + 32 for x >= 0
// The screen column showing `hz`, rounded to the nearest column (ties to even). Wild values
// (out of range, NaN) give a column far off either side rather than overflowing.
int FrequencyScreenColumn(double hz);

}  // namespace vela
