// libFuzzer target: arbitrary bytes as vela-modem's arguments (split at NUL bytes). Parsing
// must never crash; every number taken must be finite, in range and typed in plain decimal;
// and the same options written back as --name=value, flags and `--` before the positional
// arguments must parse to the same thing.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "sim/ChannelSim.h"

namespace {

using vela::cli::Options;
using vela::cli::UsageError;

const std::set<std::string> kValued = {"freq", "rate", "squelch", "snr", "impulses", "mode", "o"};
const std::set<std::string> kFlags = {"iq", "frames"};

void Check(bool ok) {
  if (!ok) std::abort();
}

bool PlainDecimalText(const std::string& text) {
  return text.find_first_not_of("0123456789+-.eE") == std::string::npos;
}

std::optional<Options> Parse(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  try {
    return Options(static_cast<int>(args.size()), argv.data(), 0, kValued, kFlags);
  } catch (const UsageError&) {
    return std::nullopt;
  }
}

// Every reading of the values an option can have; an exception is a refusal, not a fault.
void ReadNumbers(const Options& opt) {
  try {
    const double freq = opt.Number("freq", 1000, 1, 15000);
    Check(std::isfinite(freq) && freq >= 1 && freq <= 15000);
    if (opt.Has("freq")) Check(PlainDecimalText(*opt.Get("freq")));
  } catch (const UsageError&) {
  }
  try {
    const long squelch = opt.Integer("squelch", 5, 0, 100);
    Check(squelch >= 0 && squelch <= 100);
  } catch (const UsageError&) {
  }
  try {
    vela::cli::ChannelSettings settings;
    vela::cli::ChannelNoiseOptions(opt, settings);
    Check(std::isfinite(settings.impulses.rate) && std::isfinite(settings.impulses.db));
  } catch (const UsageError&) {
  }
  if (const auto snr = opt.Get("snr")) {
    if (const auto parts = vela::cli::ParseDecimalList(*snr, 1, 3)) {
      Check(!parts->empty() && parts->size() <= 3 &&
            snr->find_first_not_of("0123456789+-.eE:") == std::string::npos);
      for (double v : *parts) Check(std::isfinite(v));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size && args.size() <= 16; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  const auto opt = Parse(args);
  if (!opt) return 0;
  ReadNumbers(*opt);

  std::vector<std::string> again;
  for (const auto& name : kValued) {
    if (const auto value = opt->Get(name)) again.push_back("--" + name + "=" + *value);
  }
  for (const auto& name : kFlags) {
    if (opt->Has(name)) again.push_back("--" + name);
  }
  again.emplace_back("--");
  for (const auto& arg : opt->positional()) again.push_back(arg);
  const auto reread = Parse(again);
  Check(reread.has_value() && reread->positional() == opt->positional());
  for (const auto& name : kValued) Check(reread->Get(name) == opt->Get(name));
  for (const auto& name : kFlags) Check(reread->Has(name) == opt->Has(name));
  return 0;
}
