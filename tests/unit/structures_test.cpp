#include <string>

#include "composite_test_support.h"
#include "engine/procedures.h"

namespace korv::testing {
namespace {

using StructuresTest = CompositeTest;

const TStruktVar& Member(const std::string& structName, const std::string& member) {
  return gStructs.members[FindMember(FindStructureNewest(structName), member)];
}

TEST_F(StructuresTest, LayoutOfAStructure) {
  Exec("STRUCT P = x&, y&, name$(10)");
  ASSERT_TRUE(NoReport());
  int32_t p = FindStructureNewest("P");
  ASSERT_GT(p, 0);
  EXPECT_EQ(gStructs.structs[p].Kind, 's');
  EXPECT_EQ(gStructs.structs[p].Size, 19);
  EXPECT_EQ(Member("P", "NAME$").Offset, 8);
  EXPECT_EQ(Member("P", "NAME$").Size, 11);
  EXPECT_EQ(Member("P", "Y&").Offset, 4);
  Exec("STRUCT Q = a%, b!, raw#(3), c%");
  EXPECT_EQ(gStructs.structs[FindStructureNewest("Q")].Size, 2 + 8 + 3 + 2);
  EXPECT_EQ(Member("Q", "C%").Offset, 13);
  // The built-in sprite structure is there before any program line.
  int32_t sprite = FindStructureOldest("OGLSPRITE");
  EXPECT_EQ(sprite, 1);
  EXPECT_EQ(gStructs.structs[sprite].Size, 33 + 28 * 8 + 5 * 4);
}

TEST_F(StructuresTest, DefinitionErrors) {
  const struct {
    const char* line;
    int code;
  } cases[] = {
      {"STRUCT S", 128},
      {"STRUCT S% = a%", 129},
      {"STRUCT A B = a%", 129},
      {"STRUCT S =  ", 131},
      {"STRUCT S = a%, a%", 265},
      {"STRUCT S = a$", 257},
      {"STRUCT S = a#", 257},
      {"STRUCT S = a%(4)", 257},
      {"STRUCT S = m@", 257},
      {"STRUCT S = nosuch", 257},
      {"STRUCT S = a$(2147483647)", 257},  // n + 1 bytes lie beyond the integer range
      {"STRUCT S = a#(0)", 257},
      {"STRUCT S = a b%", 122},
  };
  for (const auto& c : cases) {
    Exec(c.line);
    EXPECT_EQ(Code(), c.code) << c.line;
    EXPECT_TRUE(WasError()) << c.line;
  }
}

TEST_F(StructuresTest, InclusionAndInheritance) {
  Exec("CLASS C = a%, a%");  // classes allow repeats: the second one wins
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(Member("C", "A%").Offset, 2);
  Exec("CLASS A = -p%, q%, #r&");
  Exec("CLASS B = A, z%");
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(gStructs.structs[FindStructureNewest("B")].Size, 8);
  EXPECT_EQ(FindMember(FindStructureNewest("B"), "P%"), 0);  // private: not copied
  EXPECT_EQ(Member("B", "Q%").Offset, 0);
  EXPECT_EQ(Member("B", "R&").Visibility, '#');
  EXPECT_EQ(Member("B", "Z%").Offset, 6);
  Exec("CLASS D = z%, A");
  EXPECT_EQ(Code(), 266);
  Exec("STRUCT T = A");
  EXPECT_EQ(Code(), 271);
  Exec("STRUCT U = x%");
  Exec("STRUCT V = U, y%, x%");  // a copy counts in the duplicate check
  EXPECT_EQ(Code(), 265);
  EXPECT_EQ(gErr.Detail, "X%");
}

TEST_F(StructuresTest, MembersAreReadAndWritten) {
  Exec("STRUCT P = x&, w%, f!, name$(5), raw#(3)");
  Exec("DECLARE p#, e#[1]");
  Exec("DIM p#, P");
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(Area("P#").AreaKind, 's');
  Exec("p#.x& = -7");
  Exec("p#.w% = -1");
  Exec("p#.f! = 2.5");
  Exec("p#.name$ = \"abc\", \"defgh\"");
  Exec("p#.raw# = \"XYZW\"");
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(Int("p#.x&"), -7);
  TEvalResult w = Eval("p#.w%");
  EXPECT_EQ(w.IntValue, 65535);  // 16 bits, read back unsigned
  EXPECT_EQ(w.ResultKind, kind::kInt);
  EXPECT_EQ(Flt("p#.f!"), 2.5);
  EXPECT_EQ(Str("p#.name$"), "abc d");  // at most 5 characters
  EXPECT_EQ(Str("p#.raw#"), "XYZ");     // a member name ending in # is a member
  EXPECT_EQ(Int("SIZEOF(p#.w%)"), 2);
  EXPECT_EQ(Int("SIZEOF(p#)"), 4 + 2 + 8 + 6 + 3);
  // The & member as an address for a callee.
  TEvalResult a = Eval("p#.x&", kind::kAddress);
  EXPECT_EQ(a.ResultKind, kind::kAddress);
  EXPECT_EQ(IntToAddress(a.IntValue), Area("P#").Address);
  // WITH gives the prefix of ".name".
  Exec("WITH p#");
  Exec(".x& = .x& * 2");
  EXPECT_EQ(Int(".x&"), -14);
  Exec("ENDWITH");
  EXPECT_TRUE(NoReport());
  // Elements of area arrays hold instances too.
  Exec("DIM e#[], P");
  Exec("e#[1].w% = 70000");
  EXPECT_EQ(Int("e#[1].w%"), 70000 - 65536);
  EXPECT_EQ(Int("e#[0].w%"), 0);
  // Failures.
  Eval("p#.nope%");
  EXPECT_EQ(Code(), 273);
  Exec("p#.nope% = 1");
  EXPECT_EQ(Code(), 215);
  TEvalResult unknown = Eval("q#.x& + 1");
  EXPECT_EQ(Code(), 215);
  EXPECT_EQ(unknown.IntValue, 1);
  Exec("q#.x& = 1");
  EXPECT_EQ(Code(), 215);
  Exec("DECLARE u#");
  Eval("u#.x&");
  EXPECT_EQ(Code(), 243);
  Exec("DIM p#, P");
  EXPECT_EQ(Code(), 241);
}

TEST_F(StructuresTest, NewUsesTheFirstDefinitionAndDimTheNewest) {
  Exec("STRUCT S = a%");
  Exec("STRUCT S = a%, b&");
  Exec("DECLARE d#");
  Exec("DIM d#, S");
  EXPECT_EQ(Area("D#").Size, 6);
  Exec("VAR n# = NEW(S)");
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(Area("N#").Size, 2);
  EXPECT_EQ(Area("N#").AreaKind, 's');
  EXPECT_EQ(Area("N#").StructIndex, FindStructureOldest("S"));
  Exec("n# = NEW(S)");  // only onto an area without block
  EXPECT_EQ(Code(), 278);
  Exec("DECLARE m#");
  Exec("m# = NEW(s)");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Area("M#").Size, 2);
  void* before = Area("M#").Address;
  Exec("m# = NEW(Nothing)");
  EXPECT_EQ(Code(), 135);
  EXPECT_EQ(gErr.Detail, "NOTHING");
  EXPECT_EQ(Area("M#").Address, before);  // the failed request assigns nothing
  Exec("VAR k# = 5");
  EXPECT_EQ(Code(), 146);
}

TEST_F(StructuresTest, ObjectsCopyOnlyFromTheirOwnClass) {
  Exec("CLASS C = v&");
  Exec("CLASS K = v&");
  Exec("DECLARE a#, b#, k#, z#, y%");
  Exec("a# = NEW(C)");
  Exec("b# = NEW(C)");
  Exec("k# = NEW(K)");
  Exec("DIM z#, 4");
  Exec("b#.v& = 31");
  Exec("a# = b#");
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(Int("a#.v&"), 31);
  EXPECT_EQ(Eval("a#").ResultKind, kind::kObject);
  Exec("a# = k#");
  EXPECT_EQ(Code(), 275);
  Exec("a# = z#");
  EXPECT_EQ(Code(), 275);
  Exec("z# = a#");
  EXPECT_EQ(Code(), 272);
  Exec("LONG a#, 0 = 1");
  EXPECT_EQ(Code(), 272);
  Exec("CLEAR a#");
  EXPECT_EQ(Code(), 272);
  Exec("a# = ADDR(y%)");  // a plain address is accepted by a simple object variable
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Area("A#").Address, &gStores.ints[Find("Y%")].Value);
}

TEST_F(StructuresTest, TypeOfAndClassOf) {
  Exec("STRUCT S = a%");
  Exec("CLASS C = b%");
  Exec("DECLARE b#, s#, o#, u#, n%");
  Exec("DIM b#, 4");
  Exec("DIM s#, S");
  Exec("o# = NEW(C)");
  EXPECT_EQ(Str("TYPEOF(b#)"), "b");
  EXPECT_EQ(Str("TYPEOF(s#)"), "s");
  EXPECT_EQ(Str("TYPEOF(o#)"), "o");
  EXPECT_EQ(Str("TYPEOF(u#)"), " ");
  EXPECT_EQ(Str("CLASSOF(o#)"), "C");
  EXPECT_EQ(Str("CLASSOF(s#)"), "S");
  EXPECT_EQ(Str("CLASSOF(b#)"), "");
  EXPECT_EQ(Str("CLASSOF(u#)"), "");
  EXPECT_EQ(Str("CLASSOF(n%)"), "");  // a handle: no window behind it here
  EXPECT_TRUE(NoReport());
  Eval("TYPEOF(n%)");
  EXPECT_EQ(Code(), 131);
  Eval("TYPEOF(q#)");
  EXPECT_EQ(Code(), 215);
  EXPECT_EQ(gErr.Detail, "Q#");
  Exec("DISPOSE o#");
  EXPECT_EQ(Str("TYPEOF(o#)"), " ");
}

TEST_F(StructuresTest, WithLevels) {
  for (int i = 0; i < 99; ++i) Exec("WITH a#");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(WithDepth(), 99);
  Exec("WITH a#");
  EXPECT_EQ(Code(), 132);
  for (int i = 0; i < 99; ++i) Exec("ENDWITH");
  EXPECT_TRUE(NoReport());
  Exec("ENDWITH");
  EXPECT_EQ(Code(), 133);
  Exec("WITH a%");
  EXPECT_EQ(Code(), 129);
  Exec("WITH e#[2]");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(gProc.currentObject, "E#[2]");
  Exec("ENDWITH");
  EXPECT_EQ(gProc.currentObject, "");
}

TEST_F(StructuresTest, CompiledMethodMembersCarryTheirLine) {
  std::string name;
  int32_t line = 0;
  EXPECT_TRUE(SplitCompiledMethod("GET_X_42@", name, line));
  EXPECT_EQ(name, "GET_X@");
  EXPECT_EQ(line, 42);
  EXPECT_FALSE(SplitCompiledMethod("GETX@", name, line));
  EXPECT_FALSE(SplitCompiledMethod("GET_X@", name, line));
  std::vector<std::string> members = SplitMembers(" a% , -b$(10),M_7@ ", true);
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(members[1], "-B$(10)");
  EXPECT_EQ(members[2], "M_7@");
  gExec.compiledMode = true;
  Exec("CLASS K = v%, M_7@");
  gExec.compiledMode = false;
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(Member("K", "M@").MethodLine, 7);
}

TEST(SelfReferenceTest, OnlyAtTheStartOfAnOperand) {
  EXPECT_EQ(ReplaceSelfReferences("*.f!)", "O#", false), "O#.f!)");
  EXPECT_EQ(ReplaceSelfReferences("1, *.a%, (*.b%)+*.c%)", "O#", false), "1, O#.a%, (O#.b%)+O#.c%)");
  EXPECT_EQ(ReplaceSelfReferences("x%[*.i%] - *.j%)", "O#", false), "x%[O#.i%] - O#.j%)");
  // A multiplication by a member stays one, with or without blanks.
  EXPECT_EQ(ReplaceSelfReferences("2*.f!)", "O#", false), "2*.f!)");
  EXPECT_EQ(ReplaceSelfReferences(".Balance()*.rate!/100)", "O#", false), ".Balance()*.rate!/100)");
  EXPECT_EQ(ReplaceSelfReferences("a%*.f!, b$ *.g!)", "O#", false), "a%*.f!, b$ *.g!)");
  // A multiplication by a reference: the second "*" begins the operand.
  EXPECT_EQ(ReplaceSelfReferences("2**.f!)", "O#", false), "2*O#.f!)");
  EXPECT_EQ(ReplaceSelfReferences("1 AND *.f!, 3 mod *.g!)", "O#", false), "1 AND O#.f!, 3 mod O#.g!)");
  EXPECT_EQ(ReplaceSelfReferences("BAND *.f!)", "O#", false), "BAND *.f!)");
  EXPECT_EQ(ReplaceSelfReferences("\"*.x\", *.y$)", "O#", false), "\"*.x\", O#.y$)");
  // Compiled text: an operator token begins an operand, a variable token ends one.
  const std::string andToken = "\x15" "A4|";
  EXPECT_EQ(ReplaceSelfReferences("1" + andToken + "*.f!)", "O#", true), "1" + andToken + "O#.f!)");
  const std::string var = std::string("%\xFE") + std::string("\x2A\x2E\0\0", 4);
  EXPECT_EQ(ReplaceSelfReferences(var + "*.f!)", "O#", true), var + "*.f!)");
}

}  // namespace
}  // namespace korv::testing
