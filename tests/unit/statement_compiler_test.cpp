// Byte-exact tests of compiled statements: codes, targets, tokens, labels,
// empty slots, and the compile errors with their positions.
#include "core/statement_compiler.h"

#include <gtest/gtest.h>

#include "base/code_tables.h"
#include "core/line_store.h"
#include "base/text.h"
#include "base/console_host.h"
#include "base/errors.h"

namespace korv {
namespace {

std::string Le(int32_t v) {
  std::string s;
  PutLe32(s, v);
  return s;
}

std::string B(int c) { return std::string(1, static_cast<char>(c)); }

class CompilerTest : public ::testing::Test {
 protected:
  ConsoleHost host_;

  void SetUp() override {
    SetHost(&host_);
    ResetErrorState();
    gErr.Level = -1;  // reports return, so a failed compile can be inspected
  }
  void TearDown() override {
    ResetErrorState();
    gProgram.Clear();
  }

  // Slot n holds lines[n - 1]; source line = slot number.
  void SetProgram(const std::vector<std::string>& lines) {
    gProgram.Clear();
    gProgram.files.push_back("t.krv");
    for (size_t i = 0; i < lines.size(); ++i) {
      gProgram.lines.push_back(lines[i]);
      Tdebuginfo d;
      d.Line = static_cast<int32_t>(i + 1);
      gProgram.debug.push_back(d);
    }
  }

  // Compiles every slot; returns the bodies (stops at the first error).
  std::vector<std::string> CompileAll(const std::vector<std::string>& lines) {
    ResetErrorState();
    gErr.Level = -1;
    SetProgram(lines);
    std::vector<std::string> bodies;
    ok_ = CompileProgram(bodies);
    return bodies;
  }

  // The body of one statement compiled as slot 1 of a program of its own.
  std::string One(const std::string& line) {
    auto bodies = CompileAll({line});
    EXPECT_TRUE(ok_) << line << " -> error " << gErr.Code << " " << gErr.Detail;
    return bodies.empty() ? std::string() : bodies[0];
  }

  // The error code of compiling the program (0 when it compiled).
  int32_t ErrorOf(const std::vector<std::string>& lines) {
    CompileAll(lines);
    return ok_ ? 0 : gErr.Code;
  }

  bool ok_ = false;
};

TEST(CodeTablesTest, TablesHoldEveryName) {
  EXPECT_EQ(CommandNameCount(), 178);
  EXPECT_EQ(FunctionNameCount(), 178);
  EXPECT_EQ(SysVarNameCount(), 77);
  EXPECT_EQ(CommandCode("PRINT"), 162);
  EXPECT_EQ(CommandCode("DRAWPROGICON"), 120);
  EXPECT_STREQ(CommandName(120), "DRAWLIBICON");
  EXPECT_EQ(FunctionCode("LONG"), 90);  // a function and a command of the same name
  EXPECT_EQ(CommandCode("LONG"), 86);
  EXPECT_EQ(SysVarCode("!BMPF"), 253);
  EXPECT_STREQ(SysVarName(212), "&LOOP");
  EXPECT_EQ(CommandCode("print"), -1);  // names are compared exactly
  EXPECT_EQ(CommandName(3), nullptr);
}

TEST_F(CompilerTest, IfElseTargetsPointBeforeTheirEnds) {
  std::vector<std::string> p(15, "REM");
  p[9] = "IF a = 1";
  p[12] = "ELSE";
  p[14] = "ENDIF";
  auto bodies = CompileAll(p);
  ASSERT_TRUE(ok_);
  EXPECT_EQ(bodies[9], B(133) + Le(12) + "a=1");
  EXPECT_EQ(bodies[12], B(134) + Le(14));
  EXPECT_EQ(bodies[14], B(132));
  EXPECT_EQ(bodies[0], B(39));
}

TEST_F(CompilerTest, LoopTargetsAndNesting) {
  std::vector<std::string> p(9, "");
  p[4] = "WHILE i < 10";
  p[8] = "ENDWHILE";
  auto bodies = CompileAll(p);
  ASSERT_TRUE(ok_);
  EXPECT_EQ(bodies[4], B(136) + Le(9) + "i<10");
  EXPECT_EQ(bodies[0], B(39));  // an empty slot is the single byte 39

  bodies = CompileAll({"WHILELOOP 5, 1, -2", "WHILE 1", "BREAK", "ENDWHILE", "REPEAT", "BREAK",
                       "CONTINUE", "UNTIL 1", "ENDWHILE"});
  ASSERT_TRUE(ok_);
  EXPECT_EQ(bodies[0], B(51) + Le(9) + "5,1,-2");
  EXPECT_EQ(bodies[1], B(136) + Le(4) + "1");
  EXPECT_EQ(bodies[2], B(60) + Le(4));  // BREAK leaves only the inner loop
  EXPECT_EQ(bodies[5], B(60) + Le(8));  // inside REPEAT: its UNTIL
  EXPECT_EQ(bodies[6], B(59));
  EXPECT_EQ(bodies[4], B(43));
  EXPECT_EQ(bodies[7], B(42) + "1");
}

TEST_F(CompilerTest, SelectionAndProcedureTargets) {
  auto bodies = CompileAll({"SELECT x%", "CASEOF 1, <>2, >=3", "SELECT y%", "CASEOF 1", "ENDSELECT",
                            "CASEOF <=4", "OTHERWISE", "ENDSELECT", "PROC P", "RETURN 1",
                            "ENDPROC", "SUBPROC Set.Mine", "ENDPROC", "ERRORPROC", "ENDPROC"});
  ASSERT_TRUE(ok_);
  EXPECT_EQ(bodies[0], B(121) + "x%");
  EXPECT_EQ(bodies[1], B(122) + Le(5) + "1,\x15#1|2,\x15G1|3");
  EXPECT_EQ(bodies[3], B(122) + Le(4) + "1");
  EXPECT_EQ(bodies[5], B(122) + Le(6) + "\x15L1|4");
  EXPECT_EQ(bodies[6], B(93) + Le(7));
  EXPECT_EQ(bodies[7], B(117));
  EXPECT_EQ(bodies[8], B(143) + Le(11));  // PROC loses its name
  EXPECT_EQ(bodies[9], B(139) + "1");
  EXPECT_EQ(bodies[11], B(31) + Le(13) + "Set.Mine");
  EXPECT_EQ(bodies[13], B(80) + Le(15));
}

TEST_F(CompilerTest, OperatorTokensAndBlanks) {
  EXPECT_EQ(One("x = a AND b"), B(206) + "X=a\x15" "A4|b");
  EXPECT_EQ(One("x=5"), B(206) + "x=5");
  EXPECT_EQ(One("x = a mod b or c & d | e"),
            B(206) + "X=a\x15M4|b\x15O3|c\x15" "a4|d\x15|3|e");
  EXPECT_EQ(One("x = a >> 1 << 2"), B(206) + "X=a\x15r4|1\x15l4|2");
  EXPECT_EQ(One("x = a <> b >= c <= d"), B(206) + "X=a\x15#1|b\x15G1|c\x15L1|d");
  EXPECT_EQ(One("x = aANDb"), B(206) + "X=aANDb");  // word operators need their blanks
  EXPECT_EQ(One("PRINT \"a  b <> AND c\""), B(162) + "\"a  b <> AND c\"");
}

TEST_F(CompilerTest, FunctionsProceduresAndMethods) {
  EXPECT_EQ(One("PRINT Chr$(65)"), B(162) + "@" + B(145) + "65)");
  EXPECT_EQ(One("PRINT @len ( \"ab\" ) + 1"), B(162) + "@" + B(150) + "\"ab\")+1");
  EXPECT_EQ(One("SIN (1)"), B(64) + "@" + B(165) + "1)");
  EXPECT_EQ(One("@SET(\"ONERROR\", 1)"), B(64) + "@" + B(24) + "\"ONERROR\",1)");
  // A function code may equal "(" or ",": it still follows "@".
  EXPECT_EQ(One("x% = MemPos(1) + External(2)"), B(206) + "X%=@(1)+@,2)");

  std::vector<std::string> p(40, "");
  p[0] = "MyProc 1, 2";
  p[1] = "x% = myproc(3) * 2";
  p[2] = "obj#.m(1)";
  p[3] = "x% = .Get(a%)";
  p[4] = "x% = arr#[i%].draw(5)";
  p[39] = "PROC MyProc";
  p.push_back("ENDPROC");
  auto bodies = CompileAll(p);
  ASSERT_TRUE(ok_) << gErr.Code << gErr.Detail;
  EXPECT_EQ(bodies[0], B(255) + Le(40) + "1,2");
  EXPECT_EQ(bodies[1], B(206) + "X%=@\x14" + Le(40) + "3)*2");
  EXPECT_EQ(bodies[2], B(64) + "@\x13OBJ#.M:1)");
  EXPECT_EQ(bodies[3], B(206) + "X%=@\x13.GET:a%)");
  EXPECT_EQ(bodies[4], B(206) + "X%=@\x13" "ARR#[i%].draw:5)");
}

TEST_F(CompilerTest, SystemVariablesDefNamesAndLabels) {
  auto bodies = CompileAll({"DEF %LIMIT  100", "x% = %limit + %ERRNUMBER + $1F + %UNKNOWN",
                            "PRINT $TELMVER, \"%ERRNUMBER\"", "Start:", "start2:"});
  ASSERT_TRUE(ok_);
  EXPECT_EQ(bodies[0], B(131) + "%LIMIT  100");  // DEF keeps its text verbatim
  EXPECT_EQ(bodies[1], B(206) + "X%=%\xFE" + Le(1) + "+%" + B(187) + "+$1F+%UNKNOWN");
  EXPECT_EQ(bodies[2], B(162) + "$" + B(196) + ",\"%ERRNUMBER\"");
  EXPECT_EQ(bodies[3], B(254) + "START:");
  EXPECT_EQ(bodies[4], B(254) + "START2:");
}

TEST_F(CompilerTest, CommentsAndStatementsWithoutArguments) {
  auto bodies = CompileAll({"REM x", "TRACEON", "TRACEOFF", "SETLFN 1", "$B stop", "$D \"x\"",
                            "IF 1", "ENDIF junk", "PRINT 1 ' note", "END"});
  ASSERT_TRUE(ok_);
  for (int i : {0, 1, 2, 3, 4, 5}) EXPECT_EQ(bodies[static_cast<size_t>(i)], B(39)) << i;
  EXPECT_EQ(bodies[7], B(132));
  EXPECT_EQ(bodies[9], B(191));
}

TEST_F(CompilerTest, ClassRewritingNamesMethodSlots) {
  auto bodies = CompileAll({"CLASS Shape = x%, #area@, name$(20)", "PROC Shape.area", "ENDPROC",
                            "STRUCT pt = x%, txt$(8)"});
  ASSERT_TRUE(ok_) << gErr.Code << " " << gErr.Detail;
  EXPECT_EQ(bodies[0], B(49) + "SHAPE=X%,AREA_2@,NAME$(20)");
  EXPECT_EQ(bodies[3], B(54) + "pt=x%,txt$(8)");  // no call test in structures
  EXPECT_EQ(ErrorOf({"CLASS Shape"}), 257);
  EXPECT_EQ(ErrorOf({"CLASS Shape = x%, area@"}), 267);
  EXPECT_EQ(gErr.Detail, "SHAPE.AREA");
}

TEST_F(CompilerTest, CompileErrorsCarryTheSlotPosition) {
  EXPECT_EQ(ErrorOf({"DECLARE a%", "FOO"}), 102);
  EXPECT_EQ(gErr.Detail, "FOO");
  EXPECT_EQ(gErr.Line, 2);
  EXPECT_EQ(gErr.FileName, "t.krv");
  EXPECT_EQ(ErrorOf({"x = nofunc(1)"}), 101);
  EXPECT_EQ(gErr.Detail, "NOFUNC");
  EXPECT_EQ(ErrorOf({"x = @nofunc"}), 213);
  EXPECT_EQ(ErrorOf({"PRINT \"abc"}), 238);
  EXPECT_EQ(ErrorOf({"PRINT (1"}), 255);
  EXPECT_EQ(ErrorOf({"IF 1"}), 106);
  EXPECT_EQ(ErrorOf({"IF 1", "ELSE"}), 107);
  EXPECT_EQ(ErrorOf({"ENDIF"}), 126);
  EXPECT_EQ(ErrorOf({"WHILE 1"}), 109);
  EXPECT_EQ(ErrorOf({"ENDWHILE"}), 110);
  EXPECT_EQ(ErrorOf({"REPEAT", "BREAK", "UNTIL 1"}), 110);  // BREAK outside every WHILE
  EXPECT_EQ(ErrorOf({"CASEOF 1"}), 140);
  EXPECT_EQ(ErrorOf({"SELECT 1", "CASEOF 1"}), 142);
  EXPECT_EQ(ErrorOf({"SELECT 1", "OTHERWISE"}), 143);
  EXPECT_EQ(ErrorOf({"ENDSELECT"}), 140);
  EXPECT_EQ(ErrorOf({"PROC A"}), 115);
  EXPECT_EQ(ErrorOf({"ENDPROC"}), 112);
  // End checks after the last slot.
  EXPECT_EQ(ErrorOf({"SELECT 1"}), 143);
  EXPECT_EQ(gErr.Line, 1);
}

TEST_F(CompilerTest, ProgendEndsTheProgramAndEveryNameSearch) {
  auto bodies = CompileAll({"MyProc", "PROGEND", "FOO", "PROC MyProc", "ENDPROC"});
  // MyProc is only defined behind PROGEND: not a procedure of this program.
  EXPECT_FALSE(ok_);
  EXPECT_EQ(gErr.Code, 102);
  bodies = CompileAll({"x% = %K", "IF 1", "PROGEND", "ENDIF", "DEF %K 1"});
  EXPECT_FALSE(ok_);
  EXPECT_EQ(gErr.Code, 106);  // the ENDIF behind PROGEND does not count
  bodies = CompileAll({"x% = %K", "PROGEND", "DEF %K 1"});
  ASSERT_TRUE(ok_);
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_EQ(bodies[0], B(206) + "X%=%K");
  EXPECT_EQ(bodies[1], B(2));
}

TEST_F(CompilerTest, OverlongCompiledStatementIsError902) {
  // Each "%ERRNUMBER" is 10 characters of source; its token is 2 bytes. A
  // DEF name grows instead: 4 characters become 6 bytes.
  std::string line = "x% = 0";
  for (int i = 0; i < 5500; ++i) line += "+%AB";
  ASSERT_LE(line.size(), 32767u);
  EXPECT_EQ(ErrorOf({line, "DEF %AB 1"}), 902);
  EXPECT_EQ(gErr.Line, 1);
}

TEST(CallFormTest, TestsTheRestOfTheText) {
  EXPECT_TRUE(CallFormAt("x=f(1)", 2));
  EXPECT_FALSE(CallFormAt("x=f(1)", 0));
  EXPECT_FALSE(CallFormAt("x=(1)", 2));
  EXPECT_TRUE(CallFormAt("a#[2].m(1)", 0));
}

}  // namespace
}  // namespace korv

namespace korv {
namespace {

// The compiler's indexed block-end search finds what the block statements'
// own scan finds, on random programs made of block keywords.
TEST(BlockEndsTest, AgreesWithTheLineScan) {
  const char* const kLines[] = {"IF X", "IFNOT X", "ELSEIF X", "ELSE", "ENDIF", "WHILE X", "WHILENOT X",
                                "WHILELOOP 3", "ENDWHILE", "REPEAT", "REPEAT X", "UNTIL X", "SELECT X",
                                "CASEOF 1", "OTHERWISE", "ENDSELECT", "PROC P", "SUBPROC S.T",
                                "ERRORPROC", "ENDPROC", "PRINT 1", "", "IFX", "ENDIFX"};
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 300; ++round) {
    const int32_t n = 1 + static_cast<int32_t>(next() % 60);
    std::vector<std::string> upper(1);
    for (int32_t i = 0; i < n; ++i) upper.push_back(kLines[next() % (sizeof kLines / sizeof kLines[0])]);
    BlockEnds ends(upper, n);
    for (int k = 0; k < 7; ++k) {
      const auto scan = static_cast<BlockScan>(k);
      for (int32_t from = 0; from <= n; ++from) {
        int32_t want = ScanBlockEnd(scan, from, n, [&upper](int32_t i) -> std::string_view {
          return upper[static_cast<size_t>(i)];
        });
        ASSERT_EQ(ends.Find(scan, from), want) << "scan " << k << " from " << from << " round " << round;
      }
    }
  }
}

TEST(BlockEndsTest, DeepNestingFindsEveryEnd) {
  // 100000 nested IF blocks: each head's end is found without rescanning.
  std::vector<std::string> upper(1);
  for (int i = 0; i < 100000; ++i) upper.push_back("IF 1");
  for (int i = 0; i < 100000; ++i) upper.push_back("ENDIF");
  BlockEnds ends(upper, 200000);
  for (int32_t s = 1; s <= 100000; ++s) ASSERT_EQ(ends.Find(BlockScan::FalseCondition, s), 200001 - s);
}

}  // namespace
}  // namespace korv
