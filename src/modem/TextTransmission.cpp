#include "modem/TextTransmission.h"

#include "coding/Frame.h"
#include "coding/Varicode.h"
#include "tx/BitSource.h"

namespace vela {

TextTransmission::TextTransmission(Modem& modem, std::string text, int tailFrames,
                                   int preambleSymbols)
    : modem_(modem), tailFrames_(tailFrames), preambleLeft_(preambleSymbols) {
  int64_t bits = 0;
  sentText_ = text;
  for (char& c : sentText_) {
    if (c == '\r') c = ' ';
    bits += static_cast<int64_t>(PrimaryCharacterBits(static_cast<uint8_t>(c)).size());
  }
  // The text leaves the encoder after its bits plus the decoder's 63-bit delay and one
  // frame of interleaving; anything far beyond that means the echo will never show it.
  const int64_t perFrame = modem.params().dataBitsPerFrame;
  const int64_t expected = (bits + 63 + perFrame - 1) / perFrame + 2;
  frameLimit_ = 4 * expected + tailFrames_;
  modem_.bitSource().SetPaneText(std::move(text));
}

void TextTransmission::EchoChar(uint8_t c) {
  echoTail_ += static_cast<char>(c == 13 ? 10 : c);
  const size_t keep = sentText_.size() + 64;
  if (echoTail_.size() > 2 * keep) echoTail_.erase(0, echoTail_.size() - keep);
}

std::optional<int> TextTransmission::NextSymbol() {
  if (done_) return std::nullopt;
  if (preambleLeft_ > 0) {
    --preambleLeft_;
    return 1;
  }
  const bool frameStart = modem_.frameCounter() == 0;
  if (frameStart) {
    ++frameIndex_;
    if (echoedFrame_ && frameIndex_ == *echoedFrame_ + tailFrames_) {
      done_ = true;
      return std::nullopt;
    }
    if (frameIndex_ >= frameLimit_) {
      done_ = failed_ = true;
      return std::nullopt;
    }
  }
  const int symbol = modem_.NextSymbol();
  if (frameStart && !echoedFrame_ && echoTail_.find(sentText_) != std::string::npos) {
    echoedFrame_ = frameIndex_;
    if (tailFrames_ == 0) {
      done_ = true;
      return std::nullopt;
    }
  }
  return symbol;
}

}  // namespace vela

namespace vela {
namespace {

class EchoForwarder : public ModemEvents {
 public:
  TextTransmission* transmission = nullptr;
  void EchoChar(uint8_t c) override {
    if (transmission) transmission->EchoChar(c);
  }
};

}  // namespace

bool TransmitText(const TransmitSettings& settings,
                  const std::function<void(std::span<const int16_t>)>& sink) {
  EchoForwarder events;
  Modem modem(events);
  modem.SetMode(settings.mode);
  modem.SetTxCentreFrequency(settings.centreFrequency);
  modem.SetOutputStyle(settings.style);
  modem.bitSource().SetSecondaryText(settings.secondaryText);
  TextTransmission transmission(modem, settings.text, settings.tailFrames);
  events.transmission = &transmission;
  std::vector<int16_t> buffer(static_cast<size_t>(modem.bufferLength()));
  while (const auto symbol = transmission.NextSymbol()) {
    modem.SynthesiseSymbol(buffer, *symbol);
    sink(buffer);
  }
  return !transmission.failed();
}

}  // namespace vela
