// Datagrams to the report server over UDP, all from one local port. A host name is looked
// up in the background: until it is known, Send says no and the reports wait.
#pragma once

#include <QHostAddress>
#include <QUdpSocket>
#include <cstdint>
#include <optional>
#include <string>

#include "net/SpotReporter.h"

namespace vela::net {

inline constexpr char kReportHost[] = "report.pskreporter.info";
inline constexpr uint16_t kReportPort = 4739;

struct HostPort {
  std::string host;
  uint16_t port = 0;
};
// "HOST:PORT" (or "[v6]:PORT"); none when it is not that.
std::optional<HostPort> ParseHostPort(const std::string& text);

class UdpSpotSink : public DatagramSink {
 public:
  UdpSpotSink(const std::string& host, uint16_t port);
  ~UdpSpotSink() override;
  UdpSpotSink(const UdpSpotSink&) = delete;
  UdpSpotSink& operator=(const UdpSpotSink&) = delete;

  // Looks the host up now, waiting for the answer (for the command line); false with
  // error() when it has no address.
  bool Resolve();
  bool Send(std::span<const uint8_t> datagram) override;
  const std::string& error() const { return error_; }

 private:
  void Lookup();  // in the background; the answer comes through the event loop

  std::string host_;
  uint16_t port_;
  QHostAddress address_;
  QUdpSocket socket_;
  int lookup_ = -1;
  std::string error_;
};

// A random observation domain for a station that has none yet (never 0).
uint32_t NewObservationDomain();
// Now, in UNIX seconds.
int64_t UnixSeconds();

}  // namespace vela::net
