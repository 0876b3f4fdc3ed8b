#include "support/Vectors.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vela::test {

std::string VectorPath(const std::string& name) {
  return std::string(VELA_VECTORS_DIR) + "/" + name;
}

std::string ReadVectorFile(const std::string& name) {
  std::ifstream in(VectorPath(name), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read vector file " + name);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

const nlohmann::json& AirFormat() {
  static const nlohmann::json json = nlohmann::json::parse(ReadVectorFile("air-format.json"));
  return json;
}

std::string ScratchDir(const std::string& name) {
  const char* base = std::getenv("VELA_TEST_TMP");
  std::filesystem::path dir =
      std::filesystem::path(base ? base : std::filesystem::temp_directory_path().string()) / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

}  // namespace vela::test
