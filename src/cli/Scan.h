// The band scan as the command line shows it, shared by scan and listen --scan.
#pragma once

#include <string>

#include "scan/BandScanner.h"

namespace vela::cli {

class Options;

// --mode M|all (all when absent), --from HZ, --to HZ; UsageError for anything wrong.
ScanConfig ScanOptions(const Options& opt);

// "freq 1234.56 mode VELA31 snr -12.3 conf 45% call G3ABC" (UTF-8, no line break).
std::string ScanHeadline(const ScanSignal& signal);
// Each line of text indented by two spaces, each ending in a line break (UTF-8).
std::string IndentedText(std::string_view windows1252);

}  // namespace vela::cli
