// Writing a file so that nothing is lost. A regular file (or one not there yet) is written
// to a new file of an unpredictable name beside it, created exclusively; every write is
// checked, the data flushed to the disk, and only then is the new file renamed over the old
// one. On any failure, a full disk above all, the old file keeps its contents and the new
// one is removed. A symbolic link to a file stays a link: the file it points at is replaced
// in its own folder. What is not a regular file (a FIFO, a pipe, a device, /dev/stdout) is
// written directly, never replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vela {

class SafeFile {
 public:
  SafeFile() = default;
  ~SafeFile();  // an unfinished file is removed; the old one stays as it was
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;

  // False with the reason in error() when `path` cannot be written.
  bool Open(const std::string& path);
  // Every byte, or false.
  bool Write(const void* data, size_t size);
  // Overwrites what was written at `offset` (from the first byte this file wrote): a header
  // completed at the end. Only for seekable outputs.
  bool WriteAt(const void* data, size_t size, int64_t offset);
  // Whether WriteAt works: false for FIFOs, pipes and terminals.
  bool seekable() const { return seekable_; }
  // Makes the data durable and gives the file its name. False (the old file kept) on failure.
  bool Commit();
  // Gives up: the new file is removed (a direct output keeps what reached it).
  void Discard();

  // The reason for the last failure, without the path: "No space left on device".
  const std::string& error() const { return error_; }
  // Where the data goes until Commit; empty when written directly.
  const std::string& temporaryPath() const { return temp_; }

  // From now on, INT, TERM, HUP and QUIT remove the new files being written before the
  // program ends with the signal.
  static void RemoveTemporariesOnSignals();

 private:
  bool Fail(int error);
  bool Fail(std::string reason);
  bool FlushBuffer();
  void Forget();

  int fd_ = -1;
  std::string target_;  // the file the new one replaces
  std::string temp_;
  int slot_ = -1;  // where a signal finds temp_
  int64_t start_ = 0;
  bool seekable_ = false;
  bool direct_ = false;
  std::vector<char> buffer_;
  std::string error_;
};

// Writes all `size` bytes to `fd`, through short writes and interruptions; false with errno
// set when it cannot.
bool WriteFully(int fd, const void* data, size_t size);

// Writes `bytes` as the whole of `path`, as above. False with the reason (no path) in `error`.
bool WriteFileSafely(const std::string& path, std::string_view bytes, std::string* error);

}  // namespace vela
