// Files written safely: what each kind of output becomes, and the longest recording a WAV
// file can hold.
#include "station/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "audio/WavFile.h"
#include "support/EventLoop.h"
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

mode_t Mode(const fs::path& path) {
  struct stat st {};
  lstat(path.c_str(), &st);
  return st.st_mode;
}

// Each kind of output, written with more than the writer buffers at once: what it holds and
// what it is after, and no new file left beside any of them.
TEST(SafeFile, EachKindOfOutput) {
  const fs::path dir = test::ScratchDir("safe-file");
  const std::string data(100000, 'n');
  // A full disk and a read-only folder for root; a folder without write permission otherwise.
  const bool root = geteuid() == 0;
  test::FullDisk full(dir / "full"), locked(dir / "locked");
  for (const auto* disk : {&full, &locked}) std::ofstream(disk->dir / "old.txt") << "old";
  if (root) {
    full.Fill();
    ASSERT_EQ(mount("tmpfs", locked.dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
  } else {
    fs::permissions(locked.dir, fs::perms::owner_read | fs::perms::owner_exec);
  }
  std::ofstream(dir / "regular.txt") << "old";
  fs::permissions(dir / "regular.txt", fs::perms(0640));
  fs::create_directories(dir / "elsewhere");
  fs::create_symlink("elsewhere/target.txt", dir / "link.txt");
  std::ofstream(dir / "victim.txt") << "precious";
  fs::create_symlink(dir / "victim.txt", dir / "planted.txt.partial");
  mkfifo((dir / "fifo").c_str(), 0600);
  std::string fromFifo;
  std::thread reader([&] { fromFifo = Read(dir / "fifo"); });

  struct Case {
    const char* what;
    fs::path path;
    int error;
    fs::path holder;  // what then holds `contents`
    std::string contents;
  } const cases[] = {
      {"a regular file", dir / "regular.txt", 0, dir / "regular.txt", data},
      {"a new file", dir / "new.txt", 0, dir / "new.txt", data},
      {"a link to a file elsewhere", dir / "link.txt", 0, dir / "elsewhere/target.txt", data},
      {"a link planted at the old temporary name", dir / "planted.txt", 0, dir / "victim.txt",
       "precious"},
      {"a FIFO", dir / "fifo", 0, {}, {}},
      {"a device", "/dev/null", 0, {}, {}},
      {"a folder", dir, EISDIR, {}, {}},
      {"a missing folder", dir / "missing/out.txt", ENOENT, {}, {}},
      {"a read-only folder", locked.dir / "old.txt", root ? EROFS : EACCES, locked.dir / "old.txt",
       "old"},
      {"a full disk", full.dir / "old.txt", root ? ENOSPC : 0, full.dir / "old.txt",
       root ? "old" : data},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_EQ(WriteFileSafely(c.path.string(), data, &error), c.error == 0) << error;
    EXPECT_EQ(error, c.error != 0 ? std::strerror(c.error) : "");
    if (!c.holder.empty()) {
      EXPECT_EQ(Read(c.holder), c.contents);
    }
  }
  reader.join();
  EXPECT_EQ(fromFifo, data);
  EXPECT_TRUE(S_ISFIFO(Mode(dir / "fifo")));
  EXPECT_TRUE(S_ISCHR(Mode("/dev/null")));
  EXPECT_TRUE(S_ISLNK(Mode(dir / "link.txt")));
  EXPECT_EQ(Mode(dir / "regular.txt") & 07777, 0640u);
  EXPECT_EQ(Read(dir / "planted.txt"), data);
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    EXPECT_EQ(entry.path().string().find(".partial-"), std::string::npos) << entry.path();
  }
  if (!root) fs::permissions(locked.dir, fs::perms::owner_all);
}

// The RIFF length field is 32 bits: the file, less its first 8 bytes, holds at most
// 2^32 - 1 bytes, of which the header takes 36.
TEST(WavWriter, RecordingsThatWouldPassFourGiBAreRefused) {
  EXPECT_TRUE(WavWriter::Fits(1073741814, 2));  // stereo: a file of 4294967300 bytes
  EXPECT_FALSE(WavWriter::Fits(1073741815, 2));
  EXPECT_TRUE(WavWriter::Fits(2147483629, 1));
  EXPECT_FALSE(WavWriter::Fits(2147483630, 1));
  EXPECT_FALSE(WavWriter::Fits(UINT64_MAX / 2, 2));  // no wrap-around in the arithmetic
}

}  // namespace
}  // namespace vela
