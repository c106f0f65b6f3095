#include <cstring>
#include <fstream>
#include <string>

#include "composite_test_support.h"

namespace korv::testing {
namespace {

using AreasTest = CompositeTest;

TEST_F(AreasTest, DimGivesBlocksAndResizesKeepingTheContents) {
  Exec("DECLARE a#, b#, c#");
  Exec("DIM a#, 10");
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(Area("A#").AreaKind, 'b');
  EXPECT_EQ(Area("A#").StructIndex, -1);
  EXPECT_EQ(Area("A#").Address, Area("A#").Base);
  EXPECT_EQ(Int("SIZEOF(a#)"), 10);
  Exec("BYTE a#, 0 = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10");
  Exec("DIM a#, 20");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Int("SIZEOF(a#)"), 20);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Bytes("A#")[i], i + 1);
  for (int i = 10; i < 20; ++i) EXPECT_EQ(Bytes("A#")[i], 0);
  Exec("DIM a#, 3");
  EXPECT_EQ(Int("BYTE(a#, 2)"), 3);
  Eval("BYTE(a#, 3)");
  EXPECT_EQ(Code(), 207);
  // A negative size reports 240 and leaves the area without block.
  Exec("DIM a#, -1");
  EXPECT_EQ(Code(), 240);
  EXPECT_EQ(Area("A#").Address, nullptr);
  EXPECT_EQ(Area("A#").AreaKind, ' ');
  EXPECT_EQ(LiveBlockCount(), 0);
  // Size 0 is an empty block: it exists, but holds nothing.
  Exec("DIM b#, 0");
  EXPECT_TRUE(NoReport());
  EXPECT_NE(Area("B#").Address, nullptr);
  EXPECT_EQ(Int("SIZEOF(b#)"), 0);
  Exec("BYTE b#, 0 = 1");
  EXPECT_EQ(Code(), 207);
  // Name forms.
  Exec("DIM c%, 4");
  EXPECT_EQ(Code(), 121);
  Exec("DIM q#, 4");
  EXPECT_EQ(Code(), 215);
  Exec("DIM c#");
  EXPECT_EQ(Code(), 212);
}

TEST_F(AreasTest, EveryWidthWritesAndReadsBack) {
  Exec("DECLARE a#");
  Exec("DIM a#, 32");
  Exec("BYTE a#, 0 = 258, -1");
  Exec("WORD a#, 2 = 65537; 43981");
  Exec("LONG a#, 6 = -2");
  Exec("FLOAT a#, 10 = 1.5");
  Exec("STRING a#, 18 = \"abc\"");
  Exec("CHAR a#, 22 = \"xyz\"");
  ASSERT_TRUE(NoReport());
  const unsigned char* b = Bytes("A#");
  EXPECT_EQ(b[0], 2);
  EXPECT_EQ(b[1], 255);
  EXPECT_EQ(Int("BYTE(a#, 1)"), 255);
  EXPECT_EQ(Int("WORD(a#, 2)"), 1);
  EXPECT_EQ(Int("WORD(a#, 4)"), 43981);
  EXPECT_EQ(b[4], 0xCD);  // little-endian
  EXPECT_EQ(Int("LONG(a#, 6)"), -2);
  EXPECT_EQ(Flt("FLOAT(a#, 10)"), 1.5);
  EXPECT_EQ(Eval("FLOAT(a#, 10)").ResultKind, kind::kFloat);
  EXPECT_EQ(Eval("LONG(a#, 6)").ResultKind, kind::kLong);
  EXPECT_EQ(Str("STRING$(a#, 18)"), "abc");
  EXPECT_EQ(b[21], 0);
  EXPECT_EQ(Str("CHAR$(a#, 22, 4)"), std::string("xyz\0", 4));
  EXPECT_EQ(Str("CHAR$(a#, 22, -1)"), "");
  EXPECT_EQ(Str("STRING$(a#, 22)"), "xyz");  // up to the zero byte
  // Through an element of an area array as well.
  Exec("DECLARE e#[2]");
  Exec("DIM e#[], 8");
  Exec("LONG e#[1], 4 = 77");
  EXPECT_EQ(Int("LONG(e#[1], 4)"), 77);
  EXPECT_EQ(Int("LONG(e#[0], 4)"), 0);
  EXPECT_TRUE(NoReport());
}

TEST_F(AreasTest, BothEndsOfABlockAreChecked) {
  Exec("DECLARE a#, n%");
  Exec("DIM a#, 12");
  Exec("LONG a#, 8 = 1, 2");
  EXPECT_EQ(Code(), 207);
  EXPECT_EQ(gErr.Detail, "A#");
  EXPECT_EQ(Int("LONG(a#, 8)"), 1);  // the first value was written
  Exec("LONG a#, -1 = 5");
  EXPECT_EQ(Code(), 207);
  Exec("BYTE a#, 12 = 5");
  EXPECT_EQ(Code(), 207);
  Exec("FLOAT a#, 5 = 1");
  EXPECT_EQ(Code(), 207);
  Exec("FLOAT a#, 4 = 1");
  EXPECT_TRUE(NoReport());
  // STRING needs the room of its terminator; strings are cut to the room.
  Exec("STRING a#, 8 = \"abcd\"");
  EXPECT_EQ(Code(), 207);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Bytes("A#")) + 8, 4), "abcd");
  Exec("STRING a#, 8 = \"abc\"");
  EXPECT_TRUE(NoReport());
  Exec("CHAR a#, 10 = \"XYZ\"");
  EXPECT_EQ(Code(), 207);
  EXPECT_EQ(Str("CHAR$(a#, 8, 4)"), "abXY");
  for (const char* read : {"BYTE(a#, -1)", "BYTE(a#, 12)", "WORD(a#, 11)", "LONG(a#, 9)",
                           "FLOAT(a#, 5)", "CHAR$(a#, 10, 3)", "STRING$(a#, 13)",
                           "STRING$(a#, -1)", "MEMPOS(a#, 13, \"x\")", "MEMPOS(a#, -1, \"x\")"}) {
    TEvalResult r = Eval(read);
    EXPECT_EQ(Code(), 207) << read;
    EXPECT_EQ(r.IntValue, 0) << read;
  }
  // The statement target must name an area or an address holder.
  Exec("LONG n$, 0 = 1");
  EXPECT_EQ(Code(), 121);
  Exec("LONG a# 0 = 1");
  EXPECT_EQ(Code(), 121);
  Exec("LONG a#, 0, 1");
  EXPECT_EQ(Code(), 212);
  Exec("DECLARE u#");
  Exec("LONG u#, 0 = 1");
  EXPECT_EQ(Code(), 243);
}

TEST_F(AreasTest, PlainAddressesAreProbed) {
  Exec("DECLARE a#, y%, p&, f!");
  Exec("DIM a#, 8");
  Exec("p& = ADDR(y%)");
  Exec("LONG p&, 0 = 4711");
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(Int("y%"), 4711);
  EXPECT_EQ(Int("LONG(ADDR(y%), 0)"), 4711);
  Exec("p& = ADDR(f!)");
  Exec("FLOAT p&, 0 = 2.25");
  EXPECT_EQ(Flt("f!"), 2.25);
  Exec("LONG p&, 6 = 1");  // beyond the variable's value
  EXPECT_EQ(Code(), 207);
  // Into a block through its address: inside works, across its end not.
  Exec("p& = a#");
  Exec("LONG p&, 4 = 9");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Int("LONG(a#, 4)"), 9);
  Exec("LONG p&, 6 = 9");
  EXPECT_EQ(Code(), 207);
  Eval("LONG(p&, 6)");
  EXPECT_EQ(Code(), 207);
  // Addresses that this process does not own are refused without a probe.
  Exec("p& = 16");
  Exec("BYTE p&, 0 = 1");
  EXPECT_EQ(Code(), 207);
  Eval("BYTE(16, 0)");
  EXPECT_EQ(Code(), 207);
  Eval("STRING$(0, 0)");
  EXPECT_EQ(Code(), 207);
  // A probe decides for foreign memory.
  static unsigned char foreign[4] = {1, 2, 3, 4};
  SetMemoryProbes([](const void* p, size_t n) { return p == foreign && n <= 4; },
                  [](const void*, size_t) { return false; });
  Exec("p& = " + std::to_string(AddressToInt(foreign)));
  EXPECT_EQ(Int("WORD(p&, 0)"), 0x0201);
  Exec("BYTE p&, 0 = 9");
  EXPECT_EQ(Code(), 207);
  EXPECT_EQ(foreign[0], 1);
  SetMemoryProbes(nullptr, nullptr);
}

TEST_F(AreasTest, StaleAddressesOfFreedBlocksAreRefused) {
  // The platform probe of a real process calls heap memory writable, freed
  // or not: the freed blocks are refused before it is asked.
  SetMemoryProbes([](const void*, size_t) { return true; }, [](const void*, size_t) { return true; });
  Exec("DECLARE a#, b#, p&, q&");
  Exec("DIM a#, 16");
  Exec("DIM b#, 8");
  Exec("p& = a#");
  Exec("q& = b#");
  Exec("DISPOSE a#");
  Exec("LONG p&, 4 = 1");
  EXPECT_EQ(Code(), 207);
  Eval("LONG(p&, 4)");
  EXPECT_EQ(Code(), 207);
  Exec("DIM b#, 100000");  // moves: the old place is gone as well
  Exec("LONG q&, 0 = 1");
  EXPECT_EQ(Code(), 207);
  Exec("q& = b#");
  Exec("LONG q&, 0 = 1");
  EXPECT_TRUE(NoReport());
  SetMemoryProbes(nullptr, nullptr);
}

TEST_F(AreasTest, StringsOfVariablesAreReadableThroughTheirAddress) {
  Exec("DECLARE s$, p&");
  Exec("s$ = \"hello\"");
  Exec("p& = ADDR(s$)");
  EXPECT_EQ(Str("STRING$(p&, 1)"), "ello");
  EXPECT_EQ(Str("CHAR$(p&, 0, 5)"), "hello");
  Eval("CHAR$(p&, 0, 7)");
  EXPECT_EQ(Code(), 207);
}

TEST_F(AreasTest, DisposeFreesOnlyWhatTheAreaOwns) {
  Exec("DECLARE a#, b#");
  Exec("DIM a#, 16");
  Exec("LONG a#, 0 = 5");
  // An alias as PARAMETERS makes it: the address, no block of its own.
  TVarPtr& alias = gStores.ptrs[Declare("alias#")];
  alias.Address = Area("A#").Address;
  alias.Size = 16;
  alias.AreaKind = 'b';
  alias.StructIndex = -1;
  Exec("DISPOSE alias#");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(alias.Address, nullptr);
  EXPECT_EQ(LiveBlockCount(), 1);
  EXPECT_EQ(Int("LONG(a#, 0)"), 5);  // the owner still has its block
  // Disposing the owner leaves no alias pointing into the freed block.
  alias.Address = static_cast<char*>(Area("A#").Address) + 4;
  alias.Size = 12;
  Exec("DISPOSE a#");
  EXPECT_EQ(LiveBlockCount(), 0);
  EXPECT_EQ(Area("A#").Address, nullptr);
  EXPECT_EQ(Area("A#").AreaKind, 'b');  // kind and structure stay
  EXPECT_EQ(alias.Address, nullptr);
  Eval("LONG(alias#, 0)");
  EXPECT_EQ(Code(), 243);
  Exec("DISPOSE a#");  // a second time does nothing
  EXPECT_TRUE(NoReport());
  Eval("a#");
  EXPECT_EQ(Code(), 243);
  EXPECT_EQ(Int("SIZEOF(a#)"), 0);
  EXPECT_TRUE(NoReport());
  Exec("DISPOSE q#");
  EXPECT_EQ(Code(), 215);
  Exec("DISPOSE b%");
  EXPECT_EQ(Code(), 121);
}

TEST_F(AreasTest, ResizingMovesAliasesAlong) {
  Exec("DECLARE a#");
  Exec("DIM a#, 8");
  Exec("LONG a#, 4 = 42");
  TVarPtr& alias = gStores.ptrs[Declare("alias#")];
  alias.Address = static_cast<char*>(Area("A#").Address) + 4;
  alias.Size = 4;
  alias.AreaKind = 'b';
  Exec("DIM a#, 100000");  // a block this big moves
  ASSERT_TRUE(NoReport());
  EXPECT_EQ(alias.Address, static_cast<char*>(Area("A#").Address) + 4);
  EXPECT_EQ(Int("LONG(alias#, 0)"), 42);
  Exec("DIM a#, 6");  // the alias now reaches beyond the end: cut
  EXPECT_EQ(alias.Size, 2);
  Eval("LONG(alias#, 0)");
  EXPECT_EQ(Code(), 207);
  // DIM of an alias gives it a block of its own with a copy of the bytes.
  Exec("DIM alias#, 4");
  EXPECT_TRUE(NoReport());
  EXPECT_NE(alias.Base, nullptr);
  EXPECT_EQ(Int("WORD(alias#, 0)"), 42);
  EXPECT_EQ(LiveBlockCount(), 2);
}

TEST_F(AreasTest, DisposeOfArraysAndTheLastValue) {
  Exec("DECLARE e#[2], a#, x&");
  Exec("DIM e#[], 4");
  EXPECT_EQ(LiveBlockCount(), 3);
  Exec("DIM e#[ ], 8");  // resizes instead of leaking
  EXPECT_EQ(LiveBlockCount(), 3);
  EXPECT_EQ(Int("SIZEOF(e#[2])"), 8);
  Exec("DISPOSE e# [ ]");
  EXPECT_EQ(LiveBlockCount(), 0);
  Exec("DISPOSE z#[]");
  EXPECT_EQ(Code(), 215);
  Exec("DIM a#, 4");
  Exec("x& = a#");  // the area value last evaluated
  Exec("DISPOSE *");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(LiveBlockCount(), 0);
  EXPECT_EQ(Area("A#").Address, nullptr);
  Exec("x& = 5");
  Exec("DISPOSE *");  // no area owns it: nothing is freed
  EXPECT_EQ(Code(), 215);
  EXPECT_EQ(gErr.Detail, "");
}

TEST_F(AreasTest, AreaAssignment) {
  Exec("DECLARE a#, b#, c#, y%");
  Exec("DIM a#, 8");
  Exec("DIM b#, 4");
  Exec("DIM c#, 16");
  Exec("LONG b#, 0 = 123");
  Exec("a# = b#");  // copies the value's bytes
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Int("LONG(a#, 0)"), 123);
  Exec("b# = c#");
  EXPECT_EQ(Code(), 276);
  // A plain number only moves Address: a window onto other memory.
  Exec("a# = ADDR(y%)");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Area("A#").Address, &gStores.ints[Find("Y%")].Value);
  Exec("LONG a#, 0 = 99");
  EXPECT_EQ(Int("y%"), 99);
  Exec("LONG a#, 4 = 1");  // the variable ends there
  EXPECT_EQ(Code(), 207);
  Exec("DIM a#, 12");  // resizing acts on the own block and looks at it again
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Area("A#").Address, Area("A#").Base);
  EXPECT_EQ(Int("LONG(a#, 0)"), 123);
  Exec("q# = b#");
  EXPECT_EQ(Code(), 215);
}

TEST_F(AreasTest, MemPos) {
  Exec("DECLARE a#, s$");
  Exec("DIM a#, 16");
  Exec("STRING a#, 0 = \"hello world\"");
  EXPECT_EQ(Int("MEMPOS(a#, 0, \"wor\")"), 6);
  EXPECT_EQ(Int("MEMPOS(a#, 3, \"wor\")"), 3);
  EXPECT_EQ(Int("MEMPOS(a#, 7, \"wor\")"), -1);
  EXPECT_EQ(Int("MEMPOS(a#, 16, \"\")"), 0);
  EXPECT_TRUE(NoReport());
  Eval("MEMPOS(s$, 0, \"x\")");
  EXPECT_EQ(Code(), 121);
  Eval("MEMPOS(a#)");
  EXPECT_EQ(Code(), 212);
  Eval("MEMPOS(q#, 0, \"x\")");
  EXPECT_EQ(Code(), 215);
}

TEST_F(AreasTest, ClearZeroesAreasAndResetsVariables) {
  Exec("DECLARE a#, u#, n%, s$, f!");
  Exec("DIM a#, 4");
  Exec("LONG a#, 0 = -1");
  Exec("n% = 3");
  Exec("s$ = \"x\"");
  Exec("f! = 1.5");
  Exec("CLEAR a#, n%, s$, f!");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Int("LONG(a#, 0)"), 0);
  EXPECT_EQ(Int("n%"), 0);
  EXPECT_EQ(Str("s$"), "");
  EXPECT_EQ(Flt("f!"), 0.0);
  Exec("CLEAR u#");
  EXPECT_EQ(Code(), 243);
  Exec("CLEAR q%");
  EXPECT_EQ(Code(), 215);
}

TEST_F(AreasTest, SizeOfAndAddr) {
  Exec("DECLARE a#, u#, s$, f!, n%, e#[1]");
  Exec("DIM a#, 5");
  Exec("s$ = \"four\"");
  EXPECT_EQ(Int("SIZEOF(a#)"), 5);
  EXPECT_EQ(Int("SIZEOF(u#)"), 0);  // no block: 0 without a report
  EXPECT_EQ(Int("SIZEOF(e#[1])"), 0);
  EXPECT_EQ(Int("SIZEOF(s$)"), 4);
  EXPECT_EQ(Int("SIZEOF(f!)"), 8);
  EXPECT_EQ(Int("SIZEOF(n%)"), 4);
  EXPECT_EQ(Int("SIZEOF(\"abc\" + s$)"), 7);
  EXPECT_EQ(Int("SIZEOF(q%)"), -1);
  EXPECT_EQ(Int("SIZEOF(q#)"), -1);
  EXPECT_TRUE(NoReport());
  TEvalResult r = Eval("SIZEOF(e#[5])");
  EXPECT_EQ(Code(), 233);
  EXPECT_EQ(gErr.Detail, "E#[5]");
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(Int("ADDR(n%)"), AddressToInt(&gStores.ints[Find("N%")].Value));
  EXPECT_EQ(Int("ADDR(a#)"), AddressToInt(Area("A#").Address));
  EXPECT_EQ(Eval("ADDR(n%)").ResultKind, kind::kLong);
  Eval("ADDR(q%)");
  EXPECT_EQ(Code(), 215);
  EXPECT_TRUE(WasError());
  Eval("ADDR(a#.x%)");
  EXPECT_EQ(Code(), 200);
}

TEST_F(AreasTest, ReadText) {
  {
    std::ofstream f("korv_readtext.txt", std::ios::binary);
    f << "one\r\ntwo\nthree";
  }
  Exec("DECLARE a#, b#, u#, s$");
  Exec("DIM a#, 64");
  Exec("READTEXT a#, \"korv_readtext.txt\"");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Str("STRING$(a#, 0)"), "one\r\ntwo\r\nthree\r\n");
  // 12 bytes: "one\r\n" (5) fits below 9, "two\r\n" would reach 10.
  Exec("DIM b#, 12");
  Exec("READTEXT b#, \"korv_readtext.txt\"");
  EXPECT_EQ(Code(), 244);
  EXPECT_TRUE(WasWarning());
  EXPECT_EQ(Str("STRING$(b#, 0)"), "one\r\n");
  Exec("READTEXT a#, \"korv_no_such_file.txt\"");
  EXPECT_EQ(Code(), 300);
  EXPECT_EQ(gErr.Detail, "korv_no_such_file.txt");
  Exec("READTEXT u#, \"korv_readtext.txt\"");
  EXPECT_EQ(Code(), 243);
  Exec("READTEXT s$, \"korv_readtext.txt\"");
  EXPECT_EQ(Code(), 121);
  std::remove("korv_readtext.txt");
}

}  // namespace
}  // namespace korv::testing
