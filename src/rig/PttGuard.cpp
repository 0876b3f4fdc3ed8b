#include "rig/PttGuard.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>

#include "rig/RigSession.h"

namespace vela {

namespace {

constexpr std::string_view kGuardArgument = "--ptt-guard";
constexpr char kGuardName[] = "vela-ptt-guard";
constexpr char kKeying = '1';
constexpr char kReleased = '0';
// A rig that does not answer at once (rigctld restarting, a CAT port still closing) is asked
// again each second, for this many tries.
constexpr int kReleaseTries = 10;
constexpr auto kRetryPause = std::chrono::seconds(1);
// How long the program waits for a released guard to exit, so it leaves no zombie.
constexpr auto kExitWait = std::chrono::milliseconds(500);

// Set once main() has shown it answers the guard's argument.
bool canHostGuard = false;

constexpr int kStopSignals[] = {SIGINT, SIGHUP, SIGTERM, SIGQUIT};

// Ignored from the guard's first instruction: they were blocked across its start, so one
// sent meanwhile is dropped rather than ending it.
void IgnoreStopSignals() {
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigset_t blocked;
  sigemptyset(&blocked);
  for (const int s : kStopSignals) {
    sigaction(s, &ignore, nullptr);
    sigaddset(&blocked, s);
  }
  sigaction(SIGPIPE, &ignore, nullptr);
  sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
}

// Nothing of the program's is held open by the guard (its sound card, the rig's port, a
// pipe a script waits on) but the socket and standard error, which carries its one message.
void CloseOtherDescriptors(int link) {
  const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
  }
  for (int fd = 3; fd < link; ++fd) close(fd);
  close_range(static_cast<unsigned>(link) + 1, ~0U, 0);
}

// Waits until the program lets go of the socket; true when its last word was "keying".
bool WaitForTheEnd(int link) {
  bool keyed = false;
  char word = 0;
  while (true) {
    const ssize_t n = read(link, &word, 1);
    if (n == 1) {
      if (word == kKeying) keyed = true;
      if (word == kReleased) keyed = false;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return keyed;
    }
  }
}

bool Release(const RigSettings& settings) {
  RigSession session;
  std::string why;
  for (int attempt = 0; attempt < kReleaseTries; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kRetryPause);
    if (session.Open(settings) && session.SetPtt(false)) {
      std::fprintf(stderr,
                   "%s: the program ended while it may have been keyed; PTT released (%s)\n",
                   kGuardName, session.description().c_str());
      return true;
    }
    why = session.error();
  }
  std::fprintf(stderr,
               "%s: the program ended while it may have been keyed and PTT could not be released: "
               "%s. Check the rig now.\n",
               kGuardName, why.c_str());
  return false;
}

int GuardMain(std::string_view linkText, const std::string& pttForm) {
  IgnoreStopSignals();
  prctl(PR_SET_NAME, kGuardName);  // as ps and pgrep show it
  int link = -1;
  const auto [end, ec] = std::from_chars(linkText.data(), linkText.data() + linkText.size(), link);
  struct stat st {};
  if (ec != std::errc() || end != linkText.data() + linkText.size() || link < 3 ||
      fstat(link, &st) != 0 || !S_ISSOCK(st.st_mode)) {
    std::fprintf(stderr, "%s: started without its socket\n", kGuardName);
    return 2;
  }
  CloseOtherDescriptors(link);
  std::string reason;
  const std::optional<RigSettings> settings = ParsePttOption(pttForm, &reason);
  if (!settings) {
    std::fprintf(stderr, "%s: %s\n", kGuardName, reason.c_str());
    return 2;
  }
  if (!WaitForTheEnd(link)) return 0;
  return Release(*settings) ? 0 : 1;
}

}  // namespace

std::optional<int> RunPttGuardIfAsked(int argc, char** argv) {
  if (argc == 4 && argv[1] == kGuardArgument) return GuardMain(argv[2], argv[3]);
  canHostGuard = true;
  return std::nullopt;
}

bool NeedsPttGuard(const RigSettings& settings) {
  return UsesHamlib(settings);
}

PttGuard::PttGuard(const RigSettings& settings) {
  if (!NeedsPttGuard(settings) || !canHostGuard) return;
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    error_ = std::string("no PTT guard: ") + std::strerror(errno);
    return;
  }
  // The guard's end goes across exec; the program's stays behind, so the guard sees the
  // socket close when the program ends and not later. (A child another thread starts
  // meanwhile may get a copy of the guard's end: that keeps nothing open that matters.)
  fcntl(ends[1], F_SETFD, 0);
  const std::string linkText = std::to_string(ends[1]);
  // The form of the --ptt option: a CM108 station's CAT rig is left out, so the guard keys
  // off the GPIO alone without opening the rig's serial port.
  const std::string pttForm = FormatPttOption(settings);
  char* const args[] = {const_cast<char*>(kGuardName), const_cast<char*>(kGuardArgument.data()),
                        const_cast<char*>(linkText.c_str()), const_cast<char*>(pttForm.c_str()),
                        nullptr};
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t blocked;
  sigemptyset(&blocked);
  for (const int s : kStopSignals) sigaddset(&blocked, s);
  posix_spawnattr_setsigmask(&attributes, &blocked);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, "/proc/self/exe", nullptr, &attributes, args, environ);
  posix_spawnattr_destroy(&attributes);
  close(ends[1]);
  if (failed != 0) {
    close(ends[0]);
    error_ = std::string("no PTT guard: ") + std::strerror(failed);
    return;
  }
  link_ = ends[0];
  pid_ = pid;
}

PttGuard::~PttGuard() {
  if (link_ >= 0) close(link_);
  if (pid_ <= 0) return;
  const auto deadline = std::chrono::steady_clock::now() + kExitWait;
  while (waitpid(pid_, nullptr, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void PttGuard::Keying() {
  Tell(kKeying);
}

void PttGuard::Released() {
  Tell(kReleased);
}

void PttGuard::Tell(char word) {
  // Never blocks and never raises SIGPIPE: a guard that is gone cannot stop a transmission.
  if (link_ >= 0) send(link_, &word, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
}

GuardedPtt::GuardedPtt(std::unique_ptr<PttControl> ptt, const RigSettings& settings)
    : ptt_(std::move(ptt)), guard_(settings) {}

GuardedPtt::~GuardedPtt() {
  // The PTT, let go first, releases the rig itself if it was keyed; the guard, whose last
  // word is still "keying" unless a release was confirmed, tries once more after it.
  ptt_.reset();
}

bool GuardedPtt::Key(bool on) {
  if (on) {
    guard_.Keying();
    return ptt_->Key(true);
  }
  const bool released = ptt_->Key(false);
  if (released) guard_.Released();
  return released;
}

}  // namespace vela
