#include "cli/Recording.h"

#include <algorithm>

#include "audio/WavFile.h"
#include "cli/Options.h"

namespace vela::cli {

void ReadRecording(const std::string& path, int rate, const std::string& label,
                   const std::function<void(std::span<const int16_t>)>& block) {
  WavReader reader;
  if (!reader.Open(path, rate)) throw IoError(reader.error());
  Progress progress(label);
  const double total = std::max(
      1.0, static_cast<double>(reader.fileFrames()) * reader.outputRate() / reader.fileRate());
  double done = 0;
  for (auto samples = reader.Read(); !samples.empty(); samples = reader.Read()) {
    block(samples);
    done += static_cast<double>(samples.size());
    progress.Update(done / total);
  }
  if (!reader.error().empty()) throw IoError(path + ": " + reader.error());
}

}  // namespace vela::cli
