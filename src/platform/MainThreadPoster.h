// Hands work from a device's own thread (a PortAudio callback, say) to the thread that owns
// the poster, through Qt's event queue: the way a sound driver posts messages to a window.
// Work posted for an earlier session of the device (before a close) is dropped on arrival.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <utility>

namespace vela {

class MainThreadPoster {
 public:
  // Starts a new session; work posted under older ones will not run.
  uint64_t NewSession() { return ++session_; }
  uint64_t session() const { return session_.load(); }

  // Safe from any thread. `work` runs later on the owner's thread, if the session is current.
  template <typename F>
  void Post(uint64_t session, F&& work) {
    QMetaObject::invokeMethod(
        &context_,
        [this, session, work = std::forward<F>(work)]() mutable {
          if (session == session_.load()) work();
        },
        Qt::QueuedConnection);
  }
  template <typename F>
  void Post(F&& work) {
    Post(session_.load(), std::forward<F>(work));
  }

 private:
  QObject context_;  // lives on the constructing thread; pending work dies with it
  std::atomic<uint64_t> session_{0};
};

}  // namespace vela
