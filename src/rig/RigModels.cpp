#include "rig/RigModels.h"

#include <hamlib/rig.h>

#include <algorithm>
#include <cstdlib>

namespace vela {

namespace {

int CollectModel(const rig_caps* caps, rig_ptr_t data) {
  auto* models = static_cast<std::vector<RigModel>*>(data);
  models->push_back({static_cast<int>(caps->rig_model),
                     caps->mfg_name != nullptr ? caps->mfg_name : "",
                     caps->model_name != nullptr ? caps->model_name : ""});
  return 1;  // go on
}

std::vector<RigModel> ReadRigModels() {
  std::vector<RigModel> models;
  const std::lock_guard lock(HamlibLock());
  rig_load_all_backends();
  rig_list_foreach(CollectModel, &models);
  std::sort(models.begin(), models.end(),
            [](const RigModel& a, const RigModel& b) { return a.number < b.number; });
  return models;
}

}  // namespace

std::mutex& HamlibLock() {
  static std::mutex mutex;
  static const bool quiet = [] {
    const char* level = std::getenv("VELA_HAMLIB_DEBUG");
    const int n = level != nullptr ? std::atoi(level) : 0;
    rig_set_debug(static_cast<rig_debug_level_e>(std::clamp(n, 0, 5)));
    return true;
  }();
  (void)quiet;
  return mutex;
}

const std::vector<RigModel>& RigModels() {
  static const std::vector<RigModel> models = ReadRigModels();
  return models;
}

}  // namespace vela
