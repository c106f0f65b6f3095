// Numeric, bit and word functions: ABS, SIN, COS, TAN, COT, ARCTAN, EXP,
// LN, LG, SQR, SQRT, PI, INT, ROUND, RND (with RANDOMIZE), XOR, NOT, IF,
// TESTBIT, SETBIT, HIWORD, LOWORD, MAKELONG, RGB, GETRVALUE, GETGVALUE,
// GETBVALUE, SINGLE and DOUBLE.
#include <cfloat>
#include <cmath>
#include <cstring>

#include "base/names.h"
#include "base/host.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"
#include "values/set_get.h"

namespace korv {

namespace {

using namespace fn;

constexpr double kPi = 3.141592653589793;

// A function of one float argument with a float result; domain tells
// whether the argument is allowed (200 otherwise).
template <double (*F)(double), bool (*Domain)(double)>
void FloatFunction(TParStack& ps) {
  double x;
  if (!FloatArg(ps, true, x)) return SetEmpty(kind::kFloat);
  if (!Domain(x)) return Fail(200, kind::kFloat);
  SetFloat(F(x));
}

bool Any(double) { return true; }
bool Positive(double x) { return x > 0; }
bool NotNegative(double x) { return x >= 0; }

double Sin(double x) { return std::sin(x); }
double Cos(double x) { return std::cos(x); }
double Arctan(double x) { return std::atan(x); }
double Exp(double x) { return std::exp(x); }
double Sqrt(double x) { return std::sqrt(x); }
double Sqr(double x) { return x * x; }
double Ln(double x) { return std::log(x); }
double Lg(double x) { return std::log(x) / std::log(10.0); }

void FnTan(TParStack& ps) {
  double x;
  if (!FloatArg(ps, true, x)) return SetEmpty(kind::kFloat);
  double c = std::cos(x);
  if (c == 0) return Fail(200, kind::kFloat);
  SetFloat(std::sin(x) / c);
}

void FnCot(TParStack& ps) {
  double x;
  if (!FloatArg(ps, true, x)) return SetEmpty(kind::kFloat);
  double s = std::sin(x);
  if (s == 0) return Fail(200, kind::kFloat);
  SetFloat(std::cos(x) / s);
}

void FnAbs(TParStack& ps) {
  if (!Arg(ps, true)) return SetEmpty(kind::kFloat);
  int32_t i = gRes.IntValue < 0 ? WrapNeg(gRes.IntValue) : gRes.IntValue;
  double f = std::fabs(gRes.FloatValue);
  SetFloat(f);
  gRes.IntValue = i;
}

void FnPi(TParStack&) {
  NoArgs();
  SetFloat(kPi);
}

void FnInt(TParStack& ps) {
  double x;
  if (!FloatArg(ps, true, x)) return SetEmpty(kind::kLong);
  SetInt(TruncToInt32(x), kind::kLong);
}

// Halves away from zero, by floating truncation (no integer overflow). The
// factor is the exact power of ten (a negative n divides by it), so halves
// such as ROUND(1250, -2) really lie halfway.
void FnRound(TParStack& ps) {
  double x;
  int32_t n;
  if (!FloatArg(ps, false, x) || !IntArg(ps, true, n)) return SetEmpty(kind::kFloat);
  if (x == 0 || !std::isfinite(x) || n > 300) return SetFloat(x == 0 ? 0.0 : x);
  if (n < -300) return SetFloat(0.0);
  const double f = std::pow(10.0, n < 0 ? -n : n);
  const double scaled = n < 0 ? x / f : x * f;
  if (!std::isfinite(scaled)) return SetFloat(x);
  const double whole = std::trunc(x > 0 ? scaled + 0.5 : scaled - 0.5);
  SetFloat(n < 0 ? whole * f : whole / f);
}

// The generator behind RND: a 32-bit linear congruential sequence whose
// state is the RANDSEED setting.
uint32_t NextRandom() {
  uint32_t s = static_cast<uint32_t>(gSwitches.RandSeed) * 1664525u + 1013904223u;
  gSwitches.RandSeed = static_cast<int32_t>(s);
  return s;
}

void FnRnd(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kInt);
  if (n <= 0) return SetInt(0);
  uint64_t r = (static_cast<uint64_t>(NextRandom()) * static_cast<uint32_t>(n)) >> 32;
  SetInt(static_cast<int32_t>(r));
}

void CmdRandomize(TParStack&) {
  LocalTime t = host().Now();
  uint32_t clock = host().TickCount() ^ static_cast<uint32_t>(t.millis + 1000 * (t.second + 60 * (t.minute + 60 * t.hour)));
  gSwitches.RandSeed = static_cast<int32_t>(clock * 2654435761u);
}

void FnXor(TParStack& ps) {
  int32_t a, b;
  if (!IntArg(ps, false, a) || !IntArg(ps, true, b)) return SetEmpty(kind::kInt);
  SetInt(a ^ b);
}

void FnNot(TParStack& ps) {
  int32_t x;
  if (!IntArg(ps, true, x)) return SetEmpty(kind::kLong);
  SetInt(x == 0 ? 1 : 0, kind::kLong);
}

// IF(c, a, b): only the chosen branch is evaluated.
void FnIf(TParStack& ps) {
  int32_t c;
  if (!IntArg(ps, false, c)) return SetEmpty(kind::kNone);
  if (c != 0) {
    if (!Arg(ps, false)) return;
    TEvalResult chosen = gRes;
    SkipArg(true);
    gRes = chosen;
  } else {
    SkipArg(false);
    Arg(ps, true);
  }
}

void FnTestBit(TParStack& ps) {
  int32_t n, b;
  if (!IntArg(ps, false, n) || !IntArg(ps, true, b)) return SetEmpty(kind::kInt);
  SetInt((static_cast<uint32_t>(n) >> (b & 31)) & 1u);
}

void FnSetBit(TParStack& ps) {
  int32_t n, b, v;
  if (!IntArg(ps, false, n) || !IntArg(ps, false, b) || !IntArg(ps, true, v)) return SetEmpty(kind::kInt);
  uint32_t mask = 1u << (b & 31);
  uint32_t u = static_cast<uint32_t>(n);
  SetInt(static_cast<int32_t>(v > 0 ? (u | mask) : (u & ~mask)));
}

void FnHiWord(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kInt);
  SetInt(static_cast<int32_t>(static_cast<uint32_t>(n) >> 16));
}

void FnLoWord(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kInt);
  SetInt(n & 0xFFFF);
}

void FnMakeLong(TParStack& ps) {
  int32_t lo, hi;
  if (!IntArg(ps, false, lo) || !IntArg(ps, true, hi)) return SetEmpty(kind::kInt);
  int32_t high = static_cast<int16_t>(static_cast<uint16_t>(hi & 0xFFFF));
  SetInt(high * 65536 + (lo & 0xFFFF));
}

int32_t Component(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

void FnRgb(TParStack& ps) {
  int32_t r, g, b;
  if (!IntArg(ps, false, r) || !IntArg(ps, false, g) || !IntArg(ps, true, b)) return SetEmpty(kind::kInt);
  SetInt(Component(r) + Component(g) * 256 + Component(b) * 65536);
}

template <int Shift>
void ColorPart(TParStack& ps) {
  int32_t c;
  if (!IntArg(ps, true, c)) return SetEmpty(kind::kInt);
  SetInt(static_cast<int32_t>((static_cast<uint32_t>(c) >> Shift) & 0xFFu));
}

void FnSingle(TParStack& ps) {
  double x;
  if (!FloatArg(ps, true, x)) return SetEmpty(kind::kInt);
  float f;
  if (std::isnan(x)) f = NAN;
  else if (x > FLT_MAX) f = INFINITY;
  else if (x < -FLT_MAX) f = -INFINITY;
  else f = static_cast<float>(x);
  int32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  SetInt(bits);
}

void FnDouble(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kFloat);
  float f;
  std::memcpy(&f, &n, sizeof f);
  SetFloat(static_cast<double>(f));
}

}  // namespace

void RegisterNumberFunctions() {
#define KORV_UNIT_numbers 1
#include "base/bind_unit.h"
#undef KORV_UNIT_numbers
}

}  // namespace korv
