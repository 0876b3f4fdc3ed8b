#include "rig/DevicePermission.h"

#include <grp.h>
#include <sys/stat.h>

namespace vela {

namespace {

std::string GroupOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return {};
  const group* g = getgrgid(st.st_gid);
  return g != nullptr ? g->gr_name : std::to_string(st.st_gid);
}

}  // namespace

std::string PermissionDeniedMessage(const std::string& path) {
  const std::string group = GroupOf(path);
  return "Permission denied on " + path +
         (group.empty() ? std::string()
                        : ": add your user to group '" + group + "' and log in again");
}

}  // namespace vela
