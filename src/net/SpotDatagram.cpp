#include "net/SpotDatagram.h"

#include <algorithm>

namespace vela::net {

namespace {

constexpr uint16_t kVersion = 10;
constexpr uint16_t kTemplateSet = 2;
constexpr uint16_t kOptionsTemplateSet = 3;
constexpr uint16_t kReceiverTemplate = 0x9992;
constexpr uint16_t kSenderTemplate = 0x9993;
constexpr uint32_t kEnterprise = 30351;
constexpr uint16_t kVariable = 0xFFFF;
// Texts are cut to this (at a character's start), so that any one sender record fits beside
// the templates and the receiver record.
constexpr size_t kMaxText = 128;

// The service's elements, and the one standard element used (flowStartSeconds).
enum Element : uint16_t {
  kSenderCallsign = 1,
  kReceiverCallsign = 2,
  kReceiverLocator = 4,
  kFrequency = 5,
  kSnr = 6,
  kDecoderSoftware = 8,
  kAntennaInformation = 9,
  kMode = 10,
  kInformationSource = 11,
  kFlowStartSeconds = 150,
};
// informationSource: the call was taken from the signal automatically.
constexpr uint8_t kAutomatic = 1;

struct Field {
  uint16_t id;
  uint16_t length;
  bool enterprise;
};

constexpr Field kReceiverFields[] = {{kReceiverCallsign, kVariable, true},
                                     {kReceiverLocator, kVariable, true},
                                     {kDecoderSoftware, kVariable, true},
                                     {kAntennaInformation, kVariable, true}};
constexpr Field kSenderFields[] = {{kSenderCallsign, kVariable, true},
                                   {kFrequency, 4, true},
                                   {kSnr, 1, true},
                                   {kMode, kVariable, true},
                                   {kInformationSource, 1, true},
                                   {kFlowStartSeconds, 4, false}};

size_t TextLength(const std::string& s) {
  if (s.size() <= kMaxText) return s.size();
  size_t n = kMaxText;
  while (n > 0 && (static_cast<uint8_t>(s[n]) & 0xC0) == 0x80) --n;  // inside a UTF-8 character
  return n;
}

class Writer {
 public:
  explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v >> 8));
    U8(static_cast<uint8_t>(v));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v >> 16));
    U16(static_cast<uint16_t>(v));
  }
  // Variable length: one length byte (texts are kept below 255 bytes).
  void Text(const std::string& s) {
    const size_t n = TextLength(s);
    U8(static_cast<uint8_t>(n));
    out_.insert(out_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
  }
  void Put16(size_t at, size_t v) {
    out_[at] = static_cast<uint8_t>(v >> 8);
    out_[at + 1] = static_cast<uint8_t>(v);
  }
  // Opens a set; Close pads it to a multiple of four bytes and writes its length.
  size_t Open(uint16_t id) {
    const size_t at = out_.size();
    U16(id);
    U16(0);
    return at;
  }
  void Close(size_t at) {
    while ((out_.size() - at) % 4 != 0) U8(0);
    Put16(at + 2, out_.size() - at);
  }
  size_t size() const { return out_.size(); }

 private:
  std::vector<uint8_t>& out_;
};

void FieldSpecifiers(Writer& w, std::span<const Field> fields) {
  for (const Field& f : fields) {
    w.U16(static_cast<uint16_t>(f.enterprise ? f.id | 0x8000 : f.id));
    w.U16(f.length);
    if (f.enterprise) w.U32(kEnterprise);
  }
}

size_t SenderBytes(const SenderRecord& s) {
  return 1 + TextLength(s.callsign) + 1 + TextLength(s.mode) + 10;
}

void Sender(Writer& w, const SenderRecord& s) {
  w.Text(s.callsign);
  w.U32(s.frequencyHz);
  w.U8(static_cast<uint8_t>(static_cast<int8_t>(std::clamp(s.snrDb, -128, 127))));
  w.Text(s.mode);
  w.U8(kAutomatic);
  w.U32(s.heard);
}

}  // namespace

std::string DecoderSoftware() {
  return std::string("VELA Terminal ") + VELA_VERSION;
}

std::vector<uint8_t> SpotEncoder::Message(const ReceiverRecord& receiver,
                                          std::span<const SenderRecord> senders, bool templates,
                                          uint32_t exportTime, size_t* taken) {
  std::vector<uint8_t> out;
  Writer w(out);
  w.U16(kVersion);
  w.U16(0);  // length, below
  w.U32(exportTime);
  w.U32(sequence_);
  w.U32(domain_);
  if (templates) {
    // The receiver's template carries options: its call is the scope they apply to.
    size_t set = w.Open(kOptionsTemplateSet);
    w.U16(kReceiverTemplate);
    w.U16(std::size(kReceiverFields));
    w.U16(1);
    FieldSpecifiers(w, kReceiverFields);
    w.Close(set);
    set = w.Open(kTemplateSet);
    w.U16(kSenderTemplate);
    w.U16(std::size(kSenderFields));
    FieldSpecifiers(w, kSenderFields);
    w.Close(set);
  }
  size_t set = w.Open(kReceiverTemplate);
  w.Text(receiver.callsign);
  w.Text(receiver.locator);
  w.Text(receiver.software);
  w.Text(receiver.antenna);
  w.Close(set);
  uint32_t records = 1;
  size_t n = 0;
  if (!senders.empty()) {
    set = w.Open(kSenderTemplate);
    // Whatever else, one sender goes in, so a batch always moves on.
    for (size_t bytes = w.size() + 3; n < senders.size(); ++n) {
      bytes += SenderBytes(senders[n]);
      if (n > 0 && bytes > kMaxDatagramBytes) break;
      Sender(w, senders[n]);
    }
    w.Close(set);
    records += static_cast<uint32_t>(n);
  }
  w.Put16(2, out.size());
  sequence_ += records;
  if (taken != nullptr) *taken = n;
  return out;
}

}  // namespace vela::net
