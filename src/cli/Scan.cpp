#include "cli/Scan.h"

#include <QCoreApplication>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <optional>
#include <set>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/Recording.h"
#include "cli/Spots.h"
#include "coding/Charset.h"

namespace vela::cli {

ScanConfig ScanOptions(const Options& opt) {
  ScanConfig config;
  if (const auto mode = opt.Get("mode")) {
    std::string lower = *mode;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower != "all") config.modes = {opt.ModeOption()};
  }
  // The receive audio runs at 8000 samples per second: the band ends below 4000 Hz.
  config.fromHz = opt.Number("from", config.fromHz, 0.0, 3999.0);
  config.toHz = opt.Number("to", config.toHz, 1.0, 3999.0);
  if (config.toHz <= config.fromHz) throw UsageError("--to must lie above --from");
  return config;
}

std::string ScanHeadline(const ScanSignal& s) {
  char line[160];
  std::snprintf(line, sizeof line, "freq %.2f mode %s snr %.1f conf %d%% call ", s.centreHz,
                std::string(ModeTable(s.mode).name).c_str(), s.snrDb, s.confidence);
  return line + (s.call.empty() ? std::string("-") : Windows1252ToVisibleUtf8(s.call));
}

std::string IndentedText(std::string_view windows1252) {
  std::string out;
  size_t start = 0;
  while (start < windows1252.size()) {
    size_t end = windows1252.find('\n', start);
    if (end == std::string_view::npos) end = windows1252.size();
    out += "  " + Windows1252ToVisibleUtf8(windows1252.substr(start, end - start)) + "\n";
    start = end + 1;
  }
  return out;
}

namespace {

// Every station listed with a call, the recording taken as ending now; IoError when the
// report could not go.
void ReportScan(const SpotSettings& settings, const BandScanner& scanner, char** argv) {
  int qtArgc = 1;
  QCoreApplication app(qtArgc, argv);
  CliSpots spots(settings);
  if (!spots.sink().Resolve()) throw IoError("spots: " + spots.sink().error());
  for (const ScanSignal& s : scanner.Heard()) spots.Heard(s, scanner);
  spots.reporter().Flush();
  spots.Say();
  if (spots.reporter().queued() > 0)
    throw IoError("spots could not be sent to " + spots.Where() + ": " + spots.sink().error());
  std::fprintf(stderr, "vela-modem: %lld stations reported to %s\n",
               static_cast<long long>(spots.reporter().reported()), spots.Where().c_str());
}

}  // namespace

int RunScan(int argc, char** argv) {
  std::set<std::string> valued{"mode", "from", "to"};
  valued.insert(std::begin(kSpotOptions), std::end(kSpotOptions));
  const Options opt(argc, argv, 2, valued, {});
  if (opt.positional().size() != 1) throw UsageError("scan needs exactly one input file");
  const ScanConfig config = ScanOptions(opt);
  const std::optional<SpotSettings> spots = SpotOptions(opt, false, true);
  const std::string& path = opt.positional()[0];
  BandScanner scanner(config);
  ReadRecording(path, kScanSampleRate, "scan",
                [&](std::span<const int16_t> block) { scanner.Process(block); });
  scanner.Flush();
  for (const ScanSignal& s : scanner.Heard()) {
    const std::string out = ScanHeadline(s) + "\n" + IndentedText(s.text);
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  if (spots) ReportScan(*spots, scanner, argv);
  return 0;
}

}  // namespace vela::cli
