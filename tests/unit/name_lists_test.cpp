// The name lists against what the subsystems bind: every name of a neutral
// unit gets its handler, the names no subsystem has yet are listed, and the
// names that exist in one program only are unknown in the other.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "apps/subsystems.h"
#include "base/names.h"

namespace korv {
namespace {

struct ListedName {
  char family;  // 'C' command or statement, 'F' function, 'S' system variable
  int code;
  const char* name;
  std::string unit;
  uint32_t traits;
};

std::vector<ListedName> Listed() {
  using namespace name_traits;
  std::vector<ListedName> v;
#define KORV_COMMAND(code, name, unit, handler, traits) v.push_back({'C', code, name, #unit, traits});
#define KORV_STATEMENT(code, name, unit, handler, traits) v.push_back({'C', code, name, #unit, traits});
#define KORV_FUNCTION(code, name, unit, handler, traits) v.push_back({'F', code, name, #unit, traits});
#define KORV_SYSVAR(code, name, unit, handler, traits) v.push_back({'S', code, name, #unit, traits});
#include "base/command_list.h"
#include "base/function_list.h"
#include "base/sysvar_list.h"
#undef KORV_COMMAND
#undef KORV_STATEMENT
#undef KORV_FUNCTION
#undef KORV_SYSVAR
  return v;
}

bool Bound(const ListedName& n) {
  switch (n.family) {
    case 'C': return FindCommand(n.name) || FindStatement(n.name);
    case 'F': return FindFunction(n.name) != nullptr;
    default: return FindSysVar(n.name) != nullptr;
  }
}

bool WindowsOnly(const std::string& unit) { return unit.size() > 6 && unit.substr(unit.size() - 6) == "_win32"; }

class NameListsTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallNeutralSubsystems(); }
  void TearDown() override { SetRunningProgram(RunningProgram::Interpreter); }
};

TEST_F(NameListsTest, EveryNeutralUnitBindsItsNames) {
  for (RunningProgram p : {RunningProgram::Interpreter, RunningProgram::Runtime}) {
    SetRunningProgram(p);
    for (const ListedName& n : Listed()) {
      if (n.unit == "none" || WindowsOnly(n.unit)) continue;
      EXPECT_EQ(Bound(n), KnownInProgram(n.traits))
          << n.name << " of unit " << n.unit << " in the "
          << (p == RunningProgram::Interpreter ? "interpreter" : "runtime");
    }
  }
}

TEST_F(NameListsTest, NamesWithoutHandlerAreListedAndUnknown) {
  // The names that no subsystem binds yet, in either program: the listing
  // shrinks as subsystems arrive.
  for (RunningProgram p : {RunningProgram::Interpreter, RunningProgram::Runtime}) {
    SetRunningProgram(p);
    const char* program = p == RunningProgram::Interpreter ? "KORVID" : "KORVEX";
    std::string listing;
    int count = 0;
    for (const ListedName& n : Listed()) {
      if (n.unit != "none" || !KnownInProgram(n.traits) || (n.traits & name_traits::kInline)) continue;
      EXPECT_FALSE(Bound(n)) << n.name;
      listing += std::string(" ") + n.name;
      ++count;
    }
    std::cout << "codes without handler in " << program << " (" << count << "):" << listing << "\n";
  }
}

TEST_F(NameListsTest, CodesAndNamesAgreeBothWays) {
  int compiled = 0;
  for (const ListedName& n : Listed()) {
    if (n.code == 0) continue;
    ++compiled;
    const int code = n.family == 'C' ? CommandCode(n.name) : n.family == 'F' ? FunctionCode(n.name) : SysVarCode(n.name);
    EXPECT_EQ(code, n.code) << n.name;
    const char* back = n.family == 'C' ? CommandName(n.code) : n.family == 'F' ? FunctionName(n.code) : SysVarName(n.code);
    ASSERT_NE(back, nullptr) << n.name;
    // Only DRAWPROGICON shares its code with an earlier name.
    if (std::string(back) != n.name) { EXPECT_STREQ(n.name, "DRAWPROGICON"); }
  }
  EXPECT_EQ(compiled, CommandNameCount() + FunctionNameCount() + SysVarNameCount());
}

// The runtime finds a compiled function by its code: the entry its name
// gives, bound or not, in either program.
TEST_F(NameListsTest, FunctionsByCodeAreTheNamedOnes) {
  for (RunningProgram p : {RunningProgram::Interpreter, RunningProgram::Runtime}) {
    SetRunningProgram(p);
    int found = 0;
    for (int code = -1; code <= 256; ++code) {
      const char* name = FunctionName(code);
      const FunctionEntry* expected = name ? FindFunction(name) : nullptr;
      EXPECT_EQ(FindFunctionByCode(code), expected) << code;
      found += expected != nullptr;
    }
    EXPECT_GT(found, 100);
  }
}

TEST_F(NameListsTest, RuntimeOnlyAndInterpreterOnlyNames) {
  SetRunningProgram(RunningProgram::Runtime);
  EXPECT_NE(FindSysVar("%WMPAINT"), nullptr);
  EXPECT_NE(FindSysVar("%WIN32"), nullptr);
  EXPECT_EQ(FindStatement("TRACEON"), nullptr);
  EXPECT_EQ(FindSysVar("&PDC"), nullptr);
  SetRunningProgram(RunningProgram::Interpreter);
  EXPECT_EQ(FindSysVar("%WMPAINT"), nullptr);
  EXPECT_EQ(FindSysVar("%WIN32"), nullptr);
  EXPECT_NE(FindStatement("TRACEON"), nullptr);
  EXPECT_EQ(FindSysVar("&PDC"), nullptr);
  // The jump trait gives the compiled form its target.
  EXPECT_TRUE(HasJumpTarget(CommandCode("IF")));
  EXPECT_TRUE(HasJumpTarget(CommandCode("PROC")));
  EXPECT_FALSE(HasJumpTarget(CommandCode("ENDIF")));
  EXPECT_FALSE(HasJumpTarget(CommandCode("PRINT")));
}

}  // namespace
}  // namespace korv
