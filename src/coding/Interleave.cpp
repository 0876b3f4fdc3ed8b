#include "coding/Interleave.h"

namespace vela {
namespace {

std::vector<int> BuildTable(int columns) {
  std::vector<int> table(static_cast<size_t>(12 * columns));
  for (int k = 0; k < 12 * columns; ++k)
    table[static_cast<size_t>(k)] = columns * (k % 12) + k / 12;
  return table;
}

}  // namespace

const std::vector<int>& ShortInterleave() {
  static const std::vector<int> table = BuildTable(8);
  return table;
}

const std::vector<int>& LongInterleave() {
  static const std::vector<int> table = BuildTable(16);
  return table;
}

const std::vector<int>& InterleaveTable(InterleaveLength length) {
  return length == InterleaveLength::Short ? ShortInterleave() : LongInterleave();
}

}  // namespace vela
