// What to tell an operator whose user may not open a device (a serial port, a hidraw
// device): Linux gives such devices to a group, and joining it is the fix.
#pragma once

#include <string>

namespace vela {

// "Permission denied on PATH: add your user to group 'dialout' and log in again" (without
// the advice when the device's group cannot be found).
std::string PermissionDeniedMessage(const std::string& path);

}  // namespace vela
