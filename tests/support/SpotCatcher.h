// A UDP port on 127.0.0.1 that keeps the datagrams that reach it: the spots' server.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <vector>

#include "support/IpfixReader.h"

namespace vela::test {

class SpotCatcher {
 public:
  SpotCatcher() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n), 0);
    port_ = ntohs(a.sin_port);
  }
  ~SpotCatcher() { close(fd_); }
  int port() const { return port_; }
  // The datagrams come so far, read (templates carried over from one to the next).
  std::vector<IpfixMessage> Messages() {
    std::vector<IpfixMessage> out;
    for (const auto& d : Take()) out.push_back(ReadIpfix(d, known_));
    return out;
  }
  std::vector<std::vector<uint8_t>> Take() {
    std::vector<std::vector<uint8_t>> out;
    std::vector<uint8_t> buf(65536);
    for (ssize_t n; (n = recv(fd_, buf.data(), buf.size(), MSG_DONTWAIT)) >= 0;)
      out.emplace_back(buf.begin(), buf.begin() + n);
    return out;
  }

 private:
  std::map<uint16_t, IpfixTemplate> known_;
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace vela::test
