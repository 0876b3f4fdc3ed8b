// A real full disk: a small tmpfs mounted on a folder of the test's and filled to the last
// block. Mounting needs root; `ok` is false otherwise and the test skips.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace vela::test {

struct FullDisk {
  explicit FullDisk(std::filesystem::path folder) : dir(std::move(folder)) {
    std::filesystem::create_directories(dir);
    ok = geteuid() == 0 && mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k") == 0;
  }
  ~FullDisk() {
    if (ok) umount2(dir.c_str(), MNT_DETACH);
  }
  // Takes every block left; what is written after needs a new one.
  void Fill() const {
    std::ofstream filler(dir / "filler", std::ios::binary | std::ios::app);
    const std::vector<char> block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
           filler.flush()) {
    }
  }
  void Free() const { std::filesystem::remove(dir / "filler"); }

  std::filesystem::path dir;
  bool ok = false;
};

}  // namespace vela::test
