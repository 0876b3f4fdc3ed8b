#include "rig/RigFrequency.h"

namespace vela {

Sideband SidebandOf(const std::string& mode) {
  if (mode == "LSB" || mode == "PKTLSB" || mode == "CWR" || mode == "RTTYR") {
    return Sideband::Lower;
  }
  return Sideband::Upper;
}

double RfFrequency(double audioHz, double dialHz, const std::string& mode,
                   int64_t converterOffsetHz) {
  const double tone = SidebandOf(mode) == Sideband::Lower ? -audioHz : audioHz;
  return dialHz + tone + static_cast<double>(converterOffsetHz);
}

}  // namespace vela
