// Number assignments and INC/DEC kept from their first run: every statement
// runs twice on the same start state, once with the kept form and once
// read anew by the general path, and both runs must leave the same
// variables, result, cursor and report.
#include <cmath>
#include <string>
#include <vector>

#include "base/names.h"
#include "functions_test_support.h"
#include "values/arrays.h"
#include "values/value_commands.h"

namespace korv::testing {
namespace {

struct Effect {
  int32_t x = 0, i = 0, l = 0;
  double f = 0;
  std::string s, t, resStr;
  int32_t code = 0;
  int reportKind = 0;
  std::string detail, lastVar;
  int32_t resInt = 0;
  double resFloat = 0;
  uint8_t kind = 0;
  size_t pos = 0;
  bool failed = false;
  std::vector<double> elements;  // of A%[3], B&[2,2] and G![2], in order
};

class PreparedStatementsTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    RegisterValueCommands();
  }
  void TearDown() override {
    UsePreparedStatements(true);
    BuiltinTest::TearDown();
  }
  void Start() {
    ResetStores();
    Declare("X%");
    Declare("I%");
    Declare("L&");
    Declare("F!");
    Declare("S$");
    Declare("T$");
    gStores.strs[Find("S$")].Value = "abc";
    gStores.strs[Find("T$")].Value = "12";
    gStores.ints[Find("X%")].Value = 41;
    gStores.ints[Find("I%")].Value = -7;
    gStores.lngs[Find("L&")].Value = 2147483647;
    gStores.sngs[Find("F!")].Value = 2.5f;
    ASSERT_TRUE(DeclareArray("A%[3]", ps_));
    ASSERT_TRUE(DeclareArray("B&[2,2]", ps_));
    ASSERT_TRUE(DeclareArray("G![2]", ps_));
  }
  std::vector<double> Elements() {
    std::vector<double> out;
    for (const char* e : {"A%[0]", "A%[1]", "A%[2]", "A%[3]", "B&[0,0]", "B&[1,2]", "B&[2,2]", "G![0]", "G![2]"}) {
      ElementRef ref;
      EXPECT_EQ(ResolveElement(e, ps_, ref), Resolve::Ok) << e;
      out.push_back(ref.kind == '!' ? gPools.sngs[ref.element]
                                    : ref.kind == '%' ? gPools.ints[ref.element] : gPools.lngs[ref.element]);
    }
    return out;
  }
  Effect Run(void (*handler)(TParStack&), const std::string& args, bool prepared, int times = 1) {
    UsePreparedStatements(prepared);
    Start();
    for (int k = 0; k < times; ++k) {
      ClearReport();
      gEval.lastVarName.clear();
      gRes.Reset();
      gEval.SetText(args);
      handler(ps_);
    }
    Effect e;
    e.x = gStores.ints[Find("X%")].Value;
    e.i = gStores.ints[Find("I%")].Value;
    e.l = gStores.lngs[Find("L&")].Value;
    e.f = gStores.sngs[Find("F!")].Value;
    e.s = gStores.strs[Find("S$")].Value;
    e.t = gStores.strs[Find("T$")].Value;
    e.resStr = gRes.StrValue;
    e.code = gErr.Code;
    e.reportKind = gErr.ReportKind;
    e.detail = gErr.Detail;
    e.lastVar = gEval.lastVarName;
    e.resInt = gRes.IntValue;
    e.resFloat = gRes.FloatValue;
    e.kind = gRes.ResultKind;
    e.pos = gEval.pos;
    e.failed = gEval.failed;
    e.elements = Elements();
    return e;
  }
  // Runs the statement three times each way (the first run of a text makes
  // its kept form, the later ones use it).
  void ExpectSame(void (*handler)(TParStack&), const std::string& args) {
    const Effect a = Run(handler, args, true, 3);
    const Effect b = Run(handler, args, false, 3);
    EXPECT_EQ(a.x, b.x) << args;
    EXPECT_EQ(a.i, b.i) << args;
    EXPECT_EQ(a.l, b.l) << args;
    EXPECT_TRUE(a.f == b.f || (std::isnan(a.f) && std::isnan(b.f))) << args;
    EXPECT_EQ(a.s, b.s) << args;
    EXPECT_EQ(a.t, b.t) << args;
    EXPECT_EQ(a.resStr, b.resStr) << args;
    EXPECT_EQ(a.code, b.code) << args;
    EXPECT_EQ(a.reportKind, b.reportKind) << args;
    EXPECT_EQ(a.detail, b.detail) << args;
    EXPECT_EQ(a.lastVar, b.lastVar) << args;
    EXPECT_EQ(a.resInt, b.resInt) << args;
    EXPECT_TRUE(a.resFloat == b.resFloat || (std::isnan(a.resFloat) && std::isnan(b.resFloat))) << args;
    EXPECT_EQ(a.kind, b.kind) << args;
    EXPECT_EQ(a.pos, b.pos) << args;
    EXPECT_EQ(a.failed, b.failed) << args;
    EXPECT_EQ(a.elements, b.elements) << args;
  }
};

TEST_F(PreparedStatementsTest, AssignmentsGiveTheGeneralResult) {
  for (const char* args :
       {"x% = x% + 1", "X% = (x% * 3 + i% * 7) MOD 1009", " x%=i%", "x% = -x%", "x% = 1 / 0", "x% = 7 MOD 0",
        "x% = y% + 1", "y% = 3", "x% =", "x% = x% +", "x% = SIN(1) * 100", "x% = SQRT(-1)", "l& = l& + 1",
        "l& = l& * l&", "f! = f! / 3", "f! = x% / 0.5", "x% = f! * 3", "x% = 2.9", "x% = -2.9", "x% = 1e12", "x% = 100000 * 100000", "x% = -100000 * 100000.5",
        "x% = (((((((((((((((((((1)))))))))))))))))))", "x% = \"5\"", "x% = x% + \"1\"", "x% = ABS(i%)",
        "x% = INT(f!)", "x%[1] = 2", "x% = &LOOP", "x$ = 1", "q = 1", "x % = 1"}) {
    ExpectSame(CmdLet, args);
  }
}

// Values that call or read strings run on the general path while the
// target stays kept: the same stores and reports, an undeclared target
// included.
TEST_F(PreparedStatementsTest, KeptTargetsWithGeneralValues) {
  for (const char* args :
       {"x% = LEN(\"abc\") + x%", "f! = VAL(\"2.5\") * f!", "y% = LEN(\"a\")", "l& = INSTR(\"b\", \"abc\")",
        "x% = LEN(\"a\") / 0", "x% = NOSUCH(1)", "x% = LEN(", "x% = \"\"", "X% = ASC(CHR$(i% + 80))",
        " x % = LEN(\"ab\")", "x% = LEN(\"ab\"), 3", "i% = LEN(STR$(x%)) * i%"}) {
    ExpectSame(CmdLet, args);
  }
}

// Elements of number arrays as targets: the index is resolved before the
// value, and whatever would report (a bad index, an unknown array, a value
// that fails) takes the general path before any effect.
TEST_F(PreparedStatementsTest, ElementAssignmentsGiveTheGeneralResult) {
  for (const char* args :
       {"a%[1] = 5", "A%[X% - 40] = A%[1] + 1", "a%[3] = x% * 2", "a%[4] = 1", "a%[-1] = 1", "a%[i%] = 1",
        "b&[1,2] = l& + 1", "B&[2, 2] = -l&", "b&[1] = 3", "b&[1,2,0] = 3", "b&[1,2,0,0] = 3", "g![2] = f! / 3",
        "g![0] = 1 / 0", "a%[0] = f! * 3.5", "a%[1] = 1e12", "a%[1/0] = 1", "c%[1] = 1", "a%[] = 1",
        "a%[1] = y% + 1", "a%[1] = \"5\"", "a%[1] =", "a%[1.9] = 7", "a%[SQRT(4)] = 7", "a%[1] = a%[1] + a%[1]",
        "a% [1] = 2", "A%[x%] = 1"}) {
    ExpectSame(CmdLet, args);
  }
}

// String variables keep only their target: appends in place, joined lists
// and values of any kind give what the general path gives, an undeclared
// target and a failing value included.
TEST_F(PreparedStatementsTest, StringAssignmentsGiveTheGeneralResult) {
  for (const char* args :
       {"s$ = s$ + \"x\"", "S$ = s$ + CHR$(65 + i% MOD 26)", "s$ = t$ + s$", "t$ = UPPER$(MID$(s$, 2, 2)) + \"|\" + s$",
        "s$ = \"a\"; \"b\"", "s$ = \"a\", x%", "s$ = x% * 2", "s$ = f!", "s$ = 1 / 0", "s$ = s$ + MID$(s$, 0, 1)",
        "s$ =", "s$ = s$ +", "u$ = \"new\"", "u$ = u$ + \"x\"", " s $ = \"q\"", "s$=t$", "s$ = LEN(s$)",
        "s$ = NOSUCH$(1)", "s$ = s$ + s$ + s$", "t$ = STR$(x%) + t$"}) {
    ExpectSame(CmdLet, args);
  }
}

TEST_F(PreparedStatementsTest, IncAndDecGiveTheGeneralResult) {
  for (const char* args : {"x%", " X% ", "l&", "i%", "u%", "f!", "", "x% + 1", "x%, 2", "x$"}) {
    ExpectSame(CmdInc, args);
    ExpectSame(CmdDec, args);
  }
}

// The runtime runs a kept form from the statement's own text, without the
// evaluator's: where that runner refuses, the handler runs as usual. Both
// ways leave the same variables, result and report (the cursor then
// belongs to no text and is not compared).
TEST_F(PreparedStatementsTest, RunnersWithoutTextGiveTheHandlersResult) {
  struct Case {
    const char* command;
    void (*handler)(TParStack&);
    std::vector<const char*> args;
  };
  const Case cases[] = {
      {"LET", CmdLet, {"x% = x% + 1", "X% = (x% * 3 + i% * 7) MOD 1009", "x% = -x%", "x% = 1 / 0", "x% = y% + 1",
                       "l& = l& * l&", "f! = f! / 3", "x% = 2.9", "a%[1] = 5", "a%[4] = 1", "A%[X% - 40] = x%",
                       "g![0] = 1 / 0", "a%[1/0] = 1", "x% = LEN(\"abc\") + x%", "y% = LEN(\"a\")", "x%[1] = 2",
                       "x% =", "x$ = 1", "s$ = s$ + \"x\"", "t$ = MID$(s$, 2) + t$", "u$ = \"new\"",
                       "s$ = 1 / 0"}},
      {"INC", CmdInc, {"x%", " X% ", "l&", "u%", "f!", "", "x% + 1"}},
      {"DEC", CmdDec, {"x%", "i%", "l&", "u%"}},
  };
  int ranWithoutText = 0;
  for (const Case& c : cases) {
    const PreparedRunner runner = PreparedRunnerOf(c.command);
    ASSERT_NE(runner, nullptr) << c.command;
    for (const char* args : c.args) {
      SCOPED_TRACE(std::string(c.command) + " " + args);
      const Effect handled = Run(c.handler, args, true, 3);
      Start();
      // The runs after the first find the kept form through the memo.
      TextCacheMemo memo;
      for (int k = 0; k < 3; ++k) {
        ClearReport();
        gEval.lastVarName.clear();
        gRes.Reset();
        gEval.SetText("unrelated text");
        if (runner(args, ps_, &memo)) {
          ++ranWithoutText;
          continue;
        }
        gEval.SetText(args);
        c.handler(ps_);
      }
      EXPECT_EQ(gStores.ints[Find("X%")].Value, handled.x);
      EXPECT_EQ(gStores.ints[Find("I%")].Value, handled.i);
      EXPECT_EQ(gStores.lngs[Find("L&")].Value, handled.l);
      EXPECT_EQ(gStores.sngs[Find("F!")].Value, handled.f);
      EXPECT_EQ(gStores.strs[Find("S$")].Value, handled.s);
      EXPECT_EQ(gStores.strs[Find("T$")].Value, handled.t);
      EXPECT_EQ(gErr.Code, handled.code);
      EXPECT_EQ(gErr.Detail, handled.detail);
      EXPECT_EQ(gEval.lastVarName, handled.lastVar);
      EXPECT_EQ(gRes.IntValue, handled.resInt);
      EXPECT_EQ(gRes.ResultKind, handled.kind);
      EXPECT_EQ(Elements(), handled.elements);
    }
  }
  EXPECT_GE(ranWithoutText, 30);
  EXPECT_EQ(PreparedRunnerOf("PRINT"), nullptr);
}

TEST_F(PreparedStatementsTest, KeptFormsFollowNewDeclarations) {
  // A procedure level's own X% hides the outer one, and its end uncovers it
  // again: the kept lookup must follow both.
  Start();
  gEval.SetText("x% = x% + 1");
  CmdLet(ps_);
  gEval.SetText("INC x%");
  EXPECT_EQ(gStores.ints[Find("X%")].Value, 42);
  PushScope();
  const int32_t inner = Declare("X%");
  ASSERT_NE(inner, 0);
  gEval.SetText("x% = x% + 1");
  CmdLet(ps_);
  gEval.SetText("x%");
  CmdInc(ps_);
  EXPECT_EQ(gStores.ints[inner].Value, 2);
  PopScope();
  gEval.SetText("x% = x% + 1");
  CmdLet(ps_);
  EXPECT_EQ(gStores.ints[Find("X%")].Value, 43);
  EXPECT_TRUE(NoReport());
}

}  // namespace
}  // namespace korv::testing
