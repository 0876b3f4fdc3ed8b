// A logger's end of the UDP messages for tests: a socket on 127.0.0.1 that collects what the
// station sends and answers the address it came from.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>

namespace vela::test {

class LoggerSocket {
 public:
  LoggerSocket() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
  }
  ~LoggerSocket() { close(fd_); }
  LoggerSocket(const LoggerSocket&) = delete;
  LoggerSocket& operator=(const LoggerSocket&) = delete;

  int port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  // The next datagram, or nothing after `seconds`.
  std::optional<std::string> Receive(double seconds) {
    timeval t{static_cast<time_t>(seconds),
              static_cast<suseconds_t>((seconds - static_cast<long>(seconds)) * 1e6)};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
    char buffer[65536];
    socklen_t size = sizeof from_;
    const ssize_t n =
        recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from_), &size);
    if (n < 0) return std::nullopt;
    return std::string(buffer, static_cast<size_t>(n));
  }
  // To where the last datagram came from.
  void Reply(const std::string& datagram) {
    sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&from_),
           sizeof from_);
  }

  // The type of a message (its third 32-bit field); -1 when too short.
  static int Type(const std::string& m) {
    if (m.size() < 12) return -1;
    return static_cast<uint8_t>(m[8]) << 24 | static_cast<uint8_t>(m[9]) << 16 |
           static_cast<uint8_t>(m[10]) << 8 | static_cast<uint8_t>(m[11]);
  }
  // A halt for the station, written from the format by hand.
  static std::string Halt() {
    const std::string id = "VELA Terminal";
    return std::string("\xad\xbc\xcb\xda\0\0\0\3\0\0\0\x08\0\0\0", 15) +
           static_cast<char>(id.size()) + id + std::string(1, '\0');
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  sockaddr_in from_{};
};

}  // namespace vela::test
