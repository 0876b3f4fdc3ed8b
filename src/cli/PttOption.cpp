#include "cli/PttOption.h"

#include <cstdio>

#include "cli/Options.h"
#include "rig/RigControl.h"
#include "rig/StationPtt.h"

namespace vela::cli {

RigSettings PttSettingsOption(const std::string& value) {
  std::string reason;
  const auto settings = ParsePttOption(value, &reason);
  if (!settings) throw UsageError(reason);
  return *settings;
}

std::unique_ptr<PttControl> OpenPttOption(const std::string& value) {
  const RigSettings settings = PttSettingsOption(value);
  if (settings.method == PttMethod::Vox) return nullptr;
  auto ptt = std::make_unique<StationPtt>();
  ptt->Open(settings);
  if (!ptt->opened()) throw IoError("PTT: " + ptt->error());
  if (const std::string noGuard = ptt->guardError(); !noGuard.empty()) {
    std::fprintf(stderr, "vela-modem: %s: PTT is released on a signal, but not after a crash\n",
                 noGuard.c_str());
  }
  return ptt;
}

std::unique_ptr<RigControl> OpenRig(const RigSettings& settings) {
  auto rig = std::make_unique<RigControl>();
  if (!rig->Open(settings)) throw IoError("rig: " + rig->error());
  return rig;
}

}  // namespace vela::cli
