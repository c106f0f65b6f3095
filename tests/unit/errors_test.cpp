#include "base/errors.h"

#include <gtest/gtest.h>

#include "base/console_host.h"
#include "base/host.h"

namespace korv {
namespace {

class ErrorRoutineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHost(&host);
    ResetErrorState();
    gErr.CompiledPositions = false;
    gPos = TPosition();
    gPos.File = "test.krv";
    gPos.SourceLine = 12;
    gPos.CompiledLine = 12;
    gPos.Location = InterpreterLocation(12, "test.krv", "FOO");
  }
  void TearDown() override { gErr.CompiledPositions = false; }

  int ExitCodeOf(void (*fn)()) {
    try {
      fn();
    } catch (const ExitRequest& e) {
      return e.code;
    }
    return -1;
  }

  ConsoleHost host;
};

TEST_F(ErrorRoutineTest, MessageTableIsWindows1252) {
  EXPECT_EQ(ErrorText(200), "Ung\xfcltiger Funktionswert!");
  EXPECT_EQ(ErrorText(217), "Speicher f\xfcr Integer-Variablen ersch\xf6pft!");
  EXPECT_EQ(ErrorText(116), "\"DIM%\" darf nur einmal verwandt werden!");
  EXPECT_EQ(ErrorText(802), "Aufruf mit: \r\nKORVID [<Dateiname>]");
  EXPECT_EQ(ErrorText(907), "Compiliere Zeile:  ");
  EXPECT_EQ(ErrorText(0), "UNERWARTETER FEHLER!");
  EXPECT_EQ(ErrorText(998), "UNERWARTETER FEHLER!");
  EXPECT_NE(ErrorText(700).find("eretzt.  Bitte"), std::string::npos);
}

TEST_F(ErrorRoutineTest, FatalReportAtDefaultLevel) {
  int code = ExitCodeOf([] { RaiseError(102, "FOO"); });
  EXPECT_EQ(code, kExitFatal);
  ASSERT_EQ(host.debugLines.size(), 1u);
  EXPECT_EQ(host.debugLines[0], "ERROR:\ttest.krv (12) 102:Befehl unbekannt: FOO");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Befehl unbekannt: FOO");
  EXPECT_EQ(host.boxes[0].text, "Zeile  12 in test.krv: \r\nFOO");
  EXPECT_EQ(host.boxes[0].style, mb::kOk | mb::kIconError);
  EXPECT_EQ(host.profile["TELMAR.LOG|DEBUG|TYPE"], "ERROR");
  EXPECT_EQ(host.profile["TELMAR.LOG|DEBUG|ERRNO"], "102");
  EXPECT_EQ(host.profile["TELMAR.LOG|DEBUG|LINE"], "12");
}

TEST_F(ErrorRoutineTest, CompiledPositionForm) {
  gErr.CompiledPositions = true;
  gPos.Location = CompiledLocation(12);
  int code = ExitCodeOf([] { RaiseError(102, "FOO"); });
  EXPECT_EQ(code, kExitFatal);
  EXPECT_EQ(host.debugLines[0], "ERROR:\t12\t102:Befehl unbekannt: FOO");
  EXPECT_EQ(host.boxes[0].text, "Zeile     12!");
  EXPECT_TRUE(host.profile.empty());  // no TELMAR.LOG in the runtime
}

// The executors leave the box text to be made from the position when a box
// needs it.
TEST_F(ErrorRoutineTest, LocationMadeFromThePosition) {
  gPos.LocationForm = TPosition::Form::Compiled;
  gPos.CompiledLine = 7;
  EXPECT_EQ(LocationText(), "Zeile      7!");
  gPos.LocationForm = TPosition::Form::Text;
  EXPECT_EQ(LocationText(), "Zeile  12 in test.krv: \r\nFOO");
}

TEST_F(ErrorRoutineTest, LevelMinusOneContinuesAndKeepsTheFirstReport) {
  gErr.Level = -1;
  RaiseError(102, "FOO");
  gPos.SourceLine = 13;
  RaiseError(201);
  EXPECT_TRUE(host.boxes.empty());
  ASSERT_EQ(host.debugLines.size(), 2u);
  // The pending number is the older one; its detail stays.
  EXPECT_EQ(host.debugLines[1], "ERROR:\ttest.krv (13) 102:Division durch 0!");
  EXPECT_EQ(gErr.Code, 102);
  EXPECT_EQ(gErr.Detail, "FOO");
  EXPECT_EQ(gErr.Line, 12);
}

TEST_F(ErrorRoutineTest, LevelMinusTwoOnlyRecords) {
  gErr.Level = -2;
  RaiseError(102, "FOO");
  RaiseWarning(215, "Q%");
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(host.debugLines.empty());
  EXPECT_EQ(gErr.Code, 102);
  EXPECT_EQ(gErr.FileName, "test.krv");
}

TEST_F(ErrorRoutineTest, WarningAtLevelOneShowsBoxAndClears) {
  RaiseWarning(215, "Q%");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].style, mb::kOkCancel | mb::kIconWarning);
  EXPECT_EQ(host.debugLines[0], "WARN:\ttest.krv (12) 215:Variable nicht declariert: Q%");
  EXPECT_EQ(gErr.Code, 0);
  EXPECT_EQ(gErr.ReportKind, 1);
  EXPECT_EQ(host.profile["TELMAR.LOG|DEBUG|TYPE"], "WARNING");
}

TEST_F(ErrorRoutineTest, CancelInAWarningBoxEndsTheProgram) {
  host.nextAnswer = id::kCancel;
  int code = ExitCodeOf([] { RaiseWarning(215, "Q%"); });
  EXPECT_EQ(code, kExitFatal);
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[1].caption, "Programm abgebrochen!");
}

TEST_F(ErrorRoutineTest, WarningAtLevelTwoIsFatal) {
  gErr.Level = 2;
  int code = ExitCodeOf([] { RaiseWarning(214, "HELLO"); });
  EXPECT_EQ(code, kExitFatal);
  EXPECT_EQ(host.debugLines[0], "ERROR:\ttest.krv (12) 214:Keine Zahl: HELLO");
}

TEST_F(ErrorRoutineTest, WarningAtLevelZeroStaysPending) {
  gErr.Level = 0;
  RaiseWarning(214, "X");
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(gErr.Code, 214);
  EXPECT_EQ(host.debugLines.size(), 1u);
}

TEST_F(ErrorRoutineTest, RuntimeWarningUsesTabs) {
  gErr.CompiledPositions = true;
  gErr.Level = 0;
  RaiseWarning(214, "X");
  EXPECT_EQ(host.debugLines[0], "WARN:\t12\t214\tKeine Zahl: X");
}

TEST_F(ErrorRoutineTest, CodeZeroShowsOnlyTheDetail) {
  gErr.Level = -1;
  RaiseError(0, ".NAME%");
  EXPECT_EQ(host.debugLines[0], "ERROR:\ttest.krv (12) 0:.NAME%");
  EXPECT_EQ(gErr.Code, 0);  // nothing pending
}

}  // namespace
}  // namespace korv
