#include "cli/PttOption.h"

#include "cli/Options.h"
#include "platform/SerialPtt.h"

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
  return rig;
}

std::unique_ptr<RigControl> OpenRig(const RigSettings& settings) {
  auto rig = std::make_unique<RigControl>();
  if (!rig->Open(settings)) throw IoError("rig: " + rig->error());
  return rig;
}

}  // namespace vela::cli
