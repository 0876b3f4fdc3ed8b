#include "scan/BandMap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vela {

namespace {

// The same signal as before: the same mode, within a quarter of its symbol rate (as the
// scanner tells a later sighting from a neighbour).
bool SamePlace(Mode mode, double hz, const ScanSignal& s) {
  return s.mode == mode && std::abs(s.centreHz - hz) < 0.25 * ModeTable(mode).symbolRate;
}

std::string_view LastLineOf(std::string_view t) {
  if (!t.empty() && t.back() == '\n') t.remove_suffix(1);
  const size_t cut = t.rfind('\n');
  return cut == std::string_view::npos ? t : t.substr(cut + 1);
}

}  // namespace

std::string HeardStation::Text() const {
  return earlier + latest;
}

std::string_view HeardStation::NewestLine(size_t chars) const {
  std::string_view line = LastLineOf(latest);
  if (line.empty()) line = LastLineOf(earlier);
  return line.substr(line.size() - std::min(chars, line.size()));
}

void BandMap::Update(const std::vector<ScanSignal>& listed, double utcAtStart) {
  bool changed = false;
  for (HeardStation& station : stations_) {
    if (!station.heard()) continue;
    if (std::none_of(listed.begin(), listed.end(),
                     [&](const ScanSignal& s) { return s.id == station.signalId; })) {
      station.signalId = 0;
      station.revision = revision_ + 1;
      changed = true;
    }
  }
  for (const ScanSignal& signal : listed) {
    HeardStation* station = Following(signal.id);
    const bool takenOver = station != nullptr && !signal.call.empty() && !station->call.empty() &&
                           signal.call != station->call;
    if (takenOver) {
      // Another station has the frequency now: the one before keeps what it had.
      station->signalId = 0;
      station->revision = revision_ + 1;
      station = nullptr;
      changed = true;
    }
    if (station == nullptr && (station = ComingBack(signal)) != nullptr) {
      // Back again: its earlier copy stays, a line of its own before the new.
      station->earlier += station->latest;
      if (!station->earlier.empty() && station->earlier.back() != '\n') station->earlier += '\n';
      station->latest.clear();
      station->signalId = signal.id;
      station->revision = revision_ + 1;
      changed = true;
    }
    if (station == nullptr) {
      HeardStation added;
      added.key = nextKey_++;
      added.signalId = signal.id;
      added.mode = signal.mode;
      added.bestSnrDb = -std::numeric_limits<double>::infinity();
      // The copy's first frame was the station before's when this one took over.
      added.firstHeard = utcAtStart + (takenOver ? signal.lastHeard : signal.firstHeard);
      stations_.push_back(std::move(added));
      station = &stations_.back();
    }
    changed = Follow(*station, signal, utcAtStart) || changed;
  }
  if (changed) ++revision_;
}

bool BandMap::Follow(HeardStation& station, const ScanSignal& signal, double utcAtStart) {
  const HeardStation before = station;
  station.centreHz = signal.centreHz;
  station.snrDb = signal.snrDb;
  station.bestSnrDb = std::max(station.bestSnrDb, signal.snrDb);
  // A copy that has not yet brought its call whole keeps the one heard before.
  if (!signal.call.empty()) station.call = signal.call;
  station.lastHeard = std::max(station.lastHeard, utcAtStart + signal.lastHeard);
  station.latest = signal.text;
  if (station.earlier.size() + station.latest.size() > 2 * kTextLimit) {
    const size_t over = station.earlier.size() + station.latest.size() - kTextLimit;
    station.earlier.erase(0, std::min(over, station.earlier.size()));
  }
  const bool changed = before.revision != station.revision || before.call != station.call ||
                       before.centreHz != station.centreHz || before.snrDb != station.snrDb ||
                       before.lastHeard != station.lastHeard || before.latest != station.latest ||
                       before.earlier != station.earlier || before.signalId != station.signalId;
  if (changed) station.revision = revision_ + 1;
  return changed;
}

HeardStation* BandMap::Following(int signalId) {
  for (HeardStation& s : stations_) {
    if (s.signalId == signalId) return &s;
  }
  return nullptr;
}

HeardStation* BandMap::ComingBack(const ScanSignal& signal) {
  HeardStation* best = nullptr;
  for (HeardStation& s : stations_) {
    if (s.heard() || !SamePlace(s.mode, s.centreHz, signal)) continue;
    if (!s.call.empty() && !signal.call.empty() && s.call != signal.call) continue;
    if (best == nullptr ||
        std::abs(s.centreHz - signal.centreHz) < std::abs(best->centreHz - signal.centreHz))
      best = &s;
  }
  return best;
}

void BandMap::Clear() {
  const auto gone = std::erase_if(stations_, [](const HeardStation& s) { return !s.heard(); });
  if (gone > 0) ++revision_;
}

}  // namespace vela
