#include "values/functions_support.h"

#include <cmath>

#include "base/code_tables.h"
#include "base/text.h"
#include "base/errors.h"
#include "values/evaluator.h"
#include "values/stores.h"

namespace korv::fn {

namespace {

// numberOnly: only the number forms are read, so no text form is made.
bool ReadArg(TParStack& ps, bool last, int expectedKind, bool numberOnly) {
  const char terminator = last ? ')' : ',';
  if (numberOnly) EvaluateNumber(ps, terminator, expectedKind);
  else Evaluate(ps, terminator, expectedKind);
  if (gEval.failed) {
    gRes.Reset();
    return false;
  }
  return true;
}

bool NumberArg(TParStack& ps, bool last, int expectedKind) { return ReadArg(ps, last, expectedKind, true); }

}  // namespace

bool Arg(TParStack& ps, bool last, int expectedKind) { return ReadArg(ps, last, expectedKind, false); }

bool IntArg(TParStack& ps, bool last, int32_t& out) {
  out = 0;
  if (!NumberArg(ps, last, kind::kInt)) return false;
  out = gRes.IntValue;
  return true;
}

bool FloatArg(TParStack& ps, bool last, double& out) {
  out = 0.0;
  if (!NumberArg(ps, last, 0)) return false;
  out = gRes.FloatValue;
  return true;
}

bool StrArg(TParStack& ps, bool last, std::string& out, bool required) {
  out.clear();
  if (!Arg(ps, last, required ? kind::kString : 0)) return false;
  out = gRes.StrValue;
  return true;
}

bool CallFree(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '(' || c == ')' || c == '@' || c == '#' || c == '"' || c == '[' || c == ']' || u == 0x14)
      return false;
  }
  return true;
}

bool IsArgumentBlank(char c) { return IsBlankChar(c) && !(gCompiledText && c == code::kOperatorToken); }

bool IsStringVariableName(std::string_view text) {
  if (text.size() < 2 || text.back() != '$' || (text.front() >= '0' && text.front() <= '9')) return false;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const char c = text[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
      return false;
  }
  return true;
}

namespace {

// The variable a first argument "NAME$ ," names when the rest of the call
// cannot change it, with the cursor moved as Evaluate moves it; nullptr
// (and nothing moved) otherwise.
const std::string* BorrowStringArgument() {
  const std::string& t = gEval.text;
  size_t comma = t.find(',', gEval.pos);
  if (comma == std::string::npos) return nullptr;
  if (gEval.depth >= kMaxEvalDepth) return nullptr;  // Evaluate would refuse it (255)
  std::string_view name = std::string_view(t).substr(gEval.pos, comma - gEval.pos);
  while (!name.empty() && IsArgumentBlank(name.front())) name.remove_prefix(1);
  while (!name.empty() && IsArgumentBlank(name.back())) name.remove_suffix(1);
  if (!IsStringVariableName(name)) return nullptr;
  // The remaining arguments: call-free, ending with the closing bracket.
  std::string_view rest = std::string_view(t).substr(comma + 1);
  while (!rest.empty() && IsArgumentBlank(rest.back())) rest.remove_suffix(1);
  if (rest.empty() || rest.back() != ')') return nullptr;
  rest.remove_suffix(1);
  if (Trim(rest).empty() || !CallFree(rest)) return nullptr;
  const std::string upper = Upper(name);
  const int32_t i = Find(upper);
  if (i == 0) return nullptr;
  gRes.Reset();
  gRes.ResultKind = kind::kString;
  gEval.lastVarName = upper;
  gEval.lastSep = ',';
  gEval.pos = comma + 1;
  gEval.failed = false;
  return &gStores.strs[i].Value;
}

}  // namespace

bool StrArgView(TParStack& ps, bool last, std::string_view& out, std::string& holder, bool required) {
  if (!last) {
    if (const std::string* v = BorrowStringArgument()) {
      out = *v;
      return true;
    }
  }
  if (!StrArg(ps, last, holder, required)) return false;
  out = holder;
  return true;
}

bool HasFurtherArg() {
  return FindTopLevel(gEval.text, ',', false, gEval.pos) != std::string::npos;
}

void SkipArg(bool last) {
  size_t comma = last ? std::string::npos : FindTopLevel(gEval.text, ',', false, gEval.pos);
  if (comma == std::string::npos) {
    gEval.pos = gEval.text.size();
    gEval.endOfArgs = true;
    gEval.lastSep = ' ';
    return;
  }
  gEval.pos = comma + 1;
  gEval.lastSep = ',';
}

void NoArgs() {
  if (Trim(gEval.Rest()) == ")" || Trim(gEval.Rest()).empty()) {
    gEval.pos = gEval.text.size();
    gEval.endOfArgs = true;
  }
}

namespace {
bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }
}  // namespace

double LeadingReal(const std::string& s) {
  size_t p = 0, n = s.size();
  bool neg = false;
  if (p < n && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
  size_t start = p;
  while (p < n && IsDigitChar(s[p])) ++p;
  size_t intEnd = p;
  if (p < n && s[p] == '.') {
    ++p;
    while (p < n && IsDigitChar(s[p])) ++p;
  }
  if (p == start || (p == start + 1 && intEnd == start)) return 0.0;  // no digit at all
  size_t end = p;
  if (p < n && (s[p] == 'E' || s[p] == 'e')) {
    size_t q = p + 1;
    if (q < n && (s[q] == '+' || s[q] == '-')) ++q;
    size_t digits = q;
    while (q < n && IsDigitChar(s[q])) ++q;
    if (q > digits) end = q;
  }
  std::string text = s.substr(start, end - start);
  if (!text.empty() && text[0] == '.') text.insert(0, 1, '0');
  if (text.back() == '.') text.pop_back();
  double v = 0.0;
  if (!ParseRealText(text, v)) {
    // An exponent out of range: the mantissa alone was readable.
    size_t e = text.find_first_of("Ee");
    bool negExp = e != std::string::npos && e + 1 < text.size() && text[e + 1] == '-';
    v = negExp ? 0.0 : HUGE_VAL;
  }
  return neg ? -v : v;
}

// A number result's text (IntToText, FloatToText) is made only where it is
// read, as for the results of operators.
void SetInt(int32_t v, uint8_t resultKind) {
  gRes.Reset();
  gRes.IntValue = v;
  gRes.FloatValue = v;
  gRes.PendingText = TEvalResult::kTextFromInt;
  gRes.ResultKind = resultKind;
}

void SetFloat(double f) {
  gRes.Reset();
  gRes.FloatValue = f;
  gRes.IntValue = TruncToInt32(f);
  gRes.PendingText = TEvalResult::kTextFromFloat;
  gRes.ResultKind = kind::kFloat;
}

void SetString(std::string s) {
  int32_t i = gRes.IntValue;
  SetStringNumber(std::move(s), i);
}

void SetStringNumber(std::string s, int32_t intForm) {
  gRes.Reset();
  gRes.StrValue = std::move(s);
  gRes.IntValue = intForm;
  gRes.FloatValue = intForm;
  gRes.ResultKind = kind::kString;
}

void SetEmpty(uint8_t resultKind) {
  gRes.Reset();
  if (resultKind == kind::kFloat) gRes.StrValue = FloatToText(0.0);
  else if (resultKind != kind::kString && resultKind != kind::kNone) gRes.StrValue = IntToText(0);
  gRes.ResultKind = resultKind;
}

void Fail(int32_t code, uint8_t resultKind, const std::string& detail) {
  RaiseError(code, detail);
  SetEmpty(resultKind);
}

}  // namespace korv::fn
