// Calls of procedures: the family hand-over to SUBPROCs, calls at a header
// line with an object, and the end of the program inside a nested call.
#include "engine/procedures.h"
#include "values/value_commands.h"

#include <string>
#include <vector>

#include "core/line_store.h"
#include "engine/blocks.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "apps/interpreter/interpreter.h"
#include "apps/subsystems.h"
#include "test_support.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/value.h"

namespace korv {
namespace {

class CallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHost(&host_);
    InstallNeutralSubsystems();
    RegisterProcedureStatements();
    ResetSubsystems();
    gErr.Level = -1;
  }
  void TearDown() override { ResetSubsystems(); }

  void Load(const std::vector<std::string>& lines) {
    gProgram.Clear();
    gProgram.files.push_back("t.krv");
    for (const std::string& l : lines) {
      gProgram.lines.push_back(l);
      gProgram.debug.push_back(Tdebuginfo());
    }
    ResetExecutor();
  }

  ConsoleHost host_;
  TParStack ps_;
};

TEST_F(CallTest, FamiliesHandUnknownSubCommandsToTheirSubprocs) {
  Load({"END", "SUBPROC OGL.SPIN", "PARAMETERS a%, b%", "RETURN a% * 10 + b%", "ENDPROC",
        "SUBPROC RTF.NONE", "RETURN %PCOUNT + 40", "ENDPROC"});
  gEval.SetText("3, 4)");
  gEval.pos = 0;
  EXPECT_TRUE(DelegateToSubproc(SubprocFamily::Ogl, "spin", ps_));
  EXPECT_EQ(gRes.IntValue, 34);
  // The argument text is put back as it was.
  EXPECT_EQ(gEval.text, "3, 4)");
  EXPECT_EQ(gEval.pos, 0u);
  EXPECT_EQ(gProc.count, 0);
  // An argument text that is only ")" reads as no arguments.
  gEval.SetText(")");
  EXPECT_TRUE(DelegateToSubproc(SubprocFamily::Rtf, "NONE", ps_));
  EXPECT_EQ(gRes.IntValue, 40);
  EXPECT_EQ(gErr.Code, 0);

  const std::pair<SubprocFamily, int32_t> missing[] = {
      {SubprocFamily::Set, 262},    {SubprocFamily::Get, 262}, {SubprocFamily::Create, 261},
      {SubprocFamily::Ogl, 263},    {SubprocFamily::Rtf, 263}, {SubprocFamily::Toolbar, 263},
  };
  for (const auto& [family, code] : missing) {
    gErr.Code = 0;
    gEval.SetText("1)");
    EXPECT_FALSE(DelegateToSubproc(family, "Nix", ps_));
    EXPECT_EQ(gErr.Code, code);
    EXPECT_EQ(gErr.Detail, "Nix");
    EXPECT_EQ(gRes.IntValue, 0);
    EXPECT_EQ(gRes.ResultKind, kind::kInt);
  }
}

TEST_F(CallTest, CallAtAHeaderLineRunsForAnObject) {
  Load({"END", "PROC C.M", "PARAMETERS v%", "RETURN v% + LEN(GETOBJ$())", "ENDPROC"});
  // The procedure sees the object as its current object; the caller's is
  // back afterwards.
  DefineExtraFunction("GETOBJ$", [](TParStack&) {
    gRes.Reset();
    gRes.StrValue = gProc.currentObject + "|" + gProc.methodObject;
    gRes.ResultKind = kind::kString;
  });
  gProc.currentObject = "OUTER#";
  gEval.SetText("5)");
  CallProcedureAt(2, ps_, "OBJ#");
  EXPECT_EQ(gRes.IntValue, 5 + 9);
  EXPECT_EQ(gProc.currentObject, "OUTER#");
  EXPECT_EQ(gProc.methodObject, "");
  EXPECT_EQ(gProc.count, 0);
}

TEST_F(CallTest, RefusedCallYieldsZeroAndChangesNothing) {
  Load({"END", "PROC F", "RETURN 9", "ENDPROC"});
  for (int i = 0; i < kMaxFrames; ++i) ASSERT_TRUE(PushFrame(FrameKind::Statement));
  gProc.pcount = 3;
  gExec.pc = 1;
  gEval.SetText("1)");
  EXPECT_TRUE(CallProcedureFunction("F", ps_, false));
  EXPECT_EQ(gErr.Code, 114);
  EXPECT_EQ(gRes.IntValue, 0);
  EXPECT_EQ(gProc.count, kMaxFrames);
  EXPECT_EQ(gProc.pcount, 3);
  EXPECT_EQ(gExec.pc, 1);
  // An unknown name is looked up first: not found, no 114.
  gErr.Code = 0;
  EXPECT_FALSE(CallProcedureStatement("NOPE", "", ps_));
  EXPECT_EQ(gErr.Code, 0);
}

class ProcedureProgramTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    InstallNeutralSubsystems();
    RegisterProcedureStatements();
  }
};

TEST_F(ProcedureProgramTest, EndInsideAFunctionCallEndsTheProgram) {
  EXPECT_EQ(Run("PRINT \"a\", F(1), \"b\"\nPRINT \"c\"\nEND\nPROC F\nEND\nENDPROC\n"), 0);
  EXPECT_EQ(host.stdoutText, "a ");
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ProcedureProgramTest, ParametersBeyondFifteenAreEmpty) {
  EXPECT_EQ(Run("P 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\nEND\n"
                "PROC P\n"
                "PARAMETERS a1%,a2%,a3%,a4%,a5%,a6%,a7%,a8%,a9%,a10%,a11%,a12%,a13%,a14%,a15%,a16%,s$\n"
                "PRINT a15%, a16%, s$, %PCOUNT\n"
                "ENDPROC\n"),
            0);
  EXPECT_EQ(host.stdoutText, "15 0  15\n");
  EXPECT_TRUE(host.boxes.empty());
}

// A PARAMETERS list is read once and kept: every call still gets its own
// values, left-out names take no slot's value, and a bad name is reported on
// every call, with the names after it left undeclared.
TEST_F(ProcedureProgramTest, KeptParameterListsServeEveryCall) {
  // (d& takes the fifth value, which no call passes; floats print with six
  // decimals, so "2.500000" is followed by d&'s "0".)
  EXPECT_EQ(Run("@SET(\"ERRORLEVEL\", -1)\nP 1, \"x\", 2.5, 7\nP -4, \"yz\", 0.25, 8\nQ 1, 2\nQ 3, 4\nEND\n"
                "PROC P\n"
                "PARAMETERS  a% , s$,f! ,, d&\n"
                "PRINT a%; s$; f!; d&\n"
                "IF a% > 0\nP a% - 1, s$ + \"!\", f! * 2, 0\nENDIF\n"
                "ENDPROC\n"
                "PROC Q\n"
                "PARAMETERS k%, bad name%, later%\n"
                "PRINT k%\n"
                "ENDPROC\n"),
            0);
  EXPECT_EQ(host.stdoutText,
            "1x2.5000000\n0x!5.0000000\n-4yz0.2500000\n1\n3\n");
  const std::string report = " 122:Variablenbezeichner fehlerhaft: BAD NAME%";
  ASSERT_EQ(host.debugLines.size(), 2u);
  EXPECT_NE(host.debugLines[0].find(report), std::string::npos) << host.debugLines[0];
  EXPECT_NE(host.debugLines[1].find(report), std::string::npos) << host.debugLines[1];
}

// A $ parameter gets a number's text in the number format of the call, even
// when the procedure changes the format before its PARAMETERS.
TEST_F(ProcedureProgramTest, NumberArgumentsKeepTheFormatOfTheCall) {
  EXPECT_EQ(Run("P 2.5, 7, \"x\"\n@SET(\"DECIMALS\", 2)\nP 2.5, 7 + 1, 3 * 1.5\nQ 1.25, 1.25\nEND\n"
                "PROC P\nPARAMETERS a$, b$, c$\nPRINT a$; \"|\"; b$; \"|\"; c$\nENDPROC\n"
                "PROC Q\n@SET(\"DECIMALS\", 4)\n@SET(\"NUMWIDTH\", 7)\nPARAMETERS a$, f!\nPRINT a$; \"|\"; f!\n"
                "ENDPROC\n"),
            0);
  EXPECT_EQ(host.stdoutText, "2.500000|7|x\n2.50|8.00|4.50\n1.25| 1.2500\n");
  EXPECT_TRUE(host.debugLines.empty());
}

// RETURN's value runs from its kept program where it is plain arithmetic
// (or a string program), and from its text otherwise: either way the
// caller gets what reading the text gives, reports included.
TEST_F(ProcedureProgramTest, ReturnValuesAreTheSameKeptOrRead) {
  const std::string program =
      "@SET(\"ERRORLEVEL\", -1)\n"
      "DECLARE i%, s$\n"
      "s$ = \"ab\"\n"
      "WHILE i% < 3\n"
      "  INC i%\n"
      "  PRINT Twice(i%); \"|\"; Neg(i% * 7); \"|\"; Half(i%); \"|\"; Shout(s$); \"|\"; Fib(i% + 3); \"|\"; Bad(i%)\n"
      "  @SET(\"NUMWIDTH\", 4)\n"
      "ENDWHILE\n"
      "END\n"
      "PROC Twice\nPARAMETERS n%\nRETURN n% * 2\nENDPROC\n"
      "PROC Neg\nPARAMETERS n%\nRETURN -n%\nENDPROC\n"
      "PROC Half\nPARAMETERS n%\nRETURN n% / 2\nENDPROC\n"
      "PROC Shout\nPARAMETERS w$\nRETURN UPPER$(w$) + MID$(w$, 2, 1)\nENDPROC\n"
      "PROC Fib\nPARAMETERS n%\nIF n% < 2\nRETURN n%\nENDIF\nRETURN Fib(n% - 1) + Fib(n% - 2)\nENDPROC\n"
      "PROC Bad\nPARAMETERS n%\nRETURN n% / (n% - 2) + nix%\nENDPROC\n";
  std::string out[2];
  std::vector<std::string> lines[2];
  for (int kept = 0; kept < 2; ++kept) {
    UsePreparedStatements(kept == 1);
    host.stdoutText.clear();
    host.debugLines.clear();
    EXPECT_EQ(Run(program), 0);
    out[kept] = host.stdoutText;
    lines[kept] = host.debugLines;
  }
  UsePreparedStatements(true);
  EXPECT_EQ(out[1], out[0]);
  EXPECT_EQ(lines[1], lines[0]);
  EXPECT_NE(out[1].find("ABb"), std::string::npos) << out[1];
  EXPECT_FALSE(lines[1].empty());  // division by zero and the unknown variable
}

// A call from an expression starts from a copy of its caller's argument
// record: slots the call passes nothing in keep the caller's values, and a
// later call at the same depth sees none of an earlier caller's texts.
TEST_F(ProcedureProgramTest, CallsStartFromTheirCallersArguments) {
  EXPECT_EQ(Run("PRINT F(\"abc\", \"x\")\nPRINT \"[\"; G(2); \"]\"\nEND\n"
                "PROC F\nPARAMETERS s$, u$\nRETURN G(1)\nENDPROC\n"
                "PROC G\nPARAMETERS k%, t$\nRETURN t$ + \"!\"\nENDPROC\n"),
            0);
  EXPECT_EQ(host.stdoutText, "x!\n[!]\n");
  EXPECT_TRUE(host.debugLines.empty());
  // Numbers too: a call at the depth where a wider call ran before sees
  // its own caller's slots, not the earlier call's.
  EXPECT_EQ(Run("PRINT H(1, 2, 3, 4, 5, 6, 7)\nPRINT \"<\"; G(9); \">\"\nEND\n"
                "PROC G\nPARAMETERS k%, t$, m%\nRETURN t$ + \"!\" + STR$(m%)\nENDPROC\n"
                "PROC H\nPARAMETERS a%, b%, c%, d%, e%, f%, g%\nRETURN a% + G(g%)\nENDPROC\n"),
            0);
  EXPECT_EQ(host.stdoutText, "x!\n[!]\n12!3\n<!0>\n");
  EXPECT_TRUE(host.debugLines.empty());
}

// The copy a call makes of its caller's record leaves out the slots that
// neither record has set: it must still give what a plain copy gives, when
// either record had set more slots than the other.
bool SameRecord(const TParStack& a, const TParStack& b) {
  return a.StrValue == b.StrValue && a.IntValue == b.IntValue && a.FloatValue == b.FloatValue &&
         a.AreaKind == b.AreaKind && a.AreaSize == b.AreaSize && a.AreaStruct == b.AreaStruct &&
         a.ValueKind == b.ValueKind && a.PendingText == b.PendingText && a.TextFormat == b.TextFormat &&
         a.Count == b.Count;
}

TEST(ArgumentRecordTest, CopiesGiveWhatAPlainCopyGives) {
  auto fill = [](TParStack& ps, int slots, int seed) {
    for (int i = 1; i <= slots; ++i) {
      TEvalResult r;
      r.IntValue = seed * 100 + i;
      r.FloatValue = r.IntValue + 0.5;
      r.ResultKind = i % 2 ? kind::kLong : kind::kString;
      r.StrValue = i % 2 ? std::string() : "s" + std::to_string(seed * 100 + i);
      r.PendingText = i % 2 ? TEvalResult::kTextFromInt : TEvalResult::kTextMade;
      r.AreaKind = i == 3 ? 'b' : ' ';
      r.AreaSize = i == 3 ? 8 : 0;
      ps.SetSlot(i, r);
      ps.TextFormat[static_cast<size_t>(i)] = {seed, i};
    }
    ps.Count = slots;
  };
  TParStack wide, narrow, fresh;
  fill(wide, 9, 1);
  fill(narrow, 2, 2);
  TParStack target;
  fill(target, 15, 3);
  target.CopyFrom(narrow);  // the target had used more slots
  EXPECT_TRUE(SameRecord(target, narrow));
  target.CopyFrom(wide);  // the source has used more
  EXPECT_TRUE(SameRecord(target, wide));
  target.CopyFrom(fresh);
  EXPECT_TRUE(SameRecord(target, fresh));
  // A copy of the copy still knows which slots it holds.
  TParStack again;
  fill(again, 12, 4);
  TParStack copied;
  copied.CopyFrom(wide);
  again.CopyFrom(copied);
  EXPECT_TRUE(SameRecord(again, wide));
}

TEST_F(ProcedureProgramTest, ErrorProcFrameEndsWithItsReturn) {
  EXPECT_EQ(Run("@SET(\"ERRORLEVEL\", -1)\n@SET(\"ONERROR\", 1)\n"
                "WHILELOOP 2\nFOO\nPRINT \"after\", &LOOP\nENDWHILE\nEND\n"
                "ERRORPROC\nPRINT \"handler\", %ERRNUMBER\nWHILE 1\nRETURN\nENDWHILE\nENDPROC\n"),
            0);
  EXPECT_EQ(host.stdoutText, "handler 102\nafter 1\nhandler 102\nafter 2\n");
  EXPECT_FALSE(gErr.InErrorProc);
  EXPECT_EQ(gProc.count, 0);
  EXPECT_EQ(gBlocks.loop, 0);
}

}  // namespace
}  // namespace korv
