// The transmit controller: the one owner of what the station puts on the air. It decides
// when the sound output opens and closes, what each one-symbol buffer carries (data, the
// tune carrier or the Morse identifier), when the transmitter is keyed, and how a
// transmission ends. Operator commands and device events come in as plain calls; what the
// window and the station need to show or do comes out through TransmitEvents. Everything
// runs on the thread that drives the modem.
//
// How a transmission runs:
//   idle → opening (output opened, PTT keyed) → on air (40-buffer preamble, then one
//   buffer refilled per buffer played) → [draining] → stopping (output reset, PTT
//   released, capture back) → closing (first buffer back closes the output) → idle.
//
// Orders chosen where an operator would expect them:
// - SEND, CWID and tune exclude one another: while one of them is on, the other two are
//   ignored. Beacon is a flag and is accepted at any time.
// - F9 while sending, tune off, and closing the program stop at once: the buffers still
//   queued are dropped, as a transmitter is stopped by hand. F9 before the end marker
//   tells the source how much of the over never reached the air (OverCut).
// - The identifier, whether it ends by itself (after the callsign and eight key-up ticks)
//   or the operator switches it off, lets the 40 buffers already queued reach the air
//   (key up from then on) and stops after them, so the end of the callsign is heard.
// - The delayed-receive marker seen in the echo lets what is queued play out and two
//   frames more go out, so the far station's decoder has the marker, then ends the over
//   as F9 would.
// - SEND, tune or CWID pressed while the last transmission is still leaving the air is
//   shown at once and starts when the output has closed; pressing the same again before
//   that takes it back. CWID pressed while its own tail plays starts the identifier
//   again within the same transmission. The identifier's element clock runs only while
//   its transmission runs, so no element is keyed into a closed output.
// - A Morse identifier leaves the transmit pane alone: none of its text went on air.
// - The output failing (it will not open, a write is refused, the card goes away), or
//   the PTT refusing to key, ends the transmission and returns to receive; the operator
//   is told, and the text not sent stays in the pane.
// - PTT is keyed exactly while audio of ours can be reaching the transmitter (opening,
//   on air, draining), released before anything else at a stop and on every failure.
// - A transmission that has played the time limit's worth of buffers (data, tune and the
//   identifier alike; a beacon is one long transmission) ends as a failing output does.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "station/AudioOutputDevice.h"
#include "station/PttControl.h"
#include "tx/MskSynthesiser.h"

namespace vela {

// What the operator has switched on: SEND ("F9 Receive"), the tune carrier or the
// identifier. It can be on before its transmission starts (the last one still draining).
enum class TransmitRequest { None, Data, Tune, MorseId };

enum class OutputPhase { Idle, Opening, OnAir, Draining, Stopping, Closing };

struct TransmitState {
  TransmitRequest request = TransmitRequest::None;
  OutputPhase phase = OutputPhase::Idle;
  bool beacon = false;
  bool keyed = false;

  bool sending() const { return request == TransmitRequest::Data; }
  bool tuning() const { return request == TransmitRequest::Tune; }
  bool identifying() const { return request == TransmitRequest::MorseId; }
  // Our audio is going, or about to go, out: capture holds, and the mode buttons and the
  // PTT command are locked.
  bool onAir() const {
    return phase == OutputPhase::Opening || phase == OutputPhase::OnAir ||
           phase == OutputPhase::Draining;
  }
  // The output device is open in any phase; the program ends only once it has closed.
  bool outputOpen() const { return phase != OutputPhase::Idle; }
  bool operator==(const TransmitState&) const = default;
};

// Why a transmission could not go on; the front ends word it for the operator.
enum class TransmitProblem {
  OutputOpenFailed,
  OutputFailed,
  PttFailed,
  PttReleaseFailed,
  TimeLimit,  // on air for the whole time limit: stopped, PTT released
};

// One symbol from the source, and whether producing it echoed the delayed-receive end
// marker (the controller then lets the over play out; see above).
struct SourceSymbol {
  SourceSymbol(int s, bool marker = false)
      : symbol(s), endMarker(marker) {}  // NOLINT: a bare symbol is one
  int symbol;
  bool endMarker;
};

// The modem as the transmitter sees it.
class TransmitSource {
 public:
  virtual ~TransmitSource() = default;
  // 16-bit values in one one-symbol stereo buffer of the current mode.
  virtual int bufferLength() const = 0;
  // Symbols per frame of the current mode.
  virtual int frameLength() const = 0;
  // The next channel symbol, +1, -1 or 0, with the end marker's echo if it came with it.
  virtual SourceSymbol NextSymbol() = 0;
  virtual void SynthesiseSymbol(std::span<int16_t> buffer, int symbol, CarrierMode carrier) = 0;
  // An over has ended: what the pane held and was not yet sent is dropped.
  virtual void TransmissionStopped() = 0;
  // Comes first when the operator stopped a data over before its end: `unplayedSymbols`
  // of the symbols NextSymbol gave never reached the air.
  virtual void OverCut(int64_t unplayedSymbols) { (void)unplayedSymbols; }
  virtual void SetBeacon(bool on) = 0;
};

class TransmitEvents {
 public:
  virtual ~TransmitEvents() = default;
  virtual void TransmitStateChanged(const TransmitState& now, const TransmitState& before) = 0;
  // A data or tune transmission has ended: the transmit pane is to be emptied.
  virtual void TransmitPaneSent() = 0;
  // `detail` is the device's or the rig's own reason, one line, possibly empty.
  virtual void TransmitFailed(TransmitProblem problem, const std::string& detail) = 0;
  // Starts (periodMs > 0) or stops (0) the identifier's element clock; each period it
  // calls MorseTick().
  virtual void SetMorseClock(int periodMs) = 0;
  // Asked to end, the program may now: the output has closed and PTT is released.
  virtual void ReadyToExit() = 0;
};

inline constexpr int kMorseBufferValues = 2048;  // 32 ms per buffer whatever the mode

class TransmitController : private AudioOutputEvents {
 public:
  TransmitController(AudioOutputDevice& output, TransmitSource& source, TransmitEvents& events);
  TransmitController(const TransmitController&) = delete;
  TransmitController& operator=(const TransmitController&) = delete;
  ~TransmitController() override;

  // No PTT (nullptr) suits a rig on VOX.
  void SetPtt(PttControl* ptt) { ptt_ = ptt; }
  // The output device number: the one capture uses.
  void SetOutputDevice(int index) { deviceIndex_ = index; }
  // The callsign's Morse elements ("1" key down, anything else key up) and the element
  // period; the period in force when the identifier starts is kept for that identifier.
  void SetMorseIdentifier(std::string pattern, int periodMs);
  // The longest a transmission may stay on air; zero for no limit. Measured in buffers
  // played (each symbol's, or 32 ms of the identifier), so it does not depend on clocks;
  // the transmission stops once the limit has been reached, within one buffer of it. A new
  // limit counts from the next transmission.
  void SetTimeLimit(std::chrono::seconds limit) { limit_ = limit; }
  std::chrono::seconds timeLimit() const { return limit_; }

  // ---- Operator commands ----
  void Send();  // F9
  void ToggleCwId();
  void ToggleTune();
  void ToggleBeacon();
  // The program is to end. True when it may end at once; otherwise ReadyToExit follows.
  bool RequestExit();

  // ---- Events ----
  void MorseTick();

  const TransmitState& state() const { return state_; }
  bool exitRequested() const { return exitRequested_; }
  // The identifier: its elements, the 1-based position of the next one, the element being
  // keyed ("-" when idle, empty once past the callsign) and the element period.
  const std::string& morsePattern() const { return pattern_; }
  int morsePosition() const { return morsePosition_; }
  std::string morseElement() const {
    return morseElement_ == '\0' ? std::string() : std::string(1, morseElement_);
  }
  int morsePeriodMs() const { return periodMs_; }
  // Buffers written and not yet back.
  int buffersInFlight() const { return inFlight_; }

 private:
  // The delayed-receive marker has come back in the echo of the frame just built.
  void EndMarkerEchoed();
  enum class Drain { None, Identifier, Marker };

  void OutputOpened() override;
  void OutputBufferDone(int index) override;
  void OutputClosed() override;
  void OutputFailed(const std::string& reason) override;

  void Toggle(TransmitRequest request);
  void SwitchOn(TransmitRequest request);
  void SwitchOff(TransmitRequest request);
  void Start(TransmitRequest request);
  void Stop();
  void CloseOutput();
  void EndOver();
  void Abort(TransmitProblem problem, const std::string& detail);
  void Refill(int index);
  bool Write(int index, int symbol);
  bool KeyPtt(bool on);
  void StartIdentifier();
  void StopIdentifier();
  void BeginDrain(Drain drain, int buffers);
  CarrierMode Carrier() const;
  void Publish();

  AudioOutputDevice& output_;
  TransmitSource& source_;
  TransmitEvents& events_;
  PttControl* ptt_ = nullptr;
  int deviceIndex_ = 0;

  TransmitState state_;
  TransmitState published_;
  // What the transmission on the output carries, fixed from its start to its close.
  TransmitRequest carrying_ = TransmitRequest::None;
  Drain drain_ = Drain::None;
  int drainLeft_ = 0;
  bool exitRequested_ = false;

  int length_ = 0;  // values per buffer of the transmission on the output
  std::chrono::seconds limit_{0};
  int64_t limitValues_ = 0;   // of the transmission on the output; 0: none
  int64_t playedValues_ = 0;  // played in it so far
  int symbol_ = 1;            // the symbol the identifier holds
  int64_t dataSymbols_ = 0;   // given by NextSymbol in the transmission on the output
  bool cut_ = false;          // a data over the operator stopped before its end
  int64_t cutUnplayed_ = 0;   // its data symbols dropped at the stop
  int inFlight_ = 0;
  std::vector<std::vector<int16_t>> buffers_;
  std::vector<bool> queued_;

  std::string nextPattern_;
  int nextPeriodMs_ = 100;
  std::string pattern_;  // of the identifier running, or the last one
  int periodMs_ = 100;
  int morsePosition_ = 1;
  char morseElement_ = '-';  // '\0' once past the callsign
  bool morseClock_ = false;
};

}  // namespace vela
