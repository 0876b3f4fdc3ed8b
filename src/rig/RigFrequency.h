// The frequency on air of a tone in the receiver's audio, from what the rig's dial and mode
// say: a report on 2200 m or 630 m names the RF frequency to the hertz, not the tone.
#pragma once

#include <cstdint>
#include <string>

namespace vela {

// Which way an audio tone lies from the dial in the rig's mode (Hamlib's mode names: USB,
// LSB, CW, PKTUSB, ...). Lower: LSB, PKTLSB (data on LSB), CWR and RTTYR (reversed CW and
// RTTY listen on the lower side). Every other mode, CW, AM and FM included, is taken as
// upper: the dial plus the tone, which is what a rig in CW shows when its CW pitch is zero;
// a CW pitch set on the rig is not known here and shifts the result by that much.
enum class Sideband { Upper, Lower };
Sideband SidebandOf(const std::string& mode);

// The RF frequency of an audio tone of `audioHz`: dial + audio (upper) or dial - audio
// (lower), plus the transverter or converter offset.
double RfFrequency(double audioHz, double dialHz, const std::string& mode,
                   int64_t converterOffsetHz);

}  // namespace vela
