// Conversions between the three forms of a value: integer, float and text.
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/text.h"
#include "values/evaluator.h"
#include "values/settings.h"

#if defined(__i386__) && defined(__GNUC__) && !defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korv {

namespace {

// Truncation of a value known to lie inside the 32-bit range. The x87 way
// switches the rounding mode twice per conversion, which costs more than the
// rest of an operation; the SSE2 instruction truncates directly (every
// processor that runs today's 32-bit Windows has it).
#if defined(__i386__) && defined(__GNUC__) && !defined(__SSE2__)
__attribute__((target("sse2"))) int32_t TruncInRange(double v) { return _mm_cvttsd_si32(_mm_set_sd(v)); }
#else
int32_t TruncInRange(double v) { return static_cast<int32_t>(v); }
#endif

}  // namespace

std::string RightAlign(std::string s, int32_t width) {
  if (width > kMaxFieldWidth) width = kMaxFieldWidth;
  if (width > 0 && s.size() < static_cast<size_t>(width)) s.insert(0, width - s.size(), ' ');
  return s;
}

int32_t TruncToInt32(double v) {
  // Most values are in range: one conversion, no 64-bit detour.
  if (v > -2147483649.0 && v < 2147483648.0) return TruncInRange(v);
  if (!std::isfinite(v)) return 0;
  double t = std::trunc(v);
  // Only values inside the signed 64-bit range have a truncation to keep.
  if (t >= 9223372036854775808.0 || t < -9223372036854775808.0) return 0;
  auto wide = static_cast<uint64_t>(static_cast<int64_t>(t));
  return static_cast<int32_t>(static_cast<uint32_t>(wide));
}

int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t WrapNeg(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }

namespace {

// The text of a whole number in the 32-bit range: its digits, with the
// point and `decimals` zeros, right-aligned in width, written at the end of
// buf (most number values are such, and their text is made once per value
// read). Gives where the text begins, or nullptr for a field too wide for
// buf.
constexpr size_t kWholeTextBuffer = 96;

const char* WholeText(char (&buf)[kWholeTextBuffer], int32_t v, int32_t decimals, int32_t width) {
  char* const end = buf + kWholeTextBuffer;
  char* p = end;
  if (decimals > kMaxDecimals) decimals = kMaxDecimals;
  if (decimals > 0) {
    p -= decimals;
    std::memset(p, '0', static_cast<size_t>(decimals));
    *--p = '.';
  }
  uint32_t u = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u);
  if (v < 0) *--p = '-';
  if (width > kMaxFieldWidth) width = kMaxFieldWidth;
  const auto length = static_cast<int32_t>(end - p);
  if (width > length) {
    if (width > static_cast<int32_t>(kWholeTextBuffer)) return nullptr;
    const auto pad = static_cast<size_t>(width - length);
    p -= pad;
    std::memset(p, ' ', pad);
  }
  return p;
}

// WholeText for a float that holds a whole number in the 32-bit range;
// nullptr for any other.
const char* WholeFloatText(char (&buf)[kWholeTextBuffer], double v, int32_t decimals, int32_t width) {
  if (!(v > -2147483648.0 && v < 2147483648.0 && v == static_cast<double>(TruncInRange(v)))) return nullptr;
  return WholeText(buf, TruncInRange(v), decimals < 0 ? 0 : decimals, width);
}

// The text from p to the end of buf.
std::string TextFrom(const char (&buf)[kWholeTextBuffer], const char* p) {
  return std::string(p, static_cast<const char*>(buf + kWholeTextBuffer));
}

}  // namespace

std::string FixedText(double v, int32_t decimals) {
  if (std::isnan(v)) return "Nan";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  if (v == 0) v = 0.0;  // no "-0.000000"
  if (decimals < 0) decimals = 0;
  if (decimals > kMaxDecimals) decimals = kMaxDecimals;
  // Whole numbers in the 32-bit range, the common case, without the
  // general conversion.
  char whole[kWholeTextBuffer];
  if (const char* p = WholeFloatText(whole, v, decimals, 0)) return TextFrom(whole, p);
  char buf[512];  // 309 integer digits, the point and 35 decimals fit
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (res.ec != std::errc()) return "0";
  return std::string(buf, res.ptr);
}

void MaterializeText(TEvalResult& r) { MaterializeTextIn(r, gSettings.Decimals, gSettings.NumWidth); }


// Every number read from a system variable, an element or a whole-number
// result makes this text: written straight into the result.
std::string IntToText(int32_t v) {
  char buf[kWholeTextBuffer];
  if (const char* p = WholeText(buf, v, 0, gSettings.NumWidth)) return TextFrom(buf, p);
  return RightAlign(ToDecimal(v), gSettings.NumWidth);
}

std::string FloatToText(double v) {
  char buf[kWholeTextBuffer];
  if (const char* p = WholeFloatText(buf, v, gSettings.Decimals, gSettings.NumWidth)) return TextFrom(buf, p);
  return RightAlign(FixedText(v, gSettings.Decimals), gSettings.NumWidth);
}

void MaterializeTextIn(TEvalResult& r, int32_t decimals, int32_t width) {
  char buf[kWholeTextBuffer];
  const char* p = nullptr;
  switch (r.PendingText) {
    case TEvalResult::kTextFromInt: p = WholeText(buf, r.IntValue, 0, width); break;
    case TEvalResult::kTextFromFloat: p = WholeFloatText(buf, r.FloatValue, decimals, width); break;
    default: return;
  }
  if (p != nullptr) {
    // A number read again and again (a counter) mostly keeps the length of
    // its text: then only the characters are overwritten.
    const auto n = static_cast<size_t>(buf + kWholeTextBuffer - p);
    if (r.StrValue.size() == n) std::memcpy(r.StrValue.data(), p, n);
    else r.StrValue.assign(p, n);
  } else if (r.PendingText == TEvalResult::kTextFromInt) {
    r.StrValue = RightAlign(ToDecimal(r.IntValue), width);
  } else {
    r.StrValue = RightAlign(FixedText(r.FloatValue, decimals), width);
  }
  r.PendingText = TEvalResult::kTextMade;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool ParseRealText(std::string_view s, double& out) {
  out = 0.0;
  size_t p = 0, n = s.size();
  size_t intDigits = 0, fracDigits = 0;
  while (p < n && IsDigit(s[p])) ++p, ++intDigits;
  if (p < n && s[p] == '.') {
    ++p;
    while (p < n && IsDigit(s[p])) ++p, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) return false;
  if (p < n && (s[p] == 'E' || s[p] == 'e')) {
    ++p;
    if (p < n && (s[p] == '+' || s[p] == '-')) ++p;
    size_t expDigits = 0;
    while (p < n && IsDigit(s[p])) ++p, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (p != n) return false;
  double v = 0.0;
  auto res = std::from_chars(s.data(), s.data() + n, v, std::chars_format::general);
  if (res.ec == std::errc() && res.ptr == s.data() + n) {
    out = v;
    return true;
  }
  if (res.ec != std::errc::result_out_of_range) return false;
  // Out of range: an underflow reads as 0, an overflow is no number.
  size_t e = s.find_first_of("Ee");
  int64_t exp10 = 0;
  if (e != std::string_view::npos) {
    size_t q = e + 1;
    bool neg = q < n && s[q] == '-';
    if (q < n && (s[q] == '+' || s[q] == '-')) ++q;
    for (; q < n; ++q) {
      exp10 = exp10 * 10 + (s[q] - '0');
      if (exp10 > 100000) break;
    }
    if (neg) exp10 = -exp10;
  }
  return exp10 < 0;  // out stays 0.0 for an underflow
}

void TextToNumbers(const std::string& s, int32_t& i, double& f) {
  i = 0;
  f = 0.0;
  size_t p = 0, n = s.size();
  while (p < n && s[p] == ' ') ++p;
  bool neg = false;
  if (p < n && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
  bool hex = p < n && s[p] == '$';
  if (hex) ++p;
  uint64_t value = 0;
  size_t digits = 0;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (neg ? 2147483648ull : 2147483647ull);
  for (; p < n; ++p) {
    int d = hex ? HexDigit(s[p]) : (IsDigit(s[p]) ? s[p] - '0' : -1);
    if (d < 0) break;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    ++digits;
    if (value > limit) return;  // the parse overflows: both forms stay 0
  }
  auto low = static_cast<uint32_t>(value);
  int32_t signedValue = static_cast<int32_t>(neg ? 0u - low : low);
  if (p == n && digits > 0) {
    i = signedValue;
    f = static_cast<double>(signedValue);
    return;
  }
  // Invalid character (or no digits): the digits read so far, float 0.
  i = signedValue;
}

std::string ProcessEscapes(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  size_t n = s.size();
  for (size_t k = 0; k < n; ++k) {
    char c = s[k];
    if (c != '\\' || k + 1 >= n) {
      r.push_back(c);
      continue;
    }
    char e = s[k + 1];
    switch (e) {
      case '\\': r.push_back('\\'); break;
      case 'a': r.push_back('\a'); break;
      case 'b': r.push_back('\b'); break;
      case 'f': r.push_back('\f'); break;
      case 'n': r.append("\r\n"); break;
      case 'q': r.push_back('"'); break;
      case 'r': r.push_back('\r'); break;
      case 't': r.push_back('\t'); break;
      case 'z': r.push_back('\0'); break;
      case 'x':
        if (k + 3 < n) {
          int hi = HexDigit(s[k + 2]), lo = HexDigit(s[k + 3]);
          if (hi >= 0 && lo >= 0) {
            r.push_back(static_cast<char>(hi * 16 + lo));
          } else {
            r.append(s.substr(k, 4));
          }
          k += 3;
          continue;
        }
        r.push_back('x');  // too short: the backslash goes, the rest stays
        break;
      default:
        r.push_back('\\');
        r.push_back(e);
        break;
    }
    ++k;
  }
  return r;
}

}  // namespace korv
