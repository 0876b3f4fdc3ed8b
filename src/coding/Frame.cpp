#include "coding/Frame.h"

namespace vela {

const std::array<int, 33>& SyncPattern() {
  static constexpr std::array<int, 33> pattern = {+1, -1, +1, -1, -1, +1, +1, -1, -1, -1, -1,
                                                  -1, +1, +1, +1, -1, -1, +1, -1, -1, -1, +1,
                                                  -1, +1, -1, +1, +1, +1, +1, -1, +1, 0,  0};
  return pattern;
}

const FrameGeometry& Geometry(InterleaveLength length) {
  static constexpr FrameGeometry kShort = {96, 4, 127, 128, 48};
  static constexpr FrameGeometry kLong = {192, 7, 223, 224, 96};
  return length == InterleaveLength::Short ? kShort : kLong;
}

void BuildFrameImage(InterleaveLength length, std::span<const int> t, std::span<int> image) {
  const FrameGeometry& geo = Geometry(length);
  const int g = geo.groupSize;
  for (int group = 0; group < kSyncGroups; ++group) {
    image[static_cast<size_t>(g * group)] = SyncPattern()[static_cast<size_t>(group)];
    for (int j = 1; j < g; ++j) {
      image[static_cast<size_t>(g * group + j)] = t[static_cast<size_t>((g - 1) * group + j - 1)];
    }
  }
}

}  // namespace vela
