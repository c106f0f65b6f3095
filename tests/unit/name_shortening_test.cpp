// Name shortening (-V): generated names, the replacement rules and their
// exceptions, and the errors of the collection.
#include "core/name_shortening.h"

#include <gtest/gtest.h>

#include "core/line_store.h"
#include "base/console_host.h"
#include "base/errors.h"

namespace korv {
namespace {

class ShorteningTest : public ::testing::Test {
 protected:
  ConsoleHost host_;

  void SetUp() override {
    SetHost(&host_);
    ResetErrorState();
    gErr.Level = -1;
  }
  void TearDown() override {
    ResetErrorState();
    gProgram.Clear();
  }

  // Shortens the lines; returns them afterwards.
  std::vector<std::string> Shorten(const std::vector<std::string>& lines) {
    gProgram.Clear();
    gProgram.files.push_back("t.krv");
    for (size_t i = 0; i < lines.size(); ++i) {
      gProgram.lines.push_back(lines[i]);
      Tdebuginfo d;
      d.Line = static_cast<int32_t>(i + 1);
      gProgram.debug.push_back(d);
    }
    ok_ = ShortenNames(&table_);
    return std::vector<std::string>(gProgram.lines.begin() + 1, gProgram.lines.end());
  }

  bool ok_ = false;
  std::vector<RenameEntry> table_;
};

TEST(ShortNameTest, CountsLikeColumnLetters) {
  EXPECT_EQ(NextShortName("@"), "A");
  EXPECT_EQ(NextShortName("A"), "B");
  EXPECT_EQ(NextShortName("Z"), "AA");
  EXPECT_EQ(NextShortName("AZ"), "BA");
  EXPECT_EQ(NextShortName("ZZ"), "AAA");
  std::string n = "@";
  for (int i = 0; i < 27; ++i) n = NextShortName(n);
  EXPECT_EQ(n, "AA");  // the 27th name
  for (int i = 27; i < 53; ++i) n = NextShortName(n);
  EXPECT_EQ(n, "BA");  // the 53rd
}

TEST_F(ShorteningTest, DeclaredNamesGetShortNamesPerSuffix) {
  auto out = Shorten({"DECLARE count%, name$", "count% = count% + 1", "PRINT name$", "VAR total! = 0",
                      "PRINT \"count% is\", mycount%"});
  ASSERT_TRUE(ok_);
  EXPECT_EQ(out[0], "DECLARE A%, A$");
  EXPECT_EQ(out[1], "A% = A% + 1");
  EXPECT_EQ(out[2], "PRINT A$");
  EXPECT_EQ(out[3], "VAR C! = 0");  // the value stays; A! and B! are sprite members
  // Literals and longer names that end in a declared name change as well.
  EXPECT_EQ(out[4], "PRINT \"A% is\", myA%");
}

TEST_F(ShorteningTest, TheTwentySeventhNameOfASuffixIsAA) {
  std::string decl = "DECLARE ";
  for (int i = 0; i < 27; ++i) decl += (i ? ", v" : "v") + std::to_string(100 + i) + "%";
  auto out = Shorten({decl, "v126% = 1"});
  ASSERT_TRUE(ok_);
  EXPECT_EQ(out[1], "AA% = 1");
}

TEST_F(ShorteningTest, ProtectedNamesCallsAndArrays) {
  auto out = Shorten({"DECLARE dim%, list$, chr$, arr%[10], s$", "s$ = chr$(65) + list$",
                      "arr%[1] = dim%", "x = s$ (1)"});
  ASSERT_TRUE(ok_);
  EXPECT_EQ(out[0], "DECLARE dim%, list$, chr$, A%[10], A$");
  EXPECT_EQ(out[1], "A$ = chr$(65) + list$");
  EXPECT_EQ(out[2], "A%[1] = dim%");
  EXPECT_EQ(out[3], "x = S$ (1)");  // before "(" the name is written in upper case
}

TEST_F(ShorteningTest, StructuresKeepTheirLengthsAndOtherLinesTheirMarks) {
  auto out = Shorten({"STRUCT pt = px%, label$(20)", "PRINT q%;(r%)", "CLASS C = v!, m@"});
  ASSERT_TRUE(ok_);
  EXPECT_EQ(out[0], "STRUCT pt = A%, A$(20)");
  EXPECT_EQ(out[1], "PRINT q%;(r%)");  // not a structure line: ";(" stays
  EXPECT_EQ(out[2], "CLASS C = C!, m@");  // A! and B! are sprite members
}

TEST_F(ShorteningTest, GeneratedNamesAvoidNamesThatStay) {
  // x! and a! are members of the built-in sprite structure and are never
  // renamed; b! is used undeclared. The float counter skips A!, B!.
  auto out = Shorten({"DECLARE speed!, x!, a!", "s#.a! = speed! + b!", "DECLARE n%", "PRINT A%"});
  ASSERT_TRUE(ok_);
  EXPECT_EQ(out[0], "DECLARE C!, x!, a!");
  EXPECT_EQ(out[1], "s#.a! = C! + b!");
  EXPECT_EQ(out[2], "DECLARE B%");  // A% is used in the program
  EXPECT_TRUE(IsProtectedName("PATHDATA&"));
  EXPECT_TRUE(IsProtectedName("DIM!"));
  EXPECT_FALSE(IsProtectedName("DIM"));
}

TEST_F(ShorteningTest, LongerNamesAreReplacedFirst) {
  auto out = Shorten({"DECLARE b%, ab%", "ab% = b%"});
  ASSERT_TRUE(ok_);
  ASSERT_EQ(table_.size(), 2u);
  EXPECT_EQ(table_[0].source, "AB%");
  EXPECT_EQ(out[1], "B% = A%");
}

TEST_F(ShorteningTest, MalformedDeclarationsAreError122) {
  Shorten({"DECLARE a%", "DECLARE , b%"});
  EXPECT_FALSE(ok_);
  EXPECT_EQ(gErr.Code, 122);
  EXPECT_EQ(gErr.Line, 2);
  ResetErrorState();
  gErr.Level = -1;
  Shorten({"DECLARE a b%"});
  EXPECT_EQ(gErr.Code, 122);
  EXPECT_EQ(gErr.Detail, "A B%");
  ResetErrorState();
  gErr.Level = -1;
  Shorten({"PARAMETERS x%)"});
  EXPECT_EQ(gErr.Code, 122);
}

}  // namespace
}  // namespace korv
