// Command-line options of vela-modem: "--name value" pairs, flags and positional
// arguments, with one-line reasons for everything a user can get wrong.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "coding/Modes.h"
#include "modem/TextTransmission.h"

namespace vela::cli {

// Bad usage: exit status 2 with this one-line reason.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// An input or output failure: exit status 1.
struct IoError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A number as typed on the command line: plain decimal only, finite; none otherwise.
std::optional<double> ParseDecimal(std::string_view text);
// The decimal numbers of a field like FROM:TO:STEP, split at ':'; none unless every part
// is one and there are `min` to `max` parts.
std::optional<std::vector<double>> ParseDecimalList(std::string_view text, size_t min, size_t max);

class Options {
 public:
  // `valued`: options that take a value; `flags`: options that don't.
  Options(int argc, char** argv, int first, const std::set<std::string>& valued,
          const std::set<std::string>& flags);

  bool Has(const std::string& name) const { return values_.count(name) || flags_.count(name); }
  std::optional<std::string> Get(const std::string& name) const;
  const std::vector<std::string>& positional() const { return positional_; }

  double Number(const std::string& name, double fallback, double min, double max) const;
  long Integer(const std::string& name, long fallback, long min, long max) const;
  Mode ModeOption(Mode fallback = kDefaultMode) const;

 private:
  std::map<std::string, std::string> values_;
  std::set<std::string> flags_;
  std::vector<std::string> positional_;
};

// The transmission options encode and send share (--mode, --freq, --tail-frames, --iq,
// --secondary, and --text or --text-file); `command` names the command in reasons.
TransmitSettings TransmitOptions(const Options& opt, const std::string& command);

struct ChannelSettings;
// The band-noise options channel and sweep share: --impulses RATE[:DB] and --fading HZ.
void ChannelNoiseOptions(const Options& opt, ChannelSettings& settings);

// The longest text a file may give to send: more than an operator could mean.
inline constexpr size_t kMaxTextFileBytes = 1 << 20;
// Reads a text file's bytes, at most kMaxTextFileBytes; IoError with the reason when it
// cannot or the file is longer.
std::string ReadTextFile(const std::string& path);
// Writes a file safely (see SafeFile); IoError when it cannot.
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A progress line on stderr, only when stderr is a terminal.
class Progress {
 public:
  explicit Progress(std::string label);
  ~Progress();
  void Update(double fraction);

 private:
  std::string label_;
  bool enabled_;
  int lastPercent_ = -1;
};

}  // namespace vela::cli
