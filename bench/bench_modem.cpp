// Encode and decode speed of the modem core in each mode, as multiples of real time.
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "modem/Modem.h"
#include "modem/TextTransmission.h"

using vela::bench::Clock;
using vela::bench::Seconds;

int main() {
  using namespace vela;
  std::string text;
  while (text.size() < 400) text += "CQ CQ CQ de G3XYZ G3XYZ pse k 599 tnx fer QSO 73 ";
  std::printf("%-8s %14s %14s %18s\n", "mode", "encode xRT", "decode xRT", "decode off-grid xRT");
  for (Mode mode : {Mode::Vela8, Mode::Vela31, Mode::Vela63, Mode::Vela125}) {
    TransmitSettings settings;
    settings.mode = mode;
    settings.text = text;
    std::vector<int16_t> left8k;
    size_t stereoValues = 0;
    const auto t0 = Clock::now();
    TransmitText(settings, [&](std::span<const int16_t> b) {
      stereoValues += b.size();
      for (size_t i = 0; i < b.size(); i += 8) left8k.push_back(b[i]);
    });
    const double encodeSeconds = Seconds(t0);
    const double audioSeconds = static_cast<double>(stereoValues) / 2 / kOutputSampleRate;

    double rates[2];
    const long double centres[2] = {1000.0L,
                                    1000.0833L};  // a fine-tuned centre never repeats a phase
    for (int k = 0; k < 2; ++k) {
      ModemEvents events;
      Modem modem(events);
      modem.SetMode(mode);
      modem.SetRxCentreFrequency(centres[k]);
      const auto t1 = Clock::now();
      modem.ProcessSamples(left8k);
      rates[k] = static_cast<double>(left8k.size()) / 8000.0 / Seconds(t1);
    }
    std::printf("%-8s %14.0f %14.0f %18.0f\n", std::string(ModeTable(mode).name).c_str(),
                audioSeconds / encodeSeconds, rates[0], rates[1]);
  }
  return 0;
}
