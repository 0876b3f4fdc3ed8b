// A real full disk: a small tmpfs mounted on a folder of the test's and filled to the last
// block. Mounting needs root; ok() is false otherwise and the test skips.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vela::test {

class FullDisk {
 public:
  explicit FullDisk(std::filesystem::path dir, const char* size = "size=256k")
      : dir_(std::move(dir)) {
    std::filesystem::create_directories(dir_);
    mounted_ = geteuid() == 0 && mount("tmpfs", dir_.c_str(), "tmpfs", 0, size) == 0;
  }
  ~FullDisk() {
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

  bool ok() const { return mounted_; }
  const std::filesystem::path& dir() const { return dir_; }
  // Takes every block left; what is written after needs a new one.
  void Fill() {
    std::ofstream filler(dir_ / "filler", std::ios::binary | std::ios::app);
    const std::vector<char> block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
           filler.flush()) {
    }
  }
  void Free() { std::filesystem::remove(dir_ / "filler"); }
  // What the folder holds besides the filler, in order.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      if (entry.path().filename() != "filler") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path dir_;
  bool mounted_ = false;
};

}  // namespace vela::test
