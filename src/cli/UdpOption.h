// --udp HOST:PORT: the messages a logger or station tool listens for, from decode, listen
// and log.
#pragma once

#include <memory>
#include <string>

#include "net/UdpMessages.h"

namespace vela::cli {

class Options;

// Nothing without --udp; UsageError for an address that is not one, IoError when the socket
// cannot be opened. Started: the first heartbeat is out.
std::unique_ptr<UdpMessages> OpenUdpOption(const Options& opt);

// A line of copy as a decode: trimmed, nothing for a blank line.
void SendDecodeLine(UdpMessages& udp, const std::string& utf8Line, const std::string& mode,
                    double audioHz, int level, bool offAir);

// Close sent, and the first failure to send as an IoError.
void FinishUdp(UdpMessages& udp);

}  // namespace vela::cli
