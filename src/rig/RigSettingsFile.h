// The PTT method and rig settings, remembered in a small file of their own beside
// VELApreferences.INI, whose layout older versions still read. One "key=value" a line.
#pragma once

#include <string>

#include "rig/RigSettings.h"

namespace vela {

inline constexpr char kRigSettingsFileName[] = "VELArig.INI";

struct RigSettingsLoad {
  enum class Status { Read, Missing, Garbled };
  RigSettings settings;  // the default (serial DTR/RTS) unless Read
  Status status = Status::Missing;
  std::string message;  // Garbled: one line saying what was wrong and what is used instead
};

std::string FormatRigSettingsFile(const RigSettings& settings);
// Read or Garbled. Unknown keys are passed over (a later version may add some).
RigSettingsLoad ParseRigSettingsFile(const std::string& text);

// A missing file is the default without a word; a garbled one the default with a message.
RigSettingsLoad LoadRigSettings(const std::string& path);
// Written safely (see SafeFile): a crash or a full disk never leaves half a file, and the
// old file stays whole. False with a one-line `error` when it could not be written.
bool SaveRigSettings(const std::string& path, const RigSettings& settings, std::string* error);

}  // namespace vela
