// String functions and the numbers read from strings: CHR$, MID$, LEFT$,
// RIGHT$, SUBSTR$, DEL$, INS$, TRIM$, UPPER$, LOWER$, STR$, HEX$, OCT$,
// BIN$, MKSTR$, SPACE$, TRANSLATE$, PWD$ (with the PASSWORD statement),
// LEN, INSTR, ORD and VAL.
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"
#include "values/string_functions.h"

namespace korv {

namespace {

using namespace fn;

constexpr size_t kPasswordKeyLength = 32767;

// Lower case as the ANSI code page does it (Windows-1252).
char LowerChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 32);
  if (u < 0x80) return c;
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char>(u + 32);
  switch (u) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    default: return c;
  }
}

// The items of s between non-overlapping occurrences of sep, scanning from
// the left; an empty separator makes the whole string one item.
std::vector<std::string> SplitItems(const std::string& s, const std::string& sep) {
  std::vector<std::string> items;
  if (sep.empty()) {
    items.push_back(s);
    return items;
  }
  size_t start = 0;
  for (;;) {
    size_t at = s.find(sep, start);
    if (at == std::string::npos) break;
    items.push_back(s.substr(start, at - start));
    start = at + sep.size();
  }
  items.push_back(s.substr(start));
  return items;
}

std::string JoinItems(const std::vector<std::string>& items, const std::string& sep) {
  std::string r;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) r += sep;
    r += items[i];
  }
  return r;
}

std::string InBase(uint32_t v, unsigned base) {
  if (v == 0) return "0";
  std::string r;
  while (v) {
    unsigned d = v % base;
    r.insert(r.begin(), static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10));
    v /= base;
  }
  return r;
}

// ---------------------------------------------------------------------------

void FnChr(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kString);
  SetString(std::string(1, static_cast<char>(n & 0xFF)));
}

void FnMid(TParStack& ps) {
  std::string holder;
  std::string_view s;
  int32_t from, count;
  if (!StrArgView(ps, false, s, holder) || !IntArg(ps, false, from) || !IntArg(ps, true, count))
    return SetEmpty(kind::kString);
  SetString(std::string(MidPart(s, from, count)));
}

void FnLeft(TParStack& ps) {
  std::string holder;
  std::string_view s;
  int32_t n;
  if (!StrArgView(ps, false, s, holder) || !IntArg(ps, true, n)) return SetEmpty(kind::kString);
  SetString(std::string(LeftPart(s, n)));
}

void FnRight(TParStack& ps) {
  std::string holder;
  std::string_view s;
  int32_t n;
  if (!StrArgView(ps, false, s, holder) || !IntArg(ps, true, n)) return SetEmpty(kind::kString);
  SetString(std::string(RightPart(s, n)));
}

void FnSubstr(TParStack& ps) {
  std::string s, sep;
  int32_t n;
  if (!StrArg(ps, false, s) || !IntArg(ps, false, n) || !StrArg(ps, true, sep))
    return SetEmpty(kind::kString);
  if (n == 0) return Fail(205, kind::kString);
  if (n > 0) {
    std::vector<std::string> items = SplitItems(s, sep);
    return SetString(static_cast<size_t>(n) <= items.size() ? items[n - 1] : std::string());
  }
  // Counting from the end: the string is searched from the right for the
  // last character of the separator.
  std::vector<std::string> items = SplitItems(s, sep.empty() ? sep : sep.substr(sep.size() - 1));
  int64_t index = static_cast<int64_t>(items.size()) + n;
  SetString(index >= 0 ? items[static_cast<size_t>(index)] : std::string());
}

void FnDel(TParStack& ps) {
  std::string s, sep;
  int32_t pos, count;
  if (!StrArg(ps, false, s) || !IntArg(ps, false, pos)) return SetEmpty(kind::kString);
  bool items = HasFurtherArg();
  if (!IntArg(ps, !items, count)) return SetEmpty(kind::kString);
  if (items && !StrArg(ps, true, sep)) return SetEmpty(kind::kString);
  if (!items) {
    if (pos < 1) return Fail(204, kind::kString);
    if (count > 0 && static_cast<size_t>(pos) <= s.size())
      s.erase(static_cast<size_t>(pos) - 1, static_cast<size_t>(count));
    return SetString(s);
  }
  if (pos < 1) return Fail(205, kind::kString);
  std::vector<std::string> list = SplitItems(s, sep);
  if (count < 1 || static_cast<size_t>(pos) > list.size()) return SetString(s);
  size_t first = static_cast<size_t>(pos) - 1;
  size_t last = std::min(list.size(), first + static_cast<size_t>(count));
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(first), list.begin() + static_cast<std::ptrdiff_t>(last));
  SetString(JoinItems(list, sep));
}

void FnIns(TParStack& ps) {
  std::string t, s, sep;
  int32_t pos;
  if (!StrArg(ps, false, t) || !StrArg(ps, false, s)) return SetEmpty(kind::kString);
  bool items = HasFurtherArg();
  if (!IntArg(ps, !items, pos)) return SetEmpty(kind::kString);
  if (items && !StrArg(ps, true, sep)) return SetEmpty(kind::kString);
  if (!items) {
    if (pos < 1) return Fail(204, kind::kString);
    if (s.size() + t.size() > kMaxBuiltString) return Fail(200, kind::kString);
    size_t at = std::min(s.size(), static_cast<size_t>(pos) - 1);
    s.insert(at, t);
    return SetString(s);
  }
  if (pos < 1) return Fail(205, kind::kString);
  if (s.size() + t.size() + sep.size() > kMaxBuiltString) return Fail(200, kind::kString);
  if (pos == 1) return SetString(t + sep + s);
  // The start of item pos: behind the (pos - 1)-th separator.
  size_t start = 0;
  for (int32_t k = 1; k < pos; ++k) {
    size_t at = sep.empty() ? std::string::npos : s.find(sep, start);
    if (at == std::string::npos) return SetString(s + sep + t);  // no such item: appended
    start = at + sep.size();
  }
  s.insert(start, t + sep);
  SetString(s);
}

void FnTrim(TParStack& ps) {
  std::string s;
  if (!StrArg(ps, true, s)) return SetEmpty(kind::kString);
  SetString(Trim(s));
}

void FnUpper(TParStack& ps) {
  std::string s;
  if (!StrArg(ps, true, s)) return SetEmpty(kind::kString);
  SetString(Upper(s));
}

void FnLower(TParStack& ps) {
  std::string s;
  if (!StrArg(ps, true, s)) return SetEmpty(kind::kString);
  LowerInPlace(s);
  SetString(s);
}

void FnStr(TParStack& ps) {
  if (!Arg(ps, true)) return SetEmpty(kind::kString);
  SetString(gRes.ResultKind > kind::kLong ? FloatToText(gRes.FloatValue) : IntToText(gRes.IntValue));
}

void RadixFunction(TParStack& ps, unsigned base) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kString);
  SetString(InBase(static_cast<uint32_t>(n), base));
}
void FnHex(TParStack& ps) { RadixFunction(ps, 16); }
void FnOct(TParStack& ps) { RadixFunction(ps, 8); }
void FnBin(TParStack& ps) { RadixFunction(ps, 2); }

void FnMkstr(TParStack& ps) {
  std::string s;
  int32_t n;
  if (!StrArg(ps, false, s) || !IntArg(ps, true, n)) return SetEmpty(kind::kString);
  if (n < 1 || s.empty()) return SetString("");
  if (s.size() > kMaxBuiltString / static_cast<size_t>(n)) return Fail(200, kind::kString);
  std::string r;
  r.reserve(s.size() * static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) r += s;
  SetString(std::move(r));
}

void FnSpace(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kString);
  if (n < 1) return SetString("");
  if (static_cast<size_t>(n) > kMaxBuiltString) return Fail(200, kind::kString);
  SetString(std::string(static_cast<size_t>(n), ' '));
}

void FnTranslate(TParStack& ps) {
  std::string s, from, to;
  if (!StrArg(ps, false, s) || !StrArg(ps, false, from, true) || !StrArg(ps, true, to, true))
    return SetEmpty(kind::kString);
  if (from.empty()) return SetString(s);
  std::string r;
  size_t start = 0;
  for (;;) {
    size_t at = s.find(from, start);
    if (at == std::string::npos) break;
    r.append(s, start, at - start);
    r += to;
    start = at + from.size();
    if (r.size() > kMaxBuiltString) return Fail(200, kind::kString);
  }
  r.append(s, start, std::string::npos);
  SetString(std::move(r));
}

// PWD$: the i-th character keeps its low six bits; its top two bits are
// flipped by the top bits of the key read backwards from its last byte. A
// text longer than the key wraps around to the key's end again.
void FnPwd(TParStack& ps) {
  std::string s;
  if (!StrArg(ps, true, s)) return SetEmpty(kind::kString);
  const std::string& key = gBuiltins.PasswordKey;
  if (!key.empty()) {
    for (size_t i = 0; i < s.size(); ++i) {
      unsigned char k = static_cast<unsigned char>(key[key.size() - 1 - (i % key.size())]);
      s[i] = static_cast<char>(static_cast<unsigned char>(s[i]) ^ (k & 0xC0));
    }
  }
  SetString(std::move(s));
}

// PASSWORD text: the key table of PWD$; an empty text removes it.
void CmdPassword(TParStack& ps) {
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  gBuiltins.PasswordKey.clear();
  if (text.empty()) return;
  std::string key(kPasswordKeyLength, '\0');
  for (size_t i = 0; i < kPasswordKeyLength; ++i)
    key[i] = static_cast<char>((static_cast<unsigned char>(text[i % text.size()]) & 3) << 6);
  gBuiltins.PasswordKey = std::move(key);
}

// ---------------------------------------------------------------------------
// Numbers read from strings

void FnLen(TParStack& ps) {
  std::string s, sep;
  bool items = HasFurtherArg();
  if (!StrArg(ps, !items, s)) return SetEmpty(kind::kInt);
  if (!items) return SetInt(static_cast<int32_t>(std::min<size_t>(s.size(), INT32_MAX)));
  if (!StrArg(ps, true, sep)) return SetEmpty(kind::kInt);
  SetInt(static_cast<int32_t>(std::min<size_t>(SplitItems(s, sep).size(), INT32_MAX)));
}

void FnInstr(TParStack& ps) {
  std::string t, s;
  int32_t from = 1;
  if (!StrArg(ps, false, t)) return SetEmpty(kind::kInt);
  bool withFrom = HasFurtherArg();
  if (!StrArg(ps, !withFrom, s)) return SetEmpty(kind::kInt);
  if (withFrom && !IntArg(ps, true, from)) return SetEmpty(kind::kInt);
  SetInt(InstrPosition(t, s, from));
}

void FnOrd(TParStack& ps) {
  std::string s;
  if (!StrArg(ps, true, s)) return SetEmpty(kind::kInt);
  SetInt(OrdOf(s));
}

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

// VAL: $, & and % read hexadecimal, octal and binary integers; otherwise the
// integer form is the decimal integer at the front, the float form the real
// number at the front.
void FnVal(TParStack& ps) {
  std::string s;
  if (!StrArg(ps, true, s)) return SetEmpty(kind::kFloat);
  int32_t i = 0;
  double f = 0.0;
  ValueOfText(s, i, f);
  gRes.Reset();
  gRes.IntValue = i;
  gRes.FloatValue = f;
  gRes.StrValue = FloatToText(f);
  gRes.ResultKind = kind::kFloat;
}

}  // namespace

std::string_view MidPart(std::string_view s, int32_t from, int32_t count) {
  if (from < 1 || count < 1 || static_cast<size_t>(from) > s.size()) return {};
  return s.substr(static_cast<size_t>(from) - 1, static_cast<size_t>(count));
}

std::string_view LeftPart(std::string_view s, int32_t n) {
  return n < 1 ? std::string_view() : s.substr(0, static_cast<size_t>(n));
}

std::string_view RightPart(std::string_view s, int32_t n) {
  if (n < 1 || static_cast<size_t>(n) > s.size()) return {};
  return s.substr(s.size() - static_cast<size_t>(n));
}

void LowerInPlace(std::string& s) {
  for (char& c : s) c = LowerChar(c);
}

int32_t InstrPosition(std::string_view t, std::string_view s, int32_t from) {
  if (from < 1) from = 1;
  if (t.empty() || static_cast<size_t>(from) > s.size()) return 0;
  const size_t at = s.find(t, static_cast<size_t>(from) - 1);
  return at == std::string_view::npos ? 0 : static_cast<int32_t>(at + 1);
}

int32_t OrdOf(std::string_view s) { return s.empty() ? 0 : static_cast<unsigned char>(s[0]); }

void ValueOfText(std::string_view text, int32_t& i, double& f) {
  const std::string s = Trim(text);
  i = 0;
  f = 0.0;
  unsigned base = s.empty() ? 0 : (s[0] == '$' ? 16 : s[0] == '&' ? 8 : s[0] == '%' ? 2 : 0);
  if (base) {
    uint32_t v = 0;  // an overlong number keeps its low 32 bits
    for (size_t p = 1; p < s.size(); ++p) {
      char c = UpperChar(s[p]);
      unsigned d = IsDigitChar(c) ? static_cast<unsigned>(c - '0')
                   : (c >= 'A' && c <= 'Z') ? static_cast<unsigned>(c - 'A' + 10) : 99u;
      if (d >= base) break;
      v = v * base + d;
    }
    i = static_cast<int32_t>(v);
    f = i;
  } else {
    size_t p = 0;
    bool neg = false;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
    double whole = 0.0;
    for (; p < s.size() && IsDigitChar(s[p]); ++p) whole = whole * 10 + (s[p] - '0');
    i = TruncToInt32(neg ? -whole : whole);
    f = LeadingReal(s);
  }
}

void RegisterStringFunctions() {
#define KORV_UNIT_strings 1
#include "base/bind_unit.h"
#undef KORV_UNIT_strings
}

}  // namespace korv
