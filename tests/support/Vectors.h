// Access to the air-format vectors of the independent implementation (tests/vectors).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace vela::test {

// The parsed air-format.json.
const nlohmann::json& AirFormat();

// Full path of a file in the vectors folder.
std::string VectorPath(const std::string& name);

// Whole contents of a vectors file.
std::string ReadVectorFile(const std::string& name);

// A fresh, empty scratch folder for one test.
std::string ScratchDir(const std::string& name);

}  // namespace vela::test
