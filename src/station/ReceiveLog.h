// The station's running log of everything copied and sent: plain text, one line per
// stretch of copy, each with its UTC time, mode and receive frequency, what was received
// marked RX, what we sent TX, and the secondary channel SEC on lines of its own:
//
//   2026-12-09 21:14:05Z  VELA63  1000.0 Hz  RX   cq cq de g4abc k
//   2026-12-09 21:14:07Z  VELA63  1000.0 Hz  SEC  G4ABC G4A
//
// Copy decoded from a recording says so, since its time is when it was decoded, not heard:
//
//   2026-12-09 21:20:00Z  VELA63  1000.0 Hz  RX   (recording cq.wav) cq de g4abc k
//
// The terminal keeps one file per UTC day in a folder (VELAlog-2026-12-09.txt); the command
// line writes one named file. Copy reaches the file within a few seconds: a line is written
// when it ends (a new line in the text, the other side starts, the mode, frequency or
// recording changes) or once it is a few seconds old, whichever comes first. Lines break
// between words, never inside one (a word still arriving waits for the next line), and
// reach the file in the order they started, so its times never go backwards. A file that
// cannot be written (a full disk) is reported once and keeps no half line; the log goes on
// trying.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "coding/Modes.h"

namespace vela {

class ReceiveLog {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  enum class Kind { Received, Sent, Secondary };

  // Lines older than this are written even when they have not ended.
  static constexpr std::chrono::seconds kLineAge{4};
  static constexpr size_t kLineLength = 100;

  // One file per UTC day in `folder`.
  static ReceiveLog InFolder(std::string folder, Clock clock = {});
  // Everything into the one file at `path`.
  static ReceiveLog ToFile(std::string path, Clock clock = {});

  // What the header of the following lines says.
  void SetMode(std::string modeName);
  void SetFrequency(double hz);
  // The recording (its file name) what follows is decoded from; empty for the air.
  void SetRecording(std::string name);
  void SetEnabled(bool on);
  bool enabled() const { return enabled_; }

  // One character of copy, as it came off the air (Windows-1252).
  void Add(Kind kind, uint8_t c);
  // Writes the lines that have ended or grown old; the owner calls it about once a second.
  void Flush();
  // Writes everything held, ended or not: at the end of the program.
  void FlushAll();

  // The file the log writes to now (for the current UTC day, in a folder).
  std::string currentPath() const;
  // The first failure to write since the last success, once; empty otherwise.
  std::optional<std::string> TakeError();

 private:
  struct Line {
    std::string text;  // UTF-8
    std::chrono::system_clock::time_point start;
    std::string header;
    bool open = false;
  };

  struct Written {
    std::chrono::system_clock::time_point start;
    std::string text;
  };

  ReceiveLog(std::string location, bool folder, Clock clock);
  Line& LineFor(Kind kind);
  void Begin(Line& line, Kind kind);
  // Ends the line; with `wordBreak`, only up to its last space, the word after it going on
  // at the start of a new line (the same kind, started now).
  void Close(Line& line, bool wordBreak = false);
  void CloseAll();
  // Writes the ended lines that no open line started before.
  void WriteEnded();
  bool Write(const std::string& text, std::chrono::system_clock::time_point when);

  std::string location_;
  bool folder_ = false;
  Clock clock_;
  bool enabled_ = true;
  std::string mode_ = "VELA63";
  double frequency_ = kDefaultCentreHz;
  std::string recording_;
  Line primary_;  // received or sent: one at a time, since we never do both
  Kind primaryKind_ = Kind::Received;
  Line secondary_;
  std::vector<Written> ended_;  // in the order the lines started
  std::string pendingError_;
  bool failing_ = false;
};

}  // namespace vela
