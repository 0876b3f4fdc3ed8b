// A real logger's message server for tests: Debian's wsjtx package ships udp_daemon, the
// server WSJT-X's own tools use. Started on a port of 127.0.0.1, killed and reaped on every way
// out; what it prints is read from a file.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace vela::test {

inline constexpr const char* kUdpDaemon = "/usr/bin/udp_daemon";

inline std::string Bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

inline int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + 1)) ++n;
  return n;
}

// The server, killed and reaped on every way out of the test.
class UdpDaemon {
 public:
  UdpDaemon(int port, const std::string& out) : out_(out) {
    pid_ = fork();
    if (pid_ == 0) {
      std::freopen(out.c_str(), "w", stdout);
      std::freopen(out.c_str(), "a", stderr);
      execl(kUdpDaemon, kUdpDaemon, "--port", std::to_string(port).c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    // Listening once its port shows among the machine's UDP sockets.
    char hex[8];
    std::snprintf(hex, sizeof hex, ":%04X ", port);
    for (int i = 0; i < 200 && !listening_; ++i) {
      for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
        if (Bytes(table).find(hex) != std::string::npos) listening_ = true;
      }
      if (!listening_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~UdpDaemon() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool listening() const { return listening_; }
  // What it printed once `what` has shown `times` times (or 10 s have gone by).
  std::string WaitFor(const std::string& what, int times) const {
    std::string text;
    for (int i = 0; i < 600; ++i) {  // 30 s at the most
      text = Bytes(out_);
      if (Count(text, what) >= times) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return text;
  }

 private:
  std::string out_;
  pid_t pid_ = -1;
  bool listening_ = false;
};

}  // namespace vela::test
