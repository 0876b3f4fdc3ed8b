#include "scan/ScanSignal.h"

namespace vela {

std::string_view ScanSignal::LastLine() const {
  std::string_view t = text;
  if (!t.empty() && t.back() == '\n') t.remove_suffix(1);
  const size_t cut = t.rfind('\n');
  return cut == std::string_view::npos ? t : t.substr(cut + 1);
}

}  // namespace vela
