#include "engine/executor.h"

#include <string>
#include <vector>

#include "core/line_store.h"
#include "engine/procedures.h"
#include "base/errors.h"
#include "test_support.h"

namespace korv {
namespace {

using test::ProgramTest;

struct SplitCase {
  const char* text;
  const char* command;
  const char* args;
};

TEST(SplitStatementTest, CommandWordAndArguments) {
  const SplitCase cases[] = {
      {"PRINT \"a b\", 1", "PRINT", "\"a b\", 1"},
      {"print (1)", "PRINT", "(1)"},
      {"PRINT(1)", "@", "PRINT(1)"},
      {"@Foo 1", "@", "@Foo 1"},
      {"a% = 5", "LET", "A%= 5"},
      {"a%=5", "LET", "a%=5"},
      {"LET a% = 5", "LET", "a% = 5"},
      {"x$ = \"a = b\"", "LET", "X$= \"a = b\""},
      {"END", "END", ""},
      {"Start:", "START:", ""},
      {"s$[1, 2] = 3", "LET", "S$[1, 2]= 3"},
      {"obj#.m(1)", "@", "obj#.m(1)"},
      {"a#[2].m(1)", "@", "a#[2].m(1)"},
      {"SIN (1)", "SIN", "(1)"},
      {"x = f(1)", "LET", "X= f(1)"},
  };
  for (const SplitCase& c : cases) {
    std::string cmd, args;
    SplitStatement(c.text, cmd, args);
    EXPECT_EQ(cmd, c.command) << c.text;
    EXPECT_EQ(args, c.args) << c.text;
  }
}

TEST(SplitStatementTest, FunctionCallForm) {
  EXPECT_TRUE(HasFunctionCallForm("SIN(1)"));
  EXPECT_FALSE(HasFunctionCallForm("(1)"));
  EXPECT_FALSE(HasFunctionCallForm("a = f(1)"));
  EXPECT_FALSE(HasFunctionCallForm("a-b(1)"));
  EXPECT_TRUE(HasFunctionCallForm("a#[1].b(2)"));
  EXPECT_FALSE(HasFunctionCallForm("x\xa7(1)"));  // paragraph sign
}

class RunTest : public ProgramTest {};

TEST_F(RunTest, UnknownCommandEndsWithFatalCode) {
  EXPECT_EQ(Run("DECLARE a%\nFOO\nBAR\n"), kExitFatal);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Befehl unbekannt: FOO");
  EXPECT_EQ(host.boxes[0].text, "Zeile  2 in main.krv: \r\nFOO");
}

// Each statement's position names its own file: after a call from the
// last line of an included file returns, the next line (in the file of the
// procedure that ran) is placed in its own, in a second run as in the
// first.
TEST_F(RunTest, PositionsNameTheFileOfEachLine) {
  RegisterProcedureStatements();  // other tests replace the user-function hook
  // (A name no other test defines as a built-in function.)
  Write("lib.inc", "r% = PlaceTwice(2)\n");
  const std::string main =
      "TRACEON\nDECLARE r%\n$I lib.inc\nPRINT r%\nEND\nPROC PlaceTwice\nPARAMETERS a%\nRETURN a% * 2\nENDPROC\n";
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    host.boxes.clear();
    EXPECT_EQ(Run(main), 0);
    std::vector<std::string> places;
    for (const auto& box : host.boxes) places.push_back(box.text.substr(0, box.text.find(':')));
    const std::vector<std::string> expected = {
        "Zeile  2 in main.krv", "Zeile  1 in lib.inc",  "Zeile  7 in main.krv",
        "Zeile  8 in main.krv", "Zeile  4 in main.krv", "Zeile  5 in main.krv"};
    EXPECT_EQ(places, expected);
  }
}

TEST_F(RunTest, EndStopsAndExitsNormally) {
  EXPECT_EQ(Run("END\nFOO\n"), 0);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(RunTest, CommentOnlyAndEmptyLinesAreNotTraced) {
  EXPECT_EQ(Run("TRACEON\n\n' just a comment\nREM also\nEND\n"), 0);
  ASSERT_EQ(host.boxes.size(), 1u);  // only END is traced
  EXPECT_EQ(host.boxes[0].caption, "TRACE:");
}

TEST_F(RunTest, ErrorProcResumesAfterTheFailingStatement) {
  EXPECT_EQ(Run("DECLARE n%\n@SET(\"ONERROR\", 1)\n@SET(\"ERRORLEVEL\", -1)\nFOO\nn% = 1\nEND\n"
                "ERRORPROC\nn% = 10\nENDPROC\n"),
            0);
  EXPECT_EQ(gErr.Code, 0);
  EXPECT_FALSE(gErr.InErrorProc);
}

TEST_F(RunTest, ReturnOutsideAProcedure) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nRETURN\nENDPROC\n"), 0);
  std::string lines = AllDebugLines();
  EXPECT_NE(lines.find("(2) 111:PROC fehlt!"), std::string::npos);
  EXPECT_NE(lines.find("(3) 111:PROC fehlt!"), std::string::npos);  // the first report stays pending
}

// Each line keeps its own condition, made for its text: nested loops with
// different conditions, a condition read again after a call from an
// expression ran loops of its own, and a second program whose lines hold
// other conditions at the same places. (The bound on g% ends the loops
// when a line reads another line's condition.)
TEST_F(RunTest, ConditionsAreKeptPerLine) {
  RegisterProcedureStatements();
  const std::string program =
      "DECLARE i%, j%, n%, g%\n"
      "WHILE (i% < @LIMIT@) AND (g% < 500)\n"
      "  INC i%\n"
      "  INC g%\n"
      "  j% = 0\n"
      "  WHILE (j% < i% * 2) AND (g% < 500)\n"
      "    INC j%\n"
      "    INC g%\n"
      "    n% = n% + Spin(1)\n"
      "  ENDWHILE\n"
      "ENDWHILE\n"
      "IF n% <> @SUM@\n"
      "  FOO\n"
      "ENDIF\n"
      "END\n"
      "PROC Spin\n"
      "  PARAMETERS k%\n"
      "  WHILE (k% < 3) AND (g% < 500)\n"
      "    INC k%\n"
      "    INC g%\n"
      "  ENDWHILE\n"
      "  RETURN k% - 2\n"
      "ENDPROC\n";
  auto with = [&program](const char* limit, const char* sum) {
    std::string text = program;
    text.replace(text.find("@LIMIT@"), 7, limit);
    text.replace(text.find("@SUM@"), 5, sum);
    return text;
  };
  EXPECT_EQ(Run(with("3", "12")), 0);
  EXPECT_EQ(Run(with("4", "20")), 0);
  EXPECT_EQ(Run(with("4", "19")), kExitFatal);  // the check itself can fail
}

TEST_F(RunTest, ProcedureReachedInSequenceIsSkipped) {
  EXPECT_EQ(Run("PROC never\nFOO\nENDPROC\nEND\n"), 0);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(Run("PROC never\nFOO\n"), kExitFatal);
  EXPECT_EQ(host.boxes.back().caption, "ENDPROC nicht gefunden!");
}

}  // namespace
}  // namespace korv
