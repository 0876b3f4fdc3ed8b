#include "cli/RigCommands.h"

#include <cstdio>

#include "cli/Options.h"
#include "cli/PttOption.h"
#include "rig/RigModels.h"

namespace vela::cli {

int RunRig(int argc, char** argv) {
  const Options opt(argc, argv, 2, {"ptt"}, {});
  if (!opt.positional().empty())
    throw UsageError("unexpected argument \"" + opt.positional()[0] + "\"");
  // A rig shared through rigctld on this computer is the usual case with no --ptt.
  const std::string value = opt.Get("ptt").value_or("rigctld");
  const RigSettings settings = PttSettingsOption(value);
  if (!HasDial(settings)) {
    throw UsageError("rig: --ptt " + value +
                     " names no rig with a dial; give cat:MODEL:DEVICE[:BAUD] or "
                     "rigctld[:HOST[:PORT]]");
  }
  const auto rig = OpenRig(settings);
  const RigReading reading = rig->ReadDial();
  if (!reading.ok) throw IoError("rig: " + reading.error);
  std::printf("dial %.0f Hz mode %s\n", reading.dialHz, reading.mode.c_str());
  return 0;
}

int RunRigModels() {
  for (const RigModel& m : RigModels()) {
    std::printf("%d\t%s\t%s\n", m.number, m.manufacturer.c_str(), m.name.c_str());
  }
  return 0;
}

}  // namespace vela::cli
