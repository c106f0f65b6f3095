// The runtime path in one process: a source is compiled, written and read
// back as a .kvc image and run by the byte-code executor; the same source
// runs in the interpreter, and both must print the same and report the same
// error numbers.
#include "engine/bytecode_executor.h"

#include <gtest/gtest.h>

#include <new>

#include "base/code_tables.h"
#include "core/gl_header_table.h"
#include "core/kvc_format.h"
#include "core/line_store.h"
#include "core/preprocessor.h"
#include "core/statement_compiler.h"
#include "base/text.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "apps/interpreter/interpreter.h"
#include "apps/subsystems.h"
#include "test_support.h"

namespace korv {
namespace {

struct Outcome {
  int exit = 0;
  std::string out;
  std::vector<int> errors;  // error numbers of the debugger lines, in order
  std::vector<std::string> lines;
};

class RuntimeTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    InstallNeutralSubsystems();
  }
  void TearDown() override {
    LeaveCompiledMode();
    ProgramTest::TearDown();
  }

  // The report numbers of the debugger lines: "ERROR:\tfile (12) 102:..."
  // in the interpreter, "ERROR:\t12\t102:..." in the runtime.
  static std::vector<int> ErrorNumbers(const std::vector<std::string>& lines) {
    std::vector<int> codes;
    for (const std::string& l : lines) {
      if (!StartsWith(l, "ERROR:\t") && !StartsWith(l, "WARN:\t")) continue;
      std::string rest = l.substr(l.find('\t') + 1);
      size_t paren = rest.find(") ");
      size_t at = paren != std::string::npos ? paren + 2 : rest.find('\t') + 1;
      codes.push_back(std::atoi(rest.c_str() + at));
    }
    return codes;
  }

  Outcome Interpret(const std::string& source) {
    ResetHostRecord();
    Outcome o;
    o.exit = Run(source);
    o.out = seen->stdoutText;
    o.lines = seen->debugLines;
    o.errors = ErrorNumbers(seen->debugLines);
    return o;
  }

  // Compiles main.krv; false when the compiler reported (code in gErr).
  bool CompileToImage(const std::string& source, kvc::Image& image, bool protect) {
    Write("main.krv", source);
    LoadOptions lo;
    lo.compiler = true;
    lo.caption = "Korvid Compiler 1.0";
    lo.symbols = {"WIN32", "VER10.0", "COMPILER", "KORVID", "KORVID1.0"};
    lo.headerTable = GlHeaderTable();
    ResetErrorState();
    gErr.Level = -1;
    LoadProgram("main.krv", lo);
    std::vector<std::string> bodies;
    bool ok = CompileProgram(bodies);
    ResetErrorState();
    if (!ok) return false;
    std::string file = kvc::EncodeProgram(bodies, protect, kvc::ClockRandom());
    return kvc::ReadProgram(file, 0, image).status == kvc::ReadStatus::Ok;
  }

  Outcome Execute(const std::string& source, bool protect = true) {
    ResetHostRecord();
    Outcome o;
    kvc::Image image;
    EXPECT_TRUE(CompileToImage(source, image, protect)) << source;
    LoadCompiledProgram(std::move(image), "main.kvc");
    try {
      RunLoadedProgram();
    } catch (const ExitRequest& e) {
      o.exit = e.code;
    }
    o.out = seen->stdoutText;
    o.lines = seen->debugLines;
    o.errors = ErrorNumbers(seen->debugLines);
    LeaveCompiledMode();
    return o;
  }

  void ResetHostRecord() {
    seen->boxes.clear();
    seen->debugLines.clear();
    seen->stdoutText.clear();
  }

  // The host the programs run on (another console host may take over).
  ConsoleHost* seen = &host;
  void UseHost(ConsoleHost& h) {
    SetHost(&h);
    seen = &h;
  }

  // Both executors, each with and without precompiled arithmetic: the same
  // output and report lines each way, and the same output and error
  // numbers in both; the program must report something, and at least
  // minFastRuns arguments must have run precompiled. The interpreter's
  // outcome with precompiled arithmetic is returned.
  Outcome SameWithAndWithoutPrecompiled(const std::string& source, uint32_t minFastRuns) {
    UsePrecompiledArithmetic(false);
    const Outcome generalText = Interpret(source);
    const Outcome generalCode = Execute(source);
    UsePrecompiledArithmetic(true);
    const uint32_t before = PrecompiledRuns();
    const Outcome keptText = Interpret(source);
    const Outcome keptCode = Execute(source);
    EXPECT_GT(PrecompiledRuns() - before, minFastRuns);
    EXPECT_EQ(keptText.out, generalText.out);
    EXPECT_EQ(keptText.lines, generalText.lines);
    EXPECT_EQ(keptCode.out, generalCode.out);
    EXPECT_EQ(keptCode.lines, generalCode.lines);
    EXPECT_EQ(keptCode.out, keptText.out);
    EXPECT_EQ(keptCode.errors, keptText.errors);
    EXPECT_FALSE(keptText.errors.empty());
    return keptText;
  }

  // Both executors: same output, exit code and error numbers.
  Outcome Same(const std::string& source) {
    Outcome a = Interpret(source);
    Outcome b = Execute(source);
    EXPECT_EQ(a.out, b.out) << source;
    EXPECT_EQ(a.exit, b.exit) << source;
    EXPECT_EQ(a.errors, b.errors) << source;
    return b;
  }
};

TEST_F(RuntimeTest, BlocksRunTheSamePaths) {
  Outcome o = Same(
      "DECLARE i%, s$\n"
      "i% = 2\n"
      "IF i% = 1\n PRINT \"one\"\nELSEIF i% = 2\n PRINT \"two\"\nELSE\n PRINT \"other\"\nENDIF\n"
      "IFNOT i% = 2\n PRINT \"x\"\nENDIF\n"
      "WHILELOOP 5, 1, -2\n PRINT &LOOP\nENDWHILE\n"
      "i% = 0\nWHILE i% < 10\n i% = i% + 1\n IF i% = 3\n  CONTINUE\n ENDIF\n IF i% = 5\n  BREAK\n ENDIF\n PRINT i%\nENDWHILE\n"
      "REPEAT\n i% = i% - 1\nUNTIL i% <= 2\nPRINT i%\n"
      "s$ = \"b\"\nSELECT s$\nCASEOF \"a\"\n PRINT \"A\"\nCASEOF >\"a\", \"z\"\n PRINT \"B\"\nCASEOF \"b\"\n PRINT \"again\"\n"
      "OTHERWISE\n PRINT \"none\"\nENDSELECT\n"
      "SELECT 7\nCASEOF <>7\n PRINT \"ne\"\nCASEOF >=8\n PRINT \"ge\"\nOTHERWISE\n PRINT \"other7\"\nENDSELECT\n"
      "CASE i% = 2\nPRINT \"case\"\nCASENOT i% = 2\nPRINT \"casenot\"\n");
  EXPECT_EQ(o.exit, 0);
  EXPECT_NE(o.out.find("two"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("other7"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("again"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("casenot"), std::string::npos) << o.out;
}

// CASEOF lists of plain arithmetic are read once and run from what was
// kept; any item that cannot (a string, a call, a report, a missing
// operand) hands the rest of the list to the general reading. Both
// executors, with and without precompiled arithmetic: the same matches,
// reports and positions.
TEST_F(RuntimeTest, CaseItemListsReadAsWithoutPrecompiledArithmetic) {
  const std::string source =
      "SETERRORLEVEL -1\n"
      "DECLARE n%, x%, z%, f!, s$\n"
      "x% = 3\n"
      "WHILELOOP 9\n"
      "  n% = &LOOP - 3\n"
      "  SELECT n%\n"
      "  CASEOF 0\n    PRINT \"a\";\n"
      "  CASEOF -1, -2\n    PRINT \"b\";\n"
      "  CASEOF < -5, >= 5\n    PRINT \"c\";\n"
      "  CASEOF x% + 1, <> 99 , nix%\n    PRINT \"d\";\n"
      "  ENDSELECT\n"
      "  SELECT n%\n"
      "  CASEOF 1 / z%, 2\n    PRINT \"e\";\n"
      "  CASEOF \"1\", 3\n    PRINT \"f\";\n"
      "  CASEOF (x%), 1,\n    PRINT \"g\";\n"
      "  CASEOF 1 <\n    PRINT \"h\";\n"
      "  CASEOF <=-1,<\n    PRINT \"i\";\n"
      "  OTHERWISE\n    PRINT \"j\";\n"
      "  ENDSELECT\n"
      "  f! = n% / 2\n"
      "  SELECT f!\n"
      "  CASEOF 0.5, 1.5, < -0.5\n    PRINT \"k\";\n"
      "  CASEOF >= 2 , -0\n    PRINT \"l\";\n"
      "  ENDSELECT\n"
      "  s$ = \"\" + n%\n"
      "  SELECT s$\n"
      "  CASEOF 1, -1\n    PRINT \"m\";\n"
      "  CASEOF > 2\n    PRINT \"n\";\n"
      "  ENDSELECT\n"
      "  PRINT\n"
      "ENDWHILE\n";
  const Outcome kept = SameWithAndWithoutPrecompiled(source, 150);  // the kept items ran
  EXPECT_NE(kept.out.find("a"), std::string::npos) << kept.out;
}

// Argument lists of plain arithmetic are read once and run from what was
// kept, in calls from expressions and call statements; an argument that
// cannot run so hands the rest of the list to the general reading. Both
// executors, with and without precompiled arithmetic: the same values (a
// $ parameter reads a number's text in the format of the call), reports
// and positions.
TEST_F(RuntimeTest, ArgumentListsReadAsWithoutPrecompiledArithmetic) {
  const std::string source =
      "SETERRORLEVEL -1\n"
      "DECLARE i%, x%, f!, r%\n"
      "x% = 7\n"
      "f! = 2.5\n"
      "WHILELOOP 3\n"
      "  i% = &LOOP\n"
      "  r% = Show(i%, -1, x% * 2 + i%, f! / 2)\n"
      "  r% = Show(i%, f! * i%, 1, 2)\n"
      "  r% = Show(i%, nix% + 1, 3)\n"
      "  r% = Show(i%, LEN(\"ab\"), -x%, 4)\n"
      "  r% = Show(i%, (x%), 1 / 0, 5)\n"
      "  r% = Show(i%, )\n"
      "  r% = Show()\n"
      "  Show i% + 1, -0, 2.75\n"
      "  Show i%, \"s\", i% MOD 2\n"
      "  r% = Show(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16)\n"
      "  @SET(\"DECIMALS\", &LOOP)\n"
      "ENDWHILE\n"
      "END\n"
      "PROC Show\n"
      "  PARAMETERS a%, b$, c!, d%\n"
      "  PRINT a%; \"|\"; b$; \"|\"; c!; \"|\"; d%; \"|\"; %PCOUNT\n"
      "  RETURN a% + d%\n"
      "ENDPROC\n";
  SameWithAndWithoutPrecompiled(source, 100);  // the kept arguments ran
}

TEST_F(RuntimeTest, ProceduresByStatementExpressionAndNesting) {
  Outcome o = Same(
      "DECLARE r%\n"
      "Show 1, \"a\"\n"
      "r% = Twice(21)\nPRINT r%\n"
      "PRINT Fact(6)\n"
      "END\n"
      "PROC Show\n PARAMETERS n%, t$\n PRINT n%, t$, %PCOUNT\nENDPROC\n"
      "PROC Twice\n PARAMETERS v%\n RETURN v% * 2\nENDPROC\n"
      "PROC Fact\n PARAMETERS n%\n IF n% <= 1\n  RETURN 1\n ENDIF\n RETURN n% * Fact(n% - 1)\nENDPROC\n");
  EXPECT_NE(o.out.find("42"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("720"), std::string::npos) << o.out;
}

// A block statement reads its own arguments while the procedures its
// condition and items call run statements of their own; reads of unknown
// names stay silent inside DECLARE in both programs.
TEST_F(RuntimeTest, BlockArgumentsAndDeclarationsAroundCalls) {
  Outcome o = Same(
      "DECLARE i%\n"
      "DECLARE a%[q% + 3]\n"
      "WHILE Next(i%) < 4\n"
      " SELECT Pick(i%)\n CASEOF Pick(1), 5\n  PRINT \"odd\"\n OTHERWISE\n  PRINT \"even\"\n ENDSELECT\n"
      "ENDWHILE\n"
      "PRINT i%\nPRINT q%\n"
      "END\n"
      "PROC Next\n PARAMETERS v%\n INC i%\n RETURN v% + 1\nENDPROC\n"
      "PROC Pick\n PARAMETERS v%\n DECLARE w%\n w% = v% MOD 2\n RETURN w%\nENDPROC\n");
  EXPECT_EQ(o.exit, 0);
  EXPECT_EQ(o.out, "odd\neven\nodd\n4\n0\n");
  EXPECT_EQ(o.errors, (std::vector<int>{215}));
}

// Member sizes of definitions hold word operators, system variables and
// defined names, which the compiled form keeps as tokens.
TEST_F(RuntimeTest, DefinitionSizesReadAsInTheInterpreter) {
  Outcome o = Same(
      "DEF %N 5\n"
      "STRUCT S = a$(10 MOD 3), b#(%N AND 7), c$(%PCOUNT + 3), d$(%N << 1)\n"
      "DECLARE x#\nx# = NEW(S)\nPRINT SIZEOF(x#)\n"
      "CLASS C = a%, Foo(%HWND)\n"
      "PRINT 1\n");
  EXPECT_EQ(o.out, "18\n");  // 2 + 1 + 4 + 11
  EXPECT_EQ(o.errors, (std::vector<int>{257}));
  EXPECT_EQ(o.exit, 3);
}

TEST_F(RuntimeTest, OperatorsSystemVariablesAndDefConstants) {
  Outcome o = Same(
      "DEF %LIMIT  100\nDEF $NAME \"n\\tx\"\nDEF !HALF 0.5\n"
      "DECLARE a%, f!\n"
      "a% = 6 MOD 4 + (1 AND 1) + (0 OR 1) + (12 & 10) + (1 | 2) + (1 << 3) + (16 >> 2)\n"
      "PRINT a%, 3 <> 4, 3 <= 3, 4 >= 5\n"
      "PRINT %LIMIT + 1, $NAME, !HALF * 4\n"
      "PRINT $1F, &17, %101, Len(\"abc\"), Chr$(65) + \"x\"\n");
  EXPECT_NE(o.out.find("101"), std::string::npos) << o.out;
}

TEST_F(RuntimeTest, ErrorsReportCompiledPositions) {
  Outcome o = Same("DECLARE a%\nSETERRORLEVEL -1\na% = q%\na% = 1 / 0\nPRINT \"after\"\n");
  ASSERT_EQ(o.errors, (std::vector<int>{215, 215}));  // the first report stays pending
  EXPECT_EQ(o.lines[0], "WARN:\t3\t215\tVariable nicht declariert: Q%");
  // The fatal form: "Zeile" and the statement number right-aligned in 6.
  o = Execute("DECLARE a%\n\n\na% = 1 / 0\nPRINT \"no\"\n");
  EXPECT_EQ(o.exit, kExitFatal);
  ASSERT_FALSE(host.boxes.empty());
  EXPECT_EQ(host.boxes.back().caption, "Division durch 0!");
  EXPECT_EQ(host.boxes.back().text, "Zeile      4!");
  EXPECT_EQ(o.lines.back(), "ERROR:\t4\t201:Division durch 0!");
}

TEST_F(RuntimeTest, ErrorProcedureIsTheFirstAndResumes) {
  Outcome o = Same(
      "DECLARE a%\n@SET(\"ERRORLEVEL\", -1)\n@SET(\"ONERROR\", 1)\na% = 1 / 0\nPRINT \"after\"\nEND\n"
      "ERRORPROC\n PRINT \"handler\", %ERRNUMBER\nENDPROC\nERRORPROC\n PRINT \"second\"\nENDPROC\n");
  EXPECT_NE(o.out.find("handler"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("second"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("after"), std::string::npos) << o.out;
}

TEST_F(RuntimeTest, MissingErrorProcAndLoopLimits) {
  Outcome o = Same("@SET(\"ERRORLEVEL\", -1)\n@SET(\"ONERROR\", 1)\nDECLARE a%\na% = 1 / 0\nPRINT \"x\"\n");
  EXPECT_EQ(o.exit, kExitFatal);
  EXPECT_EQ(host.boxes.back().caption, "ERRORPROC nicht gefunden!");
  std::string nested;
  for (int i = 0; i < 31; ++i) nested += "WHILE 1\n";
  for (int i = 0; i < 31; ++i) nested += "ENDWHILE\n";
  o = Same(nested);
  EXPECT_EQ(host.boxes.back().caption, "Zu tiefe WHILE-Verschachtelung!");
  o = Same("WHILELOOP 1, 5, 0\nPRINT 1\nENDWHILE\n");
  EXPECT_EQ(host.boxes.back().caption, "Ungültige WHILELOOP-Parameter!");
}

TEST_F(RuntimeTest, ClassesMethodsAndStructures) {
  Outcome o = Same(
      "CLASS Counter = -count%, step%, Counter@, Add@, Get@\n"
      "STRUCT Pt = x%, label$(8)\n"
      "DECLARE c#, e#[2], p#\n"
      "c# = NEW(Counter, 5)\n"
      "c#.Add(3)\n"
      "PRINT c#.Get(), c#.step%\n"
      "e#[1] = NEW(Counter, 10)\n"
      "e#[1].Add(2)\n"
      "PRINT e#[1].Get() + c#.Get(), CLASSOF(e#[1])\n"
      "DIM p#, Pt\n"
      "p#.x% = 4\n"
      "p#.label$ = \"abc\"\n"
      "PRINT p#.x%, p#.label$\n"
      "END\n"
      "PROC Counter.Counter\n  PARAMETERS st%\n  .step% = st%\n  .count% = 100\nENDPROC\n"
      "PROC Counter.Add\n  PARAMETERS n%\n  .count% = .count% + n% * .step%\nENDPROC\n"
      "PROC Counter.Get\n  RETURN .count%\nENDPROC\n");
  EXPECT_EQ(o.exit, 0) << o.out;
  EXPECT_NE(o.out.find("115 5"), std::string::npos) << o.out;
}

TEST_F(RuntimeTest, MultiplyingByAMemberInsideMethodArguments) {
  // The compiler removes the blanks, so "2 * .f!" reaches the runtime as
  // "2*.f!"; it is a multiplication in both programs, and "*." that begins
  // an operand still names the current object.
  Outcome o = Same(
      "CLASS Acc = f!, rate!, bal!, Acc@, Twice@, Calc@, Deposit@, Balance@\n"
      "DECLARE a#\n"
      "a# = NEW(Acc, 3)\n"
      "PRINT a#.Calc()\n"
      "END\n"
      "PROC Acc.Acc\n  PARAMETERS v!\n  .f! = v!\n  .rate! = 10\n  .bal! = 200\nENDPROC\n"
      "PROC Acc.Twice\n  PARAMETERS v!\n  RETURN v! * 2\nENDPROC\n"
      "PROC Acc.Deposit\n  PARAMETERS v!\n  .bal! = .bal! + v!\n  RETURN .bal!\nENDPROC\n"
      "PROC Acc.Balance\n  RETURN .bal!\nENDPROC\n"
      "PROC Acc.Calc\n"
      "  PRINT .Twice(2 * .f!); \" \"; .Twice(2*.f!); \" \"; .Twice(*.f! + 1); \" \"; .Twice(2**.f!)\n"
      "  PRINT .Deposit(.Balance() * .rate! / 100)\n"
      "  RETURN .Twice(.f!*.rate!)\n"
      "ENDPROC\n");
  EXPECT_EQ(o.exit, 0) << o.out;
  EXPECT_TRUE(o.errors.empty()) << o.out;
  EXPECT_EQ(o.out, "12.000000 12.000000 8.000000 12.000000\n220.000000\n60.000000\n");
}

TEST_F(RuntimeTest, CodesWithoutHandlerAreUnknownInBothPrograms) {
  // DEBUGOUT and COLOR compile but have no handler: both programs stop with
  // the unknown-command error instead of passing over them.
  for (const char* line : {"DEBUGOUT \"x\"", "COLOR 1"}) {
    const std::string src = std::string("PRINT \"a\"\n") + line + "\nPRINT \"b\"\n";
    Outcome o = Same(src);
    EXPECT_EQ(o.exit, kExitFatal) << line;
    EXPECT_EQ(o.out, "a\n") << line;
    EXPECT_EQ(o.errors, std::vector<int>{102}) << line;
  }
  // At a returning error level the statement is skipped and the program goes on.
  Outcome o = Same("SETERRORLEVEL -1\nDEBUGOUT \"x\"\nPRINT \"on\"\n");
  EXPECT_EQ(o.exit, 0);
  EXPECT_EQ(o.out, "on\n");
  // TRACEON is a comment in the compiled form.
  EXPECT_EQ(Execute("TRACEON\nPRINT \"ok\"\n").out, "ok\n");
}

TEST_F(RuntimeTest, RuntimeOnlyVariablesExistOnlyThere) {
  Outcome o = Execute("PRINT %WIN32, %WMPAINT\n");
  EXPECT_EQ(o.exit, 0);
  EXPECT_EQ(o.out, "1 0\n");
  Outcome i = Interpret("PRINT %WIN32\n");
  EXPECT_EQ(i.exit, kExitFatal);
  EXPECT_EQ(i.errors, std::vector<int>{100});
}

TEST_F(RuntimeTest, ProtectedAndUnprotectedImagesRunAlike) {
  const std::string src = "DECLARE s$\ns$ = \"abc  def\"\nPRINT s$, Len(s$)\n";
  Outcome a = Execute(src, true);
  Outcome b = Execute(src, false);
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out.find("abc  def"), std::string::npos);
}

TEST_F(RuntimeTest, MessagesArePumpedEveryTwentyFirstStatement) {
  std::string src;
  for (int i = 0; i < 50; ++i) src += "REM\n";
  Execute(src);
  EXPECT_EQ(PumpCounter(), 50 % kPumpInterval);
}


// Strings that would grow beyond kMaxStringLength are refused with 219; at
// error level -1 the statement ends (a failed expression stores "") and the
// program goes on.
TEST_F(RuntimeTest, ConcatenationBeyondTheStringLimitReports219) {
  Outcome o = Same(
      "DECLARE s$, t$\n@SET(\"ERRORLEVEL\", -1)\n"
      "s$ = SPACE$(40000000)\n"
      "t$ = s$ + s$\n"
      "PRINT LEN(s$), LEN(t$)\n"
      "t$ = s$ + MID$(s$, 1, 27108864)\n"
      "PRINT LEN(t$)\n"
      "t$ = s$ + MID$(s$, 1, 27108865)\n"
      "PRINT LEN(t$), %ERRNUMBER\n");
  EXPECT_EQ(o.out, "40000000 0\n67108864\n0 219\n");
  EXPECT_EQ(o.errors, (std::vector<int>{219, 219}));
  EXPECT_EQ(o.exit, 0);
}

TEST_F(RuntimeTest, JoinedAssignmentBeyondTheStringLimitReports219) {
  Outcome o = Same(
      "DECLARE s$, t$\n@SET(\"ERRORLEVEL\", -1)\n"
      "s$ = SPACE$(40000000)\n"
      "t$ = s$; \"x\"\n"
      "PRINT LEN(t$)\n"
      "t$ = s$, s$\n"
      "PRINT LEN(t$), %ERRNUMBER\n");
  EXPECT_EQ(o.out, "40000001\n0 219\n");
  EXPECT_EQ(o.errors, (std::vector<int>{219}));
}

TEST_F(RuntimeTest, StringsReadFromAreasKeepTheStringLimit) {
  Outcome o = Same(
      "DECLARE a#, s$\n@SET(\"ERRORLEVEL\", -1)\n"
      "DIM a#, 67108866\n"
      "s$ = CHAR$(a#, 0, 67108864)\n"
      "PRINT LEN(s$)\n"
      "s$ = CHAR$(a#, 0, 67108865)\n"
      "PRINT LEN(s$), %ERRNUMBER\n");
  EXPECT_EQ(o.out, "67108864\n0 219\n");
  EXPECT_EQ(o.errors, (std::vector<int>{219}));
}

TEST_F(RuntimeTest, StringLimitAtTheDefaultLevelEndsTheProgram) {
  Outcome o = Same("DECLARE s$\ns$ = SPACE$(40000000)\ns$ = s$ + s$\nPRINT \"not reached\"\n");
  EXPECT_EQ(o.exit, kExitFatal);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(host.boxes.back().caption, "Speicher für String-Variablen erschöpft!");
  EXPECT_EQ(o.lines.back(), "ERROR:\t3\t219:Speicher für String-Variablen erschöpft!");
}

// A console host whose log appends run out of memory for the line "boom":
// an allocation that fails in the middle of a statement.
class ExhaustingHost : public ConsoleHost {
 public:
  bool AppendLine(const std::string& file, const std::string& line) override {
    if (line == "boom") throw std::bad_alloc();
    return ConsoleHost::AppendLine(file, line);
  }
};

// Memory running out in the message pump between two statements (an event
// handler, say), once the program has written something. The clock is
// read only there (a statement's own pumps do not read it).
class ExhaustedPumpHost : public ConsoleHost {
 public:
  bool armed = false, thrown = false;
  uint32_t TickCount() override {
    armed = armed || !stdoutText.empty();
    return ConsoleHost::TickCount();
  }
  void PumpMessages() override {
    if (!armed || thrown) return;
    thrown = true;
    throw std::bad_alloc();
  }
};

TEST_F(RuntimeTest, FailedAllocationBetweenStatementsIsReported) {
  const std::string program =
      "DECLARE i%\n"
      "@SET(\"ERRORLEVEL\", -1)\n"
      "PRINT \"a\"\n"
      "WHILE i% < 30\n INC i%\nENDWHILE\n"
      "PRINT \"b\", i%\n";
  ExhaustedPumpHost hosts[2];
  for (bool compiled : {false, true}) {
    SCOPED_TRACE(compiled);
    ExhaustedPumpHost& pump = hosts[compiled ? 1 : 0];
    UseHost(pump);
    const Outcome o = compiled ? Execute(program) : Interpret(program);
    EXPECT_TRUE(pump.thrown);
    EXPECT_EQ(o.out, "a\nb 30\n");
    EXPECT_EQ(o.errors, (std::vector<int>{219}));
    EXPECT_EQ(o.exit, 0);
  }
}

TEST_F(RuntimeTest, FailedAllocationIsReportedThroughTheErrorRoutine) {
  ExhaustingHost exhausting;
  UseHost(exhausting);
  Outcome o = Same(
      "DECLARE r%, seen%\n"
      "@SET(\"LOGFILE\", \"run.log\")\n"
      "@SET(\"ERRORLEVEL\", -1)\n"
      "@SET(\"ONERROR\", 1)\n"
      "LOGOUT \"boom\"\n"
      "PRINT \"next\", seen%\n"
      "r% = Inner(2)\n"
      "PRINT \"inner gave\", r%, seen%\n"
      "END\n"
      "PROC Inner\n"
      " PARAMETERS n%\n"
      " LOGOUT \"boom\"\n"
      " RETURN n% + 1\n"
      "ENDPROC\n"
      "ERRORPROC\n"
      " seen% = seen% + %ERRNUMBER\n"
      " LOGOUT \"handler\"\n"
      "ENDPROC\n");
  // The statement ends at once; the error procedure runs after it, also in
  // a procedure called from an expression, which then goes on.
  EXPECT_EQ(o.out, "next 219\ninner gave 3 438\n");
  EXPECT_EQ(o.errors, (std::vector<int>{219, 219}));
  EXPECT_EQ(o.lines[0], "ERROR:\t5\t219:Speicher für String-Variablen erschöpft!");
  const std::string log = Read("run.log");
  EXPECT_NE(log.find(" - ERROR:\t5\t219:Speicher für String-Variablen erschöpft!\r\nhandler\r\n"),
            std::string::npos) << log;
  // The interpreter's run wrote its lines first, with source positions.
  EXPECT_NE(log.find(" - ERROR:\tmain.krv (5) 219:Speicher für String-Variablen erschöpft!\r\nhandler\r\n"),
            std::string::npos) << log;
  EXPECT_NE(log.find(" - ERROR:\tmain.krv (12) 219:"), std::string::npos) << log;
}

TEST_F(RuntimeTest, FailedAllocationAtTheDefaultLevelEndsTheProgram) {
  ExhaustingHost exhausting;
  UseHost(exhausting);
  Outcome o = Same("@SET(\"LOGFILE\", \"run.log\")\nPRINT \"a\"\nLOGOUT \"boom\"\nPRINT \"b\"\n");
  EXPECT_EQ(o.exit, kExitFatal);
  EXPECT_EQ(o.out, "a\n");
  ASSERT_FALSE(exhausting.boxes.empty());
  EXPECT_EQ(exhausting.boxes.back().caption, "Speicher für String-Variablen erschöpft!");
  EXPECT_EQ(exhausting.boxes.back().text, "Zeile      3!");
  EXPECT_EQ(exhausting.profile["TELMAR.LOG|DEBUG|ERRNO"], "219");  // written by the interpreter
}

}  // namespace
}  // namespace korv
