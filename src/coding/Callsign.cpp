#include "coding/Callsign.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

namespace vela {

namespace {

bool Letter(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool Digit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool Alnum(char c) {
  return Letter(c) || Digit(c);
}

// Letters, digits and the portable stroke make up a call; anything else is a break.
bool CallCharacter(char c) {
  return Alnum(c) || c == '/';
}

std::string Upper(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

bool AllOf(std::string_view s, bool (*pred)(char)) {
  return std::all_of(s.begin(), s.end(), pred);
}

// A six-character locator (JO22AB) has the shape of a call; on the air it is a locator.
bool Locator6(std::string_view s) {
  auto in = [](char c, char from, char to) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= from && c <= to;
  };
  return s.size() == 6 && in(s[0], 'A', 'R') && in(s[1], 'A', 'R') && Digit(s[2]) && Digit(s[3]) &&
         in(s[4], 'A', 'X') && in(s[5], 'A', 'X');
}

// The station's own call: one to three letters and digits (a letter among them), a digit,
// one to four letters.
bool BaseCall(std::string_view s) {
  size_t digit = s.size();
  while (digit > 0 && !Digit(s[digit - 1])) --digit;
  if (digit == 0) return false;
  const std::string_view prefix = s.substr(0, digit - 1);
  const std::string_view suffix = s.substr(digit);
  return !prefix.empty() && prefix.size() <= 3 && AllOf(prefix, Alnum) &&
         std::any_of(prefix.begin(), prefix.end(), Letter) && !suffix.empty() &&
         suffix.size() <= 4 && AllOf(suffix, Letter) && !Locator6(s);
}

// A country prefix before the call (DL, F, VP2E) or a mark after it (P, MM, QRP, 3).
bool Affix(std::string_view s) {
  return !s.empty() && s.size() <= 4 && AllOf(s, Alnum);
}

struct Word {
  std::string_view text;
  bool complete;  // a break before and after it
};

std::vector<Word> Words(std::string_view text) {
  std::vector<Word> words;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && CallCharacter(text[i])) continue;
    if (i > start) words.push_back({text.substr(start, i - start), start > 0 && i < text.size()});
    start = i + 1;
  }
  return words;
}

}  // namespace

bool IsCallsign(std::string_view word) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= word.size(); ++i) {
    if (i < word.size() && word[i] != '/') continue;
    parts.push_back(word.substr(start, i - start));
    start = i + 1;
  }
  if (parts.size() > 3) return false;
  if (std::any_of(parts.begin(), parts.end(),
                  [](std::string_view p) { return !Affix(p) && !BaseCall(p); }))
    return false;
  switch (parts.size()) {
    case 1:
      return BaseCall(parts[0]);
    case 2:  // DL/G3XYZ or G3XYZ/P
      return BaseCall(parts[1]) || BaseCall(parts[0]);
    default:  // DL/G3XYZ/P
      return BaseCall(parts[1]) && Affix(parts[0]) && Affix(parts[2]);
  }
}

std::string CallFromSecondary(std::string_view secondary) {
  std::map<std::string, int> counts;
  std::string best;
  int bestCount = 0;
  for (const Word& w : Words(secondary)) {
    if (!w.complete || !IsCallsign(w.text)) continue;
    std::string call = Upper(w.text);
    const int n = ++counts[call];
    if (n >= bestCount) {
      bestCount = n;
      best = std::move(call);
    }
  }
  return best;
}

std::string CallAfterDe(std::string_view text) {
  const std::vector<Word> words = Words(text);
  for (size_t i = words.size(); i-- > 1;) {
    const Word& de = words[i - 1];
    const Word& call = words[i];
    const auto gapStart = static_cast<size_t>(de.text.data() - text.data()) + de.text.size();
    const auto gapEnd = static_cast<size_t>(call.text.data() - text.data());
    const std::string_view gap = text.substr(gapStart, gapEnd - gapStart);
    if (de.complete && call.complete && Upper(de.text) == "DE" &&
        gap.find_first_not_of(' ') == std::string_view::npos && IsCallsign(call.text))
      return Upper(call.text);
  }
  return {};
}

}  // namespace vela
