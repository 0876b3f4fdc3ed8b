#include "cli/Options.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "coding/Charset.h"
#include "coding/Modes.h"
#include "sim/ChannelSim.h"
#include "station/SafeFile.h"

namespace vela::cli {

Options::Options(int argc, char** argv, int first, const std::set<std::string>& valued,
                 const std::set<std::string>& flags) {
  bool optionsEnded = false;
  for (int i = first; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      positional_.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;  // what follows is a file name, even one that starts with '-'
    } else if (arg.rfind("--", 0) == 0) {
      std::string name = arg.substr(2);
      std::optional<std::string> inlineValue;
      if (const auto eq = name.find('='); eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name.erase(eq);
      }
      if (valued.count(name)) {
        if (!inlineValue) {
          if (i + 1 >= argc) throw UsageError("--" + name + " needs a value");
          inlineValue = argv[++i];
        }
        values_[name] = *inlineValue;
      } else if (flags.count(name)) {
        if (inlineValue) throw UsageError("--" + name + " takes no value");
        flags_.insert(name);
      } else {
        throw UsageError("unknown option --" + name);
      }
    } else if (valued.count("o") && (arg == "-o" || arg.rfind("-o=", 0) == 0)) {
      if (arg.size() > 2) {
        values_["o"] = arg.substr(3);
      } else {
        if (i + 1 >= argc) throw UsageError("-o needs a file name");
        values_["o"] = argv[++i];
      }
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
}

std::optional<std::string> Options::Get(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

namespace {

// Plain decimal as an operator types it: an optional sign, digits with at most one point,
// an optional decimal exponent. No hexadecimal, no "inf" or "nan", no spaces.
bool IsPlainDecimal(std::string_view text, bool whole) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  const auto digits = [&] {
    const size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - start;
  };
  size_t mantissa = digits();
  if (!whole && i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (!whole && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (digits() == 0) return false;
  }
  return i == text.size();
}

std::string ShortNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.12g", value);
  return text;
}

std::string OutOfRange(const std::string& name, const std::string& text, double min, double max) {
  return "--" + name + " must lie between " + ShortNumber(min) + " and " + ShortNumber(max) +
         ", not " + text;
}

}  // namespace

std::optional<double> ParseDecimal(std::string_view text) {
  if (!IsPlainDecimal(text, false)) return std::nullopt;
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::vector<double>> ParseDecimalList(std::string_view text, size_t min, size_t max) {
  std::vector<double> values;
  while (values.size() < max) {
    const size_t colon = text.find(':');
    const auto value = ParseDecimal(text.substr(0, colon));
    if (!value) return std::nullopt;
    values.push_back(*value);
    if (colon == std::string_view::npos) break;
    text.remove_prefix(colon + 1);
    if (values.size() == max) return std::nullopt;  // a part too many
  }
  if (values.size() < min) return std::nullopt;
  return values;
}

double Options::Number(const std::string& name, double fallback, double min, double max) const {
  const auto text = Get(name);
  if (!text) return fallback;
  const auto value = ParseDecimal(*text);
  if (!value) throw UsageError("--" + name + " takes a decimal number, not \"" + *text + "\"");
  if (*value < min || *value > max) throw UsageError(OutOfRange(name, *text, min, max));
  return *value;
}

long Options::Integer(const std::string& name, long fallback, long min, long max) const {
  const auto text = Get(name);
  if (!text) return fallback;
  std::string_view digits = *text;
  if (!IsPlainDecimal(digits, true)) {
    throw UsageError("--" + name + " takes a whole number, not \"" + *text + "\"");
  }
  if (digits.front() == '+') digits.remove_prefix(1);
  long value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() || value < min || value > max) {
    throw UsageError("--" + name + " must lie between " + std::to_string(min) + " and " +
                     std::to_string(max) + ", not " + *text);
  }
  return value;
}

Mode Options::ModeOption(Mode fallback) const {
  const auto text = Get("mode");
  if (!text) return fallback;
  const auto mode = ParseMode(*text);
  if (!mode) throw UsageError("unknown mode \"" + *text + "\" (vela8, vela31, vela63 or vela125)");
  return *mode;
}

TransmitSettings TransmitOptions(const Options& opt, const std::string& command) {
  TransmitSettings settings;
  settings.mode = opt.ModeOption();
  settings.centreFrequency = opt.Number("freq", kDefaultCentreHz, 1.0, 15000.0);
  settings.tailFrames = static_cast<int>(opt.Integer("tail-frames", 2, 0, 1000000));
  settings.style = opt.Has("iq") ? OutputStyle::IQ : OutputStyle::Mono;
  if (const auto secondary = opt.Get("secondary")) settings.secondaryText = ToAirBytes(*secondary);
  if (opt.Has("text") == opt.Has("text-file")) {
    throw UsageError(command + " needs the text: --text TEXT or --text-file FILE (one of them)");
  }
  settings.text =
      ToAirBytes(opt.Has("text") ? *opt.Get("text") : ReadTextFile(*opt.Get("text-file")));
  if (settings.text.empty()) throw UsageError(command + ": the text is empty");
  return settings;
}

void ChannelNoiseOptions(const Options& opt, ChannelSettings& settings) {
  if (const auto impulses = opt.Get("impulses")) {
    const auto parts = ParseDecimalList(*impulses, 1, 2);
    ImpulseSettings& s = settings.impulses;
    if (parts) {
      s.rate = (*parts)[0];
      if (parts->size() == 2) s.db = (*parts)[1];
    }
    if (!parts || s.rate < 0 || s.rate > 1000 || s.db < -20 || s.db > 80) {
      throw UsageError("--impulses takes RATE[:DB], bursts a second and dB, e.g. 10:20");
    }
  }
  settings.fadingHz = opt.Number("fading", 0.0, 0.0, 100.0);
}

std::string ReadTextFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw IoError(path + " is a folder, not a text file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw IoError(path + ": " + std::strerror(errno));
  // Never more than one byte past the limit, whatever the file is (/dev/urandom included).
  std::string bytes(kMaxTextFileBytes + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) throw IoError(path + ": read error");
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (bytes.size() > kMaxTextFileBytes) {
    throw IoError(path + " is larger than 1 MiB: too long to be a text to send");
  }
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::string error;
  if (!WriteFileSafely(path, bytes, &error)) throw IoError(path + ": " + error);
}

Progress::Progress(std::string label) : label_(std::move(label)), enabled_(isatty(2) == 1) {}

Progress::~Progress() {
  if (enabled_ && lastPercent_ >= 0) std::fprintf(stderr, "\r\033[K");
}

void Progress::Update(double fraction) {
  if (!enabled_) return;
  const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  std::fprintf(stderr, "\r%s %3d%%", label_.c_str(), percent);
  std::fflush(stderr);
}

}  // namespace vela::cli
