// Appending to a string variable in place and reading a string variable's
// text in place: each statement is run once in the form that takes the
// in-place path and once in a form the general path runs with the same
// meaning ("" + S$ instead of S$); both must leave the same variables,
// result kind, cursor and report.
#include <string>

#include "base/names.h"
#include "engine/procedures.h"
#include "functions_test_support.h"
#include "values/value_commands.h"

namespace korv::testing {
namespace {

struct Effect {
  std::string s, t;
  int32_t n = 0;
  int32_t code = 0;
  int reportKind = 0;
  std::string detail, lastVar;
  uint8_t kind = 0;
  bool failed = false;
};

class InPlaceStringsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterValueCommands();
  }
  // Declares S$, T$ and N% with the given start values, runs one LET, and
  // reads everything a statement may change.
  Effect Let(const std::string& args, const std::string& s = "abc", const std::string& t = "xy") {
    ResetStores();
    Declare("S$");
    Declare("T$");
    Declare("N%");
    gStores.strs[Find("S$")].Value = s;
    gStores.strs[Find("T$")].Value = t;
    gStores.ints[Find("N%")].Value = 2;
    ClearReport();
    gEval.lastVarName.clear();
    gEval.SetText(args);
    CmdLet(ps_);
    Effect e;
    e.s = gStores.strs[Find("S$")].Value;
    e.t = gStores.strs[Find("T$")].Value;
    e.n = gStores.ints[Find("N%")].Value;
    e.code = gErr.Code;
    e.reportKind = gErr.ReportKind;
    e.detail = gErr.Detail;
    e.lastVar = gEval.lastVarName;
    e.kind = gRes.ResultKind;
    e.failed = gEval.failed;
    return e;
  }
  // The statement "target = S$ + tail" both ways.
  void ExpectSameAppend(const std::string& tail, const std::string& s = "abc") {
    const Effect fast = Let("S$ = S$ + " + tail, s);
    const Effect general = Let("S$ = \"\" + S$ + " + tail, s);
    Compare(fast, general, tail);
  }
  void Compare(const Effect& a, const Effect& b, const std::string& what) {
    EXPECT_EQ(a.s, b.s) << what;
    EXPECT_EQ(a.t, b.t) << what;
    EXPECT_EQ(a.n, b.n) << what;
    EXPECT_EQ(a.code, b.code) << what;
    EXPECT_EQ(a.reportKind, b.reportKind) << what;
    EXPECT_EQ(a.detail, b.detail) << what;
    EXPECT_EQ(a.lastVar, b.lastVar) << what;
    EXPECT_EQ(a.kind, b.kind) << what;
    EXPECT_EQ(a.failed, b.failed) << what;
  }
};

TEST_F(InPlaceStringsTest, AppendsGiveTheGeneralResult) {
  for (const char* tail : {"\"d\"", "\"\"", "\"a,b;c\"", "T$", "t$", "S$", "CHR$(65 + N% MOD 26)",
                           "chr$ (66)", "MID$(T$, 1, 1)", "LEFT$(T$, N%)", "RIGHT$(T$, 1)",
                           "UPPER$(T$)", "LOWER$(\"Q\")", "TRIM$(T$)", "STR$(N%)", "MID$(S$, N%, 5)"}) {
    ExpectSameAppend(tail);
  }
}

TEST_F(InPlaceStringsTest, AppendsThatFailGiveTheGeneralResult) {
  // Wrong argument kinds, missing arguments, undeclared variables.
  for (const char* tail : {"CHR$(\"x\")", "MID$(T$)", "MID$(T$, 1)", "CHR$()", "U$", "CHR$(Q%)",
                           "LEFT$(Q$, 1)", "CHR$(1 / 0)"}) {
    ExpectSameAppend(tail);
  }
}

TEST_F(InPlaceStringsTest, AppendActuallyExtendsTheVariable) {
  const Effect e = Let("S$ = S$ + CHR$(68)");
  EXPECT_EQ(e.s, "abcD");
  EXPECT_EQ(e.code, 0);
  const Effect f = Let("s$=s$+t$");
  EXPECT_EQ(f.s, "abcxy");
}

TEST_F(InPlaceStringsTest, InsideAnExpressionCallTheResultIsTheJoinedText) {
  // A procedure called from an expression and ending without RETURN gives
  // the result of its last statement: after an append, the whole text.
  ResetProcedures();
  ASSERT_TRUE(PushFrame(FrameKind::Expression));
  EXPECT_TRUE(InsideExpressionCall());
  Let("S$ = S$ + CHR$(68)");
  EXPECT_EQ(gRes.StrValue, "abcD");
  EXPECT_EQ(gRes.ResultKind, kind::kString);
  PopFrame();
  EXPECT_FALSE(InsideExpressionCall());
  ResetProcedures();
}

TEST_F(InPlaceStringsTest, ForeignFormsTakeTheGeneralPath) {
  // Numbers after the "+" add (the text of S$ is read as a number), lists
  // join with blanks, a second "+" joins left to right: none of them is an
  // in-place append, and each keeps its meaning.
  EXPECT_EQ(Let("S$ = S$ + 1 + 2", "5").s, Let("S$ = 5 + 1 + 2").s);
  Compare(Let("S$ = S$ + 1", "5"), Let("S$ = \"\" + S$ + 1", "5"), "number");
  EXPECT_EQ(Let("S$ = S$ + \"a\", \"b\"").s, "abca b");
  EXPECT_EQ(Let("S$ = S$ + \"a\" + T$").s, "abcaxy");
  EXPECT_EQ(Let("S$ = T$ + S$").s, "xyabc");
}

TEST_F(InPlaceStringsTest, UndeclaredTargetIsReportedAsBefore) {
  ResetStores();
  ClearReport();
  gEval.SetText("Z$ = Z$ + \"a\"");
  CmdLet(ps_);
  EXPECT_EQ(Code(), 215);
}

TEST_F(InPlaceStringsTest, TooLongAppendIsRefused) {
  const std::string big(kMaxStringLength, 'x');
  const Effect fast = Let("S$ = S$ + \"a\"", big);
  const Effect general = Let("S$ = \"\" + S$ + \"a\"", big);
  EXPECT_EQ(fast.code, 219);
  Compare(fast, general, "219");
}

TEST_F(InPlaceStringsTest, ReadsInPlaceGiveTheGeneralResult) {
  // MID$, LEFT$ and RIGHT$ view their first argument when it is a variable.
  for (const char* call : {"MID$(%s, 2, 2)", "MID$(%s, N%, 1)", "MID$(%s, 9, 1)", "MID$(%s, 0, 1)",
                           "LEFT$(%s, N%)", "LEFT$(%s, 0)", "RIGHT$(%s, 2)", "RIGHT$(%s, 99)",
                           "MID$(%s, \"x\", 1)", "MID$(%s, Q%, 1)", "LEFT$(%s)", "MID$(%s,)"}) {
    std::string fast = call, general = call;
    fast.replace(fast.find("%s"), 2, "S$");
    general.replace(general.find("%s"), 2, "\"\" + S$");
    Compare(Let("T$ = " + fast), Let("T$ = " + general), fast);
    // As the source of a numeric statement too.
    Compare(Let("N% = LEN(" + fast + ")"), Let("N% = LEN(" + general + ")"), fast);
  }
}

TEST_F(InPlaceStringsTest, ReadOfAnUndeclaredVariableWarnsAsBefore) {
  const Effect fast = Let("T$ = MID$(Q$, 1, 1)");
  EXPECT_EQ(fast.code, 215);
  EXPECT_EQ(fast.lastVar, "Q$");
}

}  // namespace
}  // namespace korv::testing
