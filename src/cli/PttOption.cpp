#include "cli/PttOption.h"

#include <cstdio>

#include "cli/Options.h"
#include "rig/PttGuard.h"
#include "rig/SerialPtt.h"

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
  if (settings.method == PttMethod::SerialDtrRts) {
    auto serial = std::make_unique<SerialPtt>();
    const bool opened = settings.pttSerialDevice.empty()
                            ? serial->Open(settings.comPort)
                            : serial->OpenDevice(settings.pttSerialDevice);
    if (!opened) throw IoError("PTT: " + serial->error());
    return serial;
  }
  auto rig = std::make_unique<RigControl>();
  if (!rig->Open(settings)) throw IoError("PTT: " + rig->error());
  auto guarded = std::make_unique<GuardedPtt>(std::move(rig), settings);
  if (const std::string& noGuard = guarded->guard().error(); !noGuard.empty()) {
    std::fprintf(stderr, "vela-modem: %s: PTT is released on a signal, but not after a crash\n",
                 noGuard.c_str());
  }
  return guarded;
}

std::unique_ptr<RigControl> OpenRig(const RigSettings& settings) {
  auto rig = std::make_unique<RigControl>();
  if (!rig->Open(settings)) throw IoError("rig: " + rig->error());
  return rig;
}

}  // namespace vela::cli
