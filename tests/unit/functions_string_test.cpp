#include <string>

#include "base/names.h"
#include "functions_test_support.h"

namespace korv::testing {
namespace {

using StringFunctionTest = BuiltinTest;

TEST_F(StringFunctionTest, RegisteredWithTheirCodes) {
  EXPECT_EQ(FindFunction("MID$")->code, 147);
  EXPECT_EQ(FindFunction("SUBSTR$")->code, 126);
  EXPECT_EQ(std::string(FunctionName(145)), "CHR$");
  EXPECT_EQ(std::string(FunctionName(189)), "VAL");
  EXPECT_EQ(std::string(FunctionName(118)), "PWD$");
}

TEST_F(StringFunctionTest, ChrTakesTheLowEightBits) {
  EXPECT_EQ(Str("CHR$(65)"), "A");
  EXPECT_EQ(Str("CHR$(321)"), "A");
  EXPECT_EQ(Str("CHR$(-191)"), "A");
  TEvalResult r = Eval("CHR$(0)");
  EXPECT_EQ(r.StrValue, std::string(1, '\0'));
  EXPECT_EQ(r.ResultKind, kind::kString);
}

TEST_F(StringFunctionTest, StringResultsKeepTheLastArgumentsIntegerForm) {
  TEvalResult r = Eval("MID$(\"123456\", 2, 3)");
  EXPECT_EQ(r.StrValue, "234");
  EXPECT_EQ(r.IntValue, 3);
  EXPECT_EQ(r.FloatValue, 3.0);
}

TEST_F(StringFunctionTest, MidLeftRightEdges) {
  EXPECT_EQ(Str("MID$(\"abcdef\", 2, 3)"), "bcd");
  EXPECT_EQ(Str("MID$(\"abcdef\", 5, 10)"), "ef");
  EXPECT_EQ(Str("MID$(\"abcdef\", 0, 2)"), "");
  EXPECT_EQ(Str("MID$(\"abcdef\", -3, 2)"), "");
  EXPECT_EQ(Str("MID$(\"abcdef\", 2, -1)"), "");
  EXPECT_EQ(Str("MID$(\"abcdef\", 7, 1)"), "");
  EXPECT_EQ(Str("MID$(\"\", 1, 1)"), "");
  EXPECT_EQ(Str("LEFT$(\"abc\", 5)"), "abc");
  EXPECT_EQ(Str("LEFT$(\"abc\", 2)"), "ab");
  EXPECT_EQ(Str("LEFT$(\"abc\", 0)"), "");
  EXPECT_EQ(Str("LEFT$(\"abc\", -2)"), "");
  EXPECT_EQ(Str("RIGHT$(\"abc\", 2)"), "bc");
  EXPECT_EQ(Str("RIGHT$(\"abc\", 3)"), "abc");
  EXPECT_EQ(Str("RIGHT$(\"abc\", 5)"), "");  // longer than the string: empty
  EXPECT_EQ(Str("RIGHT$(\"abc\", 0)"), "");
  EXPECT_EQ(Str("RIGHT$(\"abc\", -1)"), "");
  EXPECT_TRUE(NoReport());
}

TEST_F(StringFunctionTest, MissingArgumentGives212) {
  TEvalResult r = Eval("LEFT$(\"abc\")");
  EXPECT_EQ(Code(), 212);
  EXPECT_EQ(r.StrValue, "");
}

TEST_F(StringFunctionTest, Substr) {
  EXPECT_EQ(Str("SUBSTR$(\"a,b,c\", 2, \",\")"), "b");
  EXPECT_EQ(Str("SUBSTR$(\"a,b,c\", -1, \",\")"), "c");
  EXPECT_EQ(Str("SUBSTR$(\"a,b,c\", -3, \",\")"), "a");
  EXPECT_EQ(Str("SUBSTR$(\"a,b,c\", -4, \",\")"), "");
  EXPECT_EQ(Str("SUBSTR$(\"a,b,c\", 4, \",\")"), "");
  EXPECT_EQ(Str("SUBSTR$(\"a,,c\", 2, \",\")"), "");
  EXPECT_EQ(Str("SUBSTR$(\"one::two::three\", 3, \"::\")"), "three");
  // From the end only the separator's last character is searched.
  EXPECT_EQ(Str("SUBSTR$(\"x-a;b-c;d\", -1, \"-;\")"), "d");
  EXPECT_EQ(Str("SUBSTR$(\"x-a;b-c;d\", -2, \"-;\")"), "b-c");
  // An empty separator makes the whole string one item.
  EXPECT_EQ(Str("SUBSTR$(\"a,b\", 1, \"\")"), "a,b");
  EXPECT_EQ(Str("SUBSTR$(\"a,b\", -1, \"\")"), "a,b");
  EXPECT_EQ(Str("SUBSTR$(\"a,b\", 2, \"\")"), "");
  EXPECT_TRUE(NoReport());
  TEvalResult r = Eval("SUBSTR$(\"a,b,c\", 0, \",\")");
  EXPECT_EQ(Code(), 205);
  EXPECT_EQ(r.StrValue, "");
  EXPECT_EQ(r.ResultKind, kind::kString);
}

TEST_F(StringFunctionTest, DelByPosition) {
  EXPECT_EQ(Str("DEL$(\"abcdef\", 2, 3)"), "aef");
  EXPECT_EQ(Str("DEL$(\"abcdef\", 5, 99)"), "abcd");
  EXPECT_EQ(Str("DEL$(\"abcdef\", 7, 1)"), "abcdef");
  EXPECT_EQ(Str("DEL$(\"abcdef\", 2, -1)"), "abcdef");
  EXPECT_EQ(Str("DEL$(\"abcdef\", 1, 0)"), "abcdef");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(Str("DEL$(\"abc\", 0, 1)"), "");
  EXPECT_EQ(Code(), 204);
}

TEST_F(StringFunctionTest, DelByItems) {
  EXPECT_EQ(Str("DEL$(\"a,b,c,d\", 2, 2, \",\")"), "a,d");
  EXPECT_EQ(Str("DEL$(\"a,b,c,d\", 1, 1, \",\")"), "b,c,d");
  EXPECT_EQ(Str("DEL$(\"a,b,c,d\", 4, 5, \",\")"), "a,b,c");
  EXPECT_EQ(Str("DEL$(\"a,b,c,d\", 1, 4, \",\")"), "");
  EXPECT_EQ(Str("DEL$(\"a,b\", 3, 1, \",\")"), "a,b");
  EXPECT_EQ(Str("DEL$(\"a,b\", 1, -1, \",\")"), "a,b");
  EXPECT_EQ(Str("DEL$(\"a,b\", 1, 1, \"\")"), "");  // one item: the whole string
  EXPECT_TRUE(NoReport());
  Eval("DEL$(\"a,b\", 0, 1, \",\")");
  EXPECT_EQ(Code(), 205);
}

TEST_F(StringFunctionTest, InsByPositionAndByItems) {
  EXPECT_EQ(Str("INS$(\"XY\", \"abc\", 1)"), "XYabc");
  EXPECT_EQ(Str("INS$(\"XY\", \"abc\", 3)"), "abXYc");
  EXPECT_EQ(Str("INS$(\"XY\", \"abc\", 4)"), "abcXY");
  EXPECT_EQ(Str("INS$(\"XY\", \"abc\", 99)"), "abcXY");
  EXPECT_EQ(Str("INS$(\"x\", \"a,b,c\", 1, \",\")"), "x,a,b,c");
  EXPECT_EQ(Str("INS$(\"x\", \"a,b,c\", 2, \",\")"), "a,x,b,c");
  EXPECT_EQ(Str("INS$(\"x\", \"a,b,c\", 3, \",\")"), "a,b,x,c");
  EXPECT_EQ(Str("INS$(\"x\", \"a,b,c\", 4, \",\")"), "a,b,c,x");
  EXPECT_EQ(Str("INS$(\"x\", \"a;;b\", 2, \";;\")"), "a;;x;;b");
  EXPECT_EQ(Str("INS$(\"x\", \"ab\", 1, \"\")"), "xab");
  EXPECT_EQ(Str("INS$(\"x\", \"ab\", 2, \"\")"), "abx");
  EXPECT_TRUE(NoReport());
  Eval("INS$(\"x\", \"abc\", 0)");
  EXPECT_EQ(Code(), 204);
  Eval("INS$(\"x\", \"abc\", -1, \",\")");
  EXPECT_EQ(Code(), 205);
}

TEST_F(StringFunctionTest, TrimUpperLower) {
  EXPECT_EQ(Str("TRIM$(\"\\t  a b \\n\")"), "a b");
  EXPECT_EQ(Str("TRIM$(\"   \")"), "");
  EXPECT_EQ(Str("UPPER$(\"abc äöü ß\")"), "ABC ÄÖÜ ß");
  EXPECT_EQ(Str("LOWER$(\"ABC ÄÖÜ Š\")"), "abc äöü š");
  EXPECT_EQ(Str("LOWER$(\"×\")"), "×");  // the multiplication sign has no case
}

TEST_F(StringFunctionTest, StrFollowsKindAndSettings) {
  EXPECT_EQ(Str("STR$(42)"), "42");
  EXPECT_EQ(Str("STR$(2.5)"), "2.500000");
  EXPECT_EQ(Str("STR$(-7)"), "-7");
  EXPECT_EQ(Str("STR$(7 \\ 2)"), "3");  // kind 2: the integer
  gSettings.Decimals = 2;
  gSettings.NumWidth = 6;
  EXPECT_EQ(Str("STR$(2.5)"), "  2.50");
  EXPECT_EQ(Str("STR$(12)"), "    12");
}

// A function's number result joined to a text reads as IntToText and
// FloatToText make it under the settings of the moment.
TEST_F(StringFunctionTest, NumberResultsJoinedToTextFollowTheSettings) {
  EXPECT_EQ(Str("LEN(\"abc\") + \"!\""), "3!");
  EXPECT_EQ(Str("TAN(0) + \"!\""), "0.000000!");
  gSettings.Decimals = 2;
  gSettings.NumWidth = 5;
  EXPECT_EQ(Str("LEN(\"abc\") + \"!\""), "    3!");
  EXPECT_EQ(Str("TAN(0) + \"!\""), " 0.00!");
  EXPECT_EQ(Str("STR$(LEN(\"ab\"))"), "    2");
}

TEST_F(StringFunctionTest, RadixTexts) {
  EXPECT_EQ(Str("HEX$(255)"), "FF");
  EXPECT_EQ(Str("HEX$(-1)"), "FFFFFFFF");
  EXPECT_EQ(Str("HEX$(0)"), "0");
  EXPECT_EQ(Str("HEX$(-2147483648)"), "80000000");
  EXPECT_EQ(Str("OCT$(8)"), "10");
  EXPECT_EQ(Str("OCT$(-1)"), "37777777777");
  EXPECT_EQ(Str("BIN$(5)"), "101");
  EXPECT_EQ(Str("BIN$(0)"), "0");
  EXPECT_EQ(Str("BIN$(-1)"), std::string(32, '1'));
}

TEST_F(StringFunctionTest, MkstrAndSpace) {
  EXPECT_EQ(Str("MKSTR$(\"ab\", 3)"), "ababab");
  EXPECT_EQ(Str("MKSTR$(\"ab\", 0)"), "");
  EXPECT_EQ(Str("MKSTR$(\"ab\", -3)"), "");
  EXPECT_EQ(Str("MKSTR$(\"\", 1000)"), "");
  EXPECT_EQ(Str("SPACE$(3)"), "   ");
  EXPECT_EQ(Str("SPACE$(-3)"), "");
  EXPECT_TRUE(NoReport());
  // A result beyond any sensible size is refused, not allocated.
  TEvalResult r = Eval("MKSTR$(\"abcdefgh\", 2000000000)");
  EXPECT_EQ(Code(), 200);
  EXPECT_EQ(r.StrValue, "");
  Eval("SPACE$(2147483647)");
  EXPECT_EQ(Code(), 200);
}

TEST_F(StringFunctionTest, Translate) {
  EXPECT_EQ(Str("TRANSLATE$(\"a-b-c\", \"-\", \"+\")"), "a+b+c");
  EXPECT_EQ(Str("TRANSLATE$(\"aaa\", \"a\", \"aa\")"), "aaaaaa");  // no rescanning
  EXPECT_EQ(Str("TRANSLATE$(\"abcabc\", \"bc\", \"\")"), "aa");
  EXPECT_EQ(Str("TRANSLATE$(\"abc\", \"\", \"x\")"), "abc");  // empty search text
  EXPECT_TRUE(NoReport());
  Eval("TRANSLATE$(\"a1b\", 1, \"x\")");
  EXPECT_EQ(Code(), 216);
}

TEST_F(StringFunctionTest, LenInstrOrd) {
  EXPECT_EQ(Int("LEN(\"hello\")"), 5);
  EXPECT_EQ(Int("LEN(\"\")"), 0);
  EXPECT_EQ(Eval("LEN(\"abc\")").ResultKind, kind::kInt);
  EXPECT_EQ(Int("LEN(\"a,b,c\", \",\")"), 3);
  EXPECT_EQ(Int("LEN(\"\", \",\")"), 1);
  EXPECT_EQ(Int("LEN(\"a,b,c\", \"\")"), 1);
  EXPECT_EQ(Int("LEN(\"aaaa\", \"aa\")"), 3);  // non-overlapping
  EXPECT_EQ(Int("INSTR(\"b\", \"abcb\")"), 2);
  EXPECT_EQ(Int("INSTR(\"b\", \"abcb\", 3)"), 4);
  EXPECT_EQ(Int("INSTR(\"b\", \"abcb\", 0)"), 2);
  EXPECT_EQ(Int("INSTR(\"b\", \"abcb\", -5)"), 2);
  EXPECT_EQ(Int("INSTR(\"b\", \"abcb\", 5)"), 0);
  EXPECT_EQ(Int("INSTR(\"x\", \"abcb\")"), 0);
  EXPECT_EQ(Int("INSTR(\"\", \"abc\")"), 0);
  EXPECT_EQ(Int("ORD(\"A\")"), 65);
  EXPECT_EQ(Int("ORD(\"\")"), 0);
  EXPECT_EQ(Int("ORD(\"ÿ\")"), 255);
  EXPECT_TRUE(NoReport());
}

TEST_F(StringFunctionTest, Val) {
  TEvalResult r = Eval("VAL(\" 12.5abc \")");
  EXPECT_EQ(r.ResultKind, kind::kFloat);
  EXPECT_EQ(r.IntValue, 12);
  EXPECT_DOUBLE_EQ(r.FloatValue, 12.5);
  r = Eval("VAL(\"-3.75\")");
  EXPECT_EQ(r.IntValue, -3);
  EXPECT_DOUBLE_EQ(r.FloatValue, -3.75);
  r = Eval("VAL(\"1E3\")");
  EXPECT_EQ(r.IntValue, 1);  // the integer form stops at the E
  EXPECT_DOUBLE_EQ(r.FloatValue, 1000.0);
  r = Eval("VAL(\"$FF\")");
  EXPECT_EQ(r.IntValue, 255);
  EXPECT_DOUBLE_EQ(r.FloatValue, 255.0);
  EXPECT_EQ(Int("VAL(\"$FFFFFFFF\")"), -1);
  EXPECT_EQ(Int("VAL(\"&17\")"), 15);
  EXPECT_EQ(Int("VAL(\"%101\")"), 5);
  EXPECT_EQ(Int("VAL(\"%1012\")"), 5);
  r = Eval("VAL(\"abc\")");
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(r.FloatValue, 0.0);
  r = Eval("VAL(\"\")");
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_DOUBLE_EQ(Float("VAL(\".5\")"), 0.5);
  EXPECT_EQ(Int("VAL(\"99999999999\")"), static_cast<int32_t>(99999999999LL & 0xFFFFFFFF));
  EXPECT_TRUE(NoReport());
}

TEST_F(StringFunctionTest, PasswordScramblesTheTopBitsOnly) {
  // Without a key table PWD$ changes nothing.
  EXPECT_EQ(Str("PWD$(\"Hello\")"), "Hello");
  gEval.SetText("\"\\x03\"");  // key byte 3 * 64 = 0xC0
  FindCommand("PASSWORD")->handler(ps_);
  std::string s = Str("PWD$(\"AB\")");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(s[0]), 'A' ^ 0xC0);
  EXPECT_EQ(static_cast<unsigned char>(s[1]), 'B' ^ 0xC0);
  // Twice gives the text back.
  EXPECT_EQ(Str("PWD$(PWD$(\"Geheimnis 42\"))"), "Geheimnis 42");
  // The key is read backwards: with key "\x01\x02" the last byte (32767
  // bytes: 1,2,1,...,1) scrambles the first character.
  gEval.SetText("\"\\x01\\x02\"");
  FindCommand("PASSWORD")->handler(ps_);
  s = Str("PWD$(\"aa\")");
  EXPECT_EQ(static_cast<unsigned char>(s[0]), 'a' ^ 0x40);
  EXPECT_EQ(static_cast<unsigned char>(s[1]), 'a' ^ 0x80);
  // Texts longer than the key wrap around to the key's end.
  std::string longText(40000, 'a');
  gRes.Reset();
  gEval.SetText("x$)");
  gStores.strs[Declare("X$")].Value = longText;
  FindFunction("PWD$")->handler(ps_);
  ASSERT_EQ(gRes.StrValue.size(), 40000u);
  EXPECT_EQ(gRes.StrValue[32767], gRes.StrValue[0]);
  EXPECT_EQ(gRes.StrValue[32768], gRes.StrValue[1]);
  // An empty text removes the key.
  gEval.SetText("\"\"");
  FindCommand("PASSWORD")->handler(ps_);
  EXPECT_EQ(Str("PWD$(\"aa\")"), "aa");
  EXPECT_TRUE(NoReport());
}

}  // namespace
}  // namespace korv::testing
