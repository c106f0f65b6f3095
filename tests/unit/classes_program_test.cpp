// Whole programs with classes, methods, constructors and arrays inside
// procedures; the results are read from the variable stores after the run.
#include <string>

#include "test_support.h"
#include "values/areas.h"
#include "values/arrays.h"
#include "values/stores.h"

namespace korv {
namespace {

class ClassesProgramTest : public test::ProgramTest {
 protected:
  int32_t Int(const std::string& name) {
    int32_t i = Find(name);
    EXPECT_GT(i, 0) << name;
    return i ? gStores.ints[i].Value : 0;
  }
  std::string Str(const std::string& name) {
    int32_t i = Find(name);
    EXPECT_GT(i, 0) << name;
    return i ? gStores.strs[i].Value : std::string();
  }
};

const char* const kCounter =
    "PROC Counter.Counter\n"
    "  PARAMETERS st%\n"
    "  .step% = st%\n"
    "  .count% = 100\n"
    "ENDPROC\n"
    "PROC Counter.Add\n"
    "  PARAMETERS n%\n"
    "  .count% = .count% + n% * .step%\n"
    "ENDPROC\n"
    "PROC Counter.Get\n"
    "  RETURN .count%\n"
    "ENDPROC\n";

TEST_F(ClassesProgramTest, MethodsConstructorsAndVisibility) {
  std::string program =
      "CLASS Counter = -count%, step%, Counter@, Add@, Get@\n"
      "DECLARE c#, e#[2], r%, s%, t%, u%, n$\n"
      "c# = NEW(Counter, 5)\n"
      "c#.Add(3)\n"
      "c#.Add(4)\n"
      "r% = c#.Get()\n"
      "s% = c#.step%\n"
      "VAR d# = NEW(Counter, 2)\n"
      "d#.Add(1)\n"
      "t% = d#.Get() + c#.Get()\n"
      "e#[1] = NEW(Counter, 10)\n"
      "e#[1].Add(2)\n"
      "u% = e#[1].Get()\n"
      "n$ = CLASSOF(e#[1]) + TYPEOF(d#)\n"
      "END\n" +
      std::string(kCounter);
  EXPECT_EQ(Run(program), 0) << AllDebugLines();
  EXPECT_EQ(Int("R%"), 135);
  EXPECT_EQ(Int("S%"), 5);
  EXPECT_EQ(Int("T%"), 102 + 135);
  EXPECT_EQ(Int("U%"), 120);
  EXPECT_EQ(Str("N$"), "COUNTERo");
  EXPECT_EQ(LiveBlockCount(), 0);  // all blocks freed at the end
}

TEST_F(ClassesProgramTest, PrivateMembersAreClosedToOutsiders) {
  std::string program =
      "CLASS Counter = -count%, step%, Counter@, Add@, Get@\n"
      "DECLARE c#, r%\n"
      "c# = NEW(Counter, 1)\n"
      "r% = c#.count%\n"
      "END\n" +
      std::string(kCounter);
  EXPECT_EQ(Run(program), 3);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Kein Zugriff auf geschützte Eigenschaft/Methode: COUNT%");
}

TEST_F(ClassesProgramTest, ProtectedMethodsAreClosedToOutsiders) {
  EXPECT_EQ(Run("CLASS K = #Hidden@\n"
                "DECLARE k#\n"
                "k# = NEW(K)\n"
                "k#.Hidden()\n"
                "END\n"
                "PROC K.Hidden\n"
                "ENDPROC\n"),
            3);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Kein Zugriff auf geschützte Eigenschaft/Methode: HIDDEN");
}

TEST_F(ClassesProgramTest, OverridingAndSuper) {
  EXPECT_EQ(Run("CLASS Base = v%, Base@, Describe@\n"
                "CLASS Derived = Base, Describe@\n"
                "DECLARE b#, d#, x%, y%\n"
                "b# = NEW(Base)\n"
                "d# = NEW(Derived)\n"
                "x% = b#.Describe()\n"
                "y% = d#.Describe()\n"
                "END\n"
                "PROC Base.Base\n"
                "  .v% = 7\n"
                "ENDPROC\n"
                "PROC Base.Describe\n"
                "  RETURN .v% + 1\n"
                "ENDPROC\n"
                "PROC Derived.Describe\n"
                "  DECLARE r%\n"
                "  .v% = 20\n"
                "  r% = .SUPER.Describe()\n"
                "  RETURN 100 + r%\n"
                "ENDPROC\n"),
            0)
      << AllDebugLines();
  EXPECT_EQ(Int("X%"), 8);
  EXPECT_EQ(Int("Y%"), 121);  // no constructor of its own: v% starts at 0
}

TEST_F(ClassesProgramTest, AMissingMethodProcedureStopsTheDefinition) {
  EXPECT_EQ(Run("CLASS C = a%, m@\nEND\n"), 3);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Methode fehlt: C.M");
}

TEST_F(ClassesProgramTest, ArraysOfAProcedureLeaveWithIt) {
  EXPECT_EQ(Run("DECLARE g%[3], first%, again%, used%\n"
                "Populate\n"
                "first% = used%\n"
                "Populate\n"
                "again% = used%\n"
                "END\n"
                "PROC Populate\n"
                "  DECLARE l%[99], k$[2]\n"
                "  l%[99] = l%[99] + 1\n"
                "  used% = l%[99]\n"
                "  g%[3] = g%[3] + 1\n"
                "ENDPROC\n"),
            0)
      << AllDebugLines();
  EXPECT_EQ(Int("FIRST%"), 1);
  EXPECT_EQ(Int("AGAIN%"), 1);  // fresh, empty elements the second time
  EXPECT_EQ(gPools.used[kPoolInt], 4);
  EXPECT_EQ(gPools.used[kPoolStr], 0);
}

TEST_F(ClassesProgramTest, AreasPassedToProceduresAreAliases) {
  EXPECT_EQ(Run("DECLARE a#, r%, s%\n"
                "DIM a#, 8\n"
                "LONG a#, 0 = 11\n"
                "Touch a#\n"
                "r% = LONG(a#, 0)\n"
                "s% = SIZEOF(a#)\n"
                "END\n"
                "PROC Touch\n"
                "  PARAMETERS p#\n"
                "  LONG p#, 0 = LONG(p#, 0) + 1\n"
                "  DISPOSE p#\n"
                "ENDPROC\n"),
            0)
      << AllDebugLines();
  EXPECT_EQ(Int("R%"), 12);  // the alias let go of the block without freeing it
  EXPECT_EQ(Int("S%"), 8);
}

TEST_F(ClassesProgramTest, WithInsideAndOutsideMethods) {
  EXPECT_EQ(Run("STRUCT P = x%, y%\n"
                "CLASS C = -v%, Set@\n"
                "DECLARE p#, c#, r%\n"
                "DIM p#, P\n"
                "c# = NEW(C)\n"
                "WITH p#\n"
                "  .x% = 3\n"
                "  .y% = .x% * 2\n"
                "  c#.Set(.y%)\n"
                "ENDWITH\n"
                "r% = p#.x% + p#.y%\n"
                "END\n"
                "PROC C.Set\n"
                "  PARAMETERS n%\n"
                "  .v% = n%\n"
                "  r% = .v%\n"
                "ENDPROC\n"),
            0)
      << AllDebugLines();
  EXPECT_EQ(Int("R%"), 9);
}

}  // namespace
}  // namespace korv
