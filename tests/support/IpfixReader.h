// An IPFIX (RFC 7011) message reader for the tests, written from the RFC and the report
// service's element table alone: it learns templates and options templates, reads data
// records by them (variable-length fields included) and checks what a collector checks —
// version, lengths, set lengths, padding.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vela::test {

struct IpfixField {
  uint16_t id = 0;
  uint16_t length = 0;  // 65535: variable
  uint32_t enterprise = 0;
  bool operator==(const IpfixField&) const = default;
};

struct IpfixTemplate {
  uint16_t id = 0;
  uint16_t scopeCount = 0;  // options templates only
  bool options = false;
  std::vector<IpfixField> fields;
};

struct IpfixRecord {
  uint16_t templateId = 0;
  std::map<std::pair<uint32_t, uint16_t>, std::vector<uint8_t>> values;  // (enterprise, id)

  std::string Text(uint32_t enterprise, uint16_t id) const {
    const auto it = values.find({enterprise, id});
    return it == values.end() ? "<absent>" : std::string(it->second.begin(), it->second.end());
  }
  std::optional<uint64_t> Unsigned(uint32_t enterprise, uint16_t id) const {
    const auto it = values.find({enterprise, id});
    if (it == values.end()) return std::nullopt;
    uint64_t v = 0;
    for (uint8_t b : it->second) v = v << 8 | b;
    return v;
  }
  std::optional<int64_t> Signed(uint32_t enterprise, uint16_t id) const {
    const auto u = Unsigned(enterprise, id);
    if (!u) return std::nullopt;
    const size_t bits = 8 * values.at({enterprise, id}).size();
    const uint64_t sign = uint64_t{1} << (bits - 1);
    return static_cast<int64_t>((*u ^ sign)) - static_cast<int64_t>(sign);
  }
};

struct IpfixMessage {
  uint16_t version = 0;
  uint32_t exportTime = 0, sequence = 0, domain = 0;
  std::vector<IpfixTemplate> templates;  // those this message defines
  std::vector<IpfixRecord> records;
  std::string error;  // empty when the message is well-formed
};

// Reads one message; `known` holds the templates learnt so far (from earlier messages too).
inline IpfixMessage ReadIpfix(std::span<const uint8_t> in,
                              std::map<uint16_t, IpfixTemplate>& known) {
  IpfixMessage m;
  size_t at = 0;
  auto need = [&](size_t n, size_t end) { return at + n <= end; };
  auto u8 = [&] { return in[at++]; };
  auto u16 = [&] {
    const uint16_t v = static_cast<uint16_t>(in[at] << 8 | in[at + 1]);
    at += 2;
    return v;
  };
  auto u32 = [&] {
    const uint32_t hi = u16();
    return hi << 16 | u16();
  };
  if (in.size() < 16) return m.error = "shorter than a message header", m;
  m.version = u16();
  const uint16_t length = u16();
  m.exportTime = u32();
  m.sequence = u32();
  m.domain = u32();
  if (m.version != 10) return m.error = "version " + std::to_string(m.version), m;
  if (length != in.size()) return m.error = "length field " + std::to_string(length), m;
  while (at < in.size()) {
    if (!need(4, in.size())) return m.error = "set header cut", m;
    const uint16_t setId = u16();
    const uint16_t setLength = u16();
    const size_t setStart = at - 4;
    const size_t end = setStart + setLength;
    if (setLength < 4 || end > in.size()) return m.error = "set length", m;
    if (setLength % 4 != 0) return m.error = "set not padded to 4 bytes", m;
    if (setId == 2 || setId == 3) {
      while (end - at >= 4 + (setId == 3 ? 2 : 0)) {
        IpfixTemplate t;
        t.options = setId == 3;
        t.id = u16();
        const uint16_t count = u16();
        if (t.options) t.scopeCount = u16();
        if (t.id < 256) return m.error = "template id below 256", m;
        if (t.options && (t.scopeCount == 0 || t.scopeCount > count))
          return m.error = "options template scope count", m;
        for (uint16_t i = 0; i < count; ++i) {
          if (!need(4, end)) return m.error = "field specifier cut", m;
          IpfixField f;
          f.id = u16();
          f.length = u16();
          if (f.id & 0x8000) {
            if (!need(4, end)) return m.error = "enterprise number cut", m;
            f.id &= 0x7FFF;
            f.enterprise = u32();
          }
          t.fields.push_back(f);
        }
        known[t.id] = t;
        m.templates.push_back(t);
      }
    } else if (setId >= 256) {
      const auto t = known.find(setId);
      if (t == known.end()) return m.error = "data set without its template", m;
      size_t minimum = 0;
      for (const IpfixField& f : t->second.fields) minimum += f.length == 0xFFFF ? 1 : f.length;
      while (end - at >= minimum &&
             std::any_of(in.begin() + at, in.begin() + end, [](uint8_t b) { return b != 0; })) {
        IpfixRecord r;
        r.templateId = setId;
        for (const IpfixField& f : t->second.fields) {
          if (!need(1, end)) return m.error = "record cut", m;
          size_t n = f.length;
          if (f.length == 0xFFFF) {
            n = u8();
            if (n == 255) {
              if (!need(2, end)) return m.error = "record cut", m;
              n = u16();
            }
          }
          if (!need(n, end)) return m.error = "record cut", m;
          r.values[{f.enterprise, f.id}] =
              std::vector<uint8_t>(in.begin() + at, in.begin() + at + n);
          at += n;
        }
        m.records.push_back(std::move(r));
      }
    } else {
      return m.error = "reserved set id " + std::to_string(setId), m;
    }
    if (end - at >= 4) return m.error = "padding of 4 bytes or more", m;
    for (; at < end; ++at)
      if (in[at] != 0) return m.error = "padding not zero", m;
  }
  return m;
}

}  // namespace vela::test
