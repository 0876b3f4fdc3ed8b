#include "net/WsjtxMessages.h"

#include <bit>
#include <cctype>
#include <cstring>

namespace vela::wsjtx {

namespace {

using std::chrono::system_clock;

// Days from the Julian day count's start to 1970-01-01.
constexpr int64_t kUnixEpochJulianDay = 2440588;
constexpr uint32_t kNullString = 0xffffffff;

class Writer {
 public:
  Writer(Type type, std::string_view id, uint32_t schema) {
    U32(kMagic);
    U32(schema);
    U32(static_cast<uint32_t>(type));
    Utf8(id);
  }
  Writer& U8(uint8_t v) {
    out_.push_back(static_cast<char>(v));
    return *this;
  }
  Writer& Bool(bool v) { return U8(v ? 1 : 0); }
  Writer& U32(uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) U8(static_cast<uint8_t>(v >> shift));
    return *this;
  }
  Writer& U64(uint64_t v) {
    U32(static_cast<uint32_t>(v >> 32));
    return U32(static_cast<uint32_t>(v));
  }
  Writer& Double(double v) { return U64(std::bit_cast<uint64_t>(v)); }
  Writer& Utf8(std::string_view s) {
    U32(static_cast<uint32_t>(s.size()));
    out_.append(s);
    return *this;
  }
  Writer& Time(system_clock::time_point t) { return U32(MillisecondsOfDay(t)); }
  // A UTC date and time: Julian day, milliseconds since midnight, 1 for UTC.
  Writer& DateTime(system_clock::time_point t) {
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(t.time_since_epoch()).count();
    const int64_t day = ms >= 0 ? ms / 86400000 : (ms - 86399999) / 86400000;
    U64(static_cast<uint64_t>(day + kUnixEpochJulianDay));
    U32(MillisecondsOfDay(t));
    return U8(1);
  }
  std::string Take() { return std::move(out_); }

 private:
  static uint32_t MillisecondsOfDay(system_clock::time_point t) {
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(t.time_since_epoch()).count();
    return static_cast<uint32_t>(((ms % 86400000) + 86400000) % 86400000);
  }
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  uint8_t U8() {
    if (!Need(1)) return 0;
    return bytes_[pos_++];
  }
  bool Bool() { return U8() != 0; }
  uint32_t U32() {
    if (!Need(4)) return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | bytes_[pos_++];
    return v;
  }
  std::string Utf8() {
    const uint32_t size = U32();
    if (!ok_ || size == kNullString) return {};
    if (!Need(size)) return {};
    std::string s(reinterpret_cast<const char*>(bytes_.data() + pos_), size);
    pos_ += size;
    return s;
  }

 private:
  bool Need(size_t n) {
    if (ok_ && bytes_.size() - pos_ >= n) return true;
    ok_ = false;
    return false;
  }
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace

std::string EncodeHeartbeat(std::string_view id, uint32_t schema, std::string_view version) {
  return Writer(Type::Heartbeat, id, schema).U32(kSchema).Utf8(version).Utf8("").Take();
}

std::string EncodeStatus(std::string_view id, uint32_t schema, const Status& s) {
  Writer w(Type::Status, id, schema);
  w.U64(s.dialHz).Utf8(s.mode).Utf8(s.dxCall).Utf8("").Utf8(s.mode);
  w.Bool(s.txEnabled).Bool(s.transmitting).Bool(s.decoding);
  w.U32(s.rxAudioHz).U32(s.txAudioHz).Utf8(s.deCall).Utf8(s.deGrid).Utf8("");
  w.Bool(false).Utf8("").Bool(false).U8(0);   // watchdog, submode, fast, special
  w.U32(kNotApplicable).U32(kNotApplicable);  // tolerance, T/R period: none here
  w.Utf8("").Utf8("");                        // configuration, transmit message
  return w.Take();
}

std::string EncodeDecode(std::string_view id, uint32_t schema, const Decode& d) {
  Writer w(Type::Decode, id, schema);
  w.Bool(d.isNew).Time(d.time).U32(static_cast<uint32_t>(d.snr)).Double(0.0).U32(d.audioHz);
  w.Utf8(d.mode).Utf8(d.text).Bool(false).Bool(d.offAir);
  return w.Take();
}

std::string EncodeClear(std::string_view id, uint32_t schema) {
  return Writer(Type::Clear, id, schema).Take();
}

std::string EncodeQsoLogged(std::string_view id, uint32_t schema, const QsoLogged& q) {
  Writer w(Type::QsoLogged, id, schema);
  w.DateTime(q.timeOff).Utf8(q.dxCall).Utf8(q.dxGrid).U64(q.txHz).Utf8(q.mode);
  w.Utf8(q.rstSent).Utf8(q.rstReceived).Utf8("").Utf8(q.comments).Utf8(q.name);
  w.DateTime(q.timeOn).Utf8(q.myCall).Utf8(q.myCall).Utf8(q.myGrid);
  w.Utf8("").Utf8("").Utf8("");  // exchanges and propagation: none on this band's QSOs
  return w.Take();
}

std::string EncodeLoggedAdif(std::string_view id, uint32_t schema, std::string_view adif) {
  return Writer(Type::LoggedAdif, id, schema).Utf8(adif).Take();
}

std::string EncodeClose(std::string_view id, uint32_t schema) {
  return Writer(Type::Close, id, schema).Take();
}

bool IsLocator(std::string_view s) {
  if (s.size() != 4 && s.size() != 6) return false;
  const auto in = [](char c, char from, char to) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= from && c <= to;
  };
  return in(s[0], 'A', 'R') && in(s[1], 'A', 'R') && in(s[2], '0', '9') && in(s[3], '0', '9') &&
         (s.size() == 4 || (in(s[4], 'A', 'X') && in(s[5], 'A', 'X')));
}

std::optional<Inbound> ReadInbound(std::span<const uint8_t> datagram, std::string* why) {
  Reader r(datagram);
  Inbound m;
  const uint32_t magic = r.U32();
  m.schema = r.U32();
  m.type = r.U32();
  m.id = r.Utf8();
  if (!r.ok()) {
    *why = "shorter than a message header";
    return std::nullopt;
  }
  if (magic != kMagic) {
    *why = "no magic number";
    return std::nullopt;
  }
  if (m.schema < 1 || m.schema > kSchema) {
    *why = "schema " + std::to_string(m.schema);
    return std::nullopt;
  }
  switch (static_cast<Type>(m.type)) {
    case Type::Heartbeat: {
      m.kind = Inbound::Kind::Heartbeat;
      const uint32_t max = r.U32();
      // Older servers stop after the id: they speak schema 2.
      m.maxSchema = r.ok() ? max : 2;
      return m;
    }
    case Type::HaltTx:
      m.kind = Inbound::Kind::HaltTx;
      m.autoTxOnly = r.Bool();
      break;
    case Type::FreeText:
      m.kind = Inbound::Kind::FreeText;
      m.text = r.Utf8();
      m.send = r.Bool();
      break;
    case Type::Replay:
      m.kind = Inbound::Kind::Replay;
      break;
    case Type::Clear: {
      m.kind = Inbound::Kind::Clear;
      const uint8_t window = r.U8();
      if (!r.ok()) return m;  // the window is optional: the band activity alone
      if (window > 2) {
        *why = "clear of window " + std::to_string(window);
        return std::nullopt;
      }
      m.window = window;
      return m;
    }
    case Type::Location:
      m.kind = Inbound::Kind::Location;
      m.locator = r.Utf8();
      if (r.ok() && !IsLocator(m.locator)) {
        *why = "a location that is not a locator";
        return std::nullopt;
      }
      break;
    case Type::Close:
      m.kind = Inbound::Kind::Close;
      break;
    default:
      return m;  // another program's business: skipped
  }
  if (!r.ok()) {
    *why = "message type " + std::to_string(m.type) + " cut short";
    return std::nullopt;
  }
  return m;
}

}  // namespace vela::wsjtx
