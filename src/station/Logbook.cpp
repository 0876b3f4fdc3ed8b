#include "station/Logbook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace vela {

namespace {

struct Band {
  double lowHz, highHz;
  std::string_view name;
};

// The amateur bands by the names loggers file them under, edges included.
constexpr std::array kBands{
    Band{135.7e3, 137.8e3, "2190m"},
    Band{472e3, 479e3, "630m"},
    Band{501e3, 504e3, "560m"},
    Band{1.8e6, 2.0e6, "160m"},
    Band{3.5e6, 4.0e6, "80m"},
    Band{5.06e6, 5.45e6, "60m"},
    Band{7.0e6, 7.3e6, "40m"},
    Band{10.1e6, 10.15e6, "30m"},
    Band{14.0e6, 14.35e6, "20m"},
    Band{18.068e6, 18.168e6, "17m"},
    Band{21.0e6, 21.45e6, "15m"},
    Band{24.89e6, 24.99e6, "12m"},
    Band{28.0e6, 29.7e6, "10m"},
    Band{40e6, 45e6, "8m"},
    Band{50e6, 54e6, "6m"},
    Band{54.000001e6, 69.9e6, "5m"},
    Band{70e6, 71e6, "4m"},
    Band{144e6, 148e6, "2m"},
    Band{222e6, 225e6, "1.25m"},
    Band{420e6, 450e6, "70cm"},
    Band{902e6, 928e6, "33cm"},
    Band{1240e6, 1300e6, "23cm"},
    Band{2300e6, 2450e6, "13cm"},
    Band{3300e6, 3500e6, "9cm"},
    Band{5650e6, 5925e6, "6cm"},
    Band{10000e6, 10500e6, "3cm"},
    Band{24000e6, 24250e6, "1.25cm"},
    Band{47000e6, 47200e6, "6mm"},
    Band{75500e6, 81000e6, "4mm"},
    Band{119980e6, 123000e6, "2.5mm"},
    Band{134000e6, 149000e6, "2mm"},
    Band{241000e6, 250000e6, "1mm"},
    Band{300000e6, 7500000e6, "submm"},
};

std::tm Utc(std::chrono::system_clock::time_point t) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  return tm;
}

std::string Format(std::chrono::system_clock::time_point t, const char* format) {
  const std::tm tm = Utc(t);
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, format, &tm));
}

// Megahertz to the hertz, without trailing zeros: 475500 Hz is "0.4755".
std::string Megahertz(double hz) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", hz / 1e6);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

void Field(std::string& out, std::string_view name, std::string_view value) {
  if (value.empty()) return;
  out += '<';
  out += name;
  out += ':';
  out += std::to_string(value.size());
  out += '>';
  out += value;
  out += ' ';
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Whether `s` is UTF-8 with no control characters (a line break would split a logger's view
// of the field; a NUL ends it early in some).
bool PlainUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7f) return false;
    int extra;
    if (c < 0x80) {
      extra = 0;
    } else if (c >= 0xc2 && c <= 0xdf) {
      extra = 1;
    } else if (c >= 0xe0 && c <= 0xef) {
      extra = 2;
    } else if (c >= 0xf0 && c <= 0xf4) {
      extra = 3;
    } else {
      return false;
    }
    if (i + extra >= s.size() && extra > 0) return false;
    for (int k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return false;
    }
    // No overlong forms, surrogates or code points past U+10FFFF.
    if (extra == 2) {
      const auto d = static_cast<unsigned char>(s[i + 1]);
      if ((c == 0xe0 && d < 0xa0) || (c == 0xed && d >= 0xa0)) return false;
    } else if (extra == 3) {
      const auto d = static_cast<unsigned char>(s[i + 1]);
      if ((c == 0xf0 && d < 0x90) || (c == 0xf4 && d >= 0x90)) return false;
    }
    i += 1 + extra;
  }
  return true;
}

bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string Reason(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// A new file's name is only safe once its folder has been synced too.
void SyncFolderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string_view ProgramVersion() {
  return VELA_VERSION;
}

std::string_view BandFor(double hz) {
  for (const Band& band : kBands) {
    if (hz >= band.lowHz && hz <= band.highHz) return band.name;
  }
  return {};
}

std::optional<std::string> CheckRecord(const QsoRecord& r) {
  if (r.call.empty()) return "the call of the station worked is missing";
  for (const char c : r.call) {
    if (c <= ' ' || c > '~') return "the call \"" + r.call + "\" holds a space or an odd character";
  }
  const std::pair<std::string_view, const std::string*> fields[] = {
      {"submode", &r.submode},
      {"RST sent", &r.rstSent},
      {"RST received", &r.rstReceived},
      {"name", &r.name},
      {"QTH", &r.qth},
      {"locator", &r.grid},
      {"comment", &r.comment},
      {"our call", &r.stationCallsign},
      {"our locator", &r.myGrid}};
  for (const auto& [label, value] : fields) {
    if (!PlainUtf8(*value)) {
      return "the " + std::string(label) +
             " holds a line break, a control character or text that is not UTF-8";
    }
  }
  if (r.timeOff < r.timeOn) return "the time off comes before the time on";
  if (!(r.frequencyHz >= 0 && r.frequencyHz < 1e13)) return "the frequency is out of range";
  return std::nullopt;
}

std::string AdifRecord(const QsoRecord& r) {
  std::string out;
  Field(out, "CALL", Upper(r.call));
  Field(out, "QSO_DATE", Format(r.timeOn, "%Y%m%d"));
  Field(out, "TIME_ON", Format(r.timeOn, "%H%M%S"));
  Field(out, "QSO_DATE_OFF", Format(r.timeOff, "%Y%m%d"));
  Field(out, "TIME_OFF", Format(r.timeOff, "%H%M%S"));
  if (r.frequencyHz > 0) {
    Field(out, "BAND", BandFor(r.frequencyHz));
    Field(out, "FREQ", Megahertz(r.frequencyHz));
  }
  if (!r.submode.empty()) Field(out, "MODE", kAdifMode);
  Field(out, "SUBMODE", Upper(r.submode));
  Field(out, "RST_SENT", r.rstSent);
  Field(out, "RST_RCVD", r.rstReceived);
  Field(out, "NAME", r.name);
  Field(out, "QTH", r.qth);
  Field(out, "GRIDSQUARE", r.grid);
  Field(out, "COMMENT", r.comment);
  Field(out, "STATION_CALLSIGN", Upper(r.stationCallsign));
  Field(out, "MY_GRIDSQUARE", r.myGrid);
  out += "<EOR>\n";
  return out;
}

std::string AdifHeader(std::chrono::system_clock::time_point created) {
  std::string out = std::string(kProgramName) + " QSO log\n";
  Field(out, "ADIF_VER", "3.1.4");
  Field(out, "CREATED_TIMESTAMP", Format(created, "%Y%m%d %H%M%S"));
  Field(out, "PROGRAMID", kProgramName);
  Field(out, "PROGRAMVERSION", ProgramVersion());
  out += "<EOH>\n";
  return out;
}

size_t CompleteAdifLength(std::string_view text) {
  size_t complete = 0;
  size_t pos = 0;
  while (true) {
    const size_t open = text.find('<', pos);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('>', open);
    if (close == std::string_view::npos) break;
    const std::string_view tag = text.substr(open + 1, close - open - 1);
    pos = close + 1;
    const size_t colon = tag.find(':');
    if (colon == std::string_view::npos) {
      if (IEquals(tag, "EOR") || IEquals(tag, "EOH")) complete = pos;
      continue;
    }
    std::string_view length = tag.substr(colon + 1);
    length = length.substr(0, length.find(':'));  // a type indicator may follow
    if (length.empty() || length.size() > 9) continue;
    size_t n = 0;
    bool digits = true;
    for (const char c : length) {
      if (c < '0' || c > '9') digits = false;
      n = n * 10 + static_cast<size_t>(c - '0');
    }
    if (!digits) continue;
    if (n > text.size() - pos) break;  // the value was cut short
    pos += n;
  }
  return complete;
}

Logbook::OpenResult Logbook::Open() {
  OpenResult result;
  const int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) {
      opened_ = true;  // made with its header by the first record
      return result;
    }
    return {false, Reason(path_, errno)};
  }
  std::string text;
  char buffer[65536];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      return {false, Reason(path_, error)};
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  const size_t complete = CompleteAdifLength(text);
  const std::string_view tail = std::string_view(text).substr(complete);
  if (tail.find_first_not_of(" \t\r\n") != std::string_view::npos) {
    // Kept beside the log rather than lost: the operator may still want what it says.
    const std::string aside = path_ + ".torn";
    const int out = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    bool saved = out >= 0 && WriteAll(out, std::string(tail) + "\n") && ::fsync(out) == 0;
    const int error = errno;
    if (out >= 0 && ::close(out) != 0) saved = false;
    if (!saved) {
      ::close(fd);
      return {false, Reason(aside, error)};
    }
    if (::ftruncate(fd, static_cast<off_t>(complete)) != 0 || ::lseek(fd, 0, SEEK_END) < 0 ||
        (complete > 0 && !WriteAll(fd, "\n")) || ::fsync(fd) != 0) {
      const int failure = errno;
      ::close(fd);
      return {false, Reason(path_, failure)};
    }
    result.message = path_ + ": the last record was cut short (" + std::to_string(tail.size()) +
                     " bytes, a crash or power cut while logging); moved to " + aside;
  }
  ::close(fd);
  opened_ = true;
  return result;
}

bool Logbook::Append(const QsoRecord& record, std::string* error) {
  if (const auto problem = CheckRecord(record)) {
    *error = *problem;
    return false;
  }
  if (!opened_) {
    const OpenResult open = Open();
    if (!open.ok) {
      *error = open.message;
      return false;
    }
  }
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = Reason(path_, errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    *error = Reason(path_, errno);
    ::close(fd);
    return false;
  }
  const bool fresh = st.st_size == 0;
  std::string bytes = fresh ? AdifHeader(std::chrono::system_clock::now()) : std::string();
  bytes += AdifRecord(record);
  // One write, so a reader never sees half a record; a short one (a full disk) is taken back.
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int failure = errno;
  if (!ok && ::ftruncate(fd, st.st_size) == 0) ::fsync(fd);
  if (::close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (!ok) {
    *error = Reason(path_, failure);
    return false;
  }
  if (fresh) SyncFolderOf(path_);
  return true;
}

}  // namespace vela
