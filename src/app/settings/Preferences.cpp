#include "app/settings/Preferences.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "app/TextCodec.h"
#include "coding/Modes.h"
#include "station/SafeFile.h"

namespace vela::app {

namespace {

// Sequential fields: separated by commas or line ends; a quoted field may hold commas,
// line breaks and doubled quotes; a bare field runs to the next separator.
class FieldReader {
 public:
  explicit FieldReader(QString text) : text_(std::move(text)) {}

  QString Next() {
    const qsizetype n = text_.size();
    while (pos_ < n && (text_[pos_] == u' ' || text_[pos_] == u'\t')) ++pos_;
    QString field;
    if (pos_ < n && text_[pos_] == u'"') {
      ++pos_;
      while (pos_ < n) {
        QChar c = text_[pos_];
        if (c == u'"') {
          if (pos_ + 1 < n && text_[pos_ + 1] == u'"') {
            field.append(u'"');
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        field.append(c);
        ++pos_;
      }
      // Anything between the closing quote and the separator is not part of the field.
      while (pos_ < n && !IsSeparator(text_[pos_])) ++pos_;
    } else {
      while (pos_ < n && !IsSeparator(text_[pos_])) field.append(text_[pos_++]);
      while (!field.isEmpty() && (field.back() == u' ' || field.back() == u'\t')) field.chop(1);
    }
    SkipSeparator();
    return field;
  }

 private:
  static bool IsSeparator(QChar c) { return c == u',' || c == u'\r' || c == u'\n'; }

  void SkipSeparator() {
    const qsizetype n = text_.size();
    if (pos_ >= n) return;
    if (text_[pos_] == u',') {
      ++pos_;
    } else if (text_[pos_] == u'\r') {
      ++pos_;
      if (pos_ < n && text_[pos_] == u'\n') ++pos_;
    } else if (text_[pos_] == u'\n') {
      ++pos_;
    }
  }

  QString text_;
  qsizetype pos_ = 0;
};

int RoundToInt(long double value) {
  long double r = std::nearbyint(value);
  if (r >= static_cast<long double>(INT_MAX)) return INT_MAX;
  if (r <= static_cast<long double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(r);
}

QByteArray Quoted(const QString& field) {
  QString doubled = field;
  doubled.replace(u'"', QStringLiteral("\"\""));
  return '"' + doubled.toUtf8() + '"';
}

const char* const kExplanation[] = {
    "Explanation of terms",
    "=======================",
    "First 7 lines are macros",
    "Lines 8 and 9 are reserved for the SEND button and auto-receive button",
    "Callsign",
    "Squelch level (0-100)",
    "Comport number",
    "Transmit audio centre frequency (Hz)",
    "Secondary text",
    "Receive Sample rate (Hz)",
    "Receive audio centre frequency (Hz)",
    "CWID flag  1 = variable speed; 0 = constant speed",
};

}  // namespace

QString FormatPreferenceNumber(long double value) {
  char buffer[128];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (result.ec != std::errc()) {
    result = std::to_chars(buffer, buffer + sizeof buffer, value);
  }
  return QString::fromLatin1(buffer, result.ptr - buffer);
}

long double ParsePreferenceNumber(const QString& field) {
  QByteArray text = field.trimmed().toLatin1();
  const char* first = text.constData();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  // Only plain decimal counts: "inf", "nan" and hexadecimal are not numbers here.
  const char* p = first;
  if (p != last && *p == '-') ++p;
  if (p == last || !(std::isdigit(static_cast<unsigned char>(*p)) || *p == '.')) return 0;
  long double value = 0;
  auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0;
  return value;
}

long double SettingLimits::HighestReceiveHz(long double sampleRate) {
  return std::min(kHighestAudioHz,
                  sampleRate / 2 - static_cast<long double>(SignalHalfWidth(Mode::Vela125)));
}

long double SettingLimits::ClampTransmitHz(long double hz) {
  return std::clamp(hz, kLowestAudioHz, kHighestAudioHz);
}

long double SettingLimits::ClampReceiveHz(long double hz, long double sampleRate) {
  return std::clamp(hz, kLowestAudioHz, std::max(kLowestAudioHz, HighestReceiveHz(sampleRate)));
}

QString SettingLimits::TextProblem(const QString& text, int longest, bool lines) {
  if (text.size() > longest) {
    return QStringLiteral("is %1 characters long (at most %2)").arg(text.size()).arg(longest);
  }
  for (const QChar c : text) {
    if (lines && (c == u'\r' || c == u'\n' || c == u'\t')) continue;
    if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
        c.isNonCharacter() || c.category() == QChar::Separator_Line ||
        c.category() == QChar::Separator_Paragraph) {
      return QStringLiteral("holds the control character U+%1")
          .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
    }
  }
  return {};
}

QString Preferences::Problem() const {
  using L = SettingLimits;
  const auto number = [](const char* what, long double value, long double low, long double high) {
    if (value >= low && value <= high) return QString();
    return QStringLiteral("the %1 of %2 is outside %3 to %4")
        .arg(QString::fromLatin1(what), FormatPreferenceNumber(value), FormatPreferenceNumber(low),
             FormatPreferenceNumber(high));
  };
  const auto text = [](QString what, const QString& value, int longest, bool lines = false) {
    const QString problem = L::TextProblem(value, longest, lines);
    return problem.isEmpty() ? problem : what + u' ' + problem;
  };
  QStringList problems = {
      text(QStringLiteral("the callsign"), callsign, L::kLongestCallsign),
      number("squelch level", squelchLevel, 0, L::kHighestSquelch),
      number("COM port", comPort, 0, L::kHighestComPort),
      number("transmit frequency (Hz)", txCentreFrequency, L::kLowestAudioHz, L::kHighestAudioHz),
      text(QStringLiteral("the secondary text"), secondaryText, L::kLongestLine),
      number("sample rate", rxSampleRate, L::kLowestSampleRate, L::kHighestSampleRate),
      number("receive frequency (Hz)", rxCentreFrequency, L::kLowestAudioHz,
             std::max(L::kLowestAudioHz, L::HighestReceiveHz(rxSampleRate))),
  };
  for (int i = 0; i < kMacroCount; ++i) {
    const QString which = QStringLiteral("macro %1's ").arg(i + 1);
    problems << text(which + QStringLiteral("label"), macros[i].label, L::kLongestLine)
             << text(which + QStringLiteral("text"), macros[i].text, L::kLongestMacro, true);
  }
  for (const QString& problem : problems) {
    if (!problem.isEmpty()) return problem;
  }
  return {};
}

Preferences Preferences::Defaults() {
  Preferences p;
  p.ApplyDefaults();
  return p;
}

Preferences Preferences::Load(const QString& path, QString* warning) {
  QFile file(path);
  if (!file.exists()) return Defaults();
  if (!file.open(QIODevice::ReadOnly)) {
    if (warning) {
      *warning = QStringLiteral("Could not read %1 (%2); using the default settings.")
                     .arg(path, file.errorString());
    }
    return Defaults();
  }
  const QByteArray bytes = file.readAll();
  QString problem;
  const Preferences p = Parse(bytes, &problem);
  if (problem.isEmpty()) return p;
  // The operator's file stays as it was beside the defaults, to mend or to throw away.
  const QString bad = path + QStringLiteral(".bad");
  const QString kept =
      SaveSettingsFile(bad, bytes, nullptr)
          ? QStringLiteral("It is kept as %1").arg(QFileInfo(bad).fileName())
          : QStringLiteral("It could not be kept as %1 (no room?)").arg(QFileInfo(bad).fileName());
  if (warning) {
    *warning = QStringLiteral("%1 is not usable: %2. %3; the default settings are in use.")
                   .arg(QFileInfo(path).fileName(), problem, kept);
  }
  return p;
}

Preferences Preferences::Parse(const QByteArray& bytes, QString* problem) {
  Preferences p;
  FieldReader reader(DecodeText(bytes));
  for (auto& macro : p.macros) {
    macro.label = reader.Next();
    macro.text = reader.Next();
  }
  p.callsign = reader.Next();
  p.squelchLevel = RoundToInt(ParsePreferenceNumber(reader.Next()));
  p.comPort = RoundToInt(ParsePreferenceNumber(reader.Next()));
  p.txCentreFrequency = ParsePreferenceNumber(reader.Next());
  p.secondaryText = reader.Next();
  p.rxSampleRate = ParsePreferenceNumber(reader.Next());
  p.rxCentreFrequency = ParsePreferenceNumber(reader.Next());
  p.cwIdFlag = RoundToInt(ParsePreferenceNumber(reader.Next()));
  p.ApplyDefaults();
  const QString found = p.Problem();
  if (found.isEmpty()) return p;
  if (problem) *problem = found;
  return Defaults();
}

void Preferences::ApplyDefaults() {
  if (callsign.isEmpty()) callsign = QStringLiteral("nocall");
  if (squelchLevel < 1) squelchLevel = kDefaultSquelch;
  if (comPort < 1) comPort = 0;
  if (secondaryText.isEmpty() || secondaryText == QStringLiteral("nocall")) {
    secondaryText = callsign;
  }
  if (txCentreFrequency < 1) txCentreFrequency = kDefaultCentreHz;
  if (rxSampleRate < 1) rxSampleRate = kNominalRxRate;
  if (rxCentreFrequency < 1) rxCentreFrequency = kDefaultCentreHz;
  if (cwIdFlag != 0 && cwIdFlag != 1) cwIdFlag = 0;
  for (int i = 0; i < kMacroCount; ++i) {
    if (!macros[i].text.isEmpty()) continue;
    if (i < kSendLine + 1) {
      macros[i].text = QStringLiteral("F%1").arg(i + 1);
    } else {
      macros[i].text = QStringLiteral("[EOT]");
    }
  }
  for (int i = 0; i < kMacroCount; ++i) {
    if (!macros[i].label.isEmpty()) continue;
    if (i < kSendLine + 1) {
      macros[i].label = QStringLiteral("F%1").arg(i + 1);
    } else {
      macros[i].label = QStringLiteral("RX");
    }
  }
}

QByteArray Preferences::Serialise() const {
  const QByteArray eol = "\r\n";
  QByteArray out;
  for (const auto& macro : macros) out += Quoted(macro.label) + ',' + Quoted(macro.text) + eol;
  out += Quoted(callsign) + eol;
  out += FormatPreferenceNumber(squelchLevel).toLatin1() + eol;
  out += FormatPreferenceNumber(comPort).toLatin1() + eol;
  out += FormatPreferenceNumber(txCentreFrequency).toLatin1() + eol;
  out += Quoted(secondaryText) + eol;
  out += FormatPreferenceNumber(rxSampleRate).toLatin1() + eol;
  out += FormatPreferenceNumber(rxCentreFrequency).toLatin1() + eol;
  out += FormatPreferenceNumber(cwIdFlag).toLatin1() + eol;
  out += eol + eol;
  for (const char* line : kExplanation) out += QByteArray(line) + eol;
  return out;
}

bool Preferences::Save(const QString& path, QString* error) const {
  return SaveSettingsFile(path, Serialise(), error);
}

bool SaveSettingsFile(const QString& path, const QByteArray& bytes, QString* error) {
  std::string reason;
  if (WriteFileSafely(QFile::encodeName(path).toStdString(),
                      std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                      &reason)) {
    return true;
  }
  if (error) {
    *error =
        QStringLiteral("Could not save the settings to %1: %2. The previous file is unchanged.")
            .arg(QFileInfo(path).absoluteFilePath(), QString::fromLocal8Bit(reason));
  }
  return false;
}

}  // namespace vela::app
