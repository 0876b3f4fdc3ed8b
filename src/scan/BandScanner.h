// The band scanner: finds every VELA signal across the band and copies each one.
//
// One line search per mode looks for the pair of spectral lines a squared MSK signal
// carries; each new pair starts a trial: an enhanced receiver tuned to it, which first
// hears the recent past again (so the text from the start of the transmission is not lost)
// and then runs on. A trial whose PN sync shows the signal is listed; one that shows
// nothing within a few frames is dropped, and its place left alone for a while. A listed
// signal that shows no sync for a few frames has faded and is dropped. Signals closer than
// their spectra's main lobes count as one.
//
// Use: recordings call Process() with every block and Flush() at the end. Live use pushes
// each capture buffer with Push() and gives the scanner time with Run(budget) whenever the
// main receiver has been served; when it falls behind it stops searching until it has
// caught up (the signals found go on being copied), and says so through scanning() and
// lagSeconds().
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "coding/Modes.h"
#include "scan/LineSearch.h"
#include "scan/ScanSignal.h"
#include "scan/SignalCopy.h"

namespace vela {

struct ScanConfig {
  double fromHz = 250.0;  // the waterfall's band
  double toHz = 2050.0;
  std::vector<Mode> modes{Mode::Vela8, Mode::Vela31, Mode::Vela63, Mode::Vela125};
  // The rate the samples are taken to have, for the receivers (a sound card's clock
  // correction); the samples themselves come at 8000 per second.
  long double sampleRate = kNominalRxRate;
  int squelch = kDefaultSquelch;  // each signal's text squelch
  size_t textLimit = 0;           // bytes of text kept per signal (the oldest go); 0 keeps all
};

// Called as signals come, change and go; every call comes from Process, Flush or Run.
class ScanEvents {
 public:
  virtual ~ScanEvents() = default;
  virtual void SignalListed(const ScanSignal& /*signal*/) {}
  // New text, secondary text, confidence or estimate.
  virtual void SignalChanged(const ScanSignal& /*signal*/) {}
  virtual void SignalDropped(const ScanSignal& /*signal*/) {}
};

class BandScanner {
 public:
  explicit BandScanner(const ScanConfig& config, ScanEvents* events = nullptr);
  ~BandScanner();
  BandScanner(const BandScanner&) = delete;
  BandScanner& operator=(const BandScanner&) = delete;

  // Recordings: every block at once, searching all of it.
  void Process(std::span<const int16_t> samples);
  // The end of a recording: brings out what the receivers still hold back.
  void Flush();

  // Live: queue a capture buffer (cheap), then work through the queue for about `budget`
  // of this thread's time (one buffer's worth at least, so it always gets on).
  void Push(std::span<const int16_t> samples);
  void Run(std::chrono::microseconds budget);
  double lagSeconds() const;  // audio queued but not yet processed
  // False while the scanner has fallen behind and is not searching for new signals.
  bool scanning() const { return scanning_; }
  double unsearchedSeconds() const;  // audio processed without a search, all told
  double droppedSeconds() const;     // audio thrown away unprocessed, all told

  // Signals listed now, lowest frequency first, and a count that changes whenever this
  // list or anything in it does.
  const std::vector<ScanSignal>& listed() const { return signals_; }
  uint64_t revision() const { return revision_; }
  std::vector<ScanMark> Marks() const;
  // Every signal listed since the start, those dropped included (as they were then).
  std::vector<ScanSignal> Heard() const;
  double seconds() const;                                   // audio processed since the start
  int64_t trialsStarted() const { return trialsStarted_; }  // line pairs tried, all told

 private:
  struct Rejected {
    Mode mode;
    double centreHz;
    int64_t until;  // input position
  };

  void Chunk(std::span<const int16_t> samples, bool search);
  void Consider(const LineCandidate& found);
  void StartTrial(const LineCandidate& found);
  void Review();
  void Publish();
  SignalCopy* Near(std::vector<std::unique_ptr<SignalCopy>>& copies, Mode mode, double centreHz,
                   bool sameSignal);
  int64_t FramePeriodSamples(Mode mode) const;

  ScanConfig config_;
  ScanEvents* events_;
  std::vector<LineSearch> searches_;
  std::vector<int16_t> history_;  // a ring of the latest input, for new trials to replay
  int64_t position_ = 0;          // input samples processed
  std::vector<std::unique_ptr<SignalCopy>> trials_;
  std::vector<std::unique_ptr<SignalCopy>> listed_;
  std::vector<Rejected> rejected_;
  std::vector<ScanSignal> dropped_;
  std::vector<ScanSignal> signals_;
  std::vector<LineCandidate> found_;
  uint64_t revision_ = 0;
  int nextId_ = 1;
  std::vector<int16_t> queue_;
  size_t queueStart_ = 0;
  bool scanning_ = true;
  int64_t unsearched_ = 0;
  int64_t droppedSamples_ = 0;
  bool membershipChanged_ = false;
  int64_t trialsStarted_ = 0;
};

}  // namespace vela
