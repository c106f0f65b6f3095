#include <cmath>
#include <limits>
#include <string>

#include "base/text.h"
#include "value_test_support.h"

namespace korv::testing {
namespace {

using ConversionsTest = ValueTest;

TEST_F(ConversionsTest, TruncationTowardZero) {
  EXPECT_EQ(TruncToInt32(2.9), 2);
  EXPECT_EQ(TruncToInt32(-2.9), -2);
  EXPECT_EQ(TruncToInt32(2147483647.9), INT32_MAX);
  EXPECT_EQ(TruncToInt32(2147483648.0), INT32_MIN);  // low 32 bits
  EXPECT_EQ(TruncToInt32(4294967297.0), 1);
  EXPECT_EQ(TruncToInt32(-4294967295.5), 1);
  EXPECT_EQ(TruncToInt32(9.2e18), -1650982912);  // 9200000000000000000 mod 2^32
  EXPECT_EQ(TruncToInt32(1e19), 0);
  EXPECT_EQ(TruncToInt32(-1e19), 0);
  EXPECT_EQ(TruncToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(TruncToInt32(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(TruncToInt32(-std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(TruncToInt32(-9223372036854775808.0), 0);  // low bits of INT64_MIN
  EXPECT_EQ(TruncToInt32(9223372036854775808.0), 0);   // outside the range
}

TEST_F(ConversionsTest, IntegerText) {
  EXPECT_EQ(IntToText(42), "42");
  EXPECT_EQ(IntToText(-7), "-7");
  EXPECT_EQ(IntToText(INT32_MIN), "-2147483648");
  SetNumWidth(10);
  EXPECT_EQ(IntToText(42), "        42");
  SetNumWidth(2);
  EXPECT_EQ(IntToText(12345), "12345");  // never cut
  SetNumWidth(200);  // wider than the usual short buffer
  EXPECT_EQ(IntToText(-5), std::string(198, ' ') + "-5");
}

TEST_F(ConversionsTest, FloatText) {
  EXPECT_EQ(FloatToText(3.5), "3.500000");
  EXPECT_EQ(FloatToText(-0.25), "-0.250000");
  EXPECT_EQ(FloatToText(-0.0), "0.000000");
  EXPECT_EQ(FloatToText(1e20), "100000000000000000000.000000");
  SetDecimals(0);
  EXPECT_EQ(FloatToText(2.7), "3");  // no point without decimals
  EXPECT_EQ(FloatToText(-2.7), "-3");
  SetDecimals(2);
  EXPECT_EQ(FloatToText(1.005), "1.00");  // 1.005 is 1.00499999... in binary
  EXPECT_EQ(FloatToText(0.125 + 1e-12), "0.13");
  SetDecimals(35);
  EXPECT_EQ(FloatToText(0.5), "0." + std::string("5") + std::string(34, '0'));
  SetDecimals(3);
  SetNumWidth(8);
  EXPECT_EQ(FloatToText(1.5), "   1.500");
  EXPECT_EQ(FloatToText(std::numeric_limits<double>::infinity()), "    +Inf");
}

// A value read with its text pending gets the text the immediate
// conversions make, whatever the number, the decimals and the field width;
// IntToText and FloatToText give the same under those settings.
TEST_F(ConversionsTest, PendingTextIsTheImmediateText) {
  const int32_t ints[] = {0, 7, -7, 42, 999, -1000, 123456789, INT32_MAX, INT32_MIN, INT32_MIN + 1};
  const double floats[] = {0.0, -0.0, 3.0, -3.0, 2.5, -0.25, 1e9, -2147483648.0, 2147483647.0,
                           2147483648.0, 1e20, 0.1};
  const int32_t decimals[] = {0, 1, 6, 35, -1, 50};
  const int32_t widths[] = {0, 1, 5, 12, 47, 60, 95, 96, 97, 200, 40000};
  for (int32_t w : widths) {
    for (int32_t v : ints) {
      TEvalResult r;
      r.IntValue = v;
      r.PendingText = TEvalResult::kTextFromInt;
      r.StrValue = "stale";
      MaterializeTextIn(r, 6, w);
      EXPECT_EQ(r.StrValue, RightAlign(ToDecimal(v), w)) << v << " width " << w;
      EXPECT_EQ(r.PendingText, TEvalResult::kTextMade);
      SetNumWidth(w);
      EXPECT_EQ(IntToText(v), r.StrValue) << v << " width " << w;
    }
    for (int32_t d : decimals) {
      for (double f : floats) {
        TEvalResult r;
        r.FloatValue = f;
        r.PendingText = TEvalResult::kTextFromFloat;
        MaterializeTextIn(r, d, w);
        EXPECT_EQ(r.StrValue, RightAlign(FixedText(f, d), w)) << f << " decimals " << d << " width " << w;
        SetDecimals(d);
        EXPECT_EQ(FloatToText(f), r.StrValue) << f << " decimals " << d << " width " << w;
      }
    }
  }
  TEvalResult made;
  made.StrValue = "kept";
  MaterializeTextIn(made, 6, 10);
  EXPECT_EQ(made.StrValue, "kept");  // a made text stays as it is
}

TEST_F(ConversionsTest, SettingsAreClamped) {
  EXPECT_EQ(SetDecimals(50), 6);
  EXPECT_EQ(gSettings.Decimals, 35);
  EXPECT_EQ(SetDecimals(-1), 35);
  EXPECT_EQ(gSettings.Decimals, 0);
  EXPECT_EQ(SetNumWidth(-5), 0);
  EXPECT_EQ(gSettings.NumWidth, 0);
  SetNumWidth(40000);
  EXPECT_EQ(gSettings.NumWidth, 32767);
  SetStrWidth(-1);
  EXPECT_EQ(gSettings.StrWidth, 0);
  SetStrWidth(100000);
  EXPECT_EQ(gSettings.StrWidth, 32767);
  ResetSettings();
  EXPECT_EQ(gSettings.Decimals, 6);
  EXPECT_EQ(gSettings.NumWidth, 0);
}

struct TextCase {
  const char* text;
  int32_t i;
  double f;
};

TEST_F(ConversionsTest, TextToNumbers) {
  const TextCase cases[] = {
      {"42", 42, 42.0},
      {"12.5", 12, 0.0},
      {"-12.5", -12, 0.0},
      {"  7", 7, 7.0},
      {"7 ", 7, 0.0},
      {"+5", 5, 5.0},
      {"-2147483648", INT32_MIN, -2147483648.0},
      {"2147483648", 0, 0.0},
      {"99999999999", 0, 0.0},
      {"$1F", 31, 31.0},
      {"$FFFFFFFF", -1, -1.0},
      {"$100000000", 0, 0.0},
      {"abc", 0, 0.0},
      {"", 0, 0.0},
      {"-", 0, 0.0},
      {"1E3", 1, 0.0},
      {"  -8x", -8, 0.0},
  };
  for (const TextCase& c : cases) {
    int32_t i = 123;
    double f = 123;
    TextToNumbers(c.text, i, f);
    EXPECT_EQ(i, c.i) << '"' << c.text << '"';
    EXPECT_EQ(f, c.f) << '"' << c.text << '"';
  }
}

TEST_F(ConversionsTest, RealTextSyntax) {
  double f = -1;
  EXPECT_TRUE(ParseRealText("1.5", f));
  EXPECT_EQ(f, 1.5);
  EXPECT_TRUE(ParseRealText(".5", f));
  EXPECT_EQ(f, 0.5);
  EXPECT_TRUE(ParseRealText("5.", f));
  EXPECT_EQ(f, 5.0);
  EXPECT_TRUE(ParseRealText("2E2", f));
  EXPECT_EQ(f, 200.0);
  EXPECT_TRUE(ParseRealText("1e-400", f));  // underflow
  EXPECT_EQ(f, 0.0);
  for (const char* bad : {"", ".", "E5", "1E", "1E+", "1.2.3", "0x10", "inf", "nan", "1 ", "-1", "1,5"}) {
    EXPECT_FALSE(ParseRealText(bad, f)) << bad;
  }
  EXPECT_FALSE(ParseRealText("1e400", f));
}

}  // namespace
}  // namespace korv::testing
