// Files written safely: what each kind of output becomes, a full disk, and the longest
// recording a WAV file can hold.
#include "platform/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "PlatformTestSupport.h"
#include "platform/WavFile.h"
#include "support/FullDisk.h"

namespace vela {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// New files a writer left behind anywhere under `dir`.
std::vector<std::string> Leftovers(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.path().filename().string().find(".partial-") != std::string::npos)
      found.push_back(entry.path().string());
  }
  return found;
}

mode_t Mode(const fs::path& path) {
  struct stat st {};
  lstat(path.c_str(), &st);
  return st.st_mode;
}

TEST(SafeFile, EachKindOfOutput) {
  const fs::path dir = test::ScratchDir("safe-file");
  std::thread reader;
  std::string fromFifo;
  // Made read-only even for root: a tmpfs remounted read-only, holding an old file.
  const fs::path locked = dir / "locked";
  fs::create_directories(locked);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(mount("tmpfs", locked.c_str(), "tmpfs", 0, "size=64k"), 0);
  }
  std::ofstream(locked / "out.txt") << "old";
  if (root) {
    ASSERT_EQ(mount("tmpfs", locked.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
  } else {
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  }

  struct Case {
    const char* what;
    std::function<fs::path()> make;  // sets the output up; where to write
    const char* failure;             // the reason, or nothing when the write succeeds
    std::function<void(const fs::path&)> check;
  };
  const Case cases[] = {
      {"a regular file, replaced with its permissions",
       [&] {
         std::ofstream(dir / "regular.txt") << "old contents, longer than the new";
         fs::permissions(dir / "regular.txt", fs::perms(0640));
         return dir / "regular.txt";
       },
       nullptr,
       [](const fs::path& p) {
         EXPECT_EQ(Read(p), "new");
         EXPECT_EQ(Mode(p) & 07777, 0640u);
       }},
      {"a new file", [&] { return dir / "new.txt"; }, nullptr,
       [](const fs::path& p) { EXPECT_EQ(Read(p), "new"); }},
      {"a link to a file in another folder stays a link",
       [&] {
         fs::create_directories(dir / "elsewhere");
         std::ofstream(dir / "elsewhere/target.txt") << "old";
         fs::create_symlink("elsewhere/target.txt", dir / "link.txt");
         return dir / "link.txt";
       },
       nullptr,
       [&](const fs::path& p) {
         EXPECT_TRUE(S_ISLNK(Mode(p)));
         EXPECT_EQ(fs::read_symlink(p), "elsewhere/target.txt");
         EXPECT_EQ(Read(dir / "elsewhere/target.txt"), "new");
       }},
      {"a link planted at the old temporary name is not followed",
       [&] {
         std::ofstream(dir / "victim.txt") << "precious";
         fs::create_symlink(dir / "victim.txt", dir / "planted.txt.partial");
         return dir / "planted.txt";
       },
       nullptr,
       [&](const fs::path& p) {
         EXPECT_EQ(Read(p), "new");
         EXPECT_EQ(Read(dir / "victim.txt"), "precious");
       }},
      {"a FIFO is written directly",
       [&] {
         mkfifo((dir / "fifo").c_str(), 0600);
         reader = std::thread([&] { fromFifo = Read(dir / "fifo"); });
         return dir / "fifo";
       },
       nullptr,
       [&](const fs::path& p) {
         reader.join();
         EXPECT_TRUE(S_ISFIFO(Mode(p)));
         EXPECT_EQ(fromFifo, "new");
       }},
      {"a device is written directly", [] { return fs::path("/dev/null"); }, nullptr,
       [](const fs::path& p) { EXPECT_TRUE(S_ISCHR(Mode(p))); }},
      {"a folder", [&] { return dir; }, std::strerror(EISDIR), [](const fs::path&) {}},
      {"a missing folder", [&] { return dir / "missing/out.txt"; }, std::strerror(ENOENT),
       [&](const fs::path&) { EXPECT_FALSE(fs::exists(dir / "missing")); }},
      {"a read-only folder", [&] { return locked / "out.txt"; },
       std::strerror(root ? EROFS : EACCES), [](const fs::path& p) { EXPECT_EQ(Read(p), "old"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path path = c.make();
    std::string error;
    EXPECT_EQ(WriteFileSafely(path.string(), "new", &error), c.failure == nullptr) << error;
    EXPECT_EQ(error, c.failure ? c.failure : "");
    c.check(path);
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
  }
  if (root) umount2(locked.c_str(), MNT_DETACH);
  fs::permissions(locked, fs::perms::owner_all);
  fs::remove_all(dir);
}

TEST(SafeFile, AFullDiskKeepsTheOldFileAndLeavesNothingBehind) {
  test::FullDisk disk(test::ScratchDir("safe-file-full") / "disk");
  if (!disk.ok()) GTEST_SKIP() << "mounting a tmpfs needs root";
  const fs::path path = disk.dir() / "VELArig.INI";
  std::ofstream(path) << "method=serial\n";
  disk.Fill();
  // Small enough to wait for the end, and large enough to fail on the way.
  for (const size_t size : {size_t{100}, size_t{1} << 20}) {
    std::string error;
    EXPECT_FALSE(WriteFileSafely(path.string(), std::string(size, 'x'), &error));
    EXPECT_EQ(error, std::strerror(ENOSPC));
    EXPECT_EQ(Read(path), "method=serial\n");
    EXPECT_EQ(disk.Names(), std::vector<std::string>{"VELArig.INI"});
  }
  WavWriter wav;
  const std::vector<int16_t> audio(48000);
  EXPECT_FALSE(wav.Open(path.string(), 8000, 1) && wav.Write(audio) && wav.Commit());
  EXPECT_EQ(wav.error(), path.string() + ": " + std::strerror(ENOSPC));
  EXPECT_EQ(Read(path), "method=serial\n");
  disk.Free();
  EXPECT_TRUE(WriteFileSafely(path.string(), "method=none\n", nullptr));
  EXPECT_EQ(Read(path), "method=none\n");
}

// The RIFF length field is 32 bits: the file, less its first 8 bytes, holds at most
// 2^32 - 1 bytes, of which the header takes 36.
TEST(WavWriter, RecordingsThatWouldPassFourGiBAreRefused) {
  struct Case {
    uint64_t frames;
    int channels;
    bool fits;
  } const cases[] = {
      {0, 2, true},           {1073741814, 2, true},  // a file of 4294967300 bytes
      {1073741815, 2, false}, {2147483629, 1, true},
      {2147483630, 1, false}, {UINT64_MAX / 2, 2, false},  // no wrap-around in the sum
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WavWriter::Fits(c.frames, c.channels), c.fits)
        << c.frames << " frames of " << c.channels;
  }
}

}  // namespace
}  // namespace vela
