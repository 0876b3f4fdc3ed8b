// The rigs Hamlib can control, for the rig model picker and `vela-modem devices --rigs`.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace vela {

struct RigModel {
  int number = 0;  // what the settings and cat:MODEL:... take
  std::string manufacturer;
  std::string name;
};

// Every model of every Hamlib backend, by number; read from Hamlib once.
const std::vector<RigModel>& RigModels();

// Hamlib's backend registry and debug level are process-wide: creating and freeing rigs and
// listing models take this lock, whichever thread does it. The first call also silences
// Hamlib's own chatter on stderr (VELA_HAMLIB_DEBUG=1 to 5 brings it back for a rig that
// will not talk).
std::mutex& HamlibLock();

}  // namespace vela
