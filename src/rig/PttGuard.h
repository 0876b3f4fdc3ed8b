// A guard for the transmitter's PTT on the paths no signal handler sees: the program killed
// (SIGKILL), crashed, or ended by the kernel. The guard is a small process of its own (the
// program's own binary started again), holding one end of a socket whose other end only the
// program holds. The program tells it before every key and after every release the rig
// confirmed; when the socket closes (the program has ended, whichever way) while the last
// word was "keying", the guard releases PTT by the same method (rigctld, CAT, CM108) and
// exits. Otherwise it exits at once: it never outlives the program by more than a release.
// It ignores the signals a terminal sends to the whole process group (Ctrl+C, Ctrl+\, a
// hang-up), and SIGTERM, so that it outlives the program to do its job; and it opens the rig
// only to release it, never holding the rig's port while the program lives.
//
// Serial DTR/RTS needs no guard: the kernel drops both lines when the last descriptor of the
// port closes (with HUPCL, which SerialPtt makes sure of), and a guard that opened the port
// again would raise DTR and key the rig for a moment. VOX keys nothing.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

#include "rig/RigSettings.h"
#include "station/PttControl.h"

namespace vela {

// The first thing main() calls, before Qt or any thread starts. In a guard (argv[1] is the
// guard's own argument) it runs the guard and returns its exit status; in the program it
// returns nothing, and from then on guards may be started. A program whose main() does not
// call it (a test that keys a rig in process, say) starts none.
std::optional<int> RunPttGuardIfAsked(int argc, char** argv);

// Whether a guard can release the PTT `settings` name: CAT, rigctld and CM108.
bool NeedsPttGuard(const RigSettings& settings);

class PttGuard {
 public:
  // Starts the guard for `settings` when they need one and the program can host it.
  explicit PttGuard(const RigSettings& settings);
  // Closes the socket: the guard exits, releasing first if the last word was "keying".
  ~PttGuard();
  PttGuard(const PttGuard&) = delete;
  PttGuard& operator=(const PttGuard&) = delete;

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Why no guard started where one was needed; empty otherwise.
  const std::string& error() const { return error_; }

  // Before keying: should the program end before Released(), the guard releases PTT.
  void Keying();
  // After a release the rig confirmed.
  void Released();

 private:
  void Tell(char word);

  int link_ = -1;
  pid_t pid_ = -1;
  std::string error_;
};

// A PTT whose keying a guard watches: the guard hears of each key before it is made and of
// each release once it is confirmed. Owns the PTT, which is let go before the guard.
class GuardedPtt : public PttControl {
 public:
  GuardedPtt(std::unique_ptr<PttControl> ptt, const RigSettings& settings);
  ~GuardedPtt() override;
  GuardedPtt(const GuardedPtt&) = delete;
  GuardedPtt& operator=(const GuardedPtt&) = delete;

  bool Key(bool on) override;
  std::string error() const override { return ptt_->error(); }
  PttControl& ptt() { return *ptt_; }
  const PttGuard& guard() const { return guard_; }

 private:
  std::unique_ptr<PttControl> ptt_;
  PttGuard guard_;
};

}  // namespace vela
