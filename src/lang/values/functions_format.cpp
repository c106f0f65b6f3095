// FORMAT$(picture, x): a float formatted by a picture.
//
// Picture characters: "0" a digit or a zero, "#" a digit or nothing, "." the
// decimal point, "," anywhere among the digit places turns on thousands
// grouping, "E+"/"E-" (or "e+"/"e-") followed by zeros give scientific
// notation (E+ always shows the exponent's sign, E- only a minus), ";"
// separates the sections for positive, negative and zero values, and text
// in double or single quotes is copied without its quotes; any other
// character is copied as it stands. The output uses "." as decimal point and
// "," as thousands separator, the same characters the picture uses.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/names.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"

namespace korv {

namespace {

using namespace fn;

constexpr int kMaxRoundedDecimals = 300;

// Sections at ";" outside quotes.
std::vector<std::string> SplitSections(const std::string& picture) {
  std::vector<std::string> sections(1);
  char quote = 0;
  for (char c : picture) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      sections.emplace_back();
      continue;
    }
    sections.back().push_back(c);
  }
  return sections;
}

struct Layout {
  int intPlaces = 0;   // digit places before the point
  int intMin = 0;      // of them, from the first "0" on
  int decPlaces = 0;   // digit places after the point
  int decMin = 0;      // up to and including the last "0" after the point
  bool point = false;
  bool thousands = false;
  bool scientific = false;
  bool expPlusSign = false;
  int expDigits = 0;
};

bool IsExpAt(const std::string& s, size_t i) {
  return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

Layout Analyse(const std::string& s) {
  Layout l;
  bool firstZeroSeen = false;
  char quote = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      continue;
    }
    if (!l.scientific && IsExpAt(s, i)) {
      l.scientific = true;
      l.expPlusSign = s[i + 1] == '+';
      size_t k = i + 2;
      while (k < s.size() && s[k] == '0') ++k, ++l.expDigits;
      i = k - 1;
      continue;
    }
    if (l.scientific) continue;
    if (c == '0' || c == '#') {
      if (l.point) {
        ++l.decPlaces;
        if (c == '0') l.decMin = l.decPlaces;
      } else {
        ++l.intPlaces;
        if (c == '0') firstZeroSeen = true;
        if (firstZeroSeen) ++l.intMin;
      }
    } else if (c == '.' && !l.point) {
      l.point = true;
    } else if (c == ',') {
      l.thousands = true;
    }
  }
  if (l.scientific && l.expDigits == 0) l.expDigits = 1;
  return l;
}

// Digits of the exact decimal expansion of any double: at most 309 before
// the point and 1074 after it.
constexpr int kExactDecimals = 1074;

// |v| in fixed point with the given decimals: integer digits and fraction.
// Halves are rounded away from zero, as a reader of the picture expects;
// to_chars would round a value exactly between two results to the even one
// (16072.5 to 16072 but 7867.5 to 7868). The rounding looks at the exact
// expansion, so a value just below a half (1.005 is 1.00499...) rounds down.
void FixedDigits(double v, int decimals, std::string& intDigits, std::string& frac) {
  if (decimals > kMaxRoundedDecimals) decimals = kMaxRoundedDecimals;
  std::vector<char> buf(static_cast<size_t>(kExactDecimals) + 400);
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(v), std::chars_format::fixed,
                           kExactDecimals);
  std::string text(buf.data(), res.ec == std::errc() ? res.ptr : buf.data());
  size_t dot = text.find('.');
  intDigits = text.substr(0, dot);
  frac = dot == std::string::npos ? std::string() : text.substr(dot + 1);
  if (frac.size() <= static_cast<size_t>(decimals)) return;
  const bool up = frac[static_cast<size_t>(decimals)] >= '5';
  frac.resize(static_cast<size_t>(decimals));
  if (!up) return;
  std::string digits = intDigits + frac;
  size_t i = digits.size();
  while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
  if (i == 0) {
    digits.insert(digits.begin(), '1');
  } else {
    ++digits[i - 1];
  }
  intDigits = digits.substr(0, digits.size() - frac.size());
  frac = digits.substr(digits.size() - frac.size());
}

bool AllZeros(const std::string& a, const std::string& b) {
  for (char c : a + b)
    if (c != '0') return false;
  return true;
}

// Writes the section with the digits placed into its digit places.
std::string Render(const std::string& s, const Layout& l, std::string intDigits, std::string frac,
                   const std::string& exponent, bool minus) {
  // Fraction: at most decPlaces digits, trailing zeros dropped down to decMin.
  if (frac.size() > static_cast<size_t>(l.decPlaces)) frac.resize(static_cast<size_t>(l.decPlaces));
  while (frac.size() < static_cast<size_t>(l.decMin)) frac.push_back('0');
  while (frac.size() > static_cast<size_t>(l.decMin) && frac.back() == '0') frac.pop_back();
  // Integer part: no lone zero unless a "0" place asks for it; padded to intMin.
  if (intDigits == "0") intDigits.clear();
  while (intDigits.size() < static_cast<size_t>(l.intMin)) intDigits.insert(intDigits.begin(), '0');

  std::string out = minus ? "-" : "";
  const int64_t nd = static_cast<int64_t>(intDigits.size());
  const int64_t places = l.intPlaces;
  int64_t intPlace = 0, nextDigit = 0;
  size_t fracPlace = 0;
  bool afterPoint = false;
  auto emitDigit = [&]() {
    out.push_back(intDigits[static_cast<size_t>(nextDigit)]);
    int64_t left = nd - 1 - nextDigit++;
    if (l.thousands && left > 0 && left % 3 == 0) out.push_back(',');
  };
  auto emitRest = [&]() {
    while (nextDigit < nd) emitDigit();
  };
  // Place k takes the digit k + (nd - places); the first place also takes
  // every digit in front of that, which has no place of its own.
  auto emitPlace = [&]() {
    int64_t upto = intPlace + nd - places + 1;
    while (nextDigit < upto && nextDigit < nd) emitDigit();
    ++intPlace;
  };
  char quote = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
      else out.push_back(c);
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      continue;
    }
    if (l.scientific && IsExpAt(s, i)) {
      emitRest();
      out.push_back(s[i]);
      out += exponent;
      size_t k = i + 2;
      while (k < s.size() && s[k] == '0') ++k;
      i = k - 1;
      continue;
    }
    if (c == '0' || c == '#') {
      if (afterPoint) {
        if (fracPlace < frac.size()) out.push_back(frac[fracPlace]);
        ++fracPlace;
      } else {
        emitPlace();
      }
    } else if (c == '.' && !afterPoint) {
      emitRest();
      afterPoint = true;
      if (!frac.empty()) out.push_back('.');
    } else if (c == ',') {
      // Grouping places its own separators.
    } else {
      out.push_back(c);
    }
  }
  // A section without digit places (a text for zero, say) shows no digits.
  if (places > 0) emitRest();
  return out;
}

std::string FormatSection(const std::string& s, double v, bool minus) {
  Layout l = Analyse(s);
  std::string intDigits, frac, exponent;
  double a = std::fabs(v);
  if (l.scientific) {
    int n = l.intPlaces > 0 ? l.intPlaces : 1;
    int e = 0;
    if (a != 0) e = static_cast<int>(std::floor(std::log10(a))) - (n - 1);
    // The mantissa in extended precision: 10^e may lie outside the range
    // of a double when many digit places stand before the point.
    auto mantissa = [&](int exp10) { return static_cast<double>(a / std::pow(10.0L, exp10)); };
    FixedDigits(mantissa(e), l.decPlaces, intDigits, frac);
    if (intDigits.size() > static_cast<size_t>(n)) {  // rounding reached 10^n
      ++e;
      FixedDigits(mantissa(e), l.decPlaces, intDigits, frac);
    }
    std::string digits = std::to_string(e < 0 ? -e : e);
    while (digits.size() < static_cast<size_t>(l.expDigits)) digits.insert(digits.begin(), '0');
    exponent = (e < 0 ? "-" : (l.expPlusSign ? "+" : "")) + digits;
  } else {
    FixedDigits(a, l.decPlaces, intDigits, frac);
  }
  return Render(s, l, intDigits, frac, exponent, minus);
}

std::string GeneralText(double v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  std::string t(buf, res.ptr);
  for (char& c : t)
    if (c == 'e') c = 'E';
  return t;
}

}  // namespace

std::string FormatPicture(const std::string& picture, double v) {
  if (std::isnan(v) || std::isinf(v)) return FixedText(v, 0);
  std::vector<std::string> sections = SplitSections(picture);
  if (picture.empty()) return GeneralText(v);
  // Zero after rounding by the first section counts as zero.
  Layout first = Analyse(sections[0]);
  std::string i0, f0;
  if (!first.scientific) FixedDigits(v, first.decPlaces, i0, f0);
  bool zero = v == 0 || (!first.scientific && AllZeros(i0, f0));
  if (zero) {
    if (sections.size() >= 3 && !sections[2].empty()) return FormatSection(sections[2], 0.0, false);
    return FormatSection(sections[0], 0.0, false);
  }
  if (v < 0) {
    if (sections.size() >= 2 && !sections[1].empty()) return FormatSection(sections[1], v, false);
    return FormatSection(sections[0], v, true);
  }
  return FormatSection(sections[0], v, false);
}

namespace {

void FnFormat(TParStack& ps) {
  std::string picture;
  double x;
  if (!StrArg(ps, false, picture, true) || !FloatArg(ps, true, x)) return SetEmpty(kind::kString);
  std::string text = FormatPicture(picture, x);
  if (text.size() > kMaxBuiltString) return Fail(200, kind::kString);
  SetString(std::move(text));
}

}  // namespace

void RegisterFormatFunction() {
#define KORV_UNIT_format 1
#include "base/bind_unit.h"
#undef KORV_UNIT_format
}

}  // namespace korv
