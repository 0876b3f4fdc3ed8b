#include "cli/UdpOption.h"

#include <chrono>
#include <cmath>

#include "cli/Options.h"

namespace vela::cli {

std::unique_ptr<UdpMessages> OpenUdpOption(const Options& opt) {
  const auto text = opt.Get("udp");
  if (!text) return nullptr;
  std::string why;
  const auto address = ParseUdpAddress(*text, &why);
  if (!address) throw UsageError("--udp: " + why);
  auto udp = std::make_unique<UdpMessages>(*address);
  if (!udp->Start(&why)) throw IoError(why);
  return udp;
}

void SendDecodeLine(UdpMessages& udp, const std::string& utf8Line, const std::string& mode,
                    double audioHz, int level, bool offAir) {
  const size_t first = utf8Line.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return;
  const size_t last = utf8Line.find_last_not_of(" \t\r\n");
  wsjtx::Decode decode;
  decode.time = std::chrono::system_clock::now();
  decode.snr = level;
  decode.audioHz = static_cast<uint32_t>(std::lround(audioHz));
  decode.mode = mode;
  decode.text = utf8Line.substr(first, last - first + 1);
  decode.offAir = offAir;
  udp.SendDecode(decode);
}

void FinishUdp(UdpMessages& udp) {
  udp.Close();
  if (const auto error = udp.TakeError()) throw IoError(*error);
}

}  // namespace vela::cli
