// Block interleavers: the coded bits of a frame written into 12 rows and read by columns.
#pragma once

#include <span>
#include <vector>

#include "coding/Modes.h"

namespace vela {

const std::vector<int>& ShortInterleave();  // 96 entries: 8*(k mod 12) + k div 12
const std::vector<int>& LongInterleave();   // 192 entries: 16*(k mod 12) + k div 12
const std::vector<int>& InterleaveTable(InterleaveLength length);

// t[k] = c[table[k]]: encoder order into transmission order.
template <typename T>
void Interleave(const std::vector<int>& table, std::span<const T> c, std::span<T> t) {
  for (size_t k = 0; k < table.size(); ++k) t[k] = c[static_cast<size_t>(table[k])];
}

// c[table[k]] = t[k]: transmission order back into encoder order.
template <typename T>
void Deinterleave(const std::vector<int>& table, std::span<const T> t, std::span<T> c) {
  for (size_t k = 0; k < table.size(); ++k) c[static_cast<size_t>(table[k])] = t[k];
}

}  // namespace vela
