// Pumping between statements: skipped while only core work runs and the
// clock stands still, done after anything that may reach the platform.
#include "engine/pump_rhythm.h"

#include <gtest/gtest.h>

#include "engine/commands.h"
#include "test_support.h"
#include "values/dispatch.h"

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
  RegisterCommand("PUMPTESTNOISY", 0, [](TParStack&) {});
  EXPECT_EQ(RunCounting("PUMPTESTNOISY\nPUMPTESTNOISY\nPUMPTESTNOISY\n"), 3);
  // A function that is not known to stay in the core counts as well.
  RegisterFunction("PUMPTESTNOISY", 0, [](TParStack&) {});
  counting.pumps = 0;
  EXPECT_EQ(RunCounting("DECLARE i%\ni% = 1\ni% = @PUMPTESTNOISY()\ni% = 2\n"), 2);
}

TEST_F(PumpRhythmTest, QuietListsKnowTheirNames) {
  EXPECT_TRUE(IsQuietCommand("INC"));
  EXPECT_TRUE(IsQuietCommand("WORD"));
  EXPECT_FALSE(IsQuietCommand("PRINT"));
  EXPECT_TRUE(IsQuietFunction("ABS"));
  EXPECT_TRUE(IsQuietFunction("XOR"));
  EXPECT_TRUE(IsQuietFunction("MOVELISTTOSTR$"));
  EXPECT_FALSE(IsQuietFunction("MESSAGEBOX"));
  EXPECT_TRUE(IsQuietSysVar("&LOOP"));
  EXPECT_FALSE(IsQuietSysVar("%MOUSEX"));
}

}  // namespace
}  // namespace korv
