// Block-end scans, the block stacks and the block statements run in whole
// programs.
#include "engine/blocks.h"

#include <vector>

#include "core/line_store.h"
#include "base/text.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "apps/interpreter/interpreter.h"
#include "engine/procedures.h"
#include "apps/subsystems.h"
#include "values/evaluator.h"
#include "values/stores.h"
#include "test_support.h"

namespace korv {
namespace {

void LoadLines(const std::vector<std::string>& lines) {
  gProgram.Clear();
  gProgram.files.push_back("t.krv");
  int n = 0;
  for (const std::string& l : lines) {
    gProgram.lines.push_back(l);
    Tdebuginfo d;
    d.Line = ++n;
    gProgram.debug.push_back(d);
  }
}

struct ScanCase {
  BlockScan scan;
  int32_t from;
  int32_t end;
};

TEST(BlockScanTest, EndsFoundWithNesting) {
  LoadLines({
      "IF a",               // 1
      "  if b",             // 2  nested opener, any case, indented
      "ELSE",               // 3  nested: ignored
      "  ENDIF",            // 4
      "ELSEIF c",           // 5
      "IFNOT d",            // 6
      "ENDIF",              // 7
      "ELSE",               // 8
      "ENDIF",              // 9
  });
  const ScanCase cases[] = {
      {BlockScan::FalseCondition, 1, 5},  // the nested ELSE does not stop it
      {BlockScan::FalseCondition, 5, 8},  // IFNOT..ENDIF skipped, ELSE stops
      {BlockScan::FalseCondition, 8, 9},
      {BlockScan::BranchDone, 1, 9},      // ELSEIF/ELSE at depth 0 do not stop it
      {BlockScan::BranchDone, 3, 4},
  };
  for (const ScanCase& c : cases) {
    EXPECT_EQ(ScanBlockEnd(c.scan, c.from), c.end) << static_cast<int>(c.scan) << " from " << c.from;
  }
  // FalseCondition and BranchDone run the end line; the target is one before.
  EXPECT_EQ(FindBlockTarget(BlockScan::FalseCondition, 1), 4);
  EXPECT_EQ(FindBlockTarget(BlockScan::BranchDone, 1), 8);
}

TEST(BlockScanTest, LoopScans) {
  LoadLines({
      "WHILE a",        // 1
      "WHILELOOP 3",    // 2
      "REPEAT",         // 3
      "BREAK",          // 4
      "UNTIL x",        // 5
      "BREAK",          // 6
      "ENDWHILE",       // 7
      "REPEATED = 1",   // 8  no opener: neither "REPEAT" nor "REPEAT "
      "BREAK",          // 9
      "ENDWHILE",       // 10
  });
  EXPECT_EQ(ScanBlockEnd(BlockScan::LoopEnd, 1), 10);
  EXPECT_EQ(ScanBlockEnd(BlockScan::LoopEnd, 2), 7);
  EXPECT_EQ(ScanBlockEnd(BlockScan::LoopEnd, 3), 7);   // REPEAT is no opener here
  EXPECT_EQ(ScanBlockEnd(BlockScan::LeaveLoop, 4), 5);
  EXPECT_EQ(ScanBlockEnd(BlockScan::LeaveLoop, 2), 7);  // the REPEAT..UNTIL is nested
  EXPECT_EQ(ScanBlockEnd(BlockScan::LeaveLoop, 8), 10);
  // Loops continue after their end line.
  EXPECT_EQ(FindBlockTarget(BlockScan::LoopEnd, 1), 10);
  EXPECT_EQ(FindBlockTarget(BlockScan::LeaveLoop, 4), 5);
}

TEST(BlockScanTest, SelectionAndProcedureScans) {
  LoadLines({
      "SELECT a",        // 1
      "CASEOF 1",        // 2
      "SELECT b",        // 3
      "CASEOF 2",        // 4  nested
      "ENDSELECT",       // 5
      "CASEOFFER = 2",   // 6  "CASEOF " needs its blank
      "OTHERWISE",       // 7
      "ENDSELECT",       // 8
      "PROC p",          // 9
      "ERRORPROC",       // 10
      "ENDPROC",         // 11
      "SUBPROC SET.X",   // 12
      "ENDPROC",         // 13
      "ENDPROC",         // 14
  });
  EXPECT_EQ(ScanBlockEnd(BlockScan::NoMatch, 2), 7);
  EXPECT_EQ(ScanBlockEnd(BlockScan::NoMatch, 3), 4);
  EXPECT_EQ(ScanBlockEnd(BlockScan::SelectionDone, 2), 8);
  EXPECT_EQ(ScanBlockEnd(BlockScan::SelectionDone, 1), 8);
  EXPECT_EQ(ScanBlockEnd(BlockScan::SkipProcedure, 9), 14);
  EXPECT_EQ(FindBlockTarget(BlockScan::SkipProcedure, 9), 14);
  EXPECT_EQ(FindBlockTarget(BlockScan::NoMatch, 2), 6);
}

TEST(BlockScanTest, MissingEndsAndTheirErrors) {
  LoadLines({"IF a", "IF b", "ENDIF", "WHILE 1", "SELECT 1"});
  EXPECT_EQ(ScanBlockEnd(BlockScan::FalseCondition, 1), 0);
  EXPECT_EQ(FindBlockTarget(BlockScan::FalseCondition, 1), 0);
  EXPECT_EQ(ScanBlockEnd(BlockScan::LoopEnd, 4), 0);
  EXPECT_EQ(ScanBlockEnd(BlockScan::SelectionDone, 5), 0);
  EXPECT_EQ(ScanBlockEnd(BlockScan::FalseCondition, 99), 0);  // beyond the program
  const std::pair<BlockScan, int32_t> errors[] = {
      {BlockScan::FalseCondition, 106}, {BlockScan::BranchDone, 107},
      {BlockScan::LoopEnd, 109},        {BlockScan::LeaveLoop, 109},
      {BlockScan::NoMatch, 142},        {BlockScan::SelectionDone, 143},
      {BlockScan::SkipProcedure, 115},
  };
  for (const auto& [scan, code] : errors) EXPECT_EQ(ScanMissingError(scan), code);
}

TEST(BlockScanTest, RememberedResultsBelongToOneProgram) {
  LoadLines({"IF a", "ENDIF"});
  EXPECT_EQ(ScanBlockEnd(BlockScan::FalseCondition, 1), 2);
  LoadLines({"IF a", "x = 1", "ELSE", "ENDIF"});
  EXPECT_EQ(ScanBlockEnd(BlockScan::FalseCondition, 1), 3);
}

TEST(BlockScanTest, AnyLineSourceGivesTheSameEnds) {
  const std::vector<std::string> lines = {"", "WHILE 1", "WHILENOT 2", "ENDWHILE", "ENDWHILE"};
  auto source = [&lines](int32_t i) { return std::string_view(lines[static_cast<size_t>(i)]); };
  EXPECT_EQ(ScanBlockEnd(BlockScan::LoopEnd, 1, 4, source), 4);
  EXPECT_EQ(ScanBlockEnd(BlockScan::LoopEnd, 1, 3, source), 0);  // last line bounds it
  EXPECT_TRUE(BeginsWithKeyword("ENDIFX", "ENDIF"));
  EXPECT_FALSE(BeginsWithKeyword("IF(A)", "IF "));
  EXPECT_FALSE(BeginsWithKeyword("END", "ENDIF"));
}

TEST(SelectionCompareTest, ByKindOfTheSelection) {
  SelectLevel s;
  s.kind = kind::kString;
  s.str = "b";
  TEvalResult item;
  item.StrValue = "a";
  EXPECT_TRUE(SelectionMatches(s, ">", item));
  EXPECT_TRUE(SelectionMatches(s, ">=", item));
  EXPECT_TRUE(SelectionMatches(s, "<>", item));
  EXPECT_FALSE(SelectionMatches(s, "", item));
  EXPECT_FALSE(SelectionMatches(s, "<", item));
  item.StrValue = "\xe4";  // bytes compare unsigned
  EXPECT_TRUE(SelectionMatches(s, "<", item));
  s.kind = kind::kInt;
  s.i = 3;
  item.IntValue = 3;
  item.FloatValue = 3.5;
  EXPECT_TRUE(SelectionMatches(s, "=", item));
  EXPECT_TRUE(SelectionMatches(s, "<=", item));
  EXPECT_FALSE(SelectionMatches(s, "=>", item));  // not a comparison: never matches
  EXPECT_FALSE(SelectionMatches(s, "><", item));
  s.kind = kind::kFloat;
  s.f = 3.0;
  EXPECT_TRUE(SelectionMatches(s, "<", item));
}

// ---------------------------------------------------------------------------
// Frames and the loop stack

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHost(&host_);
    InstallNeutralSubsystems();
    ResetSubsystems();
    gErr.Level = -1;
    LoadLines({"x"});
    ResetExecutor();
  }
  void TearDown() override { ResetSubsystems(); }
  ConsoleHost host_;
};

TEST_F(FrameTest, PopRestoresCounterDepthsAndStores) {
  ASSERT_NE(Declare("G%"), 0);
  gExec.pc = 7;
  gBlocks = {2, 1, 1};
  ASSERT_TRUE(PushFrame(FrameKind::Statement));
  EXPECT_EQ(LoopFloor(), 1);
  ASSERT_NE(Declare("G%"), 0);  // a local hiding the global
  ASSERT_NE(Declare("L$"), 0);
  gExec.pc = 40;
  gBlocks = {5, 3, 1};
  EXPECT_EQ(PopFrame(), FrameKind::Statement);
  EXPECT_EQ(gExec.pc, 7);
  EXPECT_EQ(gBlocks.cond, 2);
  EXPECT_EQ(gBlocks.sel, 1);
  EXPECT_EQ(gBlocks.loop, 1);
  EXPECT_EQ(Find("L$"), 0);
  EXPECT_EQ(Find("G%"), 1);
  EXPECT_EQ(gProc.count, 0);
  EXPECT_EQ(LoopFloor(), 0);
}

TEST_F(FrameTest, CalleeLoopLevelsAreDroppedAndTheirCountersStop) {
  // A counting loop open in the callee: its record is active until the pop.
  LoadLines({"PROC p", "WHILELOOP 5", "RETURN", "ENDWHILE", "ENDPROC"});
  ResetExecutor();
  ASSERT_TRUE(PushFrame(FrameKind::Statement));
  gExec.pc = 2;
  gExec.args = "5";
  TParStack ps;
  const CommandEntry* wl = FindStatement("WHILELOOP");
  ASSERT_NE(wl, nullptr);
  wl->statement(ps);
  EXPECT_EQ(gBlocks.loop, 1);
  EXPECT_TRUE(LoopAt(1).active);
  EXPECT_EQ(CurrentLoopCounter(), 1);
  PopFrame();
  EXPECT_EQ(gBlocks.loop, 0);
  EXPECT_FALSE(LoopAt(1).active);
  EXPECT_EQ(CurrentLoopCounter(), 0);
}

TEST_F(FrameTest, LoopCounterReadsTheSameOnThePrecompiledPath) {
  // &LOOP in arithmetic runs precompiled; a "," terminator takes the
  // general path on the same text. Every form must agree, inside a running
  // counting loop and outside of any.
  LoadLines({"WHILELOOP 3, 9", "ENDWHILE"});
  ResetExecutor();
  ASSERT_NE(Declare("K&"), 0);
  gStores.lngs[static_cast<size_t>(Find("K&"))].Value = 5;
  TParStack ps;
  auto expectSame = [&](const std::string& text) {
    SCOPED_TRACE(text);
    gErr.Code = 0;
    gEval.SetText(text);
    Evaluate(ps, ',', 0);
    const TEvalResult general = gRes;
    const std::string generalVar = gEval.lastVarName;
    const uint32_t before = PrecompiledRuns();
    gEval.SetText(text);
    Evaluate(ps, ' ', 0);
    EXPECT_EQ(PrecompiledRuns(), before + 1);
    EXPECT_EQ(gRes.IntValue, general.IntValue);
    EXPECT_EQ(gRes.FloatValue, general.FloatValue);
    EXPECT_EQ(gRes.StrValue, general.StrValue);
    EXPECT_EQ(gRes.ResultKind, general.ResultKind);
    EXPECT_EQ(gEval.lastVarName, generalVar);
    EXPECT_EQ(gErr.Code, 0);
  };
  const char* texts[] = {"&LOOP", "&loop * 7 + K&", "(K& * 3 + &LOOP * 7) MOD 1009", "K& + &LOOP",
                         "&LOOP / 2", "SQRT(&LOOP)"};
  for (const char* t : texts) expectSame(t);
  gExec.pc = 1;
  gExec.args = "3, 9";
  FindStatement("WHILELOOP")->statement(ps);
  ASSERT_EQ(CurrentLoopCounter(), 3);
  for (const char* t : texts) expectSame(t);
}

TEST_F(FrameTest, The151stFrameIsRefused) {
  for (int i = 0; i < kMaxFrames; ++i) ASSERT_TRUE(PushFrame(FrameKind::Expression));
  EXPECT_FALSE(PushFrame(FrameKind::Statement));
  EXPECT_EQ(gErr.Code, 114);
  EXPECT_EQ(gProc.count, kMaxFrames);
  while (gProc.count > 0) PopFrame();
  EXPECT_EQ(ScopeDepth(), 0);
}

// ---------------------------------------------------------------------------
// Whole programs

class BlockProgramTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    InstallNeutralSubsystems();
    // Other tests replace the user-function hook; put the procedures' back.
    RegisterProcedureStatements();
  }
  std::string Out() const { return host.stdoutText; }
};

TEST_F(BlockProgramTest, FullConditionStackSkipsTheWholeBlock) {
  // 9830250 open IF levels cannot be written in a program; start there.
  LoadLines({"SETERRORLEVEL -1", "IF 1", "PRINT \"in\"", "ELSE", "PRINT \"else\"", "ENDIF",
             "PRINT \"after\""});
  ResetSubsystems();
  ResetExecutor();
  gBlocks.cond = kMaxCondDepth;
  TParStack ps;
  korv::Run(ps, 0);
  EXPECT_EQ(Out(), "after\n");
  EXPECT_NE(AllDebugLines().find("137:Zu tiefe IF/IFNOT-Verschachtelung!"), std::string::npos);
  EXPECT_EQ(gBlocks.cond, kMaxCondDepth);
}

TEST_F(BlockProgramTest, FullSelectionStackSkipsTheWholeBlock) {
  LoadLines({"SETERRORLEVEL -1", "SELECT 1", "CASEOF 1", "PRINT \"one\"", "OTHERWISE",
             "PRINT \"other\"", "ENDSELECT", "PRINT \"after\""});
  ResetSubsystems();
  ResetExecutor();
  gBlocks.sel = kMaxSelDepth;
  TParStack ps;
  korv::Run(ps, 0);
  EXPECT_EQ(Out(), "after\n");
  EXPECT_NE(AllDebugLines().find("141:Zu tiefe SELECT-Verschachtelung!"), std::string::npos);
  EXPECT_EQ(gBlocks.sel, kMaxSelDepth);
}

TEST_F(BlockProgramTest, ContinueInsideBranchesDoesNotLeakLevels) {
  EXPECT_EQ(Run("DECLARE i%\n"
                "WHILE 1\n"
                "  INC i%\n"
                "  CASE i% > 50000\n"
                "  BREAK\n"
                "  SELECT i% MOD 3\n"
                "  CASEOF 0\n"
                "    IF 1\n"
                "      CONTINUE\n"
                "    ENDIF\n"
                "  CASEOF 1\n"
                "    CONTINUE\n"
                "  ENDSELECT\n"
                "  IFNOT 0\n"
                "    CONTINUE\n"
                "  ENDIF\n"
                "ENDWHILE\n"
                "PRINT i%\n"),
            0);
  EXPECT_EQ(Trim(Out()), "50001");
  EXPECT_EQ(gBlocks.cond, 0);
  EXPECT_EQ(gBlocks.sel, 0);
  EXPECT_EQ(gBlocks.loop, 0);
}

TEST_F(BlockProgramTest, LoopCounterAssignedAndPrintedAgree) {
  // The assignments read &LOOP precompiled, PRINT on the general path: each
  // pass prints the values first as computed, then as stored.
  EXPECT_EQ(Run("DECLARE x&, f!\n"
                "WHILELOOP -2, 2\n"
                "  PRINT INT((x& * 3 + &LOOP * 7) MOD 1009); \"/\"; &LOOP / 4\n"
                "  x& = (x& * 3 + &LOOP * 7) MOD 1009\n"
                "  f! = &LOOP / 4\n"
                "  PRINT x&; \"/\"; f!\n"
                "ENDWHILE\n"),
            0);
  std::vector<std::string> lines;
  const std::string out = Out();
  for (size_t start = 0; start < out.size();) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::string line = Trim(out.substr(start, end - start));
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  ASSERT_EQ(lines.size(), 10u) << out;
  for (size_t i = 0; i < lines.size(); i += 2) EXPECT_EQ(lines[i], lines[i + 1]) << i;
  EXPECT_NE(lines[0], lines[8]);  // the counter did move
}

// The counter's text is made in the number format of the moment it is read,
// not of the moment it is joined (the call changes NUMWIDTH in between).
TEST_F(BlockProgramTest, LoopCounterTextIsMadeWhenRead) {
  EXPECT_EQ(Run("WHILELOOP 1\n"
                "  PRINT &LOOP + W()\n"
                "ENDWHILE\n"
                "PRINT &LOOP + \"|\"\n"
                "END\n"
                "PROC W\n"
                "  @SET(\"NUMWIDTH\", 4)\n"
                "  RETURN \"|\"\n"
                "ENDPROC\n"),
            0);
  EXPECT_EQ(Out(), "1|\n   0|\n");
}

// CASEOF items are read without their text form; a string selection still
// compares an item's text, made in the number format of the moment.
TEST_F(BlockProgramTest, CaseItemsCompareByTheSelectionsKind) {
  EXPECT_EQ(Run("DECLARE s$, n%\n"
                "WHILELOOP 4\n"
                "  SELECT &LOOP * 1.5\n"
                "  CASEOF 1.5\n    PRINT \"a\";\n"
                "  CASEOF < 4, 4.5\n    PRINT \"b\";\n"
                "  OTHERWISE\n    PRINT \"c\";\n"
                "  ENDSELECT\n"
                "ENDWHILE\n"
                "s$ = \"2.500000\"\n"
                "SELECT s$\nCASEOF 2.5\n  PRINT \"d\";\nOTHERWISE\n  PRINT \"e\";\nENDSELECT\n"
                "@SET(\"DECIMALS\", 1)\n"
                "SELECT s$\nCASEOF 2.5\n  PRINT \"f\";\nCASEOF \"2.500000\"\n  PRINT \"g\";\nENDSELECT\n"
                "SELECT \"7\"\nCASEOF 3 + 4\n  PRINT \"h\";\nCASEOF 7\n  PRINT \"i\"\nENDSELECT\n"),
            0);
  // (3 + 4 is a float result: its text is "7.0" here.)
  EXPECT_EQ(Trim(Out()), "abbcdgi");
}

TEST_F(BlockProgramTest, ReturnFromInsideLoopsLeavesNoLevels) {
  // 40 returns from inside a loop body: the caller's loops still work.
  EXPECT_EQ(Run("DECLARE n%\n"
                "WHILELOOP 40\n"
                "  n% = F(&LOOP)\n"
                "ENDWHILE\n"
                "WHILELOOP 2\n"
                "  P\n"
                "ENDWHILE\n"
                "PRINT n%, &LOOP\n"
                "END\n"
                "PROC F\n"
                "  PARAMETERS k&\n"
                "  WHILE 1\n"
                "    RETURN k& * 2\n"
                "  ENDWHILE\n"
                "ENDPROC\n"
                "PROC P\n"
                "  REPEAT\n"
                "    RETURN\n"
                "  UNTIL 1\n"
                "ENDPROC\n"),
            0);
  EXPECT_EQ(Out(), "80 0\n");
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(BlockProgramTest, LoopStatementsDoNotReachTheCallersLoop) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "WHILELOOP 2\n"
                "  P\n"
                "  PRINT \"pass\", &LOOP\n"
                "ENDWHILE\n"
                "END\n"
                "PROC P\n"
                "  BREAK\n"
                "  CONTINUE\n"
                "  ENDWHILE\n"
                "  UNTIL 1\n"
                "ENDPROC\n"),
            0);
  EXPECT_EQ(Out(), "pass 1\npass 2\n");
  std::string lines = AllDebugLines();
  for (const char* pos : {"(8) 110", "(9) 110", "(10) 110", "(11) 110"})
    EXPECT_NE(lines.find(std::string(pos) + ":WHILE, WHILELOOP oder WHILENOT fehlt!"), std::string::npos) << pos;
}

TEST_F(BlockProgramTest, CountingLoopBoundsWithoutOverflow) {
  EXPECT_EQ(Run("DECLARE n%\n"
                "WHILELOOP 2147483646, 2147483647\n"
                "  INC n%\n"
                "ENDWHILE\n"
                "WHILELOOP -2147483647, -2147483648, -1\n"
                "  INC n%\n"
                "ENDWHILE\n"
                "PRINT n%\n"),
            0);
  EXPECT_EQ(Trim(Out()), "4");
}

TEST_F(BlockProgramTest, FailedConditionsRunNoGuardedCode) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "IFNOT nosuch(1)\n"
                "  PRINT \"ifnot\"\n"
                "ENDIF\n"
                "REPEAT\n"
                "  PRINT \"pass\"\n"
                "UNTIL nosuch(1)\n"
                "CASENOT nosuch(1)\n"
                "PRINT \"casenot\"\n"
                "WHILELOOP nosuch(1), 3\n"
                "  PRINT \"counting\"\n"
                "ENDWHILE\n"
                "PRINT \"end\"\n"),
            0);
  EXPECT_EQ(Out(), "pass\nend\n");
}

TEST_F(BlockProgramTest, LoopConditionsFollowTheirLineText) {
  // The same line numbers with other conditions in the next program, a
  // condition that reports (and ends its loop) on a later pass, and a loop
  // variable that a procedure level hides: each pass must read the line it
  // runs.
  EXPECT_EQ(Run("DECLARE i%\nWHILE i% < 3\n  INC i%\nENDWHILE\nPRINT i%\n"), 0);
  EXPECT_EQ(Run("DECLARE i%\nWHILE i% < 5\n  INC i%\nENDWHILE\nPRINT i%\n"), 0);
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE i%, d%\nd% = 2\nWHILE 10 / d% > 1\n  DEC d%\n"
                "  CASE d% < -1\n  BREAK\nENDWHILE\nPRINT d%\n"
                "DECLARE n%\nWHILE n% < 2\n  Inner\n  INC n%\nENDWHILE\nPRINT n%\nEND\n"
                "PROC Inner\n  DECLARE n%\n  WHILE n% < 4\n    INC n%\n  ENDWHILE\n  PRINT n%;\nENDPROC\n"),
            0);
  EXPECT_EQ(Out(), "3\n5\n0\n442\n");
  EXPECT_NE(AllDebugLines().find("201:"), std::string::npos);
}

}  // namespace
}  // namespace korv
