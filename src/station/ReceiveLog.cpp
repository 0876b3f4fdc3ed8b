#include "station/ReceiveLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <utility>

#include "coding/Charset.h"
#include "station/SafeFile.h"

namespace vela {

namespace {

std::tm Utc(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm tm{};
  gmtime_r(&t, &tm);
  return tm;
}

std::string Format(const char* pattern, std::chrono::system_clock::time_point when) {
  const std::tm tm = Utc(when);
  char text[64];
  const size_t n = std::strftime(text, sizeof text, pattern, &tm);
  return std::string(text, n);
}

const char* Label(ReceiveLog::Kind kind) {
  switch (kind) {
    case ReceiveLog::Kind::Received:
      return "RX ";
    case ReceiveLog::Kind::Sent:
      return "TX ";
    case ReceiveLog::Kind::Secondary:
      return "SEC";
  }
  return "";
}

// Takes the last character off UTF-8 text.
void PopCharacter(std::string& text) {
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text.back());
    text.pop_back();
    if ((byte & 0xC0) != 0x80) return;
  }
}

}  // namespace

ReceiveLog::ReceiveLog(std::string location, bool folder, Clock clock)
    : location_(std::move(location)), folder_(folder), clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return std::chrono::system_clock::now(); };
}

ReceiveLog ReceiveLog::InFolder(std::string folder, Clock clock) {
  return ReceiveLog(std::move(folder), true, std::move(clock));
}

ReceiveLog ReceiveLog::ToFile(std::string path, Clock clock) {
  return ReceiveLog(std::move(path), false, std::move(clock));
}

void ReceiveLog::SetMode(std::string modeName) {
  if (modeName == mode_) return;
  CloseAll();
  mode_ = std::move(modeName);
}

void ReceiveLog::SetFrequency(double hz) {
  if (hz == frequency_) return;
  CloseAll();
  frequency_ = hz;
}

void ReceiveLog::SetRecording(std::string name) {
  if (name == recording_) return;
  CloseAll();
  recording_ = std::move(name);
}

void ReceiveLog::SetEnabled(bool on) {
  if (!on) CloseAll();
  enabled_ = on;
}

void ReceiveLog::Add(Kind kind, uint8_t c) {
  if (!enabled_) return;
  if (kind != Kind::Secondary && primary_.open && primaryKind_ != kind) Close(primary_);
  Line& line = LineFor(kind);
  if (c == 13 || c == 10) {
    Close(line);
    return;
  }
  if (c == 8) {
    if (line.open) PopCharacter(line.text);
    return;
  }
  if (!line.open) Begin(line, kind);
  // Other control characters by name: the log is read in terminals too.
  line.text += Windows1252ToVisibleUtf8(std::string(1, static_cast<char>(c)));
  if (line.text.size() >= kLineLength) Close(line, true);
}

void ReceiveLog::Flush() {
  const auto now = clock_();
  for (Line* line : {&primary_, &secondary_}) {
    if (line->open && now - line->start >= kLineAge) Close(*line, true);
  }
  WriteEnded();
}

void ReceiveLog::FlushAll() {
  CloseAll();
}

std::string ReceiveLog::currentPath() const {
  if (!folder_) return location_;
  return location_ + "/VELAlog-" + Format("%Y-%m-%d", clock_()) + ".txt";
}

std::optional<std::string> ReceiveLog::TakeError() {
  if (pendingError_.empty()) return std::nullopt;
  return std::exchange(pendingError_, std::string());
}

ReceiveLog::Line& ReceiveLog::LineFor(Kind kind) {
  return kind == Kind::Secondary ? secondary_ : primary_;
}

void ReceiveLog::Begin(Line& line, Kind kind) {
  line.open = true;
  line.start = clock_();
  char frequency[32];
  std::snprintf(frequency, sizeof frequency, "%.1f Hz", frequency_);
  line.header = Format("%Y-%m-%d %H:%M:%SZ", line.start) + "  " + mode_ + "  " + frequency + "  " +
                Label(kind) + "  ";
  if (kind != Kind::Sent && !recording_.empty()) line.header += "(recording " + recording_ + ") ";
  if (kind != Kind::Secondary) primaryKind_ = kind;
}

void ReceiveLog::Close(Line& line, bool wordBreak) {
  if (!line.open) return;
  std::string rest;
  if (wordBreak) {
    // A line of one long word (noise copied as text) is broken where it stands.
    const size_t space = line.text.find_last_of(' ');
    if (space == std::string::npos && line.text.size() < kLineLength) return;
    if (space != std::string::npos) {
      rest = line.text.substr(space + 1);
      line.text.resize(space + 1);
    }
  }
  if (!line.text.empty()) {
    auto at = ended_.end();
    while (at != ended_.begin() && std::prev(at)->start > line.start) --at;
    ended_.insert(at, {line.start, line.header + line.text + "\n"});
  }
  const Kind kind = &line == &secondary_ ? Kind::Secondary : primaryKind_;
  line = Line{};
  if (!rest.empty()) {
    Begin(line, kind);
    line.text = std::move(rest);
  }
  WriteEnded();
}

void ReceiveLog::CloseAll() {
  Close(primary_);
  Close(secondary_);
}

void ReceiveLog::WriteEnded() {
  size_t n = 0;
  for (; n < ended_.size(); ++n) {
    const auto start = ended_[n].start;
    if ((primary_.open && primary_.start < start) || (secondary_.open && secondary_.start < start))
      break;
    Write(ended_[n].text, start);
  }
  ended_.erase(ended_.begin(), ended_.begin() + static_cast<std::ptrdiff_t>(n));
}

bool ReceiveLog::Write(const std::string& text, std::chrono::system_clock::time_point when) {
  const std::string path =
      folder_ ? location_ + "/VELAlog-" + Format("%Y-%m-%d", when) + ".txt" : location_;
  int error = 0;
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = errno;
  } else {
    struct stat before {};
    const bool sized = fstat(fd, &before) == 0;
    if (!WriteFully(fd, text.data(), text.size())) {
      error = errno;
      // Half a line is taken back off: the file holds whole lines or none.
      if (sized) (void)!ftruncate(fd, before.st_size);
    }
    if (close(fd) != 0 && error == 0) error = errno;
  }
  if (error == 0) {
    failing_ = false;
    return true;
  }
  // Told once; later copy is written as soon as the file can be written again.
  if (!failing_) {
    pendingError_ = "The receive log cannot be written to " + path + ": " + std::strerror(error);
    failing_ = true;
  }
  return false;
}

}  // namespace vela
