// An IPFIX (RFC 7011) message reader for the tests, written from the RFC and the report
// service's element table alone: it learns templates and options templates, reads data
// records by them (variable-length fields included) and checks what a collector checks:
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
  bool options = false;
  uint16_t scopeCount = 0;  // options templates only
  std::vector<IpfixField> fields;
};

struct IpfixRecord {
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
    const uint64_t sign = uint64_t{1} << (8 * values.at({enterprise, id}).size() - 1);
    return static_cast<int64_t>(*u ^ sign) - static_cast<int64_t>(sign);
  }
};

struct IpfixMessage {
  uint32_t exportTime = 0, sequence = 0, domain = 0;
  std::vector<IpfixTemplate> templates;  // those this message defines
  std::vector<IpfixRecord> records;
  std::string error;  // empty when the message is well-formed
};

// Reads one message; `known` holds the templates learnt so far (from earlier messages too).
inline IpfixMessage ReadIpfix(std::span<const uint8_t> in,
                              std::map<uint16_t, IpfixTemplate>& known) {
  IpfixMessage m;
  size_t at = 0, end = in.size();
  auto u16 = [&] {
    if (at + 2 > end) throw std::string("cut short");
    at += 2;
    return static_cast<uint16_t>(in[at - 2] << 8 | in[at - 1]);
  };
  auto u32 = [&] { return static_cast<uint32_t>(u16()) << 16 | u16(); };
  try {
    if (u16() != 10) throw std::string("not version 10");
    if (u16() != in.size()) throw std::string("length field");
    m.exportTime = u32();
    m.sequence = u32();
    m.domain = u32();
    while (at < in.size()) {
      end = in.size();
      const uint16_t setId = u16();
      const uint16_t setLength = u16();
      if (setLength < 4 || at - 4 + setLength > in.size()) throw std::string("set length");
      if (setLength % 4 != 0) throw std::string("set not padded to 4 bytes");
      end = at - 4 + setLength;
      if (setId == 2 || setId == 3) {
        while (end - at >= 4u + (setId == 3 ? 2u : 0u)) {
          IpfixTemplate t;
          t.options = setId == 3;
          t.id = u16();
          const uint16_t count = u16();
          if (t.options) t.scopeCount = u16();
          if (t.id < 256) throw std::string("template id below 256");
          if (t.options && (t.scopeCount == 0 || t.scopeCount > count))
            throw std::string("options template scope count");
          for (uint16_t i = 0; i < count; ++i) {
            IpfixField f{u16(), u16(), 0};
            if (f.id & 0x8000) f = {static_cast<uint16_t>(f.id & 0x7FFF), f.length, u32()};
            t.fields.push_back(f);
          }
          known[t.id] = t;
          m.templates.push_back(t);
        }
      } else if (setId >= 256) {
        if (!known.count(setId)) throw std::string("data set without its template");
        const IpfixTemplate& t = known[setId];
        while (std::any_of(in.begin() + at, in.begin() + end, [](uint8_t b) { return b != 0; })) {
          IpfixRecord r;
          for (const IpfixField& f : t.fields) {
            size_t n = f.length;
            if (f.length == 0xFFFF) {
              if (at >= end) throw std::string("record cut");
              n = in[at++];
              if (n == 255) n = u16();
            }
            if (at + n > end) throw std::string("record cut");
            r.values[{f.enterprise, f.id}].assign(in.begin() + at, in.begin() + at + n);
            at += n;
          }
          m.records.push_back(std::move(r));
        }
      } else {
        throw std::string("reserved set id");
      }
      // Padding: zeros, shorter than a set header.
      if (end - at >= 4) throw std::string("padding of 4 bytes or more");
      at = end;
    }
  } catch (const std::string& why) {
    m.error = why;
  }
  return m;
}

}  // namespace vela::test
