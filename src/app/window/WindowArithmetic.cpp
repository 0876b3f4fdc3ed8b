#include "app/window/WindowArithmetic.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "display/Waterfall.h"

namespace vela::app {

int LayoutOffset(int clientHeight) {
  return clientHeight - kDesignClientHeight;
}

HeightShares ShareHeight(int clientHeight) {
  const int offset = LayoutOffset(std::max(clientHeight, kSmallestClientHeight));
  HeightShares shares;
  if (offset > 0) {
    shares.waterfall = offset / 3;
    shares.transmitPane = offset / 6;
  }
  shares.receivePane = offset - shares.waterfall - shares.transmitPane;
  return shares;
}

long double WaterfallFrequency(int x) {
  return ScreenColumnFrequency(x);  // exact: a multiple of 2^-5 Hz
}

float WaterfallLevel(float magnitude) {
  return 20.0f * std::log10(magnitude / 168600.0f);
}

int FineTunePositionAfterClick(long double frequency) {
  return static_cast<int>(std::nearbyint(kFineTuneCentre - frequency / 50.0L));
}

long double FineTuneFrequency(long double clickFrequency, int modeRate, int position) {
  return clickFrequency +
         modeRate * static_cast<long double>(kFineTuneCentre - position) / 12000.0L;
}

int SquelchFromClick(int barHeight, int y) {
  return std::clamp(barHeight - y, 0, 100);
}

long double StepSampleRate(long double rate, int delta) {
  long double tenths = std::nearbyint(rate * 10.0L) - delta;
  long double next = tenths / 10.0L;
  if (!(next >= 1.0L)) return rate;
  return next;
}

std::string FormatWhole(long double value) {
  if (!std::isfinite(value)) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.0Lf", std::round(value));
  std::string text = buffer;
  return text == "-0" ? "0" : text;
}

std::string FormatOneDecimal(long double value) {
  if (!std::isfinite(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.1Lf", std::round(value * 10.0L) / 10.0L);
  std::string text = buffer;
  return text == "-0.0" ? "0.0" : text;
}

std::string FormatFrequency(long double hz, bool onAir) {
  if (!onAir) return FormatOneDecimal(hz) + " Hz";
  if (!std::isfinite(hz)) return FormatOneDecimal(hz) + " kHz";
  // Tenths of a hertz counted whole, so the last digit is never lost to a rounding of kHz.
  const long double tenths = std::round(hz * 10.0L);
  const bool negative = tenths < 0;
  const auto whole = static_cast<unsigned long long>(std::fabs(tenths));
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu kHz", negative ? "-" : "", whole / 10000,
                whole % 10000);
  return buffer;
}

std::string FormatCursorReadout(long double hz, bool onAir, float levelDb) {
  return "Cursor " + FormatFrequency(hz, onAir) + ", " + FormatOneDecimal(levelDb) + " dB";
}

std::string FormatSampleRate(long double rate) {
  std::string text = FormatOneDecimal(rate);
  if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  return " " + text;
}

std::string MonthName(int month) {
  static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};
  if (month < 1 || month > 12) return "Octember";
  return kMonths[month - 1];
}

std::string FormatClock(int day, int month, int year, int hour, int minute, int second, bool utc) {
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", hour, minute, second);
  return std::to_string(day) + " " + MonthName(month) + " " + std::to_string(year) + " - " + time +
         (utc ? " UTC" : " local time");
}

std::string SaveScreenFileName(int day, int month, int year, int hour, int minute, int second) {
  char day2[8], year4[8], time[16];
  std::snprintf(day2, sizeof day2, "%02d", day);
  std::snprintf(year4, sizeof year4, "%04d", year);
  std::snprintf(time, sizeof time, "%02d%02d%02d", hour, minute, second);
  return std::string("VELA") + day2 + MonthName(month) + year4 + time + ".rtf";
}

std::optional<int> PttPortFromAnswer(const std::string& answer) {
  if (answer.empty()) return std::nullopt;
  unsigned char last = static_cast<unsigned char>(answer.back());
  int port = std::isdigit(last) ? last - '0' : 0;
  return port < 1 ? 0 : port;
}

std::optional<long double> ParseFrequencyAnswer(const std::string& answer) {
  auto first = answer.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  auto last = answer.find_last_not_of(" \t");
  std::string text = answer.substr(first, last - first + 1);
  if (text.size() >= 2) {
    std::string tail = text.substr(text.size() - 2);
    if ((tail[0] == 'H' || tail[0] == 'h') && (tail[1] == 'z' || tail[1] == 'Z')) {
      text.resize(text.size() - 2);
      while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    }
  }
  if (text.empty()) return std::nullopt;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (*begin == '+') ++begin;
  if (begin == end || !(std::isdigit(static_cast<unsigned char>(*begin)) || *begin == '.')) {
    return std::nullopt;
  }
  long double value = 0;
  auto result = std::from_chars(begin, end, value, std::chars_format::fixed);
  if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value) || value <= 0) {
    return std::nullopt;
  }
  return value;
}

}  // namespace vela::app
