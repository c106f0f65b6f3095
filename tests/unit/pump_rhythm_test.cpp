// Pumping between statements: skipped while only core work runs and the
// clock stands still, done after anything that may reach the platform.
#include "base/pump_rhythm.h"

#include <gtest/gtest.h>

#include "base/names.h"
#include "test_support.h"

namespace korv {
namespace {

class CountingHost : public ConsoleHost {
 public:
  void PumpMessages() override { ++pumps; }
  uint32_t TickCount() override { return tick; }
  int pumps = 0;
  uint32_t tick = 1000;
};

class PumpRhythmTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    test::ProgramTest::SetUp();
    SetHost(&counting);
  }
  int RunCounting(const std::string& source) {
    Write("main.krv", source);
    try {
      RunInterpreterProgram("main.krv", {});
    } catch (const ExitRequest&) {
    }
    return counting.pumps;
  }
  CountingHost counting;
};

TEST_F(PumpRhythmTest, CoreStatementsPumpOnlyWhenTheClockMoves) {
  // The first statement pumps (nothing is known yet); then the clock stands.
  EXPECT_EQ(RunCounting("DECLARE i%\nWHILE i% < 50\n  INC i%\nENDWHILE\n"), 1);
}

TEST_F(PumpRhythmTest, PlatformWorkPumpsAfterEveryStatement) {
  DefineExtraCommand("PUMPTESTNOISY", [](TParStack&) {});
  EXPECT_EQ(RunCounting("PUMPTESTNOISY\nPUMPTESTNOISY\nPUMPTESTNOISY\n"), 3);
  // A function that is not known to stay in the core counts as well.
  DefineExtraFunction("PUMPTESTNOISY", [](TParStack&) {});
  counting.pumps = 0;
  EXPECT_EQ(RunCounting("DECLARE i%\ni% = 1\ni% = @PUMPTESTNOISY()\ni% = 2\n"), 2);
}

TEST_F(PumpRhythmTest, QuietListsKnowTheirNames) {
  EXPECT_TRUE(FindCommand("INC")->quiet);
  EXPECT_TRUE(FindCommand("WORD")->quiet);
  EXPECT_FALSE(FindCommand("PRINT")->quiet);
  EXPECT_TRUE(FindFunction("ABS")->quiet);
  EXPECT_TRUE(FindFunction("XOR")->quiet);
  EXPECT_TRUE(FindFunction("MOVELISTTOSTR$")->quiet);
  EXPECT_FALSE(FindFunction("MESSAGEBOX")->quiet);
  EXPECT_TRUE(FindSysVar("&LOOP")->quiet);
  EXPECT_FALSE(FindSysVar("%MOUSEX")->quiet);
}

}  // namespace
}  // namespace korv
