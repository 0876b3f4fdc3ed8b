// The station's QSO log: one ADIF record per contact, appended to a file the operator's
// logger can import (VELAlog.adi in the settings folder). A record reaches the disk whole and
// synced before Append reports it logged; when it cannot, the file is left as it was and the
// caller keeps the record to try again. A record cut short by a crash or a power cut is found
// when the log is opened next, moved aside to a file of its own (nothing is thrown away) and
// cut off, so the next record does not run into it.
//
// Values are written as the operator gave them, in UTF-8; a field's length counts bytes, so a
// reader that takes the file as plain ASCII stays in step with the fields even where it
// shows a name with accents wrongly.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vela {

struct QsoRecord {
  std::string call;  // the station worked
  std::chrono::system_clock::time_point timeOn;
  std::chrono::system_clock::time_point timeOff;
  double frequencyHz = 0;  // RF; 0 when not known
  std::string submode;     // "VELA63"
  std::string rstSent, rstReceived;
  std::string name, qth, grid, comment;  // theirs
  std::string stationCallsign, myGrid;   // ours
};

// The amateur band holding `hz` by its ADIF name ("2190m", "630m", "160m" …); empty outside
// every band.
std::string_view BandFor(double hz);
// Our modes all go in MODE as FSK (MSK is two-tone FSK) with the speed as SUBMODE.
inline constexpr std::string_view kAdifMode = "FSK";

// A reason the record cannot be logged (no call, a control character, text that is not
// UTF-8, off before on), or nothing when it can.
std::optional<std::string> CheckRecord(const QsoRecord& record);
// The record's fields, <EOR> and a line end.
std::string AdifRecord(const QsoRecord& record);
// The header a new log file starts with: the ADIF version, the time and the program.
std::string AdifHeader(std::chrono::system_clock::time_point created);

// The program as loggers see it (ADIF header, the UDP messages' client id).
inline constexpr std::string_view kProgramName = "VELA Terminal";
std::string_view ProgramVersion();

class Logbook {
 public:
  explicit Logbook(std::string path) : path_(std::move(path)) {}

  // Checks the file: a torn last record is moved to path() + ".torn" and cut off. Returns a
  // line for the operator when something was set aside; an error string when the file
  // cannot be read or repaired (then Append refuses too).
  struct OpenResult {
    bool ok = true;
    std::string message;
  };
  OpenResult Open();

  // Appends one record (after the header when the file is new) in one write and syncs it.
  // False with the reason in `error` when it did not reach the disk; the file keeps what it
  // had.
  bool Append(const QsoRecord& record, std::string* error);

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool opened_ = false;
};

// The length of the part of an ADIF text made of whole records: up to the end of the last
// <EOR> (or <EOH> when there is no record yet); 0 when there is neither. A field whose length
// runs past the end, or a tag left open, lies beyond it.
size_t CompleteAdifLength(std::string_view text);

}  // namespace vela
