// The operator's map of the band: every station heard this session, kept after it falls
// silent until the operator clears it away, with where and how it was heard and what it
// sent. Fed the band scanner's list of the signals on now; the scanner forgets a signal a
// few frames after its last one, the map does not.
//
// A signal the scanner lists again (a new number, the same mode and frequency) is the same
// station come back, unless it sends another call; a new call on a followed signal is a new
// station taking over the frequency, and the old one is kept as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "coding/Modes.h"
#include "scan/ScanSignal.h"

namespace vela {

struct HeardStation {
  int key = 0;       // stable for the map's life, never reused
  int signalId = 0;  // the scanner's signal it is heard as now; 0 when no longer heard
  Mode mode = kDefaultMode;
  std::string call;  // the latest whole call it sent (the scanner's callsign rule); kept
  double centreHz = 0.0;
  double snrDb = 0.0;  // as last measured
  double bestSnrDb = 0.0;
  double firstHeard = 0.0;  // UTC, seconds since 1970
  double lastHeard = 0.0;
  // Its copy (Windows-1252): what the earlier hearings gave, then the latest one's.
  std::string earlier;
  std::string latest;
  uint64_t revision = 0;  // the map's revision when anything here last changed

  bool heard() const { return signalId != 0; }
  std::string Text() const;
  // The end of the newest line of copy, at most `chars` characters: what was sent last.
  std::string_view NewestLine(size_t chars) const;
};

class BandMap {
 public:
  // Bytes of copy kept a station (the oldest go).
  static constexpr size_t kTextLimit = 4096;

  // The scanner's list now; `utcAtStart` is the UTC time of its input's start, so a signal's
  // times in seconds of input become times of day.
  void Update(const std::vector<ScanSignal>& listed, double utcAtStart);
  // Forgets the stations no longer heard; those on now stay.
  void Clear();

  const std::vector<HeardStation>& stations() const { return stations_; }
  // Changes whenever the list or anything in it does.
  uint64_t revision() const { return revision_; }

 private:
  HeardStation* Following(int signalId);
  HeardStation* ComingBack(const ScanSignal& signal);
  bool Follow(HeardStation& station, const ScanSignal& signal, double utcAtStart);

  std::vector<HeardStation> stations_;
  uint64_t revision_ = 0;
  int nextKey_ = 1;
};

}  // namespace vela
