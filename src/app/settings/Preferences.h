// The station's settings and macros, kept in "VELApreferences.INI" beside the program:
// read once when the terminal starts, written once when it closes.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>

#include "station/SettingsFolder.h"

namespace vela::app {

struct MacroEntry {
  QString label;
  QString text;
};

// What a setting may hold, in the file and wherever the operator sets it. Audio centre
// frequencies stay inside the passband an SSB transmitter and receiver carry; a receive
// centre also sits below half the sample rate by the widest signal's half-width.
struct SettingLimits {
  static constexpr long double kLowestAudioHz = 200;
  static constexpr long double kHighestAudioHz = 3800;
  static constexpr long double kLowestSampleRate = 4000;  // what a sound card can run
  static constexpr long double kHighestSampleRate = 192000;
  static constexpr int kHighestSquelch = 100;
  static constexpr int kHighestComPort = 9;
  static constexpr int kLongestCallsign = 20;
  static constexpr int kLongestLine = 200;     // a label, the secondary text
  static constexpr int kLongestMacro = 10000;  // a macro's text, line breaks included

  // The highest receive centre frequency `sampleRate` carries.
  static long double HighestReceiveHz(long double sampleRate);
  // `hz` brought inside the band a transmit (or, with a rate, a receive) centre may take.
  static long double ClampTransmitHz(long double hz);
  static long double ClampReceiveHz(long double hz, long double sampleRate);
  // Why `text` cannot be a setting of at most `longest` characters (control characters, a
  // line break where `lines` is false, its length); empty when it can.
  static QString TextProblem(const QString& text, int longest, bool lines = false);
};

struct Preferences {
  static constexpr const char* kFileName = kPreferencesFileName;
  static constexpr int kMacroCount = 10;  // F1..F8, the SEND line, delayed receive
  static constexpr int kSendLine = 8;
  static constexpr int kDelayedReceive = 9;

  std::array<MacroEntry, kMacroCount> macros;
  QString callsign;
  int squelchLevel = 0;
  int comPort = 0;
  long double txCentreFrequency = 0;
  QString secondaryText;
  long double rxSampleRate = 0;
  long double rxCentreFrequency = 0;
  int cwIdFlag = 0;

  // The settings with every default in force, as a station without a file starts.
  static Preferences Defaults();

  // Reads `path`; a missing or short file leaves the defaults in force. `warning` (when
  // given) receives a one-line reason if the file exists but cannot be read, or holds a
  // value beyond the limits; such a file is kept beside it as VELApreferences.INI.bad and
  // the defaults are used.
  static Preferences Load(const QString& path, QString* warning = nullptr);
  // The records of a file's bytes (UTF-8, or Windows-1252 when not valid UTF-8), with
  // the defaults applied. A value beyond SettingLimits gives the defaults instead, with
  // the first such value named in `problem` (when given).
  static Preferences Parse(const QByteArray& bytes, QString* problem = nullptr);
  // The first value beyond SettingLimits, named; empty when every value is within them.
  QString Problem() const;

  // Settles empty and out-of-range values, in the order the callsign feeds the secondary
  // text.
  void ApplyDefaults();

  // The file's bytes: the eighteen records, then the explanation block; UTF-8.
  QByteArray Serialise() const;
  // Writes the file safely (a full disk leaves the old settings intact). On failure returns
  // false with a one-line reason in `error`.
  bool Save(const QString& path, QString* error = nullptr) const;
};

// Any of the settings files written as Preferences::Save writes its own.
bool SaveSettingsFile(const QString& path, const QByteArray& bytes, QString* error);

// Numbers as the file holds them: no sign or point for positive whole values, and the
// fewest digits that read back to the same value.
QString FormatPreferenceNumber(long double value);
// The leading number of a field ("12.5Hz" gives 12.5); 0 when there is none.
long double ParsePreferenceNumber(const QString& field);

}  // namespace vela::app
