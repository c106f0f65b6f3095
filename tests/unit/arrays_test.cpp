#include <string>

#include "composite_test_support.h"
#include "values/string_list.h"

namespace korv::testing {
namespace {

using ArraysTest = CompositeTest;

TEST_F(ArraysTest, DeclarationCountsAndAddressing) {
  Exec("DECLARE a%[2,3], z%");
  ASSERT_TRUE(NoReport());
  int32_t a = FindArray("A%");
  ASSERT_GT(a, 0);
  const TVarArr& arr = gStores.arrs[a];
  EXPECT_EQ(arr.Count, 12);
  EXPECT_EQ(arr.Bound1, 2);
  EXPECT_EQ(arr.Bound2, 3);
  EXPECT_EQ(arr.Bound3, 0);
  EXPECT_EQ(arr.First, 1);
  EXPECT_EQ(gPools.used[kPoolInt], 12);
  EXPECT_GT(Find("Z%"), 0);  // the list goes on after the array
  // The first index varies fastest.
  Exec("a%[2,3] = 99");
  Exec("a%[1] = 7");
  Exec("a%[0,1] = 5");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(gPools.ints[arr.First + 11], 99);
  EXPECT_EQ(gPools.ints[arr.First + 1], 7);
  EXPECT_EQ(gPools.ints[arr.First + 3], 5);
  EXPECT_EQ(Int("a%[1,0]"), 7);  // a missing index is 0
  EXPECT_EQ(Int("a%[2, 3] + a%[1]"), 106);
  Eval("a%[3,0]");
  EXPECT_EQ(Code(), 233);
  Eval("a%[0,4]");
  EXPECT_EQ(Code(), 233);
  Eval("a%[-1]");
  EXPECT_EQ(Code(), 233);
  Exec("a%[0,-1] = 1");
  EXPECT_EQ(Code(), 233);
  Eval("a%[1,1,1]");
  EXPECT_EQ(Code(), 233);
  Eval("a%[1,1,0,0]");
  EXPECT_EQ(Code(), 254);
  EXPECT_EQ(PendingOperations(), 0);
}

TEST_F(ArraysTest, EveryKindReadsAndWritesItsElements) {
  Exec("DECLARE i%[3], l&[1,1], f![2,2,2], s$[4], p#[2], n%");
  ASSERT_TRUE(NoReport());
  Exec("n% = 2");
  Exec("i%[n% + 1] = 7.9");
  Exec("l&[1,1] = -5");
  Exec("f![2,2,2] = 1.25");
  Exec("s$[n%] = \"a\", \"b\"; \"c\"");
  EXPECT_TRUE(NoReport());
  TEvalResult r = Eval("i%[3]");
  EXPECT_EQ(r.IntValue, 7);
  EXPECT_EQ(r.ResultKind, kind::kInt);
  r = Eval("l&[1,1]");
  EXPECT_EQ(r.IntValue, -5);
  EXPECT_EQ(r.ResultKind, kind::kLong);
  r = Eval("f![2,2,2]");
  EXPECT_EQ(r.FloatValue, 1.25);
  EXPECT_EQ(r.StrValue, "1.250000");
  EXPECT_EQ(r.ResultKind, kind::kFloat);
  r = Eval("s$[2]");
  EXPECT_EQ(r.StrValue, "a bc");
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(Str("s$[0]"), "");
  // Elements index elements, and a failed right side stores 0.
  Exec("i%[i%[0]] = 4");
  EXPECT_EQ(Int("i%[0]"), 4);
  Exec("i%[1] = 1 / 0");
  EXPECT_EQ(Code(), 201);
  EXPECT_EQ(Int("i%[1]"), 0);
  // An element asked for its address gives the pool slot.
  r = Eval("i%[3]", kind::kAddress);
  EXPECT_EQ(r.ResultKind, kind::kAddress);
  EXPECT_EQ(IntToAddress(r.IntValue), &gPools.ints[gStores.arrs[FindArray("I%")].First + 3]);
  // Area elements: undimensioned reads give 243.
  Eval("p#[1]");
  EXPECT_EQ(Code(), 243);
}

TEST_F(ArraysTest, BoundsAndCountsAreChecked) {
  Exec("DECLARE a%[-1]");
  EXPECT_EQ(Code(), 232);
  EXPECT_EQ(gErr.Detail, "A%[-1]");
  EXPECT_EQ(FindArray("A%"), 0);
  // Products beyond 32 bits must not wrap into a small count.
  Exec("DECLARE b%[65535, 65535, 1]");
  EXPECT_EQ(Code(), 232);
  Exec("DECLARE c%[2147483647, 2147483647, 2147483647]");
  EXPECT_EQ(Code(), 232);
  EXPECT_EQ(gPools.used[kPoolInt], 0);
  Exec("DECLARE d%[1,2,3,4]");
  EXPECT_EQ(Code(), 254);
  Exec("DECLARE e%[1], e%[2]");
  EXPECT_EQ(Code(), 147);
  Exec("DECLARE g[3]");
  EXPECT_EQ(Code(), 122);
  Exec("DECLARE h%[q%]");  // an unknown bound variable is 0, silently
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(gStores.arrs[FindArray("H%")].Count, 1);
}

TEST_F(ArraysTest, APoolHoldsExactly262140Elements) {
  Exec("DECLARE a![262138], b![0]");  // 262139 + 1
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(gPools.used[kPoolSng], kPoolLast);
  Exec("b![0] = 2.5");
  EXPECT_EQ(gPools.sngs[kPoolLast], 2.5);
  Exec("DECLARE c![0]");
  EXPECT_EQ(Code(), 232);
  Exec("DECLARE d%[0]");  // other kinds have pools of their own
  EXPECT_TRUE(NoReport());
}

TEST_F(ArraysTest, PoolMarksReleaseTheElementsOfALevel) {
  Exec("DECLARE g$[1]");
  Exec("g$[1] = \"global\"");
  PoolMarks marks = CurrentPoolMarks();
  PushScope();
  Exec("DECLARE l$[9], l%[4]");
  Exec("l$[9] = \"local\"");
  EXPECT_EQ(gPools.used[kPoolStr], 12);
  PopScope();
  TruncatePools(marks);
  EXPECT_EQ(gPools.used[kPoolStr], 2);
  EXPECT_EQ(gPools.used[kPoolInt], 0);
  EXPECT_EQ(FindArray("L$"), 0);
  EXPECT_TRUE(gPools.strs[12].empty());  // the text is released
  // The next declaration reuses the elements, empty.
  Exec("DECLARE m$[9]");
  EXPECT_EQ(gStores.arrs[FindArray("M$")].First, 3);
  EXPECT_EQ(Str("m$[9]"), "");
  EXPECT_EQ(Str("g$[1]"), "global");
}

TEST_F(ArraysTest, UnknownArrays) {
  TEvalResult r = Eval("q%[1] + 1");
  EXPECT_EQ(Code(), 215);
  EXPECT_TRUE(WasWarning());
  EXPECT_EQ(r.IntValue, 1);
  Exec("q%[1] = 5");
  EXPECT_EQ(Code(), 215);
  EXPECT_TRUE(WasError());
  EXPECT_EQ(gErr.Detail, "Q%");
}

TEST_F(ArraysTest, WholeArrays) {
  Exec("DECLARE a%[2,1], s$[3], x%");
  Exec("a%[2,1] = 6");
  Exec("s$[3] = \"x\"");
  EXPECT_EQ(Int("SIZEOF(a%[])"), 6);
  EXPECT_EQ(Int("SIZEOF(s$[])"), 4);
  EXPECT_EQ(Int("SIZEOF(nope%[])"), -1);
  EXPECT_TRUE(NoReport());
  Exec("CLEAR a%[], s$[0], x%");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Int("a%[2,1]"), 0);
  EXPECT_EQ(Str("s$[3]"), "");
  Exec("CLEAR z%[]");
  EXPECT_EQ(Code(), 215);
  EXPECT_EQ(Int("ADDR(a%[])"), AddressToInt(&gPools.ints[gStores.arrs[FindArray("A%")].First]));
  // Blanks inside the brackets: compiled text drops them, so they spell the
  // whole array too, not an element with an empty index.
  EXPECT_EQ(Int("SIZEOF(a%[ ])"), 6);
  EXPECT_EQ(Int("ADDR(a%[\t ])"), Int("ADDR(a%[])"));
  const TEvalResult whole = Eval("s$[  ]", kind::kArray);
  EXPECT_EQ(whole.IntValue, FindArray("S$"));
  EXPECT_EQ(whole.ResultKind, kind::kArray);
  EXPECT_EQ(Int("MOVEARRTOLIST(s$[ ])"), 4);
  Eval("q%[ ]");
  EXPECT_EQ(Code(), 215);
  EXPECT_EQ(gErr.Detail, "Q%");
}

TEST_F(ArraysTest, MovingArraysIntoAndOutOfTheStringList) {
  ClearStringList();
  Exec("DECLARE f![1], i%[2], s$[1], p#[1], r%");
  Exec("f![1] = 2.5");
  Exec("i%[0] = -3");
  Exec("s$[0] = \"text\"");
  EXPECT_EQ(Int("MOVEARRTOLIST(f![])"), 2);
  EXPECT_EQ(Int("MOVEARRTOLIST(s$[])"), 2);
  ASSERT_EQ(StringList().size(), 4u);
  EXPECT_EQ(StringList()[0], "0.000000");
  EXPECT_EQ(StringList()[1], "2.500000");
  EXPECT_EQ(StringList()[2], "text");
  // Back into an integer array: 3 of 4 fit, with warning 282.
  EXPECT_EQ(Int("MOVELISTTOARR(i%[])"), 3);
  EXPECT_EQ(Code(), 282);
  EXPECT_EQ(Int("i%[0]"), 0);
  EXPECT_EQ(Int("i%[1]"), 2);  // "2.500000" reads as 2
  EXPECT_EQ(Int("i%[2]"), 0);  // "text" is no number
  ClearStringList();
  AddToStringList(" -1.5");
  AddToStringList("x");
  EXPECT_EQ(Int("MOVELISTTOARR(f![])"), 2);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Flt("f![0]"), -1.5);
  EXPECT_EQ(Flt("f![1]"), 0.0);
  Eval("MOVELISTTOARR(p#[])");
  EXPECT_EQ(Code(), 283);
  Eval("MOVEARRTOLIST(r%)");  // the argument must be a whole array
  EXPECT_EQ(Code(), 216);
  ClearStringList();
}

}  // namespace
}  // namespace korv::testing
