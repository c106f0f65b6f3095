#include "system/ini_file.h"

#include <vector>

#include "base/text.h"

namespace korv::ini {

namespace {

struct Line {
  size_t begin = 0;  // offset of the line in the text
  size_t end = 0;    // offset of its line end (CR LF, LF or the text end)
  size_t next = 0;   // offset of the following line
};

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  size_t p = 0;
  while (p < text.size()) {
    Line l;
    l.begin = p;
    size_t nl = text.find('\n', p);
    if (nl == std::string::npos) {
      l.end = l.next = text.size();
    } else {
      l.end = nl;
      l.next = nl + 1;
      if (l.end > l.begin && text[l.end - 1] == '\r') --l.end;
    }
    lines.push_back(l);
    p = l.next;
  }
  return lines;
}

// "[name]" gives true and the trimmed name.
bool SectionName(std::string_view line, std::string& name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(std::string_view(t).substr(1, close - 1));
  return true;
}

// "key=value": true with the trimmed key; comment lines are no entries.
bool EntryKey(std::string_view line, std::string& key, size_t& eq) {
  std::string t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(0, eq));
  return true;
}

}  // namespace

std::string ReadValue(const std::string& text, const std::string& section, const std::string& key,
                      bool* found) {
  if (found) *found = false;
  const std::string wantSection = Trim(section);
  const std::string wantKey = Trim(key);
  bool inSection = false;
  for (const Line& l : SplitLines(text)) {
    std::string_view line = std::string_view(text).substr(l.begin, l.end - l.begin);
    std::string name;
    if (SectionName(line, name)) {
      inSection = EqualsNoCase(name, wantSection);
      continue;
    }
    if (!inSection) continue;
    size_t eq = 0;
    if (EntryKey(line, name, eq) && EqualsNoCase(name, wantKey)) {
      if (found) *found = true;
      std::string v = Trim(line.substr(eq + 1));
      // A value in matching quotes loses them.
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return v;
    }
  }
  return std::string();
}

std::string WriteValue(const std::string& text, const std::string& section, const std::string& key,
                       const std::string& value) {
  const std::string wantSection = Trim(section);
  const std::string wantKey = Trim(key);
  const std::string entry = wantKey + "=" + value;
  std::vector<Line> lines = SplitLines(text);
  bool inSection = false;
  size_t insertAt = std::string::npos;  // after the last line of the section
  for (const Line& l : lines) {
    std::string_view line = std::string_view(text).substr(l.begin, l.end - l.begin);
    std::string name;
    if (SectionName(line, name)) {
      if (inSection) break;
      inSection = EqualsNoCase(name, wantSection);
      if (inSection) insertAt = l.next;
      continue;
    }
    if (!inSection) continue;
    size_t eq = 0;
    if (EntryKey(line, name, eq) && EqualsNoCase(name, wantKey)) {
      return text.substr(0, l.begin) + entry + text.substr(l.end);
    }
    if (!Trim(line).empty()) insertAt = l.next;
  }
  if (insertAt != std::string::npos) {
    std::string head = text.substr(0, insertAt);
    if (!head.empty() && head.back() != '\n') head += "\r\n";
    return head + entry + "\r\n" + text.substr(insertAt);
  }
  std::string out = text;
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  out += "[" + wantSection + "]\r\n" + entry + "\r\n";
  return out;
}

}  // namespace korv::ini
