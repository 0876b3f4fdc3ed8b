// The demodulator's filter tables. FirTaps25, FirTaps50 and SymbolTaps86 are fixed
// coefficient lists; FirTaps100 and FirTaps200 are designed at start-up as Kaiser-windowed
// sincs whose response edges and DC gain match the fixed ones scaled to their length.
#pragma once

#include <vector>

namespace vela {

const std::vector<long double>& FirTaps25();
const std::vector<long double>& FirTaps50();
const std::vector<long double>& FirTaps100();
const std::vector<long double>& FirTaps200();
const std::vector<long double>& SymbolTaps86();

// The first-stage table for a filter length of 25, 50, 100 or 200.
const std::vector<long double>& FirstStageTaps(int length);

}  // namespace vela
