// A reader of ADIF files written for the tests alone, from the format's rules, so the log is
// checked by something other than its writer: text before the first tag is the header's
// preamble; <NAME:LENGTH[:TYPE]>VALUE takes exactly LENGTH bytes; <EOH> ends the header and
// <EOR> each record; names are case-blind.
#pragma once

#include <cctype>
#include <map>
#include <string>
#include <vector>

namespace vela::test {

struct AdifFile {
  std::map<std::string, std::string> header;
  std::vector<std::map<std::string, std::string>> records;
  bool trailing = false;  // fields after the last <EOR>, or a value cut short
};

inline AdifFile ReadAdif(const std::string& text) {
  AdifFile file;
  std::map<std::string, std::string> fields;
  const bool hasHeader = !text.empty() && text[0] != '<';
  bool inHeader = hasHeader;
  size_t i = 0;
  while ((i = text.find('<', i)) != std::string::npos) {
    const size_t end = text.find('>', i);
    if (end == std::string::npos) {
      file.trailing = true;
      break;
    }
    std::string spec = text.substr(i + 1, end - i - 1);
    for (char& c : spec) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    i = end + 1;
    if (spec == "EOH") {
      file.header = fields;
      fields.clear();
      inHeader = false;
      continue;
    }
    if (spec == "EOR") {
      file.records.push_back(fields);
      fields.clear();
      continue;
    }
    const size_t colon = spec.find(':');
    if (colon == std::string::npos) continue;
    const size_t length = std::stoul(spec.substr(colon + 1));
    if (i + length > text.size()) {
      file.trailing = true;
      break;
    }
    fields[spec.substr(0, colon)] = text.substr(i, length);
    i += length;
  }
  if (!fields.empty() && !inHeader) file.trailing = true;
  return file;
}

}  // namespace vela::test
