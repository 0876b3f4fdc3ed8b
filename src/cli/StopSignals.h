// The signals that end listen and send the way Ctrl+C does: SIGINT, SIGTERM, SIGHUP (the
// terminal closed, the ssh session dropped) and SIGQUIT (Ctrl+\). Each only notes the signal
// for the command's event loop, so whatever the command does on its way out (stop the
// transmission and release PTT, write the log) is done for every one of them alike.
#pragma once

#include <csignal>

namespace vela::cli {

// The number of the signal that came, 0 until one has.
inline volatile std::sig_atomic_t stopSignal = 0;

inline void CatchStopSignals() {
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    std::signal(s, [](int signal) { stopSignal = signal; });
  }
}

}  // namespace vela::cli
