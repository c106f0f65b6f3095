// FORMAT$, date functions, program parameters, MESSAGEBOX, DEF constants,
// SET/GET and the fixed system variables.
#include <cstring>
#include <string>

#include "base/code_tables.h"
#include "base/names.h"
#include "apps/interpreter/interpreter.h"
#include "graphics/text_screen.h"
#include "values/string_list.h"
#include "gui/window.h"
#include "values/areas.h"
#include "functions_test_support.h"

namespace korv::testing {
namespace {

using FormatTest = BuiltinTest;

std::string Format(const std::string& picture, double x) { return FormatPicture(picture, x); }

// The separators: the picture's "." is the decimal point and its "," turns
// on grouping; the output uses the same characters, "." between the whole
// part and the fraction and "," between groups of three digits.
TEST_F(FormatTest, SeparatorsArePointAndComma) {
  EXPECT_EQ(Format("#,##0.00", 1234567.891), "1,234,567.89");
  EXPECT_EQ(Format("#,##0.00", -1234.5), "-1,234.50");
  EXPECT_EQ(Format("#,##0", 999), "999");
  EXPECT_EQ(Format("#,##0", 1000), "1,000");
  EXPECT_EQ(Format("0.000", 0.5), "0.500");
  EXPECT_EQ(Str("FORMAT$(\"#,##0.0\", 12345.67)"), "12,345.7");
}

TEST_F(FormatTest, DigitPlaces) {
  EXPECT_EQ(Format("0.00", 3.14159), "3.14");
  EXPECT_EQ(Format("000", 7), "007");
  EXPECT_EQ(Format("#.##", 0.5), ".5");
  EXPECT_EQ(Format("0.##", 2), "2");
  EXPECT_EQ(Format("0.0#", 2.5), "2.5");
  EXPECT_EQ(Format("0.0#", 2.567), "2.57");
  EXPECT_EQ(Format("0", 1234.7), "1235");  // more digits than places: all shown
  EXPECT_EQ(Format("00-00", 1234), "12-34");
  EXPECT_EQ(Format("0.0", 9.96), "10.0");   // rounding carries into the whole part
  EXPECT_EQ(Format("0", -0.4), "0");        // rounds to zero: no sign
  EXPECT_EQ(Format("", 2.5), "2.5");
}

TEST_F(FormatTest, HalvesRoundAwayFromZero) {
  EXPECT_EQ(Format("#,##0", 16072.5), "16,073");  // a tie: not to the even neighbour
  EXPECT_EQ(Format("#,##0", 7867.5), "7,868");
  EXPECT_EQ(Format("0", -2.5), "-3");
  EXPECT_EQ(Format("0.0", 0.25), "0.3");
  EXPECT_EQ(Format("0.00", 1.005), "1.00");  // 1.00499... in binary: below the half
  EXPECT_EQ(Format("0.0", 99.95), "100.0");  // 99.9500000000000028...: carries through
  EXPECT_EQ(Format("0", 0.49999999999999994), "0");
}

TEST_F(FormatTest, SectionsAndQuotedText) {
  const std::string pic = "0.00;(0.00);'null'";
  EXPECT_EQ(Format(pic, 5), "5.00");
  EXPECT_EQ(Format(pic, -5), "(5.00)");
  EXPECT_EQ(Format(pic, 0), "null");
  EXPECT_EQ(Format("0.00;;'zero'", -1), "-1.00");  // empty negative section
  EXPECT_EQ(Format("\"Summe: \"0.0 EUR", 2.26), "Summe: 2.3 EUR");
  EXPECT_EQ(Str("FORMAT$(\"\\q#\\q0\", 5)"), "#5");  // quoted "#" is text
}

TEST_F(FormatTest, Scientific) {
  EXPECT_EQ(Format("0.00E+00", 12345), "1.23E+04");
  EXPECT_EQ(Format("0.00E+00", 0.00012345), "1.23E-04");
  EXPECT_EQ(Format("0.0E-0", 12000), "1.2E4");
  EXPECT_EQ(Format("0.0e-0", 0.00012), "1.2e-4");
  EXPECT_EQ(Format("0.0E+00", 9.96), "1.0E+01");
  EXPECT_EQ(Format("0.0E+00", -250), "-2.5E+02");
  EXPECT_EQ(Format("0.0E+00", 0), "0.0E+00");
  EXPECT_EQ(Format("00000.0E+0", 1.5e-300), "15000.0E-304");  // 10^-304 is no double
  EXPECT_EQ(Format("0.00E+000", 1e300), "1.00E+300");
}

TEST_F(FormatTest, PictureMustBeAString) {
  Eval("FORMAT$(5, 1.5)");
  EXPECT_EQ(Code(), 216);
}

// ---------------------------------------------------------------------------

using DateTest = BuiltinTest;

TEST_F(DateTest, DtocAndCtodWithTheDefaultFormat) {
  EXPECT_EQ(Str("DTOC$(\"20261207\")"), "07.12.2026");
  TEvalResult r = Eval("CTOD$(\"07.12.2026\")");
  EXPECT_EQ(r.StrValue, "20261207");
  EXPECT_EQ(r.IntValue, 20261207);
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(Str("CTOD$(DTOC$(\"20240229\"))"), "20240229");
  EXPECT_EQ(Str("DATE$(4)"), ".dMy");
  EXPECT_TRUE(NoReport());
}

TEST_F(DateTest, InvalidDatesAndTwoDigitYears) {
  EXPECT_EQ(Str("DTOC$(\"20260230\")"), "");
  EXPECT_EQ(Str("DTOC$(\"20231301\")"), "");
  EXPECT_EQ(Str("DTOC$(\"2026ab07\")"), "");
  EXPECT_EQ(Str("DTOC$(\"00991231\")"), "31.12.1999");
  EXPECT_EQ(Str("CTOD$(\"31.12.0099\")"), "19991231");
  EXPECT_EQ(Str("CTOD$(\"29.02.2023\")"), "");
  EXPECT_EQ(Str("CTOD$(\"29.02.2000\")"), "20000229");
  EXPECT_EQ(Str("CTOD$(\"07/12/2026\")"), "");  // not the system's separator
  EXPECT_TRUE(NoReport());
}

TEST_F(DateTest, WrongLengthsAreWarnings) {
  TEvalResult r = Eval("DTOC$(\"2026127\")");
  EXPECT_EQ(Code(), 202);
  EXPECT_TRUE(WasWarning());
  EXPECT_EQ(r.StrValue, "");
  r = Eval("CTOD$(\"7.12.2026\")");
  EXPECT_EQ(Code(), 203);
  EXPECT_TRUE(WasWarning());
  EXPECT_EQ(r.StrValue, "");
}

TEST_F(DateTest, FollowsTheSystemFormat) {
  host_.profile["WIN.INI|INTL|sShortDate"] = "M/d/yyyy";
  host_.profile["WIN.INI|INTL|sDate"] = "/";
  EXPECT_EQ(Str("DATE$(4)"), "/Mdy");
  EXPECT_EQ(Str("DTOC$(\"20261207\")"), "12/07/2026");
  EXPECT_EQ(Str("CTOD$(\"12/07/2026\")"), "20261207");
  host_.profile["WIN.INI|INTL|sShortDate"] = "yyyy-MM-dd";
  host_.profile["WIN.INI|INTL|sDate"] = "-";
  EXPECT_EQ(Str("DATE$(4)"), "-yMd");
  EXPECT_EQ(Str("DTOC$(\"20260301\")"), "2026-03-01");
  EXPECT_EQ(Str("CTOD$(\"2026-03-01\")"), "20260301");
}

TEST_F(DateTest, TodayInEachForm) {
  LocalTime t = host_.Now();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.year, t.month, t.day);
  std::string today = buf;
  std::string d3 = Str("DATE$(3)");
  if (d3 != today) {  // the day changed between the two readings
    t = host_.Now();
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.year, t.month, t.day);
    today = buf;
  }
  EXPECT_EQ(d3, today);
  EXPECT_EQ(Str("CTOD$(DATE$(0))"), today);
  EXPECT_EQ(Str("DATE$(5)"), Str("DATE$(0)"));
  EXPECT_EQ(Str("DATE$(19)"), Str("DATE$(3)"));  // only the low four bits count
  std::string d1 = Str("DATE$(1)");
  EXPECT_NE(d1.find(std::to_string(t.year)), std::string::npos);
  EXPECT_EQ(d1.substr(0, d1.find('.')), std::to_string(t.day));
  std::string d2 = Str("DATE$(2)");
  EXPECT_NE(d2.find(", der " + d1), std::string::npos) << d2;
  std::string time = Str("TIME$(0)");
  ASSERT_EQ(time.size(), 5u);
  EXPECT_EQ(time[2], ':');
  std::string sec = Str("TIME$(1)");
  ASSERT_GE(sec.size(), 5u);
  EXPECT_EQ(sec[2], '.');
}

// ---------------------------------------------------------------------------

class ProgramFunctionTest : public BuiltinTest {
 protected:
  void TearDown() override {
    gProgramArgs.clear();
    BuiltinTest::TearDown();
  }
};

TEST_F(ProgramFunctionTest, ParametersOfTheProgram) {
  SetProgram({"END"}, "main.krv");
  gBuiltins.StartDirectory = "C:\\work";
  gProgramArgs = {"main.krv", "eins", "zwei drei"};
  TEvalResult r = Eval("%PARCOUNT");
  EXPECT_EQ(r.IntValue, 2);
  EXPECT_EQ(r.ResultKind, kind::kInt);
  EXPECT_EQ(Str("PAR$(1)"), "eins");
  EXPECT_EQ(Str("PAR$(2)"), "zwei drei");
  EXPECT_EQ(Str("PAR$(0)"), "C:\\work\\main.krv");
  EXPECT_EQ(Str("$PROGDIR"), "C:\\work\\");
  EXPECT_TRUE(NoReport());
  r = Eval("PAR$(3)");
  EXPECT_EQ(Code(), 208);
  EXPECT_EQ(r.StrValue, "");
  Eval("PAR$(-1)");
  EXPECT_EQ(Code(), 208);
  gProgramArgs.clear();
  EXPECT_EQ(Int("%PARCOUNT"), 0);
}

TEST_F(ProgramFunctionTest, ProgramPathIsNormalised) {
  SetProgram({"END"}, "..\\other\\.\\prog.krv");
  gBuiltins.StartDirectory = "C:\\work\\sub";
  EXPECT_EQ(Str("$PROGDIR"), "C:\\work\\other\\");
  SetProgram({"END"}, "D:\\x\\y.krv");
  EXPECT_EQ(Str("PAR$(0)"), "D:\\x\\y.krv");
  SetProgram({"END"}, "b/../c.krv");
  gBuiltins.StartDirectory = "/tmp/a";
  EXPECT_EQ(Str("$PROGDIR"), "/tmp/a/");
  EXPECT_EQ(Str("PAR$(0)"), "/tmp/a/c.krv");
}

TEST_F(ProgramFunctionTest, ParameterTypes) {
  ps_.Count = 4;
  ps_.ValueKind[1] = kind::kString;
  ps_.ValueKind[2] = kind::kLong;
  ps_.ValueKind[3] = kind::kFloat;
  ps_.AreaKind[4] = 'b';
  EXPECT_EQ(Str("PTYPE$(1)"), "$");
  EXPECT_EQ(Str("PTYPE$(2)"), "&");
  EXPECT_EQ(Str("PTYPE$(3)"), "!");
  EXPECT_EQ(Str("PTYPE$(4)"), "b");
  EXPECT_TRUE(NoReport());
  Eval("PTYPE$(5)");
  EXPECT_EQ(Code(), 285);
  Eval("PTYPE$(0)");
  EXPECT_EQ(Code(), 285);
  Eval("PTYPE$(-3)");
  EXPECT_EQ(Code(), 285);
}

TEST_F(ProgramFunctionTest, MessageBoxAnswersIntoButton) {
  EXPECT_EQ(Int("%BUTTON"), 0);
  TEvalResult r = Eval("MESSAGEBOX(\"Weiter?\", \"Frage\", 4)");
  EXPECT_EQ(r.IntValue, 6);  // yes, the default button of a yes/no box
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].caption, "Frage");
  EXPECT_EQ(host_.boxes[0].text, "Weiter?");
  EXPECT_EQ(host_.boxes[0].style, 4u);
  EXPECT_EQ(Int("%BUTTON"), 6);
  host_.nextAnswer = 7;
  EXPECT_EQ(Int("MESSAGEBOX(\"x\", \"y\", 4)"), 7);
  EXPECT_EQ(Int("%BUTTON"), 7);
  // An argument that fails shows no box.
  Eval("MESSAGEBOX(\"x\", \"y\", 1 / 0)");
  EXPECT_EQ(Code(), 201);
  EXPECT_EQ(host_.boxes.size(), 2u);
}

TEST_F(ProgramFunctionTest, FixedSystemVariables) {
  TEvalResult r = Eval("%PROGEND");
  EXPECT_EQ(r.IntValue, -1);
  r = Eval("$TELMVER");
  EXPECT_EQ(r.StrValue, "1.0");
  EXPECT_EQ(r.ResultKind, kind::kString);
  r = Eval("&GETTICKCOUNT");
  EXPECT_EQ(r.ResultKind, kind::kLong);
  EXPECT_EQ(std::string(SysVarName(211)), "%PROGEND");
  EXPECT_EQ(FindSysVar("%PARCOUNT")->code, 176);
  EXPECT_TRUE(NoReport());
}

// ---------------------------------------------------------------------------

using DefConstantTest = BuiltinTest;

TEST_F(DefConstantTest, EachKind) {
  SetProgram({"DEF %LIMIT 100", "DEF $NAME \"Hallo  Welt !\"", "DEF !RATE 2.75", "DEF &BIG -70000",
              "def %LIMIT 5", "DEF $ESC \"a\\tb\"", "DEF %BAD abc", "DEF $BARE text here",
              "DEF %NEG -12"});
  TEvalResult r = Eval("%LIMIT");
  EXPECT_EQ(r.IntValue, 100);
  EXPECT_EQ(r.FloatValue, 100.0);
  EXPECT_EQ(r.ResultKind, kind::kInt);
  EXPECT_EQ(Int("%limit + 1"), 101);  // the first DEF of a name wins
  r = Eval("$NAME");
  EXPECT_EQ(r.StrValue, "Hallo  Welt !");
  EXPECT_EQ(r.ResultKind, kind::kString);
  r = Eval("!RATE");
  EXPECT_DOUBLE_EQ(r.FloatValue, 2.75);
  EXPECT_EQ(r.IntValue, 2);
  EXPECT_EQ(r.ResultKind, kind::kFloat);
  r = Eval("&BIG");
  EXPECT_EQ(r.IntValue, -70000);
  EXPECT_EQ(r.ResultKind, kind::kLong);
  EXPECT_EQ(Str("$ESC"), "a\tb");
  EXPECT_EQ(Int("%BAD"), 0);
  EXPECT_EQ(Str("$BARE"), "text here");
  EXPECT_EQ(Int("%NEG"), -12);
  EXPECT_TRUE(NoReport());
  Eval("%UNKNOWN");
  EXPECT_EQ(Code(), 100);
}

TEST_F(DefConstantTest, SeesAnotherProgramAfterLoading) {
  SetProgram({"DEF %X 1"});
  EXPECT_EQ(Int("%X"), 1);
  SetProgram({"DEF %X 2"});
  ++gProgram.generation;
  EXPECT_EQ(Int("%X"), 2);
}

// ---------------------------------------------------------------------------

using SetGetTest = BuiltinTest;

TEST_F(SetGetTest, OldValueAndClamping) {
  TEvalResult r = Eval("SET(\"DECIMALS\", 50)");
  EXPECT_EQ(r.IntValue, 6);
  EXPECT_EQ(r.ResultKind, kind::kInt);
  EXPECT_EQ(Int("GET(\"DECIMALS\")"), 35);
  EXPECT_EQ(Int("SET(\"decimals\", -3)"), 35);
  EXPECT_EQ(Int("GET(\"DECIMALS\")"), 0);
  EXPECT_EQ(Int("SET(\"NUMWIDTH\", -5)"), 0);
  EXPECT_EQ(Int("GET(\"NUMWIDTH\")"), 0);
  EXPECT_EQ(Int("SET(\"NUMWIDTH\", 100000)"), 0);
  EXPECT_EQ(gSettings.NumWidth, 32767);
  gSettings.NumWidth = 0;
  EXPECT_EQ(Int("GET(\"CHARSET\")"), -1);
  EXPECT_EQ(Int("SET(\"CHARSET\", 1)"), -1);
  EXPECT_EQ(Int("GET(\"CHARSET\")"), 1);
  EXPECT_EQ(Int("SET(\"FILEMODE\", 258)"), 2);
  EXPECT_EQ(Int("GET(\"FILEMODE\")"), 2);
  EXPECT_EQ(Int("SET(\"ONERROR\", 7)"), 0);
  EXPECT_EQ(Int("GET(\"ONERROR\")"), 1);
  r = Eval("SET(\"LISTDEL\", \";\")");
  EXPECT_EQ(r.StrValue, "|");
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_TRUE(NoReport());
}

TEST_F(SetGetTest, WrongKindsChangeNothing) {
  Eval("SET(\"LOGFILE\", 5)");
  EXPECT_EQ(Code(), 216);
  EXPECT_EQ(gErr.LogFileName, "");
  Eval("SET(5, 1)");
  EXPECT_EQ(Code(), 216);
  Eval("GET(1)");
  EXPECT_EQ(Code(), 216);
  Eval("SET(\"DECIMALS\", 1 / 0)");
  EXPECT_EQ(Code(), 201);
  EXPECT_EQ(gSettings.Decimals, 6);
  TEvalResult r = Eval("SET(\"MYOPTION\", 3)");
  EXPECT_EQ(Code(), 262);
  EXPECT_EQ(gErr.Detail, "MYOPTION");
  EXPECT_EQ(r.IntValue, 0);
}

}  // namespace
}  // namespace korv::testing

// ---------------------------------------------------------------------------

namespace korv::testing {
namespace {

class InputFunctionTest : public BuiltinTest {
 protected:
  void TearDown() override {
    ResetWindowState();
    ResetTextScreen();
    BuiltinTest::TearDown();
  }
};

TEST_F(InputFunctionTest, GetKeyTakesTheKeyAndKeyinTestsIt) {
  EXPECT_EQ(Int("KEYIN(\"abc\")"), 0);  // no key returned yet
  QueueKey('x');
  QueueKey('y');
  TEvalResult r = Eval("GETKEY$()");
  EXPECT_EQ(r.StrValue, "y");  // the last key recorded
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(gScreen.keyCount, 0);  // the queue is emptied
  EXPECT_EQ(Int("KEYIN(\"xyz\")"), 1);
  EXPECT_EQ(Int("KEYIN(\"abc\")"), 0);
  // Without a window no key can come: no waiting, an empty result.
  EXPECT_EQ(Str("GETKEY$()"), "");
  EXPECT_EQ(Int("KEYIN(\"xyz\")"), 1);  // still the last key returned
  EXPECT_TRUE(NoReport());
}

TEST_F(InputFunctionTest, ScanKeyMenuItemMouse) {
  gEvents.scanKey = 30;
  EXPECT_EQ(Int("SCANKEY(30)"), 1);
  EXPECT_EQ(Int("SCANKEY(31)"), 0);
  SetMenuItemValue(-1005);
  EXPECT_EQ(Int("MENUITEM(-1005)"), 1);
  EXPECT_EQ(Int("MENUITEM(1005)"), 0);
  gEvents.mouseX = 10;
  gEvents.mouseY = 20;
  EXPECT_EQ(Int("MOUSE(0, 0 - 10, 20)"), 1);   // bounds included
  EXPECT_EQ(Int("MOUSE(10, 20 - 10, 20)"), 1);
  EXPECT_EQ(Int("MOUSE(11, 0 - 20, 30)"), 0);
  EXPECT_EQ(Int("MOUSE(0, 21 - 20, 30)"), 0);
  EXPECT_TRUE(NoReport());
}

class ListFunctionTest : public BuiltinTest {
 protected:
  void SetUp() override {
    BuiltinTest::SetUp();
    ClearStringList();
  }
  void TearDown() override {
    ClearStringList();
    BuiltinTest::TearDown();
  }
};

TEST_F(ListFunctionTest, StringAndListBothWays) {
  EXPECT_EQ(Int("MOVESTRTOLIST(\"a,b,,c\", \",\")"), 4);
  ASSERT_EQ(StringList().size(), 4u);
  EXPECT_EQ(StringList()[2], "");
  EXPECT_EQ(Str("MOVELISTTOSTR$(\";\")"), "a;b;;c;");
  EXPECT_EQ(Int("MOVESTRTOLIST(\"x,y\", \"\")"), 1);  // empty separator: one piece
  EXPECT_EQ(StringList().back(), "x,y");
  EXPECT_EQ(Int("MOVESTRTOLIST(\"\", \",\")"), 1);
  EXPECT_EQ(Str("MOVELISTTOSTR$(\"\")"), "abcx,y");
  EXPECT_TRUE(NoReport());
}

TEST_F(ListFunctionTest, ListToMemoryThroughAnAddress) {
  Eval("MOVESTRTOLIST(\"eins|zwei\", \"|\")");
  char* buffer = static_cast<char*>(AllocateBlock(32));  // a block the program owns
  ASSERT_NE(buffer, nullptr);
  std::memset(buffer, 'X', 32);
  gStores.lngs[Declare("P&")].Value = static_cast<int32_t>(reinterpret_cast<uintptr_t>(buffer));
  EXPECT_EQ(Int("MOVELISTTOMEM(p&, \",\")"), 10);
  EXPECT_EQ(std::string(buffer, 11), std::string("eins,zwei,\0", 11));
  EXPECT_TRUE(NoReport());
  // An address outside the program's memory is refused, not written.
  gStores.lngs[Find("P&")].Value = static_cast<int32_t>(reinterpret_cast<uintptr_t>(buffer + 30));
  Eval("MOVELISTTOMEM(p&, \",\")");
  EXPECT_EQ(Code(), 207);
  EXPECT_EQ(buffer[30], 'X');
  FreeBlock(buffer);
  Declare("N%");
  Eval("MOVELISTTOMEM(n%, \",\")");
  EXPECT_EQ(Code(), 121);
  Eval("MOVELISTTOMEM(q&, \",\")");
  EXPECT_EQ(Code(), 215);
}

}  // namespace
}  // namespace korv::testing
