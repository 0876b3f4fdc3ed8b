#include "app/window/SignalShutdown.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

namespace vela::app {

namespace {

constexpr int kPollMs = 20;
constexpr unsigned kBackstopSeconds = 3;
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
int signalPipe[2] = {-1, -1};

// Async-signal-safe: hand the signal's number to the event loop, and make sure the process
// ends even if no event loop ever reads it.
void OnSignal(int signal) {
  const auto byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &byte, 1);
  alarm(kBackstopSeconds);
}

}  // namespace

SignalShutdown::SignalShutdown(Steps steps, QObject* parent)
    : QObject(parent), steps_(std::move(steps)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char byte = 0;
    if (::read(signalPipe[1], &byte, 1) == 1 && signal_ == 0) {
      signal_ = byte;
      Begin();
    }
  });
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : kSignals) sigaction(s, &action, nullptr);
}

SignalShutdown::~SignalShutdown() {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  for (int s : kSignals) sigaction(s, &action, nullptr);
  for (int& fd : signalPipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void SignalShutdown::Begin() {
  elapsedMs_ = 0;
  Poll();
  poll_.start();
}

void SignalShutdown::Poll() {
  const bool offAir = !steps_.stopTransmitter || steps_.stopTransmitter();
  elapsedMs_ += kPollMs;
  // PTT dropped with the stop itself; the grace is for the sound output to close.
  if (offAir || elapsedMs_ >= kGraceMs) Finish();
}

void SignalShutdown::Finish() {
  poll_.stop();
  if (steps_.save) steps_.save();
  EndIfSignalled();
}

void SignalShutdown::EndIfSignalled() {
  if (signal_ == 0) return;
  std::fflush(nullptr);
  // End as the signal would have ended us, whatever dialog's event loop we are inside; a
  // quit that has shut down in order leaves no core file behind.
  if (signal_ == SIGQUIT) {
    const rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
  }
  std::signal(signal_, SIG_DFL);
  std::raise(signal_);
  _exit(128 + signal_);
}

}  // namespace vela::app
