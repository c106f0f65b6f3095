#include <string>

#include "value_test_support.h"

namespace korv::testing {
namespace {

using StoresTest = ValueTest;

std::string Nth(const char* stem, int i, char suffix) { return stem + std::to_string(i) + suffix; }

TEST_F(StoresTest, DeclareAndFind) {
  int32_t a = Declare("  abc% ");
  ASSERT_EQ(a, 1);
  EXPECT_EQ(gStores.ints[a].Name, "ABC%");
  EXPECT_EQ(gStores.ints[a].Value, 0);
  EXPECT_EQ(Find("ABC%"), 1);
  EXPECT_EQ(Find("ABC&"), 0);  // another store
  EXPECT_EQ(Declare("abc&"), 1);
  EXPECT_EQ(Declare("x!"), 1);
  EXPECT_EQ(Declare("s$"), 1);
  EXPECT_EQ(Declare("p#"), 1);
  EXPECT_EQ(gStores.ptrs[1].AreaKind, ' ');
  EXPECT_EQ(gStores.ptrs[1].Address, nullptr);
  EXPECT_EQ(Declare("y%"), 2);
  StoreMarks m = CurrentMarks();
  EXPECT_EQ(m.count[kStoreInt], 2);
  EXPECT_EQ(m.count[kStoreLng], 1);
  EXPECT_EQ(m.count[kStoreArr], 0);
  EXPECT_TRUE(NoReport());
}

TEST_F(StoresTest, BadNamesGive122) {
  for (const char* name : {"abc", "a %", "", "a%b", "a[1]"}) {
    ClearReport();
    EXPECT_EQ(Declare(name), 0) << name;
    EXPECT_EQ(Code(), 122) << name;
    EXPECT_TRUE(WasError()) << name;
  }
  EXPECT_EQ(CurrentMarks(), StoreMarks());
}

TEST_F(StoresTest, DuplicateOnTheSameLevelGives147) {
  ASSERT_GT(Declare("a%"), 0);
  ClearReport();
  EXPECT_EQ(Declare("A%"), 0);
  EXPECT_EQ(Code(), 147);
  EXPECT_EQ(gErr.Detail, "A%");
  EXPECT_EQ(CurrentMarks().count[kStoreInt], 1);
  // The same name in another store is no duplicate.
  EXPECT_GT(Declare("a&"), 0);
}

TEST_F(StoresTest, LocalsShadowGlobalsAndLeaveWithTheirLevel) {
  int32_t g = Declare("a%");
  gStores.ints[g].Value = 5;
  gStores.ints[Declare("x%")].Value = 8;
  PushScope();
  int32_t l = Declare("a%");  // no 147: a new level
  ASSERT_GT(l, g);
  EXPECT_TRUE(NoReport());
  gStores.ints[l].Value = 99;
  EXPECT_EQ(Eval("a%").IntValue, 99);
  EXPECT_EQ(Eval("x%").IntValue, 8);  // the caller's variable is visible
  ClearReport();
  EXPECT_EQ(Declare("a%"), 0);
  EXPECT_EQ(Code(), 147);
  PopScope();
  EXPECT_EQ(Eval("a%").IntValue, 5);
  EXPECT_EQ(Find("A%"), g);
  EXPECT_EQ(CurrentMarks().count[kStoreInt], 2);
}

TEST_F(StoresTest, NestedLevelsResolveInnermostFirst) {
  gStores.sngs[Declare("v!")].Value = 1;
  PushScope();
  gStores.sngs[Declare("v!")].Value = 2;
  PushScope();
  EXPECT_EQ(Eval("v!").FloatValue, 2.0);
  gStores.sngs[Declare("v!")].Value = 3;
  EXPECT_EQ(Eval("v!").FloatValue, 3.0);
  EXPECT_EQ(ScopeDepth(), 2);
  PopScope();
  EXPECT_EQ(Eval("v!").FloatValue, 2.0);
  PopScope();
  EXPECT_EQ(Eval("v!").FloatValue, 1.0);
  EXPECT_EQ(ScopeDepth(), 0);
}

TEST_F(StoresTest, TruncateKeepsTheIndexConsistent) {
  Declare("a$");
  StoreMarks mark = CurrentMarks();
  int32_t b = Declare("b$");
  gStores.strs[b].Value = "payload";
  PushScope();
  Declare("a$");
  Truncate(mark);
  EXPECT_EQ(Find("B$"), 0);
  EXPECT_EQ(Find("A$"), 1);
  EXPECT_TRUE(gStores.strs[b].Value.empty());  // released at once
  EXPECT_TRUE(gStores.strs[b].Name.empty());
  // The freed slot is reused and found under its new name.
  int32_t c = Declare("c$");
  EXPECT_EQ(c, b);
  EXPECT_EQ(Find("C$"), c);
  EXPECT_EQ(Find("B$"), 0);
  int32_t b2 = Declare("b$");
  EXPECT_EQ(Find("B$"), b2);
}

// Names a level declared and left are gone, whether the index keeps their
// emptied entries (the first few thousand names) or drops them.
TEST_F(StoresTest, ManyNamesDeclaredAndLeftAreGone) {
  for (int i = 1; i <= 6000; ++i) {
    PushScope();
    ASSERT_NE(Declare(Nth("t", i, '%')), 0) << i;
    PopScope();
  }
  for (int i : {1, 2, 4096, 4097, 6000}) {
    EXPECT_EQ(Find(NormalizeName(Nth("t", i, '%'))), 0) << i;
    const int32_t again = Declare(Nth("t", i, '%'));
    EXPECT_EQ(Find(NormalizeName(Nth("t", i, '%'))), again) << i;
  }
  EXPECT_TRUE(NoReport());
}

// Names without live entries lose their numbers once a store has seen many
// names; kept lookups then find theirs again, and the live entries of a
// name (here one shadowing another) keep their order.
TEST_F(StoresTest, KeptLookupsSurviveNamesLosingTheirNumbers) {
  const int32_t outer = Declare("keep%");
  CachedFind keep, gone;
  EXPECT_EQ(FindCached("KEEP%", keep), outer);
  PushScope();
  const int32_t left = Declare("gone%");
  EXPECT_EQ(FindCached("GONE%", gone), left);
  PopScope();
  EXPECT_EQ(FindCached("GONE%", gone), 0);
  PushScope();
  const int32_t shadow = Declare("keep%");
  for (int i = 1; i <= 20000; ++i) {
    PushScope();
    ASSERT_NE(Declare(Nth("t", i, '%')), 0) << i;
    ASSERT_EQ(FindCached("KEEP%", keep), shadow) << i;
    PopScope();
  }
  EXPECT_EQ(Find("KEEP%"), shadow);
  PopScope();
  EXPECT_EQ(FindCached("KEEP%", keep), outer);
  EXPECT_EQ(Find("KEEP%"), outer);
  EXPECT_EQ(FindCached("GONE%", gone), 0);
  EXPECT_EQ(Find("T1%"), 0);
  const int32_t again = Declare("gone%");
  EXPECT_EQ(FindCached("GONE%", gone), again);
  EXPECT_EQ(Declare("keep%"), 0);  // still declared at this level
  EXPECT_EQ(Code(), 147);
}

// A declaration that keeps its name's number declares that name on every
// run: after the store renumbers its names, at a new level, and with the
// same reports as Declare.
TEST_F(StoresTest, KeptDeclarationsStayExact) {
  CachedFind kept, bad;
  for (int round = 0; round < 3; ++round) {
    PushScope();
    const int32_t i = DeclareKept("K%", kept);
    ASSERT_NE(i, 0) << round;
    EXPECT_EQ(Find("K%"), i);
    EXPECT_EQ(gStores.ints[static_cast<size_t>(i)].Name, "K%");
    EXPECT_EQ(DeclareKept("K%", kept), 0);  // twice on one level
    EXPECT_EQ(Code(), 147);
    ClearReport();
    // Many names come and go: the kept number may be given to another.
    for (int n = 1; n <= 9000; ++n) {
      PushScope();
      ASSERT_NE(Declare("r" + std::to_string(round) + "_" + std::to_string(n) + "%"), 0);
      PopScope();
    }
    PopScope();
    EXPECT_EQ(Find("K%"), 0);
  }
  const int32_t outer = DeclareKept("K%", kept);
  EXPECT_EQ(Find("K%"), outer);
  EXPECT_EQ(DeclareKept("A B%", bad), 0);
  EXPECT_EQ(Code(), 122);
  ClearReport();
  EXPECT_EQ(DeclareKept("X", bad), 0);
  EXPECT_EQ(Code(), 122);
  EXPECT_EQ(gErr.Detail, "X");
}

TEST_F(StoresTest, NewestEntryWins) {
  for (int i = 0; i < 5; ++i) {
    PushScope();
    gStores.lngs[Declare("n&")].Value = i;
  }
  EXPECT_EQ(Eval("n&").IntValue, 4);
  Truncate(StoreMarks{{0, 3, 0, 0, 0, 0}});
  EXPECT_EQ(Eval("n&").IntValue, 2);
}

TEST_F(StoresTest, StoreFullAt1999) {
  for (int i = 1; i <= 1999; ++i) ASSERT_EQ(Declare(Nth("v", i, '%')), i) << i;
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Declare("last%"), 0);
  EXPECT_EQ(Code(), 217);
  EXPECT_EQ(CurrentMarks().count[kStoreInt], 1999);
  EXPECT_EQ(Find("LAST%"), 0);
  // The other stores are not affected.
  ClearReport();
  EXPECT_EQ(Declare("x&"), 1);
  EXPECT_TRUE(NoReport());
  // The oldest entry is still found.
  EXPECT_EQ(Find("V1%"), 1);
}

TEST_F(StoresTest, EveryStoreHasItsFullError) {
  struct Case {
    char suffix;
    int code;
  };
  for (Case c : {Case{'&', 218}, Case{'!', 220}, Case{'$', 219}, Case{'#', 239}}) {
    ResetStores();
    for (int i = 1; i <= 1999; ++i) ASSERT_GT(Declare(Nth("v", i, c.suffix)), 0);
    ClearReport();
    EXPECT_EQ(Declare(Nth("w", 0, c.suffix)), 0);
    EXPECT_EQ(Code(), c.code) << c.suffix;
  }
  ResetStores();
  for (int i = 1; i <= 1999; ++i) ASSERT_GT(DeclareArrayEntry(Nth("A", i, '%'), '%'), 0);
  ClearReport();
  EXPECT_EQ(DeclareArrayEntry("B%", '%'), 0);
  EXPECT_EQ(Code(), 253);
}

TEST_F(StoresTest, LoadForms) {
  gStores.ints[Declare("i%")].Value = 42;
  gStores.sngs[Declare("f!")].Value = 3.5;
  gStores.sngs[Declare("g!")].Value = -2.7;
  TEvalResult r = Eval("i%");
  EXPECT_EQ(r.FloatValue, 42.0);
  EXPECT_EQ(r.StrValue, "42");
  r = Eval("f!");
  EXPECT_EQ(r.StrValue, "3.500000");
  EXPECT_EQ(r.IntValue, 3);
  r = Eval("g!");
  EXPECT_EQ(r.IntValue, -2);
  SetNumWidth(10);
  r = Eval("i%");
  EXPECT_EQ(r.StrValue, "        42");
  EXPECT_EQ(Eval("f!").StrValue, "  3.500000");
}

TEST_F(StoresTest, StringVariablesInNumericContexts) {
  int32_t s = Declare("s$");
  gStores.strs[s].Value = "12.5";
  TEvalResult r = Eval("s$");
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(r.IntValue, 12);
  EXPECT_EQ(r.FloatValue, 0.0);
  gStores.strs[s].Value = "42";
  r = Eval("s$");
  EXPECT_EQ(r.IntValue, 42);
  EXPECT_EQ(r.FloatValue, 42.0);
  gStores.strs[s].Value = "-12.5";
  EXPECT_EQ(Eval("s$").IntValue, -12);
  gStores.strs[s].Value = "$1F";
  EXPECT_EQ(Eval("s$").IntValue, 31);
  // Numeric operators use the float form.
  gStores.strs[s].Value = "20";
  EXPECT_EQ(Eval("s$ * 2").IntValue, 40);
}

TEST_F(StoresTest, StoreWritesTheMatchingForm) {
  int32_t i = Declare("i%"), f = Declare("f!"), s = Declare("s$");
  gRes.Reset();
  gRes.IntValue = 7;
  gRes.FloatValue = 7.9;
  gRes.StrValue = "seven";
  EXPECT_TRUE(Store("I%"));
  EXPECT_TRUE(Store("F!"));
  EXPECT_TRUE(Store("S$"));
  EXPECT_EQ(gStores.ints[i].Value, 7);
  EXPECT_EQ(gStores.sngs[f].Value, 7.9);
  EXPECT_EQ(gStores.strs[s].Value, "seven");
  ClearReport();
  EXPECT_FALSE(Store("Q%"));
  EXPECT_EQ(Code(), 215);
  EXPECT_TRUE(WasError());
}

TEST_F(StoresTest, IncAndDecWrapAround) {
  int32_t i = Declare("i%"), l = Declare("l&");
  gStores.ints[i].Value = INT32_MAX;
  IncDec(" i% ", 1);
  EXPECT_EQ(gStores.ints[i].Value, INT32_MIN);
  IncDec("i%", -1);
  EXPECT_EQ(gStores.ints[i].Value, INT32_MAX);
  IncDec("l&", -1);
  EXPECT_EQ(gStores.lngs[l].Value, -1);
  EXPECT_TRUE(NoReport());
  Declare("s$");
  IncDec("s$", 1);
  EXPECT_EQ(Code(), 103);
  ClearReport();
  IncDec("q%", 1);
  EXPECT_EQ(Code(), 215);
  EXPECT_TRUE(WasError());
}

TEST_F(StoresTest, IncChangesTheNewestEntry) {
  int32_t g = Declare("i%");
  PushScope();
  int32_t l = Declare("i%");
  IncDec("i%", 1);
  EXPECT_EQ(gStores.ints[l].Value, 1);
  EXPECT_EQ(gStores.ints[g].Value, 0);
}

TEST_F(StoresTest, ResetEmptiesEverything) {
  Declare("a%");
  PushScope();
  Declare("b$");
  ResetStores();
  EXPECT_EQ(CurrentMarks(), StoreMarks());
  EXPECT_EQ(ScopeDepth(), 0);
  EXPECT_EQ(Find("A%"), 0);
  EXPECT_EQ(Declare("a%"), 1);
}

}  // namespace
}  // namespace korv::testing
