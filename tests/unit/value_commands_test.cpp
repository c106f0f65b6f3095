#include <string>

#include "base/names.h"
#include "value_test_support.h"
#include "values/functions_registry.h"
#include "values/value_commands.h"

namespace korv::testing {
namespace {

class ValueCommandsTest : public ValueTest {
 protected:
  void SetUp() override {
    ValueTest::SetUp();
    RegisterValueCommands();
  }
  // Runs a registered command the way the executor does.
  void Run(const std::string& command, const std::string& args) {
    ClearReport();
    const CommandEntry* ce = FindCommand(command);
    ASSERT_NE(ce, nullptr) << command;
    gExec.command = command;
    gEval.SetText(args);
    ce->handler(ps_);
    gExec.command = {};
  }
  int32_t Int(const std::string& name) { return gStores.ints[Find(name)].Value; }
  std::string Str(const std::string& name) { return gStores.strs[Find(name)].Value; }
};

TEST_F(ValueCommandsTest, Registration) {
  EXPECT_EQ(FindCommand("DECLARE")->code, 204);
  EXPECT_EQ(FindCommand("VAR")->code, 168);
  EXPECT_EQ(FindCommand("LET")->code, 206);
  EXPECT_EQ(std::string(CommandName(208)), "INC");
  EXPECT_EQ(std::string(CommandName(209)), "DEC");
  EXPECT_EQ(FindCommand("let"), nullptr);  // names arrive upper-cased
}

TEST_F(ValueCommandsTest, Declare) {
  Run("DECLARE", "a%, b$ ,c!, d&, p#");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Find("A%"), 1);
  EXPECT_EQ(Find("B$"), 1);
  EXPECT_EQ(Find("C!"), 1);
  EXPECT_EQ(Find("D&"), 1);
  EXPECT_EQ(Find("P#"), 1);
  Run("DECLARE", "e%,");  // nothing after the last comma
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Find("E%"), 2);
}

TEST_F(ValueCommandsTest, DeclareStopsAtTheFirstFailure) {
  Run("DECLARE", "a%,,b%");
  EXPECT_EQ(Code(), 122);
  EXPECT_EQ(Find("A%"), 1);
  EXPECT_EQ(Find("B%"), 0);
  Run("DECLARE", "c%, a%, d%");
  EXPECT_EQ(Code(), 147);
  EXPECT_EQ(Find("D%"), 0);
  Run("DECLARE", "x");
  EXPECT_EQ(Code(), 122);
  Run("DECLARE", "arr%[-1, 5], z%");
  EXPECT_EQ(Code(), 232);  // a negative bound
  EXPECT_EQ(Find("Z%"), 0);
}

// A list is read once and declared on every run: each run declares the
// same names at its own level, and fails where the first run failed.
TEST_F(ValueCommandsTest, DeclaredListsAreReadOnce) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    PushScope();
    Run("DECLARE", "p%, q$");
    EXPECT_TRUE(NoReport());
    EXPECT_EQ(Find("P%"), round + 1);
    EXPECT_EQ(Find("Q$"), round + 1);
    Run("DECLARE", "r!, ,s%");
    EXPECT_EQ(Code(), 122);
    EXPECT_EQ(Find("S%"), 0);
    Run("DECLARE", "p%");
    EXPECT_EQ(Code(), 147);
    Run("DECLARE", "v%[1 + 1], w&");
    EXPECT_TRUE(NoReport());
    EXPECT_NE(FindArray("V%"), 0);
    EXPECT_EQ(Find("W&"), round + 1);
  }
  for (int round = 0; round < 3; ++round) PopScope();
  EXPECT_EQ(Find("P%"), 0);
}

TEST_F(ValueCommandsTest, Var) {
  Run("VAR", "a% = 2 + 3");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Int("A%"), 5);
  Run("VAR", "s$ = \"x\" + \"y\"");
  EXPECT_EQ(Str("S$"), "xy");
  Run("VAR", "f! = 7 / 2");
  EXPECT_EQ(gStores.sngs[Find("F!")].Value, 3.5);
  Run("VAR", "l& = a% * 2");
  EXPECT_EQ(gStores.lngs[Find("L&")].Value, 10);
  EXPECT_TRUE(NoReport());
}

TEST_F(ValueCommandsTest, VarReadsTheOuterVariableBeforeDeclaring) {
  Run("VAR", "a% = 4");
  PushScope();
  Run("VAR", "a% = a% + 1");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Int("A%"), 5);
  PopScope();
  EXPECT_EQ(Int("A%"), 4);
}

TEST_F(ValueCommandsTest, VarErrors) {
  Run("VAR", "a%");
  EXPECT_EQ(Code(), 212);
  Run("VAR", "a%[1] = 2");
  EXPECT_EQ(Code(), 145);
  EXPECT_EQ(gErr.Detail, "A%[1]");
  Run("VAR", "p#.x% = 2");
  EXPECT_EQ(Code(), 145);
  Run("VAR", "a = 2");
  EXPECT_EQ(Code(), 122);
  Run("VAR", "p# = 5");
  EXPECT_EQ(Code(), 146);
  EXPECT_EQ(Find("P#"), 0);
  Run("VAR", ".x% = 1");
  EXPECT_TRUE(WasError());
  EXPECT_EQ(Code(), 0);  // code 0: the report is the name alone
  ASSERT_FALSE(host_.debugLines.empty());
  const std::string& line = host_.debugLines.back();
  EXPECT_EQ(line.substr(line.size() - 5), "0:.X%");
  Run("VAR", "a% = 1");
  Run("VAR", "a% = 2");
  EXPECT_EQ(Code(), 147);
  EXPECT_EQ(Int("A%"), 1);
}

TEST_F(ValueCommandsTest, Let) {
  Run("DECLARE", "a%, b!, c&");
  Run("LET", "a% = 2 + 3 * 4");
  EXPECT_EQ(Int("A%"), 14);
  Run("LET", "B! = a% / 4");
  EXPECT_EQ(gStores.sngs[Find("B!")].Value, 3.5);
  Run("LET", "c& = a% = 14");  // the first "=" separates
  EXPECT_EQ(gStores.lngs[Find("C&")].Value, 1);
  Run("LET", "a% = 7.9");
  EXPECT_EQ(Int("A%"), 7);
  EXPECT_TRUE(NoReport());
}

TEST_F(ValueCommandsTest, NumberAssignmentMakesNoText) {
  // Only the number forms are stored, so none of the text forms is made;
  // the stored numbers are those of the evaluated argument.
  RegisterBuiltinFunctions();  // SIN below
  Run("DECLARE", "a%, b!, c&");
  for (const char* args : {"a% = 2 + 3 * 4", "b! = 1 / 3", "c& = a% * 1000", "b! = SIN(a%) * 2.5"}) {
    SCOPED_TRACE(args);
    const std::string text = std::string(args).substr(std::string(args).find('=') + 1);
    const TEvalResult expected = Eval(text);
    Run("LET", args);
    EXPECT_NE(gRes.PendingText, TEvalResult::kTextMade);
    switch (args[0]) {
      case 'a': EXPECT_EQ(Int("A%"), expected.IntValue); break;
      case 'b': EXPECT_EQ(gStores.sngs[Find("B!")].Value, expected.FloatValue); break;
      default: EXPECT_EQ(gStores.lngs[Find("C&")].Value, expected.IntValue); break;
    }
  }
}

TEST_F(ValueCommandsTest, LetStringList) {
  Run("DECLARE", "s$, n%");
  Run("LET", "n% = 3");
  Run("LET", "s$ = \"a\", \"b\"; \"c\"");
  EXPECT_EQ(Str("S$"), "a bc");
  Run("LET", "s$ = \"n=\"; n%, \"!\"");
  EXPECT_EQ(Str("S$"), "n=3 !");
  Run("LET", "s$ = \"x\",");  // no further part: no blank
  EXPECT_EQ(Str("S$"), "x");
  Run("LET", "s$ = \"(a,b)\" + \"c\"");
  EXPECT_EQ(Str("S$"), "(a,b)c");
  EXPECT_TRUE(NoReport());
}

TEST_F(ValueCommandsTest, LetErrors) {
  Run("LET", "q% = 1");
  EXPECT_EQ(Code(), 215);
  EXPECT_TRUE(WasError());
  Run("LET", "q%");
  EXPECT_EQ(Code(), 212);
  Run("DECLARE", "a%");
  Run("LET", "a%[2] = 1");
  EXPECT_EQ(Code(), 215);  // the scalar a% is no array
  Run("DECLARE", "s$");
  Run("LET", "s$ = \"a\" : \"b\"");  // stray text ends the list, no hang
  EXPECT_EQ(Str("S$"), "a");
}

TEST_F(ValueCommandsTest, LetAfterAFailedExpressionStoresZero) {
  Run("DECLARE", "a%");
  Run("LET", "a% = 5");
  Run("LET", "a% = 1 / 0");
  EXPECT_EQ(Code(), 201);
  EXPECT_EQ(Int("A%"), 0);
}

TEST_F(ValueCommandsTest, IncDec) {
  Run("DECLARE", "i%, l&, s$");
  Run("INC", "i%");
  Run("INC", " I% ");
  Run("DEC", "l&");
  EXPECT_EQ(Int("I%"), 2);
  EXPECT_EQ(gStores.lngs[Find("L&")].Value, -1);
  EXPECT_TRUE(NoReport());
  Run("INC", "s$");
  EXPECT_EQ(Code(), 103);
  Run("DEC", "q%");
  EXPECT_EQ(Code(), 215);
}

}  // namespace
}  // namespace korv::testing
