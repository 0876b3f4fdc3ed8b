#include "station/SafeFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <utility>

namespace vela {
namespace {

constexpr size_t kBufferBytes = 64 * 1024;
constexpr int kMaxLinks = 40;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The new files being written, where a signal handler can find them: a slot is free (0),
// being filled (1) or holds a path (2).
constexpr int kSlots = 8;
std::atomic<int> gSlotState[kSlots];
char gSlotPath[kSlots][PATH_MAX];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

int ClaimSlot(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (!gSlotState[i].compare_exchange_strong(expected, 1)) continue;
    std::memcpy(gSlotPath[i], path.c_str(), path.size() + 1);
    gSlotState[i].store(2);
    return i;
  }
  return -1;
}

extern "C" void RemoveTemporariesAndDie(int signal) {
  for (int i = 0; i < kSlots; ++i) {
    if (gSlotState[i].load() == 2) unlink(gSlotPath[i]);
  }
  ::signal(signal, SIG_DFL);
  raise(signal);
}

std::string Folder(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Name(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> RealFolder(const std::string& path) {
  char* real = realpath(Folder(path).c_str(), nullptr);
  if (real == nullptr) return std::nullopt;
  std::string folder(real);
  std::free(real);
  return folder;
}

// One of this process's own descriptors named through /proc (/dev/stdout, /dev/fd/N).
std::optional<int> OwnDescriptor(const std::string& path, const std::string& realFolder) {
  if (realFolder != "/proc/" + std::to_string(getpid()) + "/fd") return std::nullopt;
  const std::string name = Name(path);
  if (name.empty() || name.size() > 6 ||
      !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return std::stoi(name);
}

std::string ReadLink(const std::string& path) {
  std::string target(PATH_MAX, '\0');
  const ssize_t n = readlink(path.c_str(), target.data(), target.size());
  if (n < 0) return {};
  if (static_cast<size_t>(n) >= target.size()) {
    errno = ENAMETOOLONG;
    return {};
  }
  target.resize(static_cast<size_t>(n));
  return target[0] == '/' ? target : Folder(path) + "/" + target;
}

struct Destination {
  std::string path;  // what is replaced, or opened directly
  bool direct = false;
  std::optional<int> descriptor;  // direct through a descriptor of ours
};

// Follows symbolic links to what `path` names in the end: a regular file (or none yet) to
// replace, or something to write directly. 0 or the error.
int Resolve(const std::string& path, Destination& out) {
  std::string p = path;
  for (int links = 0;; ++links) {
    if (p.empty() || p.back() == '/') return EISDIR;
    if (const auto real = RealFolder(p); real && real->rfind("/proc/", 0) == 0) {
      out = {p, true, OwnDescriptor(p, *real)};
      return 0;
    }
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) {
      if (errno != ENOENT) return errno;
      break;  // a new file
    }
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (S_ISREG(st.st_mode)) break;
    if (!S_ISLNK(st.st_mode)) {
      out = {p, true, std::nullopt};  // a FIFO, a device, a socket
      return 0;
    }
    if (links == kMaxLinks) return ELOOP;
    p = ReadLink(p);
    if (p.empty()) return errno;
  }
  out = {p, false, std::nullopt};
  return 0;
}

std::string RandomSuffix() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string suffix(10, 'x');
  for (char& c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
  return suffix;
}

// The new file beside `target`, under a name nobody can foresee, created exclusively (a
// link planted in the folder is never followed); the old file's permissions carried over.
int CreateTemporary(const std::string& target, std::string& temp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = Folder(target) + "/" + Name(target) + ".partial-" + RandomSuffix();
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      temp.clear();
      return -1;
    }
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) {
      if (geteuid() == 0) (void)!fchown(fd, old.st_uid, old.st_gid);
      (void)!fchmod(fd, old.st_mode & 07777);
    }
    return fd;
  }
  temp.clear();
  errno = EEXIST;
  return -1;
}

}  // namespace

bool WriteFully(int fd, const void* bytes, size_t size) {
  const char* data = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

SafeFile::~SafeFile() {
  Discard();
}

bool SafeFile::Open(const std::string& path) {
  Discard();
  error_.clear();
  Destination destination;
  if (const int error = Resolve(path, destination); error != 0) return Fail(error);
  direct_ = destination.direct;
  if (destination.descriptor) {
    fd_ = fcntl(*destination.descriptor, F_DUPFD_CLOEXEC, 0);
  } else if (direct_) {
    fd_ = open(destination.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  } else {
    target_ = destination.path;
    // No signal between the file's creation and its name reaching the handler.
    sigset_t ending, before;
    sigemptyset(&ending);
    for (int signal : kEndingSignals) sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, &before);
    fd_ = CreateTemporary(target_, temp_);
    const int error = errno;
    if (fd_ >= 0) slot_ = ClaimSlot(temp_);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
  }
  if (fd_ < 0) return Fail(errno);
  struct stat st {};
  // A regular file another process holds, named through /proc, is written over as a
  // shell's ">" would; one of our own descriptors is written where it stands.
  if (direct_ && !destination.descriptor && fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) &&
      ftruncate(fd_, 0) != 0) {
    return Fail(errno);
  }
  // An output in append mode cannot go back to a header.
  start_ = lseek(fd_, 0, SEEK_CUR);
  seekable_ = start_ >= 0 && (fcntl(fd_, F_GETFL) & O_APPEND) == 0;
  return true;
}

bool SafeFile::Write(const void* data, size_t size) {
  if (fd_ < 0) return false;
  const char* bytes = static_cast<const char*>(data);
  if (buffer_.size() + size > kBufferBytes) {
    if (!FlushBuffer()) return false;
    if (size >= kBufferBytes) return WriteFully(fd_, bytes, size) || Fail(errno);
  }
  buffer_.insert(buffer_.end(), bytes, bytes + size);
  return true;
}

bool SafeFile::WriteAt(const void* data, size_t size, int64_t offset) {
  if (fd_ < 0 || !seekable_ || !FlushBuffer()) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = pwrite(fd_, bytes, size, static_cast<off_t>(start_ + offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n == 0 ? EIO : errno);
    bytes += n;
    offset += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool SafeFile::Commit() {
  if (fd_ < 0) return false;
  if (!FlushBuffer()) return false;
  // EINVAL: a pipe or a device, which keeps nothing to make durable.
  if (fsync(fd_) != 0 && errno != EINVAL) return Fail(errno);
  const int fd = std::exchange(fd_, -1);
  if (close(fd) != 0) return Fail(errno);
  if (!direct_) {
    if (rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno);
    // The new name made durable too. The file is in place whatever this says.
    const int folder = open(Folder(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      fsync(folder);
      close(folder);
    }
    temp_.clear();
  }
  Forget();
  return true;
}

void SafeFile::Discard() {
  if (fd_ >= 0) close(std::exchange(fd_, -1));
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  Forget();
  buffer_.clear();
}

void SafeFile::Forget() {
  if (slot_ >= 0) gSlotState[slot_].store(0);
  slot_ = -1;
}

bool SafeFile::Fail(int error) {
  return Fail(std::string(std::strerror(error)));
}

bool SafeFile::Fail(std::string reason) {
  error_ = std::move(reason);
  Discard();
  return false;
}

bool SafeFile::FlushBuffer() {
  if (buffer_.empty()) return true;
  if (!WriteFully(fd_, buffer_.data(), buffer_.size())) return Fail(errno);
  buffer_.clear();
  return true;
}

void SafeFile::RemoveTemporariesOnSignals() {
  for (int signal : kEndingSignals) {
    struct sigaction old {};
    sigaction(signal, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // started under nohup: the signal stays ignored
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndDie;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

bool WriteFileSafely(const std::string& path, std::string_view bytes, std::string* error) {
  SafeFile file;
  if (file.Open(path) && file.Write(bytes.data(), bytes.size()) && file.Commit()) return true;
  if (error != nullptr) *error = file.error();
  return false;
}

}  // namespace vela
