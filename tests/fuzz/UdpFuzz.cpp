// libFuzzer target: arbitrary datagrams as a logger's messages to the station. Reading must
// never crash, read past the datagram or hang; what it accepts must be what the station can
// act on (a real locator, a known window), and a heartbeat, clear or close it accepts must
// come out of our own writer the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "net/WsjtxMessages.h"

namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vela::wsjtx;
  std::string why;
  const auto m = ReadInbound(std::span(data, size), &why);
  if (!m) {
    if (why.empty()) std::abort();  // a malformed message always says why
    return 0;
  }
  if (m->schema < 1 || m->schema > kSchema) std::abort();
  using Kind = Inbound::Kind;
  if (m->kind == Kind::Location && !IsLocator(m->locator)) std::abort();
  if (m->kind == Kind::Clear && m->window > 2) std::abort();
  std::string again;
  if (m->kind == Kind::Close) again = EncodeClose(m->id, m->schema);
  if (m->kind == Kind::Clear && m->window == 0) again = EncodeClear(m->id, m->schema);
  if (!again.empty()) {
    const auto back = ReadInbound(Bytes(again), &why);
    if (!back || back->kind != m->kind || back->id != m->id || back->schema != m->schema) {
      std::abort();
    }
  }
  return 0;
}
