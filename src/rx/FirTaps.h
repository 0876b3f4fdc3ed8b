// The demodulator's filter tables. FirTaps25, FirTaps50 and SymbolTaps86 are fixed
// coefficient lists; FirTaps100 and FirTaps200 are designed at start-up as Kaiser-windowed
// sincs, the same design that gives FirTaps50, so the slower modes get the same response
// shape scaled down to their narrower signal.
#pragma once

#include <vector>

namespace vela {

// Each table holds its coefficients in the order they weight the samples, oldest first.
// FirTaps50, FirTaps100 and FirTaps200 hold one coefficient more than the filter uses (the
// last equals the first); the demodulator uses only the first 50, 100 or 200.
const std::vector<long double>& FirTaps25();
const std::vector<long double>& FirTaps50();
const std::vector<long double>& FirTaps100();
const std::vector<long double>& FirTaps200();
const std::vector<long double>& SymbolTaps86();

// The first-stage table for a filter length of 25, 50, 100 or 200; FirTaps50 otherwise.
const std::vector<long double>& FirstStageTaps(int length);

// Kaiser window shape for about 60 dB of stop-band rejection.
inline constexpr long double kKaiserBeta = 5.65326L;

// A low-pass of `points` coefficients (odd), centred on the middle one: a sinc with its
// cutoff at `cutoff` cycles per sample, shaped by a Kaiser window of `kKaiserBeta` spanning
// all the points, scaled so the coefficients sum to exactly 1 (unit gain at DC).
std::vector<long double> KaiserLowPass(int points, long double cutoff);

}  // namespace vela
