#include "cli/Options.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/ChannelSim.h"
#include "coding/Charset.h"
#include "platform/SafeFile.h"

namespace vela::cli {

Options::Options(int argc, char** argv, int first, const std::set<std::string>& valued,
                 const std::set<std::string>& flags) {
  for (int i = first; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
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
      } else if (flags.count(name) && !inlineValue) {
        flags_.insert(name);
      } else {
        throw UsageError("unknown option --" + name);
      }
    } else if (arg == "-o" && valued.count("o")) {
      if (i + 1 >= argc) throw UsageError("-o needs a file name");
      values_["o"] = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      throw UsageError("unknown option " + arg);
    } else {
      positional_.push_back(arg);
    }
  }
}

std::optional<std::string> Options::Get(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

double Options::Number(const std::string& name, double fallback, double min, double max) const {
  const auto text = Get(name);
  if (!text) return fallback;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text->c_str(), &end);
  if (text->empty() || end != text->c_str() + text->size() || errno == ERANGE ||
      !std::isfinite(v)) {
    throw UsageError("--" + name + " takes a number, not \"" + *text + "\"");
  }
  if (v < min || v > max) {
    std::ostringstream s;
    s << "--" << name << " must lie between " << min << " and " << max;
    throw UsageError(s.str());
  }
  return v;
}

long Options::Integer(const std::string& name, long fallback, long min, long max) const {
  const auto text = Get(name);
  if (!text) return fallback;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text->c_str(), &end, 10);
  if (text->empty() || end != text->c_str() + text->size() || errno == ERANGE) {
    throw UsageError("--" + name + " takes a whole number, not \"" + *text + "\"");
  }
  if (v < min || v > max) {
    throw UsageError("--" + name + " must lie between " + std::to_string(min) + " and " +
                     std::to_string(max));
  }
  return v;
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
  settings.centreFrequency = opt.Number("freq", 1000.0, 1.0, 15000.0);
  settings.tailFrames = static_cast<int>(opt.Integer("tail-frames", 2, 0, 1000000));
  settings.style = opt.Has("iq") ? OutputStyle::IQ : OutputStyle::Mono;
  if (const auto secondary = opt.Get("secondary")) settings.secondaryText = ToAirBytes(*secondary);
  if (opt.Has("text") == opt.Has("text-file")) {
    throw UsageError(command + " needs the text: --text TEXT or --text-file FILE (one of them)");
  }
  settings.text =
      ToAirBytes(opt.Has("text") ? *opt.Get("text") : ReadFileBytes(*opt.Get("text-file")));
  if (settings.text.empty()) throw UsageError(command + ": the text is empty");
  return settings;
}

void ChannelNoiseOptions(const Options& opt, ChannelSettings& settings) {
  if (const auto impulses = opt.Get("impulses")) {
    const auto parsed = ParseImpulses(*impulses);
    if (!parsed) throw UsageError("--impulses takes RATE[:DB], bursts a second and dB, e.g. 10:20");
    settings.impulses = *parsed;
  }
  settings.fadingHz = opt.Number("fading", 0.0, 0.0, 100.0);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw IoError(path + ": " + std::strerror(errno));
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) throw IoError(path + ": read error");
  return s.str();
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
