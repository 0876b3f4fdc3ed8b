// libFuzzer target: arbitrary bytes through the recording reader and the whole receive
// chain. The first byte picks the mode and a few receiver settings; the rest is read both as
// a file (whatever libsndfile makes of it) and as raw 16-bit samples.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/WavFile.h"
#include "modem/Modem.h"
#include "tx/BitSource.h"

namespace {

struct Sink : vela::ModemEvents {};

void Receive(uint8_t control, const int16_t* samples, size_t count) {
  Sink events;
  vela::Modem modem(events);
  modem.SetMode(static_cast<vela::Mode>(control & 3));
  modem.SetRxCentreFrequency(500.0L + 250.0L * ((control >> 2) & 7));
  modem.SetRxSampleRate((control & 0x20) ? 8000.5L : 8000.0L);
  modem.SetSquelch((control & 0x40) ? 0 : 5);
  modem.ProcessSamples({samples, count});
  if (control & 0x80) {
    modem.bitSource().SetPaneText(std::string(reinterpret_cast<const char*>(samples), count));
    for (int i = 0; i < 300; ++i) modem.NextSymbol();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  std::vector<int16_t> raw((size - 1) / 2);
  if (!raw.empty()) std::memcpy(raw.data(), data + 1, raw.size() * 2);
  Receive(control, raw.data(), raw.size());

  // The same bytes as a recording file, read at 8000 Hz as the decoder would.
  const int fd = memfd_create("fuzz.wav", 0);
  if (fd < 0) return 0;
  if (write(fd, data + 1, size - 1) == static_cast<ssize_t>(size - 1)) {
    vela::WavReader reader;
    if (reader.Open("/proc/self/fd/" + std::to_string(fd), 8000)) {
      std::vector<int16_t> samples;
      for (auto block = reader.Read(); !block.empty() && samples.size() < 400000;
           block = reader.Read()) {
        samples.insert(samples.end(), block.begin(), block.end());
      }
      Receive(control, samples.data(), samples.size());
    }
  }
  close(fd);
  return 0;
}
