#include "base/text.h"

#include "base/code_tables.h"

namespace korv {

bool IsBlankChar(char c) { return static_cast<unsigned char>(c) < 33; }

std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlankChar(s[b])) ++b;
  while (e > b && IsBlankChar(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

char UpperChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  if (u < 0x80) return c;
  // Windows-1252: à..þ (without ÷) map 32 down; š œ ž ÿ have their own places.
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
  switch (u) {
    case 0x9A: return static_cast<char>(0x8A);
    case 0x9C: return static_cast<char>(0x8C);
    case 0x9E: return static_cast<char>(0x8E);
    case 0xFF: return static_cast<char>(0x9F);
    default: return c;
  }
}

std::string Upper(std::string_view s) {
  std::string r(s);
  UpperInPlace(r);
  return r;
}

void UpperInPlace(std::string& s) {
  for (char& c : s) c = UpperChar(c);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

size_t EmptyIndexAt(std::string_view s) {
  if (s.empty() || s.back() != ']') return std::string_view::npos;
  size_t i = s.size() - 1;
  while (i > 0 && (s[i - 1] == ' ' || s[i - 1] == '\t')) --i;
  return i > 0 && s[i - 1] == '[' ? i - 1 : std::string_view::npos;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  return true;
}

bool gCompiledText = false;

namespace {

template <class Match>
size_t ScanTopLevel(std::string_view s, Match match, bool compiled, size_t from) {
  compiled = compiled || gCompiledText;
  int round = 0, square = 0;
  bool quoted = false;
  for (size_t i = from; i < s.size(); ++i) {
    char c = s[i];
    if (quoted) {
      if (c == '"') quoted = false;
      continue;
    }
    if (compiled) {
      unsigned char u = static_cast<unsigned char>(c);
      if (u == 0xFF || u == 0xFE || u == 0x14) {
        i += 4;
        continue;
      }
      if (u == 0x15) {
        i += 3;
        continue;
      }
    }
    if (round == 0 && square == 0 && match(c)) return i;
    switch (c) {
      case '"': quoted = true; break;
      case '(': ++round; break;
      case ')': --round; break;
      case '[': ++square; break;
      case ']': --square; break;
      case '@':
        if (compiled) {
          ++round;
          ++i;  // the code byte after "@" is never a separator
          if (i < s.size() && s[i] == '\x14') i += 4;
        }
        break;
      default: break;
    }
  }
  return std::string_view::npos;
}

}  // namespace

size_t FindTopLevel(std::string_view s, char ch, bool compiled, size_t from) {
  return ScanTopLevel(s, [ch](char c) { return c == ch; }, compiled, from);
}

size_t FindTopLevelOf(std::string_view s, std::string_view chars, bool compiled, size_t from) {
  return ScanTopLevel(
      s,
      [chars](char c) {
        for (const char m : chars)
          if (c == m) return true;
        return false;
      },
      compiled, from);
}

size_t CompiledTokenLengthAt(std::string_view s, size_t i) {
  if (i >= s.size()) return 0;
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = 0;
  if (c == '@' && i + 1 < s.size()) {
    len = s[i + 1] == '\x14' ? 6 : 2;
  } else if ((c == '%' || c == '&' || c == '$' || c == '!') && i + 1 < s.size() &&
             static_cast<unsigned char>(s[i + 1]) == 0xFE) {
    len = 6;
  } else if (c == 0x15) {
    len = 4;
  } else if ((c == '%' || c == '&' || c == '$' || c == '!') && i + 1 < s.size()) {
    const char* name = SysVarName(static_cast<unsigned char>(s[i + 1]));
    if (name != nullptr && name[0] == s[i]) len = 2;  // system-variable token
  }
  return len > s.size() - i ? s.size() - i : len;
}

std::string UpperCompiled(std::string_view s) {
  std::string r(s);
  for (size_t i = 0; i < r.size();) {
    size_t token = CompiledTokenLength(r, i);
    if (token > 0) {
      i += token;
      continue;
    }
    r[i] = UpperChar(r[i]);
    ++i;
  }
  return r;
}

std::string ReplaceOutsideQuotes(std::string_view s, std::string_view what, std::string_view with) {
  std::string r;
  r.reserve(s.size());
  bool quoted = false;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '"') quoted = !quoted;
    if (!quoted && !what.empty() && s.compare(i, what.size(), what) == 0) {
      r.append(with);
      i += what.size();
      continue;
    }
    r.push_back(s[i]);
    ++i;
  }
  return r;
}

std::string ToDecimal(int64_t v) {
  // Digits by 32-bit division where the value allows: 64-bit division is a
  // library call on the 32-bit target, and this runs for every number value.
  if (v < -2147483647 || v > 2147483647) return std::to_string(v);
  char buf[12];
  char* end = buf + sizeof buf;
  char* p = end;
  uint32_t u = static_cast<uint32_t>(v < 0 ? -v : v);
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u);
  if (v < 0) *--p = '-';
  return std::string(p, end);
}

bool IsCallBreaker(unsigned char c) {
  switch (c) {
    case '\'': case '"': case '/': case ')': case '[': case '\\': case ']': case '=':
    case '?': case ',': case ';': case ':': case '-': case '<': case '>': case '^':
    case '*': case '+': case '`': case 0xB4: case '{': case '|': case '}': case ' ':
    case 0xA7:
      return true;
    default:
      return false;
  }
}

bool ParseRadixLiteral(std::string_view u, int32_t& value) {
  value = 0;
  if (u.empty()) return false;
  int radix = u[0] == '$' ? 16 : (u[0] == '&' ? 8 : (u[0] == '%' ? 2 : 0));
  if (radix == 0) return false;
  size_t p = 1;
  bool negative = false;
  if (radix != 16) {
    while (p < u.size() && u[p] == ' ') ++p;
    if (p < u.size() && u[p] == '-') {
      negative = true;
      ++p;
    }
  }
  if (p >= u.size()) return false;
  uint32_t v = 0;  // wraps: an overlong literal keeps its low 32 bits
  for (; p < u.size(); ++p) {
    char c = UpperChar(u[p]);
    int d = (c >= '0' && c <= '9') ? c - '0' : ((c >= 'A' && c <= 'Z') ? c - 'A' + 10 : 99);
    if (d >= radix) return false;
    v = v * static_cast<uint32_t>(radix) + static_cast<uint32_t>(d);
  }
  value = static_cast<int32_t>(negative ? 0u - v : v);
  return true;
}

}  // namespace korv
