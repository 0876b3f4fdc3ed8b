#include "scan/ScanSignal.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

namespace vela {

namespace {

// Callsigns are letters, digits and the portable stroke; anything else separates them.
bool CallCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '/';
}

// The words of a text, and whether each was complete (a separator came after it).
struct Word {
  std::string_view text;
  bool complete;
};

std::vector<Word> Words(std::string_view text) {
  std::vector<Word> words;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && CallCharacter(text[i])) continue;
    if (i > start) words.push_back({text.substr(start, i - start), i < text.size()});
    start = i + 1;
  }
  return words;
}

// The shortest period (3..16) the end of the text repeats with, at least twice over and
// with at most one character in ten different; 0 when there is none.
size_t Period(std::string_view text) {
  for (size_t p = 3; p <= 16 && 2 * p <= text.size(); ++p) {
    const size_t span = std::min(text.size() - p, 4 * p);
    size_t same = 0;
    for (size_t i = text.size() - span; i < text.size(); ++i) same += text[i] == text[i - p];
    if (10 * same >= 9 * span) return p;
  }
  return 0;
}

}  // namespace

std::string_view ScanSignal::LastLine() const {
  std::string_view t = text;
  if (!t.empty() && t.back() == '\n') t.remove_suffix(1);
  const size_t cut = t.rfind('\n');
  return cut == std::string_view::npos ? t : t.substr(cut + 1);
}

std::string CallFromSecondary(std::string_view secondary) {
  const std::vector<Word> words = Words(secondary);
  std::map<std::string_view, int> counts;
  std::string_view best;
  int bestCount = 0;
  for (const Word& w : words) {
    if (!w.complete) continue;
    const int n = ++counts[w.text];
    if (n >= bestCount) {
      bestCount = n;
      best = w.text;
    }
  }
  if (bestCount > 0) return std::string(best);
  // One word so far, perhaps repeated without a break: its period, aligned with where the
  // copy began; or what has come of it.
  if (words.empty()) return {};
  const std::string_view w = words.front().text;
  const size_t p = Period(w);
  return std::string(p ? w.substr(0, p) : w);
}

}  // namespace vela
