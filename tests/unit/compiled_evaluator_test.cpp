// The evaluator on compiled arguments: operator tokens carry their
// precedence, "@" + code calls a function whatever character the code is,
// sigil + code reads a system variable, sigil + 0xFE + slot a DEF line, and
// the 4 slot bytes never count as separators.
#include <gtest/gtest.h>

#include "base/code_tables.h"
#include "core/line_store.h"
#include "base/text.h"
#include "apps/subsystems.h"
#include "values/value_commands.h"
#include "value_test_support.h"

namespace korv {
namespace {

std::string Le(int32_t v) {
  std::string s;
  PutLe32(s, v);
  return s;
}

class CompiledEvalTest : public testing::ValueTest {
 protected:
  void SetUp() override {
    ValueTest::SetUp();
    InstallNeutralSubsystems();
    gCompiledText = true;
  }
  void TearDown() override {
    gCompiledText = false;
    SetProcedureSlotCaller(nullptr);
    gProgram.Clear();
    ValueTest::TearDown();
  }
};

TEST_F(CompiledEvalTest, OperatorTokensCarryTheirPrecedence) {
  EXPECT_EQ(Eval("16\x15r4|2").IntValue, 4);
  EXPECT_EQ(Eval("1\x15l4|33").IntValue, 2);
  EXPECT_EQ(Eval("7\x15M4|2").IntValue, 1);
  EXPECT_EQ(Eval("12\x15" "a4|10").IntValue, 8);
  EXPECT_EQ(Eval("1\x15|3|2").IntValue, 3);
  EXPECT_EQ(Eval("0\x15O3|2").IntValue, 1);
  // 1 <> 2 = 2: "=" (2) binds tighter than "<>" (1), so 1 <> 1.
  EXPECT_EQ(Eval("1\x15#1|2=2").IntValue, 0);
  // 3 <> 4 AND 1: AND (4) first, then 3 <> 1.
  EXPECT_EQ(Eval("3\x15#1|4\x15" "A4|1").IntValue, 1);
  EXPECT_EQ(Eval("3\x15L1|3").IntValue, 1);
  EXPECT_EQ(Eval("3\x15G1|4").IntValue, 0);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(PendingOperations(), 0);
}

TEST_F(CompiledEvalTest, FunctionCodesThatLookLikeSeparators) {
  // SPACE$ is code 58 (":"), TESTBIT 59 (";"), SETBIT 60 ("<"), LEN 150.
  TEvalResult r = Eval("@\x96@:3))+1");
  EXPECT_EQ(r.IntValue, 4) << gErr.Code;
  EXPECT_EQ(Eval("@;5,0)+@<0,3,1)").IntValue, 9);
  // List mode: the code byte "," or ";" of a call does not end the item.
  gEval.SetText("@:2),@;1,0);7");
  Evaluate(ps_, 'p', 0);
  EXPECT_EQ(gRes.StrValue, "  ");
  Evaluate(ps_, 'p', 0);
  EXPECT_EQ(gRes.IntValue, 1);
  Evaluate(ps_, 'p', 0);
  EXPECT_EQ(gRes.IntValue, 7);
  EXPECT_TRUE(NoReport());
}

// A list part that begins with an operator token reads as its source text
// does: the token's first byte is no blank to step over.
TEST_F(CompiledEvalTest, ListPartsThatBeginWithAnOperator) {
  gEval.SetText("1,\x15r4|2;\x15r4|\x15r4|3");
  const std::string compiled = JoinedList(ps_);
  EXPECT_TRUE(NoReport()) << gErr.Code;
  gCompiledText = false;
  gEval.SetText("1,>>2;>>>>3");
  EXPECT_EQ(JoinedList(ps_), compiled);
  EXPECT_TRUE(NoReport()) << gErr.Code;
}

TEST_F(CompiledEvalTest, SystemVariablesAndDefConstantsByToken) {
  gErr.Code = 0;
  EXPECT_EQ(Eval(std::string("%") + static_cast<char>(187)).IntValue, 0);  // %ERRNUMBER
  gProgram.files.push_back("t.kvc");
  gProgram.lines.resize(34);
  gProgram.debug.resize(34);
  gProgram.lines[1] = "DEF %LIMIT  100";
  gProgram.lines[32] = "DEF $NAME \"a\\tb\"";
  gProgram.lines[33] = "DEF !HALF 0.5";
  ++gProgram.generation;
  EXPECT_EQ(Eval("%\xFE" + Le(1) + "+1").IntValue, 101);
  // Slot 32 is a blank in the slot bytes: no trimming cuts the token.
  EXPECT_EQ(Eval("$\xFE" + Le(32)).StrValue, "a\tb");
  EXPECT_DOUBLE_EQ(Eval("!\xFE" + Le(33) + "*4").FloatValue, 2.0);
  // The 4 slot bytes may hold separators: slot 44 is ",".
  gEval.SetText("1,%\xFE" + Le(44) + ",2");
  Evaluate(ps_, ',', 0);
  EXPECT_EQ(gRes.IntValue, 1);
  ClearReport();
  Evaluate(ps_, ',', 0);  // no DEF line there: 100
  EXPECT_EQ(Code(), 100);
  Evaluate(ps_, ' ', 0);
  EXPECT_EQ(gRes.IntValue, 2);
}

TEST_F(CompiledEvalTest, ProcedureTokensGoThroughTheSlotHook) {
  static int32_t seenSlot = 0;
  SetProcedureSlotCaller([](int32_t slot, TParStack& ps) {
    seenSlot = slot;
    Evaluate(ps, ')', 0);  // the argument
    gRes.FloatValue = gRes.IntValue * 10;
    gRes.IntValue *= 10;
    return true;
  });
  // Slot 41 is ")" and slot 40 "(": the slot bytes are skipped.
  EXPECT_EQ(Eval("@\x14" + Le(41) + "4)+1").IntValue, 41);
  EXPECT_EQ(seenSlot, 41);
  EXPECT_EQ(Eval("2*@\x14" + Le(40) + "@\x14" + Le(34) + "1))").IntValue, 200);
  EXPECT_EQ(seenSlot, 34);  // the inner call is entered last
  SetProcedureSlotCaller([](int32_t, TParStack&) {
    RaiseError(111);
    return false;
  });
  ClearReport();
  Eval("@\x14" + Le(7) + "1)");
  EXPECT_EQ(Code(), 111);
  EXPECT_EQ(PendingOperations(), 0);
}

TEST_F(CompiledEvalTest, UnknownCodesAndTopLevelSearch) {
  ClearReport();
  Eval("@\x01" "1)");
  EXPECT_EQ(Code(), 101);
  EXPECT_EQ(gErr.Detail, "@1");
  // A code with a name that neither program calls is reported by its name,
  // again on a second run.
  for (int run = 0; run < 2; ++run) {
    ClearReport();
    Eval(std::string("@") + static_cast<char>(FunctionCode("CALL")) + "1)");
    EXPECT_EQ(Code(), 101);
    EXPECT_EQ(gErr.Detail, "CALL");
  }
  // The search for separators skips codes, slots and operator tokens.
  std::string s = "@,1),%\xFE" + Le(44) + ",@\x14" + Le(44) + "2),a\x15|3|b|c";
  EXPECT_EQ(FindTopLevel(s, ','), 4u);
  EXPECT_EQ(FindTopLevel(s, ',', false, 5), 11u);
  EXPECT_EQ(FindTopLevel(s, ',', false, 12), 20u);
  EXPECT_EQ(FindTopLevel(s, '|'), 27u);
  EXPECT_EQ(UpperCompiled("@hx$+$\xEA" "a"), "@hX$+$\xEA" "A");  // code bytes stay
}

}  // namespace
}  // namespace korv
