// A real rigctld on 127.0.0.1 for the tests: Hamlib's dummy rig (model 1) with CAT PTT, on a
// free port, started by the test and killed when the object goes, on every path out of a
// test (and by the kernel if the test process itself dies).
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace vela::test {

class Rigctld {
 public:
  // A port nobody listens on now (the kernel's choice of a free one).
  static int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
      port = ntohs(a.sin_port);
    }
    close(s);
    return port;
  }

  // Starts rigctld on `port` (0: a free one, tried again on another if taken meanwhile). A
  // start that fails at once (a port taken, a fork refused on a busy machine) is tried again
  // after a pause, so one bad moment does not fail the test.
  explicit Rigctld(int port = 0) {
    for (int attempt = 0; attempt < 8 && pid_ <= 0; ++attempt) {
      if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(250));
      port_ = port != 0 ? port : FreePort();
      Start();
      if (!WaitListening()) Kill();
    }
  }
  ~Rigctld() { Kill(); }
  Rigctld(const Rigctld&) = delete;
  Rigctld& operator=(const Rigctld&) = delete;

  bool running() const { return pid_ > 0; }
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  void Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
  }
  // Hangs it (SIGSTOP) and waits until every thread of it has stopped, so nothing sent from
  // now on is answered; false if that took over five seconds.
  bool Stop() {
    Signal(SIGSTOP);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (AllThreadsStopped()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // What `rigctl -m 2 -r 127.0.0.1:PORT COMMAND` prints, less its final line break: the way
  // another program sharing the rig sees it ("t" reads PTT).
  std::string Rigctl(const std::string& command) const {
    const std::string line = "rigctl -m 2 -r " + address() + " " + command + " 2>/dev/null";
    std::string out;
    if (FILE* p = popen(line.c_str(), "r")) {
      char buffer[256];
      while (fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
      pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  }

 private:
  bool AllThreadsStopped() const {
    std::error_code ec;
    const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
      std::ifstream stat(task.path() / "stat");
      std::string line;
      std::getline(stat, line);
      // "pid (comm) S ...": the state follows the command name's closing bracket.
      const auto close = line.rfind(')');
      if (close == std::string::npos || close + 2 >= line.size()) return false;
      const char state = line[close + 2];
      if (state != 'T' && state != 't') return false;
    }
    return !ec;
  }

  void Start() {
    const std::string portText = std::to_string(port_);
    const char* argv[] = {"rigctld",        "-m",   "1", "-P", "RIG", "-T", "127.0.0.1", "-t",
                          portText.c_str(), nullptr};
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execvp("rigctld", const_cast<char* const*>(argv));
      _exit(127);
    }
  }

  // Up to ten seconds for the port to take connections; false if rigctld gave up first.
  bool WaitListening() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      const int s = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(static_cast<uint16_t>(port_));
      const bool up = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
      close(s);
      if (up) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace vela::test
