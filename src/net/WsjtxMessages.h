// The UDP messages weak-signal programs send to loggers and station tools (heartbeat, status,
// decodes, logged QSOs) and the few those tools send back (halt, free text, replay, clear,
// location): big-endian fields behind a magic number and a schema number, strings as a byte
// count and UTF-8, times as milliseconds since midnight UTC, dates as Julian day numbers.
// Standard library only, so the reader can be fuzzed on its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vela::wsjtx {

inline constexpr uint32_t kMagic = 0xadbccbda;
inline constexpr uint32_t kSchema = 3;  // the newest we write; a server may ask for 2
inline constexpr std::chrono::seconds kHeartbeatInterval{15};
inline constexpr uint32_t kNotApplicable = 0xffffffff;

enum class Type : uint32_t {
  Heartbeat = 0,
  Status = 1,
  Decode = 2,
  Clear = 3,
  Reply = 4,
  QsoLogged = 5,
  Close = 6,
  Replay = 7,
  HaltTx = 8,
  FreeText = 9,
  Location = 11,
  LoggedAdif = 12,
};

struct Status {
  uint64_t dialHz = 0;
  std::string mode;  // "VELA63"
  std::string dxCall;
  bool txEnabled = false;
  bool transmitting = false;
  bool decoding = false;
  uint32_t rxAudioHz = 0;
  uint32_t txAudioHz = 0;
  std::string deCall;
  std::string deGrid;
  bool operator==(const Status&) const = default;
};

struct Decode {
  bool isNew = true;  // false when sent again for a Replay
  std::chrono::system_clock::time_point time;
  int32_t snr = 0;
  uint32_t audioHz = 0;
  std::string mode;
  std::string text;
  bool offAir = false;  // copied from a recording
};

struct QsoLogged {
  std::chrono::system_clock::time_point timeOn, timeOff;
  std::string dxCall, dxGrid;
  uint64_t txHz = 0;
  std::string mode;
  std::string rstSent, rstReceived;
  std::string comments, name;
  std::string myCall, myGrid;
};

// Whole datagrams, from the client `id` in `schema`.
std::string EncodeHeartbeat(std::string_view id, uint32_t schema, std::string_view version);
std::string EncodeStatus(std::string_view id, uint32_t schema, const Status& status);
std::string EncodeDecode(std::string_view id, uint32_t schema, const Decode& decode);
std::string EncodeClear(std::string_view id, uint32_t schema);
std::string EncodeQsoLogged(std::string_view id, uint32_t schema, const QsoLogged& qso);
std::string EncodeLoggedAdif(std::string_view id, uint32_t schema, std::string_view adif);
std::string EncodeClose(std::string_view id, uint32_t schema);

// A message from a server, read without trusting a byte of it.
struct Inbound {
  enum class Kind { Heartbeat, HaltTx, FreeText, Replay, Clear, Location, Close, Other };
  Kind kind = Kind::Other;  // Other: a type we do not act on, skipped
  uint32_t type = 0;
  uint32_t schema = 0;
  std::string id;           // the client it is meant for
  uint32_t maxSchema = 2;   // Heartbeat: the highest schema the server speaks
  bool autoTxOnly = false;  // HaltTx: only stop repeating, let this transmission end
  std::string text;         // FreeText (UTF-8 as sent; the caller converts)
  bool send = false;        // FreeText: send it at once
  uint8_t window = 0;       // Clear: 0 band activity, 1 receive frequency, 2 both
  std::string locator;      // Location: a 4- or 6-character Maidenhead locator
};

// The message in `datagram`, or nothing with the reason in `why` when it is malformed: no
// magic, an unknown schema, a field cut short, a string longer than what is left, a locator
// that is not one. Fields added after the ones we know are ignored, as the protocol asks.
std::optional<Inbound> ReadInbound(std::span<const uint8_t> datagram, std::string* why);

// Whether `s` is a Maidenhead locator of 4 or 6 characters ("JO01", "IO91wm").
bool IsLocator(std::string_view s);

}  // namespace vela::wsjtx
