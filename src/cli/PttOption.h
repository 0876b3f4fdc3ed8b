// The transmitter's PTT as vela-modem's --ptt names it: a serial port's DTR and RTS (COMn or
// a device path), none (VOX), or a rig through Hamlib (cat:..., rigctld[...], cm108:...).
#pragma once

#include <memory>
#include <string>

#include "rig/RigControl.h"
#include "rig/RigSettings.h"
#include "station/PttControl.h"

namespace vela::cli {

// The settings a --ptt value stands for; UsageError with the one-line reason when the form
// is wrong.
RigSettings PttSettingsOption(const std::string& value);
// Opens the PTT `value` names (a serial port with both lines dropped): nullptr for none. A
// rig comes with its guard (rig/PttGuard.h), which releases it should the program die
// keyed. UsageError for a wrong form, IoError ("PTT: <reason>") when the port or the rig
// cannot be opened.
std::unique_ptr<PttControl> OpenPttOption(const std::string& value);
// Connects to the rig `settings` name; IoError ("rig: <reason>") when it cannot.
std::unique_ptr<RigControl> OpenRig(const RigSettings& settings);

}  // namespace vela::cli
