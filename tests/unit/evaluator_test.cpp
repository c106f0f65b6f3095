#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "value_test_support.h"
#include "values/arrays.h"
#include "base/names.h"
#include "values/functions_registry.h"

namespace korv::testing {
namespace {

using EvaluatorTest = ValueTest;

// ---------------------------------------------------------------------------
// Precedence and associativity

TEST_F(EvaluatorTest, PrecedenceAndLeftAssociativity) {
  EXPECT_EQ(Eval("2 + 3 * 4").IntValue, 14);
  EXPECT_EQ(Eval("2 * 3 + 4").IntValue, 10);
  EXPECT_EQ(Eval("10 - 4 - 3").IntValue, 3);
  EXPECT_EQ(Eval("2 ^ 3 ^ 2").IntValue, 64);
  EXPECT_EQ(Eval("100 / 10 / 5").FloatValue, 2.0);
  EXPECT_EQ(Eval("2+3*4^2").IntValue, 50);
  EXPECT_EQ(Eval("(2 + 3) * 4").IntValue, 20);
  EXPECT_EQ(Eval("2 * (3 + 4) * 2").IntValue, 28);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(PendingOperations(), 0);
}

TEST_F(EvaluatorTest, ComparisonLevels) {
  TEvalResult r = Eval("1 < 2 = 1");
  EXPECT_EQ(r.IntValue, 1);
  EXPECT_EQ(r.ResultKind, kind::kInt);
  EXPECT_EQ(Eval("1 <> 2 = 2").IntValue, 0);
  EXPECT_EQ(Eval("3 <> 4 AND 1").IntValue, 1);
  EXPECT_EQ(Eval("2 <= 2").IntValue, 1);
  EXPECT_EQ(Eval("3 >= 4").IntValue, 0);
  EXPECT_EQ(Eval("3 > 2").IntValue, 1);
  EXPECT_EQ(Eval("3 < 2").IntValue, 0);
  EXPECT_EQ(Eval("3 = 3").IntValue, 1);
  // "=" binds tighter than "<>", "+" tighter than "=".
  EXPECT_EQ(Eval("1 + 1 = 2").IntValue, 1);
  EXPECT_EQ(Eval("0 <> 1 + 1 = 2").IntValue, 1);
}

TEST_F(EvaluatorTest, LogicalOperators) {
  EXPECT_EQ(Eval("1 AND 0").IntValue, 0);
  EXPECT_EQ(Eval("2 AND 0.5").IntValue, 1);
  EXPECT_EQ(Eval("0 OR 0").IntValue, 0);
  EXPECT_EQ(Eval("0 OR -3").IntValue, 1);
  EXPECT_EQ(Eval("1 and 0 or 1").IntValue, 1);  // word operators in any case
  // OR (3) is weaker than AND (4): 1 OR (0 AND 0)
  EXPECT_EQ(Eval("1 OR 0 AND 0").IntValue, 1);
  TEvalResult r = Eval("5 AND 3");
  EXPECT_EQ(r.ResultKind, kind::kInt);
  EXPECT_EQ(r.StrValue, "1.000000");
}

TEST_F(EvaluatorTest, WordOperatorsNeedBlanksOnBothSides) {
  TEvalResult r = Eval("1AND 0");
  EXPECT_EQ(Code(), 214);
  EXPECT_EQ(r.StrValue, "1AND 0");
  EXPECT_EQ(Eval("6 & 3").IntValue, 2);
  EXPECT_EQ(Eval("6 | 3").IntValue, 7);
  EXPECT_EQ(Eval("6 | 3 & 1").IntValue, 7);  // & (4) binds tighter than | (3)
  EXPECT_EQ(Eval("7 MOD 4").IntValue, 3);
}

TEST_F(EvaluatorTest, IntegerDivisionAndModulo) {
  TEvalResult r = Eval("7 \\ 2");
  EXPECT_EQ(r.IntValue, 3);
  EXPECT_EQ(r.FloatValue, 3.0);
  EXPECT_EQ(r.ResultKind, kind::kInt);
  EXPECT_EQ(r.StrValue, "3.000000");
  r = Eval("7 MOD 2");
  EXPECT_EQ(r.IntValue, 1);
  EXPECT_EQ(r.ResultKind, kind::kFloat);
  EXPECT_EQ(Eval("-7 MOD 2").IntValue, -1);
  EXPECT_EQ(Eval("7 MOD -2").IntValue, 1);
  EXPECT_EQ(Eval("7.9 \\ 2").IntValue, 3);
  EXPECT_EQ(Eval("-7 \\ 2").IntValue, -3);
  EXPECT_TRUE(NoReport());
}

TEST_F(EvaluatorTest, MostNegativeDividedByMinusOne) {
  TEvalResult r = Eval("-2147483648 \\ -1");
  EXPECT_EQ(r.IntValue, INT32_MIN);
  EXPECT_EQ(r.FloatValue, -2147483648.0);
  r = Eval("-2147483648 MOD -1");
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_TRUE(NoReport());
}

TEST_F(EvaluatorTest, DivisionByZero) {
  for (const char* text : {"5 / 0", "5 \\ 0", "5 MOD 0.5", "5 \\ 0.9", "1 + 5 / 0 * 2"}) {
    TEvalResult r = Eval(text);
    EXPECT_EQ(Code(), 201) << text;
    EXPECT_TRUE(WasError()) << text;
    EXPECT_EQ(r.IntValue, 0) << text;
    EXPECT_EQ(r.FloatValue, 0.0) << text;
    EXPECT_EQ(r.StrValue, "") << text;
    EXPECT_TRUE(gEval.failed) << text;
    EXPECT_EQ(PendingOperations(), 0) << text;
  }
  EXPECT_DOUBLE_EQ(Eval("5 / 0.5").FloatValue, 10.0);
  EXPECT_FALSE(gEval.failed);
}

TEST_F(EvaluatorTest, PowerNeedsPositiveBase) {
  Eval("-2 ^ 2");  // the sign belongs to the operand: (-2)^2
  EXPECT_EQ(Code(), 200);
  Eval("0 ^ 2");
  EXPECT_EQ(Code(), 200);
  TEvalResult r = Eval("2 ^ -1");
  EXPECT_TRUE(NoReport());
  EXPECT_DOUBLE_EQ(r.FloatValue, 0.5);
  EXPECT_EQ(r.ResultKind, kind::kFloat);
  EXPECT_NEAR(Eval("2 ^ 0.5").FloatValue, std::sqrt(2.0), 1e-12);
}

TEST_F(EvaluatorTest, Shifts) {
  EXPECT_EQ(Eval("1 >> 1").IntValue, 0);
  EXPECT_EQ(Eval("-1 >> 28").IntValue, 15);
  EXPECT_EQ(Eval("1 << 33").IntValue, 2);
  EXPECT_EQ(Eval("1 << 31").IntValue, INT32_MIN);
  EXPECT_EQ(Eval("256 >> 4 + 0").IntValue, 16);  // >> is level 4, + level 3
  TEvalResult r = Eval("3 << 2");
  EXPECT_EQ(r.IntValue, 12);
  EXPECT_EQ(r.ResultKind, kind::kInt);
}

TEST_F(EvaluatorTest, BitOperatorsTruncateTheirOperands) {
  EXPECT_EQ(Eval("7.9 & 3.9").IntValue, 3);
  EXPECT_EQ(Eval("-1 & 255").IntValue, 255);
  EXPECT_EQ(Eval("4294967295 | 0").IntValue, -1);  // low 32 bits
}

TEST_F(EvaluatorTest, ArithmeticResultKinds) {
  TEvalResult r = Eval("1 + 2");
  EXPECT_EQ(r.ResultKind, kind::kFloat);
  EXPECT_EQ(r.StrValue, "3.000000");
  EXPECT_EQ(Eval("5 - 7").IntValue, -2);
  EXPECT_EQ(Eval("2.5 * 2").IntValue, 5);
  r = Eval("7 / 2");
  EXPECT_EQ(r.FloatValue, 3.5);
  EXPECT_EQ(r.IntValue, 3);
  EXPECT_EQ(Eval("-7 / 2").IntValue, -3);  // truncation toward zero
}

// ---------------------------------------------------------------------------
// Literals

TEST_F(EvaluatorTest, NumberLiterals) {
  TEvalResult r = Eval("42");
  EXPECT_EQ(r.ResultKind, kind::kLong);
  EXPECT_EQ(r.IntValue, 42);
  EXPECT_EQ(r.StrValue, "42");
  r = Eval("1E3");
  EXPECT_EQ(r.ResultKind, kind::kLong);
  EXPECT_EQ(r.IntValue, 1000);
  EXPECT_EQ(r.FloatValue, 1000.0);
  r = Eval("2.5");
  EXPECT_EQ(r.ResultKind, kind::kFloat);
  EXPECT_EQ(r.IntValue, 2);
  EXPECT_EQ(r.StrValue, "2.500000");
  r = Eval("1.5e2");
  EXPECT_EQ(r.ResultKind, kind::kFloat);
  EXPECT_EQ(r.FloatValue, 150.0);
  EXPECT_TRUE(NoReport());
}

TEST_F(EvaluatorTest, ExponentWithMinusIsCutAtTheSign) {
  TEvalResult r = Eval("1E-3");
  EXPECT_EQ(Code(), 214);
  EXPECT_TRUE(WasWarning());
  EXPECT_EQ(gErr.Detail, "1E");
  // "1E" reads as a string with float form 0: 0 - 3
  EXPECT_EQ(r.FloatValue, -3.0);
  EXPECT_EQ(r.ResultKind, kind::kFloat);
}

TEST_F(EvaluatorTest, UnknownWordIsAString) {
  TEvalResult r = Eval("hello");
  EXPECT_EQ(Code(), 214);
  EXPECT_TRUE(WasWarning());
  EXPECT_EQ(gErr.Detail, "HELLO");
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(r.StrValue, "HELLO");
  EXPECT_FALSE(gEval.failed);  // a warning does not end the evaluation
  EXPECT_EQ(Eval("1 2").ResultKind, kind::kString);
  EXPECT_EQ(Code(), 214);
}

// A name followed by "(" calls when the name, its outer blanks left out,
// holds no breaker; a blank inside it breaks it, and so do the breaker
// characters after an index chain.
TEST_F(EvaluatorTest, WhatNamesACall) {
  // No function is bound here: a call reports the unknown name (101), an
  // operand that is no call is an unknown word (214).
  for (const char* call : {"NOSUCH(1)", "NOSUCH (1)", "  NOSUCH\t(1)", "NO\tSUCH(1)", "NOSUCH#[1,2](3)",
                           "NOSUCH#[1 ? 2](3)"}) {
    SCOPED_TRACE(call);
    Eval(call);
    EXPECT_EQ(Code(), 101);
  }
  for (const char* word : {"NO SUCH(1)", "NO?SUCH(1)", "NOSUCH\xa7(1)", "NO#[1] ?(2)", "NOSUCH#[1"}) {
    SCOPED_TRACE(word);
    TEvalResult r = Eval(word);
    EXPECT_EQ(Code(), 214);
    EXPECT_EQ(r.ResultKind, kind::kString);
  }
}

// Where an operand ends is kept with its text: the same text read in
// turns as source and as compiled text (0x15 starts an operator token only
// in compiled text) keeps giving each form its own reading.
TEST_F(EvaluatorTest, OperandEndsFollowTheTextForm) {
  const std::string text = "1 \x15" "A4| 0";
  for (int round = 0; round < 3; ++round) {
    for (bool compiled : {round == 1, round != 1}) {
      SCOPED_TRACE(std::to_string(round) + (compiled ? " compiled" : " source"));
      gCompiledText = compiled;
      ClearReport();
      const TEvalResult r = Eval(text);
      if (compiled) {
        EXPECT_EQ(Code(), 0);
        EXPECT_EQ(r.ResultKind, kind::kInt);  // 1 AND 0
        EXPECT_EQ(r.IntValue, 0);
      } else {
        EXPECT_EQ(Code(), 214);  // one unknown word
        EXPECT_EQ(r.ResultKind, kind::kString);
      }
    }
  }
  gCompiledText = false;
  // More texts than the table keeps, each between two readings of one
  // that stays: the table starts again on the way.
  for (int n = 0; n < 5000; ++n) {
    const std::string other = "(" + std::to_string(n) + ") + 1";
    ASSERT_EQ(Eval(other).IntValue, n + 1);
    ASSERT_EQ(Eval("(2) * 3").IntValue, 6);
  }
  // A long text is answered without being kept.
  const std::string longText = "\"" + std::string(5000, 'x') + "\" + \"y\" + \"z\"";
  for (int n = 0; n < 2; ++n) {
    ClearReport();
    const TEvalResult r = Eval(longText);
    EXPECT_EQ(r.ResultKind, kind::kString);
    EXPECT_EQ(r.StrValue, std::string(5000, 'x') + "yz");
  }
  // The same operand text at other places of other texts.
  EXPECT_EQ(Eval("2 * 3 + 2 * 3").IntValue, 12);
  EXPECT_EQ(Eval("(2 * 3) + 2 * 3 - (2 * 3)").IntValue, 6);
  EXPECT_EQ(Eval("2 * 3 + 2").IntValue, 8);
}

TEST_F(EvaluatorTest, StringLiteralEscapes) {
  EXPECT_EQ(Eval(R"("A\x41B")").StrValue, "AAB");
  EXPECT_EQ(Eval(R"("C:\temp")").StrValue, "C:\temp");
  EXPECT_EQ(Eval(R"("C:\data")").StrValue, "C:\\data");
  EXPECT_EQ(Eval(R"("a\nb")").StrValue, "a\r\nb");
  EXPECT_EQ(Eval(R"("\q\\\r\t\a\b\f")").StrValue, "\"\\\r\t\a\b\f");
  TEvalResult r = Eval(R"("x\zy")");
  ASSERT_EQ(r.StrValue.size(), 3u);
  EXPECT_EQ(r.StrValue[1], '\0');
  EXPECT_EQ(Eval(R"("\xZZ1")").StrValue, "\\xZZ1");
  EXPECT_EQ(Eval(R"("\x4")").StrValue, "x4");
  EXPECT_EQ(Eval(R"("\x")").StrValue, "x");
  EXPECT_EQ(Eval(R"("end\")").StrValue, "end\\");
  EXPECT_EQ(Eval(R"("\xff")").StrValue, "\xff");
  EXPECT_EQ(Eval(R"("\N")").StrValue, "\\N");  // escapes are lower case
  EXPECT_TRUE(NoReport());
}

TEST_F(EvaluatorTest, StringLiteralKeepsOperatorsAndCase) {
  TEvalResult r = Eval(R"("a + b, c; d AND e")");
  EXPECT_EQ(r.StrValue, "a + b, c; d AND e");
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(r.FloatValue, 0.0);
}

TEST_F(EvaluatorTest, LiteralFlag) {
  gEval.SetText("\"abc\"");
  EXPECT_TRUE(Evaluate(ps_, ' ', 0));
  gEval.SetText("\"a\" + \"b\"");
  EXPECT_FALSE(Evaluate(ps_, ' ', 0));
  EXPECT_EQ(gRes.StrValue, "ab");
  gEval.SetText("12");
  EXPECT_FALSE(Evaluate(ps_, ' ', 0));
}

// ---------------------------------------------------------------------------
// Kind rules of + and the comparisons

TEST_F(EvaluatorTest, PlusJoinsWhenTheRightOperandIsAString) {
  TEvalResult r = Eval("1 + \"A\"");
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(r.StrValue, "1A");
  r = Eval("\"A\" + 1");
  EXPECT_EQ(r.ResultKind, kind::kFloat);
  EXPECT_EQ(r.IntValue, 1);
  EXPECT_EQ(Eval("\"A\" + \"B\" + \"C\"").StrValue, "ABC");
  EXPECT_EQ(Eval("\"x\" - 1").FloatValue, -1.0);
}

TEST_F(EvaluatorTest, StringComparisonIsByUnsignedBytes) {
  EXPECT_EQ(Eval("\"abc\" < \"abd\"").IntValue, 1);
  EXPECT_EQ(Eval("\"ab\" < \"abc\"").IntValue, 1);
  EXPECT_EQ(Eval("\"B\" > \"a\"").IntValue, 0);  // case-sensitive: "B" < "a"
  EXPECT_EQ(Eval("\"\\xE4\" > \"z\"").IntValue, 1);
  EXPECT_EQ(Eval("\"abc\" = \"abc\"").IntValue, 1);
  EXPECT_EQ(Eval("\"abc\" <> \"abc\"").IntValue, 0);
  // A numeric right operand compares the float forms: "abc" reads as 0.
  EXPECT_EQ(Eval("\"abc\" = 0").IntValue, 1);
  TEvalResult r = Eval("\"a\" <= \"a\"");
  EXPECT_EQ(r.ResultKind, kind::kInt);
  EXPECT_EQ(r.IntValue, 1);
}

// ---------------------------------------------------------------------------
// Signs

TEST_F(EvaluatorTest, LeadingSign) {
  TEvalResult r = Eval("-3");
  EXPECT_EQ(r.IntValue, -3);
  EXPECT_EQ(r.FloatValue, -3.0);
  EXPECT_EQ(r.StrValue, "-3");
  EXPECT_EQ(Eval("2 - -3").IntValue, 5);
  EXPECT_EQ(Eval("+4").IntValue, 4);
  EXPECT_EQ(Eval("  -  4").IntValue, -4);
  EXPECT_EQ(Eval("2 * -3").IntValue, -6);
  EXPECT_EQ(Eval("-(2 + 3)").IntValue, -5);
  EXPECT_EQ(Eval("-\"ab\"").StrValue, "-ab");
  r = Eval("-2147483648");
  EXPECT_EQ(r.IntValue, INT32_MIN);
  EXPECT_TRUE(NoReport());
}

// ---------------------------------------------------------------------------
// Argument handling: terminators, separators, missing arguments

TEST_F(EvaluatorTest, CommaTerminatedArguments) {
  ClearReport();
  gEval.SetText("1 + 1, 2 * 3)");
  Evaluate(ps_, ',', 0);
  EXPECT_EQ(gRes.IntValue, 2);
  EXPECT_EQ(gEval.lastSep, ',');
  EXPECT_FALSE(gEval.endOfArgs);
  Evaluate(ps_, ')', 0);
  EXPECT_EQ(gRes.IntValue, 6);
  EXPECT_TRUE(gEval.endOfArgs);
  EXPECT_EQ(gEval.lastSep, ' ');
  EXPECT_TRUE(gEval.RestEmpty());
  EXPECT_TRUE(NoReport());
}

TEST_F(EvaluatorTest, ListModeRecordsSeparators) {
  ClearReport();
  gEval.SetText("\"a\"; \"b\", \"c\";");
  Evaluate(ps_, 'p', 0);
  EXPECT_EQ(gRes.StrValue, "a");
  EXPECT_EQ(gEval.lastSep, ';');
  Evaluate(ps_, 'p', 0);
  EXPECT_EQ(gRes.StrValue, "b");
  EXPECT_EQ(gEval.lastSep, ',');
  Evaluate(ps_, 'p', 0);
  EXPECT_EQ(gRes.StrValue, "c");
  EXPECT_EQ(gEval.lastSep, ';');  // kept at the end in list mode
  EXPECT_TRUE(gEval.RestEmpty());
  EXPECT_TRUE(NoReport());
}

TEST_F(EvaluatorTest, MissingArguments) {
  ClearReport();
  gEval.SetText("");
  Evaluate(ps_, ' ', 0);
  EXPECT_EQ(Code(), 212);
  ClearReport();
  gEval.SetText(", 5");
  Evaluate(ps_, ',', 0);
  EXPECT_EQ(Code(), 212);
  ClearReport();
  gEval.SetText("  )");
  Evaluate(ps_, ')', 0);
  EXPECT_EQ(Code(), 212);
  Eval("1 +");
  EXPECT_EQ(Code(), 212);
  EXPECT_EQ(gRes.IntValue, 0);
  EXPECT_EQ(PendingOperations(), 0);
  // List mode accepts an empty argument.
  ClearReport();
  gEval.SetText("");
  Evaluate(ps_, 'p', 0);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(gRes.ResultKind, kind::kNone);
}

TEST_F(EvaluatorTest, FailedArgumentSkipsToItsTerminator) {
  ClearReport();
  gEval.SetText("1 / 0 + (2 * 3), 7)");
  Evaluate(ps_, ',', 0);
  EXPECT_EQ(Code(), 201);
  EXPECT_TRUE(gEval.failed);
  EXPECT_EQ(gRes.IntValue, 0);
  EXPECT_EQ(gEval.lastSep, ',');
  Evaluate(ps_, ')', 0);
  EXPECT_FALSE(gEval.failed);
  EXPECT_EQ(gRes.IntValue, 7);
  EXPECT_TRUE(gEval.RestEmpty());
  // An argument whose terminator was already read keeps the next argument.
  ClearReport();
  gEval.SetText("4 / 0, 9");
  Evaluate(ps_, ',', 0);
  EXPECT_TRUE(gEval.failed);
  Evaluate(ps_, ' ', 0);
  EXPECT_EQ(gRes.IntValue, 9);
}

TEST_F(EvaluatorTest, ErrorInsideBracketsEndsTheWholeExpression) {
  TEvalResult r = Eval("(1 / 0) + 5");
  EXPECT_EQ(Code(), 201);
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(r.ResultKind, kind::kNone);
  EXPECT_TRUE(gEval.failed);
  EXPECT_EQ(PendingOperations(), 0);
}

TEST_F(EvaluatorTest, EmptyBracketsEndTheExpression) {
  TEvalResult r = Eval("() + 5");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(r.ResultKind, kind::kNone);
  EXPECT_TRUE(gEval.RestEmpty());
  EXPECT_EQ(Eval("((7))").IntValue, 7);
}

TEST_F(EvaluatorTest, TrailingBracketOfAnArgumentListIsDropped) {
  ClearReport();
  gEval.SetText("12)");
  Evaluate(ps_, ',', 0);  // read with "," although it is the last argument
  EXPECT_EQ(gRes.IntValue, 12);
  EXPECT_TRUE(NoReport());
  EXPECT_TRUE(gEval.RestEmpty());
}

TEST_F(EvaluatorTest, RestAfterAnOperandWithoutOperatorStays) {
  ClearReport();
  gEval.SetText("5 : more");
  Evaluate(ps_, ' ', 0);
  EXPECT_EQ(gRes.IntValue, 5);
  EXPECT_EQ(gEval.Rest(), ": more");
}

// ---------------------------------------------------------------------------
// Kind checks

TEST_F(EvaluatorTest, ExpectedKinds) {
  ASSERT_TRUE(Declare("n%"));
  Eval("n%", kind::kString);
  EXPECT_EQ(Code(), 216);
  EXPECT_EQ(gErr.Detail, "N%");
  EXPECT_EQ(Eval("\"s\"", 9).StrValue, "s");  // 9 is treated as 1
  EXPECT_TRUE(NoReport());
  Eval("5", kind::kAddress);  // a literal has no address
  EXPECT_EQ(Code(), 216);
  Eval("n%", 2);  // informative only
  EXPECT_TRUE(NoReport());
  Eval("\"x\"", 10);
  EXPECT_TRUE(NoReport());
}

TEST_F(EvaluatorTest, AddressOfIntegerVariable) {
  int32_t i = Declare("n%");
  ASSERT_GT(i, 0);
  gStores.ints[i].Value = 5;
  TEvalResult r = Eval("n%", kind::kAddress);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(r.ResultKind, kind::kAddress);
  auto* p = reinterpret_cast<int32_t*>(static_cast<uintptr_t>(static_cast<uint32_t>(r.IntValue)));
  ASSERT_EQ(p, &gStores.ints[i].Value);
  *p = 77;
  EXPECT_EQ(Eval("n%").IntValue, 77);
  ASSERT_GT(Declare("f!"), 0);
  Eval("f!", kind::kAddress);  // no address for other kinds
  EXPECT_EQ(Code(), 216);
}

TEST_F(EvaluatorTest, WholeArrayOperand) {
  int32_t a = DeclareArrayEntry("A%", '%');
  ASSERT_GT(a, 0);
  TEvalResult r = Eval("a%[]", kind::kArray);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(r.ResultKind, kind::kArray);
  EXPECT_EQ(r.IntValue, a);
  Eval("a%[]");  // only where a whole array is expected
  EXPECT_EQ(Code(), 216);
  Eval("b%[]", kind::kArray);
  EXPECT_EQ(Code(), 215);
  EXPECT_EQ(gErr.Detail, "B%");
  ASSERT_GT(Declare("a%"), 0);
  Eval("a%", kind::kArray);  // a scalar is no whole array
  EXPECT_EQ(Code(), 216);
}

TEST_F(EvaluatorTest, MissingElementsAndMembersOfUnknownAreas) {
  ASSERT_GT(DeclareArrayEntry("A%", '%'), 0);  // a descriptor without elements
  TEvalResult r = Eval("a%[1] + 2");
  EXPECT_EQ(Code(), 233);
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_TRUE(gEval.failed);
  r = Eval("p#.x% + 1");  // read like an unknown variable
  EXPECT_EQ(Code(), 215);
  EXPECT_TRUE(WasWarning());
  EXPECT_EQ(r.IntValue, 1);
  Eval(".x%");  // no current object
  EXPECT_EQ(Code(), 215);
  EXPECT_EQ(PendingOperations(), 0);
}

TEST_F(EvaluatorTest, UndimensionedAreaGives243) {
  ASSERT_GT(Declare("p#"), 0);
  TEvalResult r = Eval("p# + 1");
  EXPECT_EQ(Code(), 243);
  EXPECT_TRUE(WasError());
  EXPECT_EQ(r.IntValue, 0);
}

TEST_F(EvaluatorTest, DimensionedAreaReadsItsAddress) {
  int32_t i = Declare("p#");
  ASSERT_GT(i, 0);
  static char block[16];
  gStores.ptrs[i].Address = block;
  gStores.ptrs[i].AreaKind = 'o';
  gStores.ptrs[i].Size = 16;
  gStores.ptrs[i].StructIndex = 3;
  TEvalResult r = Eval("p#");
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(r.ResultKind, kind::kObject);
  EXPECT_EQ(static_cast<uint32_t>(r.IntValue), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block)));
  EXPECT_EQ(r.AreaKind, 'o');
  EXPECT_EQ(r.AreaSize, 16);
  EXPECT_EQ(r.AreaStruct, 3);
  gStores.ptrs[i].AreaKind = 'b';
  EXPECT_EQ(Eval("p#").ResultKind, kind::kLong);
  // An operation makes a plain number of it.
  r = Eval("p# + 0");
  EXPECT_EQ(r.AreaKind, ' ');
  EXPECT_EQ(r.ResultKind, kind::kFloat);
}

// ---------------------------------------------------------------------------
// Variables in expressions

TEST_F(EvaluatorTest, VariablesOfEveryKind) {
  gStores.ints[Declare("a%")].Value = 7;
  gStores.lngs[Declare("b&")].Value = -4;
  gStores.sngs[Declare("c!")].Value = 1.5;
  gStores.strs[Declare("d$")].Value = "xy";
  TEvalResult r = Eval("A% * b& + c!");
  EXPECT_DOUBLE_EQ(r.FloatValue, -26.5);
  EXPECT_EQ(Eval("a%").ResultKind, kind::kInt);
  EXPECT_EQ(Eval("b&").ResultKind, kind::kLong);
  EXPECT_EQ(Eval("c!").ResultKind, kind::kFloat);
  r = Eval("d$ + \"z\"");
  EXPECT_EQ(r.StrValue, "xyz");
  EXPECT_EQ(Eval("a% + d$").StrValue, "7xy");
  EXPECT_TRUE(NoReport());
}

TEST_F(EvaluatorTest, UndeclaredVariableIsZeroWithWarning) {
  TEvalResult r = Eval("q% + 1");
  EXPECT_EQ(Code(), 215);
  EXPECT_TRUE(WasWarning());
  EXPECT_EQ(gErr.Detail, "Q%");
  EXPECT_EQ(r.IntValue, 1);
  r = Eval("q$");
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(r.StrValue, "");
  gExec.command = "DECLARE";
  Eval("q%");
  EXPECT_TRUE(NoReport());
  gExec.command = "PARAMETERS";
  Eval("q!");
  EXPECT_TRUE(NoReport());
}

// ---------------------------------------------------------------------------
// Functions

int gCalls = 0;

void FnTwice(TParStack& ps) {
  ++gCalls;
  Evaluate(ps, ')', 0);
  double v = gRes.FloatValue * 2;
  gRes.Reset();
  gRes.FloatValue = v;
  gRes.IntValue = TruncToInt32(v);
  gRes.StrValue = IntToText(gRes.IntValue);
  gRes.ResultKind = kind::kInt;
}

void FnSub2(TParStack& ps) {
  int32_t a = EvalInt(ps, ',');
  int32_t b = EvalInt(ps, ')');
  gRes.Reset();
  gRes.IntValue = a - b;
  gRes.FloatValue = a - b;
  gRes.ResultKind = kind::kInt;
}

void FnConst(TParStack& ps) {
  gRes.Reset();
  gRes.IntValue = 9;
  gRes.FloatValue = 9;
  gRes.ResultKind = kind::kInt;
}

void FnRest(TParStack& ps) {  // returns its argument text untouched
  std::string rest = gEval.Rest();
  gEval.pos = gEval.text.size();
  gRes.Reset();
  gRes.StrValue = rest;
  gRes.ResultKind = kind::kString;
}

std::string gUserName;
bool UserCaller(const std::string& name, TParStack& ps) {
  gUserName = name;
  if (name != "MYPROC") return false;
  Evaluate(ps, ')', 0);
  int32_t v = gRes.IntValue + 100;
  gRes.Reset();
  gRes.IntValue = v;
  gRes.FloatValue = v;
  gRes.ResultKind = kind::kInt;
  return true;
}

class FunctionTest : public ValueTest {
 protected:
  void SetUp() override {
    ValueTest::SetUp();
    DefineExtraFunction("TWICE", FnTwice);
    DefineExtraFunction("SUB2", FnSub2);
    DefineExtraFunction("NINE", FnConst);
    DefineExtraFunction("REST$", FnRest);
    gCalls = 0;
  }
  void TearDown() override {
    SetUserFunctionCaller(nullptr);
    ValueTest::TearDown();
  }
};

TEST_F(FunctionTest, CallsAndNesting) {
  EXPECT_EQ(Eval("TWICE(3) + 1").IntValue, 7);
  EXPECT_EQ(Eval("twice(twice(2))").IntValue, 8);
  EXPECT_EQ(Eval("1 + TWICE (2 + 3) * 2").IntValue, 21);
  EXPECT_EQ(Eval("@TWICE(4)").IntValue, 8);
  EXPECT_EQ(Eval("NINE()").IntValue, 9);
  EXPECT_EQ(Eval("-TWICE(3)").IntValue, -6);
  EXPECT_TRUE(NoReport());
}

TEST_F(FunctionTest, SignOfSecondArgumentAfterBlank) {
  EXPECT_EQ(Eval("SUB2(1, -2)").IntValue, 3);
  EXPECT_EQ(Eval("SUB2(10,2) * SUB2(5, 3)").IntValue, 16);
  EXPECT_EQ(Eval("SUB2(TWICE(2), SUB2(3, 1))").IntValue, 2);
  EXPECT_TRUE(NoReport());
}

TEST_F(FunctionTest, ArgumentTextIsTheTextAfterTheBracket) {
  EXPECT_EQ(Eval("REST$(a, \"b\" )").StrValue, "a, \"b\" )");
  EXPECT_EQ(Eval("REST$(x) + \"!\"").StrValue, "x)!");
}

TEST_F(FunctionTest, OuterTextIsRestoredAfterTheCall) {
  ClearReport();
  gEval.SetText("TWICE(5), 3");
  Evaluate(ps_, ',', 0);
  EXPECT_EQ(gRes.IntValue, 10);
  EXPECT_EQ(gEval.lastSep, ',');
  Evaluate(ps_, ' ', 0);
  EXPECT_EQ(gRes.IntValue, 3);
  EXPECT_TRUE(NoReport());
}

TEST_F(FunctionTest, OperatorsAroundACallStayApart) {
  // The call's own operators never apply the pending "2 ^".
  EXPECT_EQ(Eval("2 ^ TWICE(1 + 1) + 1").IntValue, 17);
  EXPECT_EQ(Eval("10 - TWICE(1) - 1").IntValue, 7);
}

TEST_F(FunctionTest, UnknownFunction) {
  TEvalResult r = Eval("NOPE(1) + 2");
  EXPECT_EQ(Code(), 101);
  EXPECT_EQ(gErr.Detail, "NOPE");
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_TRUE(gEval.failed);
}

TEST_F(FunctionTest, UserFunctionCaller) {
  SetUserFunctionCaller(UserCaller);
  EXPECT_EQ(Eval("myproc(5) + 1").IntValue, 106);
  EXPECT_TRUE(NoReport());
  Eval("other(1)");
  EXPECT_EQ(gUserName, "OTHER");
  EXPECT_EQ(Code(), 101);
}

// A call operand read again finds what the function table holds now: a
// name bound after its first reading, and a name the running program does
// not know; an operand too long to keep is read the same way.
TEST_F(FunctionTest, CallOperandsFollowTheFunctionTable) {
  SetUserFunctionCaller(UserCaller);
  for (int pass = 0; pass < 2; ++pass) {
    Eval("LATERFN(4) + 1");
    EXPECT_EQ(Code(), 101);
    EXPECT_EQ(gUserName, "LATERFN");
  }
  DefineExtraFunction("LATERFN", FnTwice);
  ClearReport();
  EXPECT_EQ(Eval("LATERFN(4) + 1").IntValue, 9);
  EXPECT_TRUE(NoReport());

  const FunctionEntry* interpreterOnly = nullptr;
  for (const FunctionEntry& e : AllFunctions())
    if (interpreterOnly == nullptr && (e.traits & name_traits::kNowhere) == name_traits::kInterpreterOnly)
      interpreterOnly = &e;
  ASSERT_NE(interpreterOnly, nullptr);
  const FunctionHandler before = interpreterOnly->handler;
  DefineExtraFunction(interpreterOnly->name, FnConst);
  const std::string call = interpreterOnly->name + "()";
  EXPECT_EQ(Eval(call).IntValue, 9) << call;
  SetRunningProgram(RunningProgram::Runtime);
  Eval(call);
  EXPECT_EQ(Code(), 101);
  SetRunningProgram(RunningProgram::Interpreter);
  ClearReport();
  EXPECT_EQ(Eval(call).IntValue, 9);
  EXPECT_TRUE(NoReport());
  DefineExtraFunction(interpreterOnly->name, before);

  std::string sum = "1";
  for (int i = 0; i < 200; ++i) sum += " + 1";
  for (int pass = 0; pass < 2; ++pass) EXPECT_EQ(Eval("TWICE(" + sum + ")").IntValue, 402);
  EXPECT_TRUE(NoReport());
}

TEST_F(FunctionTest, AtWithoutBracketGives213) {
  Eval("@TWICE");
  EXPECT_EQ(Code(), 213);
  EXPECT_EQ(gCalls, 0);
}

TEST_F(FunctionTest, NamesWithBreakCharactersAreNoCalls) {
  gStores.ints[Declare("a%")].Value = 10;
  EXPECT_EQ(Eval("a% -TWICE(2)").IntValue, 6);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(gCalls, 1);
  Eval("x TWICE(2)");  // a blank in the name: no call
  EXPECT_EQ(Code(), 214);
  EXPECT_EQ(gCalls, 1);
  Eval("\"q\"TWICE(2)");
  EXPECT_EQ(gCalls, 1);
}

TEST_F(FunctionTest, ErrorInsideAnArgumentEndsTheCaller) {
  TEvalResult r = Eval("TWICE(1 / 0) + 5");
  EXPECT_EQ(Code(), 201);
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_TRUE(gEval.failed);
  EXPECT_EQ(PendingOperations(), 0);
  // The next statement evaluates normally.
  EXPECT_EQ(Eval("TWICE(2)").IntValue, 4);
  EXPECT_FALSE(gEval.failed);
}

// ---------------------------------------------------------------------------
// System variables, radix literals and DEF constants

void SvAnswer(TEvalResult& out) { out.IntValue = 42; }
void SvText(TEvalResult& out) {
  out.StrValue = "1.0";
  out.ResultKind = kind::kString;
}

bool DefLookup(const std::string& name, TEvalResult& out) {
  if (name != "%LIMIT") return false;
  out.IntValue = 100;
  out.FloatValue = 100;
  out.ResultKind = kind::kInt;
  return true;
}

class SysVarTest : public ValueTest {
 protected:
  void SetUp() override {
    ValueTest::SetUp();
    DefineExtraSysVar("%ANSWER", SvAnswer);
    DefineExtraSysVar("$ABC", SvText);  // a table name wins over hex
  }
  void TearDown() override {
    SetDefConstantLookup(nullptr);
    ValueTest::TearDown();
  }
};

TEST_F(SysVarTest, TableEntries) {
  TEvalResult r = Eval("%answer + 0");
  EXPECT_EQ(r.IntValue, 42);
  r = Eval("%ANSWER");
  EXPECT_EQ(r.ResultKind, kind::kInt);  // preset from the kind character
  EXPECT_EQ(r.FloatValue, 42.0);        // float form follows the integer
  r = Eval("$ABC");
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(r.StrValue, "1.0");
  EXPECT_TRUE(NoReport());
}

TEST_F(SysVarTest, RadixLiterals) {
  TEvalResult r = Eval("$1F");
  EXPECT_EQ(r.IntValue, 31);
  EXPECT_EQ(r.FloatValue, 31.0);
  EXPECT_EQ(r.ResultKind, kind::kLong);
  EXPECT_EQ(r.StrValue, "31");
  EXPECT_EQ(Eval("&17").IntValue, 15);
  EXPECT_EQ(Eval("%101").IntValue, 5);
  EXPECT_EQ(Eval("$ff + 1").IntValue, 256);
  EXPECT_EQ(Eval("$FFFFFFFF").IntValue, -1);
  EXPECT_EQ(Eval("$1FFFFFFFF").IntValue, -1);  // low 32 bits
  EXPECT_EQ(Eval("-$10").IntValue, -16);
  EXPECT_TRUE(NoReport());
  int32_t v;
  EXPECT_TRUE(ParseRadixLiteral("&  -17", v));
  EXPECT_EQ(v, -15);
  EXPECT_TRUE(ParseRadixLiteral("% 11", v));
  EXPECT_EQ(v, 3);
  EXPECT_FALSE(ParseRadixLiteral("&18", v));
  EXPECT_FALSE(ParseRadixLiteral("%102", v));
  EXPECT_FALSE(ParseRadixLiteral("$", v));
  EXPECT_FALSE(ParseRadixLiteral("$ 1", v));
}

TEST_F(SysVarTest, UnknownNamesAndDefConstants) {
  Eval("%NOSUCH");
  EXPECT_EQ(Code(), 100);
  EXPECT_EQ(gErr.Detail, "%NOSUCH");
  Eval("%LIMIT");
  EXPECT_EQ(Code(), 100);
  SetDefConstantLookup(DefLookup);
  EXPECT_EQ(Eval("%limit * 2").IntValue, 200);
  EXPECT_TRUE(NoReport());
  Eval("%102");  // no binary number, no constant
  EXPECT_EQ(Code(), 100);
  Eval("!X");
  EXPECT_EQ(Code(), 100);
}

// ---------------------------------------------------------------------------
// Limits: nothing crashes or recurses without bound

TEST_F(EvaluatorTest, DeepBracketsGiveAnError) {
  std::string deep(32767, '(');
  Eval(deep);
  EXPECT_EQ(Code(), 255);
  EXPECT_TRUE(WasError());
  EXPECT_EQ(PendingOperations(), 0);
  EXPECT_EQ(gEval.depth, 0);
  std::string balanced = std::string(16000, '(') + "1" + std::string(16000, ')');
  Eval(balanced);
  EXPECT_EQ(Code(), 255);
  // Within the limit, nesting works.
  std::string ok = std::string(kMaxEvalDepth - 1, '(') + "1" + std::string(kMaxEvalDepth - 1, ')');
  EXPECT_EQ(Eval(ok).IntValue, 1);
  EXPECT_TRUE(NoReport());
}

TEST_F(EvaluatorTest, OperatorStackOverflowGivesAnError) {
  // Every level leaves four operators of rising precedence pending.
  std::string text;
  for (int i = 0; i < 70; ++i) text += "1 <> 1 = 1 + 1 * (";
  text += "1" + std::string(70, ')');
  Eval(text);
  EXPECT_EQ(Code(), 255);
  EXPECT_EQ(PendingOperations(), 0);
}

TEST_F(EvaluatorTest, LongFlatChainsNeedNoRecursion) {
  std::string text = "0";
  for (int i = 0; i < 16000; ++i) text += "+1";
  TEvalResult r = Eval(text);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(r.IntValue, 16000);
  std::string rising = "1";
  for (int i = 0; i < 3000; ++i) rising += " <> 1 = 1 + 1 * 1 ^ 1";
  Eval(rising);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(PendingOperations(), 0);
}

TEST_F(EvaluatorTest, NonFiniteValuesStayDefined) {
  TEvalResult r = Eval("1E308 * 10");
  EXPECT_TRUE(std::isinf(r.FloatValue));
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(r.StrValue, "+Inf");
  r = Eval("1E308 * 10 - 1E308 * 10");
  EXPECT_TRUE(std::isnan(r.FloatValue));
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(r.StrValue, "Nan");
  EXPECT_EQ(Eval("1E308 * 10 \\ 2").IntValue, 0);
  EXPECT_EQ(Code(), 0);
  Eval("2 \\ (1E308 * 10)");  // truncates to 0
  EXPECT_EQ(Code(), 201);
  Eval("1E400");  // not a representable number
  EXPECT_EQ(Code(), 214);
}

TEST_F(EvaluatorTest, FatalErrorShowsTheMessageAndEnds) {
  gErr.Level = 1;
  gEval.SetText("1 / 0");
  try {
    Evaluate(ps_, ' ', 0);
    FAIL() << "a fatal report must end the program";
  } catch (const ExitRequest& e) {
    EXPECT_EQ(e.code, kExitFatal);
  }
  ASSERT_FALSE(host_.boxes.empty());
  EXPECT_EQ(host_.boxes.back().caption, "Division durch 0!");
  ResetEvaluator();
  EXPECT_EQ(gEval.depth, 0);
}

}  // namespace
}  // namespace korv::testing

namespace korv::testing {
namespace {

// ---------------------------------------------------------------------------
// Precompiled arithmetic: every form of the result, the cursor and the
// reports must be those of the general path (a "," terminator never takes
// the precompiled path, and without a comma in the text it reads the same).

struct Outcome {
  TEvalResult res;
  std::string lastVar;
  bool endOfArgs;
  char lastSep;
  size_t pos;
  int32_t code;
  int reportKind;
};

void ExpectSameOutcome(const Outcome& fast, const Outcome& general) {
  EXPECT_EQ(fast.res.IntValue, general.res.IntValue);
  EXPECT_EQ(std::memcmp(&fast.res.FloatValue, &general.res.FloatValue, sizeof(double)), 0)
      << fast.res.FloatValue << " vs " << general.res.FloatValue;
  EXPECT_EQ(fast.res.StrValue, general.res.StrValue);
  EXPECT_EQ(fast.res.ResultKind, general.res.ResultKind);
  EXPECT_EQ(fast.lastVar, general.lastVar);
  EXPECT_EQ(fast.endOfArgs, general.endOfArgs);
  EXPECT_EQ(fast.lastSep, general.lastSep);
  EXPECT_EQ(fast.pos, general.pos);
  EXPECT_EQ(fast.code, general.code);
  EXPECT_EQ(fast.reportKind, general.reportKind);
}

class PrecompiledTest : public ValueTest {
 protected:
  void SetUp() override {
    ValueTest::SetUp();
    RegisterBuiltinFunctions();
  }
  Outcome Run(const std::string& text, char term) {
    ClearReport();
    gEval.lastVarName.clear();
    gEval.SetText(text);
    Evaluate(ps_, term, 0);
    return {gRes, gEval.lastVarName, gEval.endOfArgs, gEval.lastSep, gEval.pos, gErr.Code, gErr.ReportKind};
  }
  void ExpectSame(const std::string& text) {
    Outcome general = Run(text, ',');
    Outcome fast = Run(text, ' ');
    SCOPED_TRACE(text);
    ExpectSameOutcome(fast, general);
  }
  // Every argument of a list read with one terminator and expected kind,
  // without the precompiled paths and twice with them (the second time
  // from what the first kept): alike. (The literal flag is kept with the
  // last name.)
  void ExpectSameList(const std::string& text, char term, int kind) {
    std::vector<Outcome> runs[3];
    for (int fast = 0; fast < 3; ++fast) {
      UsePrecompiledArithmetic(fast > 0);
      ClearReport();
      gEval.lastVarName = "BEFORE";
      gEval.SetText(text);
      for (int n = 0; n < 8 && !gEval.RestEmpty(); ++n) {
        const bool literal = Evaluate(ps_, term, kind);
        runs[fast].push_back({gRes, gEval.lastVarName + (literal ? "+literal" : ""), gEval.endOfArgs,
                              gEval.lastSep, gEval.pos, gErr.Code, gErr.ReportKind});
      }
    }
    UsePrecompiledArithmetic(true);
    for (int fast = 1; fast < 3; ++fast) {
      ASSERT_EQ(runs[fast].size(), runs[0].size());
      for (size_t i = 0; i < runs[0].size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSameOutcome(runs[fast][i], runs[0][i]);
      }
    }
  }
  // ExpectSameList for every list with every reader, in source and in
  // compiled text.
  template <class Lists, class Readers>
  void ExpectSameInBothForms(const Lists& lists, const Readers& readers) {
    for (bool compiled : {false, true}) {
      gCompiledText = compiled;
      for (const auto& [term, kind] : readers) {
        for (const auto& t : lists) {
          SCOPED_TRACE(std::string(t) + " read with '" + term + "' " + std::to_string(kind) +
                       (compiled ? " compiled" : ""));
          ExpectSameList(t, term, kind);
        }
      }
    }
    gCompiledText = false;
  }
};

TEST_F(PrecompiledTest, ArithmeticAgreesWithTheGeneralPath) {
  Declare("a%");
  Declare("b&");
  Declare("f!");
  Declare("zero%");
  gStores.ints[static_cast<size_t>(Find("A%"))].Value = -7;
  gStores.lngs[static_cast<size_t>(Find("B&"))].Value = 2147483647;
  gStores.sngs[static_cast<size_t>(Find("F!"))].Value = -2.75;
  const uint32_t before = PrecompiledRuns();
  const char* texts[] = {
      "a%", "b&", "f!", "12", "3.5", "(a%)", "a% + 1", "a% * 3 + b& * 7", "(a% * 3 + 5) MOD 1009",
      "a% MOD 3", "a% \\ 2", "b& + 1", "b& * b&", "f! * 2", "f! \\ 1", "-a% + 2", "2 - -f!",
      "a% < b&", "a% <> 3 AND f! < 0", "1 OR 0 AND 0", "a% & 6", "a% | 16", "1 << 33", "a% >> 1",
      "2 ^ 10", "((a% + 1) * (b& - 1)) / 4", "a%+1", "a%<b&", "  a%  +  2  ", "f! / 3",
      "1e5", "a% / zero%", "a% MOD zero%", "f! ^ 2", "nix% + 1", "-a%", "-(a%)", "a%, 2",
      "SIN(a%)", "SQRT(ABS(f!)) + LN(2)", "INT(f!) * 2", "INT(f!)", "ABS(a%)", "ABS(f!)", "SQR(a%) - 1",
      "EXP(1) + COS(0)", "ARCTAN(1)", "sin(a%) * 2", "@COS(b&)", "SQRT(-1)", "LN(0)", "LN(f!)", "SIN()",
      "SIN(a%, 2)", "SIN(-a%)", "ABS(b& + 1)",
  };
  for (const char* t : texts) ExpectSame(t);
  // The plain arithmetic texts above did run precompiled.
  EXPECT_GE(PrecompiledRuns() - before, 36u);
}

TEST_F(PrecompiledTest, ArrayElementsAgreeWithTheGeneralPath) {
  ASSERT_TRUE(DeclareArray("A%[4]", ps_));
  ASSERT_TRUE(DeclareArray("L&[2,3]", ps_));
  ASSERT_TRUE(DeclareArray("F![2]", ps_));
  ASSERT_TRUE(DeclareArray("S$[2]", ps_));
  Declare("i%");
  gStores.ints[static_cast<size_t>(Find("I%"))].Value = 2;
  for (const char* e : {"A%[0]", "A%[2]", "A%[4]", "L&[2,3]", "L&[1,2]", "F![1]"}) {
    ElementRef ref;
    ASSERT_EQ(ResolveElement(e, ps_, ref), Resolve::Ok) << e;
    gRes.Reset();
    gRes.IntValue = static_cast<int32_t>(std::strlen(e)) * 7 - 40;
    gRes.FloatValue = gRes.IntValue + 0.25;
    StoreElement(ref);
  }
  const uint32_t before = PrecompiledRuns();
  const char* texts[] = {
      "A%[2]", "A%[i%] + 1", "A%[i% + 2] * L&[2,3]", "L&[1, i%]", "F![1] * 2", "A%[A%[0] - A%[0] + 4]",
      "(A%[i%])", "A%[5]", "A%[-1]", "L&[3,0]", "Q%[1] + 1", "S$[1]", "A%[]", "A%[1,2,3,4]",
      "A%[i%/0]", "L&[1,2,3]",
  };
  for (const char* t : texts) ExpectSame(t);
  EXPECT_GE(PrecompiledRuns() - before, 7u);
}

// Argument lists read as procedure calls read them (terminator 'p'): every
// argument, read with and without precompiled programs, alike.
TEST_F(PrecompiledTest, ListArgumentsAgreeWithTheGeneralPath) {
  ASSERT_TRUE(DeclareArray("X%[3,2]", ps_));
  Declare("a%");
  Declare("b&");
  Declare("f!");
  gStores.ints[static_cast<size_t>(Find("A%"))].Value = 9;
  gStores.lngs[static_cast<size_t>(Find("B&"))].Value = -2147483647;
  gStores.sngs[static_cast<size_t>(Find("F!"))].Value = 0.125;
  // Procedure calls read their arguments with 'p', functions with ',' and
  // ')' (a number kind expected or none).
  const char* lists[] = {
      "3, 4",          "a% - 1",          "a% * 2, b& + 1)", "(a% + 1) * 2 , f! / 4", "X%[1,2] + 1, 5",
      "a%, -a%",       "1 / 0, 2",        "a% ; b%",         "a% b%",                 "SIN(f!), 2 )",
      "a%, ()",        "a% - 1, )",       "b& - 1, 7",       " a% ,  b& ,f!",         "nix% + 1, 2",
      "\"x\", a% + 1", "a% + \"x\", 1",  "a%,",             "1e3, 2.5",             "-(a%), 3",
      "a% ) + 1",      "a%) , 2",         "(a%), (b&))",     "a% ;2)",                ",5",
      "a% + 1 ) ",     "X%[1,2]) , a%",   "f! * 2;3, 4)",    ")",                     "a%)()",
  };
  const std::pair<char, int> readers[] = {{'p', 0}, {',', 0}, {')', 0}, {',', kind::kInt}, {')', kind::kFloat}};
  const uint32_t before = PrecompiledRuns();
  for (const auto& [term, kind] : readers) {
    for (const char* t : lists) {
      SCOPED_TRACE(std::string(t) + " read with " + term + " " + std::to_string(kind));
      ExpectSameList(t, term, kind);
    }
  }
  // Most of those arguments are plain arithmetic and did run precompiled.
  EXPECT_GE(PrecompiledRuns() - before, 150u);
}

// A string variable or literal alone is read without the general path:
// every argument of these lists, with every terminator and expected kind,
// in source and in compiled text, gives what the general path gives.
TEST_F(PrecompiledTest, SingleStringOperandsAgreeWithTheGeneralPath) {
  Declare("s$");
  Declare("n$");
  Declare("a%");
  gStores.strs[static_cast<size_t>(Find("S$"))].Value = "Hello";
  gStores.strs[static_cast<size_t>(Find("N$"))].Value = "  42.5xyz";
  const char* lists[] = {
      "s$",          " s$ ",          "s$, n$",        "S$ ; n$)",        "s$)",             "s$) , 2",
      "s$ + \"!\"",  "\"lit\"",       "\"a,b\", s$",   "\"x\"\"y\"",        "\"open",           "\"\\t\", 1",
      "q$, s$",      "s$ AND 1",      "s$ = n$",       "s$=1",            "s$ :",            "_x9$, 3",
      "9x$",         "s$\t,\t2",      "n$ )",          "s$ x",            "s$ & n$",         "s$(1)",
      "s.x$",        "\"\" , \"\"",     "s$,",           "a%, s$",          "s$ MOD 2",        "\"q\")",
      // compiled text: "$" with a system variable's code is a token, 0x15
      // starts an operator token, 0x14 a procedure call
      "s$\x95, 1",   "\"a\" \x15" "A4|1", "s$ \x15" "A4|1", "s$\x14, 2",      "s$ \x01, 2",
  };
  const std::pair<char, int> readers[] = {{' ', 0},  {'p', 0}, {',', 0}, {')', 0}, {',', kind::kString},
                                          {')', kind::kInt}, {'=', 0}, {' ', kind::kAddress}, {',', 20}};
  const uint32_t before = PrecompiledRuns();
  ExpectSameInBothForms(lists, readers);
  EXPECT_GE(PrecompiledRuns() - before, 200u);
}

// Texts joined by "+" from literals, string variables and the string
// functions that only compute, and LEN, INSTR and ORD of such texts inside
// arithmetic: every argument of these lists, with every terminator and
// expected kind, in source and in compiled text (functions as "@" and
// their code), gives what the general path gives: the text, both number
// forms, the last variable, the cursor and any report.
TEST_F(PrecompiledTest, StringProgramsAgreeWithTheGeneralPath) {
  Declare("s$");
  Declare("n$");
  Declare("e$");
  Declare("i%");
  Declare("f!");
  ASSERT_TRUE(DeclareArray("W$[3]", ps_));
  ASSERT_TRUE(DeclareArray("T$[2,2]", ps_));
  ASSERT_TRUE(DeclareArray("K%[2]", ps_));
  gStores.strs[static_cast<size_t>(Find("S$"))].Value = "the quick brown fox";
  gStores.strs[static_cast<size_t>(Find("N$"))].Value = " 12.75e1x";
  for (const char* e : {"W$[1]", "W$[3]", "T$[2,1]"}) {
    ElementRef ref;
    ASSERT_EQ(ResolveElement(e, ps_, ref), Resolve::Ok) << e;
    gPools.strs[ref.element] = "12.5 " + std::string(e);
  }
  gStores.ints[static_cast<size_t>(Find("I%"))].Value = 7;
  gStores.sngs[static_cast<size_t>(Find("F!"))].Value = 2.5;
  const std::string mid = "@" + std::string(1, static_cast<char>(147));
  const std::string upper = "@" + std::string(1, static_cast<char>(161));
  const std::string len = "@" + std::string(1, static_cast<char>(150));
  const std::string instr = "@" + std::string(1, static_cast<char>(151));
  const std::string lists[] = {
      "UPPER$(MID$(s$, i% MOD 40 + 1, 4)) + \"|\" + MID$(s$, 1, 2)",
      "s$ + n$",
      "\"<\" + s$ + \">\", 2",
      "MID$(s$, i%, 3) + n$",
      "n$ + MID$(s$, 2, i%)",
      "LEFT$(s$, 3) + RIGHT$(s$, 3) + LOWER$(\"ABC\\n\") + TRIM$(n$) + CHR$(i% + 60)",
      "UPPER$(n$)",
      "UPPER$(s$ + n$) + e$",
      "MID$(s$, -1, 2) + MID$(s$, 99, 2) + LEFT$(s$, 0) + RIGHT$(s$, 99)",
      "i% + INSTR(\"o\", s$) + LEN(s$ + n$)",
      "INSTR(\"o\", s$, i% * 2) - ORD(n$) * 2",
      "LEN(e$) + ORD(e$) + INSTR(e$, s$)",
      "-LEN(s$)",
      "LEN(s$) > 3 AND INSTR(\"q\", s$)",
      "MID$(s$, i% / 0, 2) + \"x\"",
      "MID$(s$, 1) + \"x\"",
      "MID$(s$, 1, 2, 3) + \"x\"",
      "MID$(s$; 1, 2) + \"x\"",
      "MID$(s$, 1, 2) junk + \"x\"",
      "UPPER$(q$) + s$",
      "s$ + q$",
      "s$ +",
      "s$ - n$",
      "s$ + 1",
      "1 + s$",
      "s$ + (n$)",
      "-s$ + n$",
      "s$ + n$ = n$",
      "LEN(1) + 1",
      "UPPER$(5) + s$",
      "MID$(\"abc\", \"2\", 1) + s$",
      "SIN(LEN(s$))",
      "s$ + \"a,b\" + s$, LEN(\"a)b\")",
      "s$ + n$ ; 2",
      "s$ + n$)",
      "UPPER$(MID$(UPPER$(MID$(s$, 1, 9)), 2, 5)) + LOWER$(UPPER$(s$))",
      mid + "s$, i%, 3) + n$",
      upper + mid + "s$, 2, 4)) + \"|\"",
      "i% + " + instr + "\"o\", s$) + " + len + "s$)",
      len + "s$ + n$) * 2",
      "STR$(i%) + STR$(f!) + STR$(-i%) + STR$(i% / 2) + STR$(12) + STR$(2.5)",
      "SPACE$(3) + s$ + SPACE$(-1)",
      "MKSTR$(\"ab\", i%) + MKSTR$(s$, 0) + MKSTR$(e$, 3)",
      "SPACE$(200000000) + s$",
      "MKSTR$(s$, 100000000) + e$",
      // VAL: its integer form is not the float form truncated
      "VAL(n$)",
      "VAL(n$) + 1",
      "(VAL(n$))",
      "-VAL(n$)",
      "VAL(\"$1F\") * 2 + VAL(\"&17\") + VAL(\"%101\") + VAL(\" -3.5x\") + VAL(e$)",
      "MID$(s$, VAL(\"2.9\"), 3) + STR$(VAL(n$)) + CHR$(VAL(\"65\"))",
      "VAL(1)",
      // elements of string arrays
      "W$[1] + W$[i% - 5] + T$[2, 1]",
      "UPPER$(W$[3]) + W$[0]",
      "W$[i%] + s$",
      "W$[4 - 1]",
      "s$ + W$[-1]",
      "s$ + W$[1, 2]",
      "s$ + W$[]",
      "s$ + K%[1]",
      "s$ + Q$[1]",
      "s$ + W$[1 / 0]",
      "LEN(W$[3]) + INSTR(\"7\", T$[2,1])",
      "W$[1] = W$[1] + \"\"",
      // texts compared
      "s$ = \"the quick brown fox\"",
      "s$ <> n$",
      "s$ + n$ < n$ + s$",
      "(s$ = n$) + 1",
      "s$ >= \"the\"",
      "UPPER$(s$) <= s$",
      "(s$ <= s$) + (s$ >= s$) * 2 + (s$ < s$) * 4 + (s$ > s$) * 8 + (s$ <> s$) * 16",
      "(s$ <= e$) + (s$ >= e$) * 2 + (s$ < e$) * 4 + (s$ > e$) * 8 + (s$ = e$) * 16",
      "e$ = \"\"",
      "(s$ > n$) * 2 + (n$ > s$)",
      "MID$(s$, (s$ = n$) + 1, 2) = \"th\"",
      "s$ = n$ = e$",
      "s$ = n$ AND 1",
      "-s$ = n$",
      "s$ = 5",
      "5 = s$",
      "s$ = q$",
      "s$ =",
      "s$ = n$ junk",
      "s$ \x15#1|n$",
      // (an operator token's own precedence decides what "+" joins first)
      "s$ \x15#4|\"x\" + n$",
      "s$ + n$ \x15G3|e$",
      "s$ + n$ \x15L2|e$ + s$",
      // (a slot byte out of place: read as a blank, but the cut into
      // arguments passes over the bytes after it)
      "1, (s$ = \"x\")+\x14 (s$ + s$ < s$)  - 2, 3",
      "1, MID$(s$, 1\x14 2), 3) + s$, 4",
      upper + "s$) \x15G1|" + mid + "s$, 1, 3)",
  };
  const std::pair<char, int> readers[] = {{' ', 0},       {'p', 0},          {',', 0},
                                          {')', 0},       {',', kind::kString}, {')', kind::kInt},
                                          {' ', kind::kFloat}, {' ', kind::kAddress}};
  const uint32_t before = PrecompiledRuns();
  ExpectSameInBothForms(lists, readers);
  EXPECT_GE(PrecompiledRuns() - before, 250u);
}

// What the string programs compute, and that they do run precompiled.
TEST_F(PrecompiledTest, StringProgramsGiveTheirResults) {
  Declare("s$");
  Declare("i%");
  gStores.strs[static_cast<size_t>(Find("S$"))].Value = "the quick brown fox jumps over the lazy dog";
  gStores.ints[static_cast<size_t>(Find("I%"))].Value = 4;
  uint32_t before = PrecompiledRuns();
  TEvalResult r = Eval("UPPER$(MID$(s$, i% MOD 40 + 1, 4)) + \"|\" + MID$(s$, 1, 2)");
  EXPECT_EQ(r.StrValue, "QUIC|th");
  EXPECT_EQ(r.ResultKind, kind::kString);
  EXPECT_EQ(r.IntValue, 2);  // the last part's, from its last argument
  EXPECT_EQ(gEval.lastVarName, "S$");
  EXPECT_EQ(PrecompiledRuns() - before, 1u);
  before = PrecompiledRuns();
  r = Eval("i% + INSTR(\"O\", UPPER$(s$)) + LEN(s$)");
  EXPECT_EQ(r.IntValue, 4 + 13 + 43);
  EXPECT_EQ(PrecompiledRuns() - before, 1u);
  before = PrecompiledRuns();
  EXPECT_EQ(Eval("(s$ > \"the\") + (s$ = \"x\") * 2 + (\"\xE4\" > s$) * 4").IntValue, 5);
  EXPECT_EQ(PrecompiledRuns() - before, 1u);
  // VAL makes its result's text at once: so does its program, where the
  // reader asks for no text.
  TEvalResult val[2];
  for (int fast = 0; fast < 2; ++fast) {
    UsePrecompiledArithmetic(fast == 1);
    gEval.SetText("VAL(\" 12.75e1x\")");
    before = PrecompiledRuns();
    EvaluateCondition(ps_);
    val[fast] = gRes;
    EXPECT_EQ(PrecompiledRuns() - before, fast == 1 ? 1u : 0u);
  }
  UsePrecompiledArithmetic(true);
  EXPECT_EQ(val[1].IntValue, 12);
  EXPECT_EQ(val[1].FloatValue, 127.5);
  EXPECT_EQ(val[1].StrValue, val[0].StrValue);
  EXPECT_EQ(val[1].PendingText, val[0].PendingText);
  ASSERT_TRUE(DeclareArray("W$[5]", ps_));
  ElementRef ref;
  ASSERT_EQ(ResolveElement("W$[3]", ps_, ref), Resolve::Ok);
  gPools.strs[ref.element] = "7up";
  before = PrecompiledRuns();
  r = Eval("W$[i% - 1] + MID$(s$, 5, 5) + W$[i% + 1]");
  EXPECT_EQ(r.StrValue, "7upquick");
  EXPECT_EQ(gEval.lastVarName, "W$[I% + 1]");
  EXPECT_EQ(PrecompiledRuns() - before, 1u);
  // A text that would grow beyond the longest string is the general
  // path's, which reports it.
  gStores.strs[static_cast<size_t>(Find("S$"))].Value.assign(kMaxStringLength / 2 + 1, 'x');
  before = PrecompiledRuns();
  ClearReport();
  r = Eval("s$ + s$");
  EXPECT_EQ(gErr.Code, 219);
  EXPECT_EQ(PrecompiledRuns(), before);
}

// Near the nesting limit and with the operator stack nearly full, a string
// program is the general path's, which refuses it as before (255).
TEST_F(PrecompiledTest, StringProgramsStayWithinTheEvaluatorsLimits) {
  Declare("s$");
  gStores.strs[static_cast<size_t>(Find("S$"))].Value = "abc";
  const std::string text = "UPPER$(MID$(s$, 1, 2)) + s$";
  for (int depth : {kMaxEvalDepth - 3, kMaxEvalDepth - 2, kMaxEvalDepth - 1}) {
    Outcome runs[2];
    for (int fast = 0; fast < 2; ++fast) {
      UsePrecompiledArithmetic(fast == 1);
      ClearReport();
      gEval.lastVarName.clear();
      gEval.SetText(text);
      gEval.depth = depth;
      Evaluate(ps_, ' ', 0);
      gEval.depth = 0;
      runs[fast] = {gRes, gEval.lastVarName, gEval.endOfArgs, gEval.lastSep, gEval.pos, gErr.Code, gErr.ReportKind};
    }
    UsePrecompiledArithmetic(true);
    SCOPED_TRACE(depth);
    ExpectSameOutcome(runs[1], runs[0]);
  }
}

// The arguments found in a text are kept with it: more texts than are
// kept at one depth, read in turn, each in both text forms, and the same
// text after its variable went away and came back.
TEST_F(PrecompiledTest, KeptArgumentsFollowTheirText) {
  Declare("a%");
  gStores.ints[static_cast<size_t>(Find("A%"))].Value = 5;
  // (0x15 "A4|" is the operator AND in compiled text, three characters
  // of a word in source text.)
  const char* texts[] = {"a% + 1, 2)", "a% * 3, a%)", "1, a% - 1)", "a%, \"x\", 3)",
                         "(a%), 7)",   "a% / 0, 1)",  "a% MOD 2, 4)", "a% \x15" "A4| 0, 1)"};
  for (int round = 0; round < 3; ++round) {
    for (const char* t : texts) {
      // Each text in both forms, one after the other, in both orders.
      for (bool compiled : {false, true, false}) {
        gCompiledText = compiled != (round == 1);
        SCOPED_TRACE(std::string(t) + (gCompiledText ? " compiled" : "") + " round " + std::to_string(round));
        ExpectSameList(t, ',', kind::kInt);
        ExpectSameList(t, ')', 0);
      }
    }
  }
  gCompiledText = false;
  ResetStores();
  ExpectSameList("a% + 1, 2)", ',', 0);  // unknown now: reported alike
  Declare("a%");
  ExpectSameList("a% + 1, 2)", ',', 0);
}

TEST_F(PrecompiledTest, RememberedLookupsFollowDeclarationsAndScopes) {
  // A precompiled operand keeps its lookup between runs; a declaration,
  // a new level and its end must each be seen at once.
  Declare("a%");
  gStores.ints[static_cast<size_t>(Find("A%"))].Value = 10;
  ExpectSame("a% * 2 + 1");
  EXPECT_EQ(Eval("a% * 2 + 1").IntValue, 21);
  PushScope();
  Declare("a%");
  gStores.ints[static_cast<size_t>(Find("A%"))].Value = 3;
  ExpectSame("a% * 2 + 1");
  EXPECT_EQ(Eval("a% * 2 + 1").IntValue, 7);
  PopScope();
  EXPECT_EQ(Eval("a% * 2 + 1").IntValue, 21);
  ResetStores();
  const uint32_t before = PrecompiledRuns();
  ExpectSame("a% * 2 + 1");  // unknown now: the general path reports it
  EXPECT_EQ(PrecompiledRuns(), before);
  Declare("a%");
  ASSERT_TRUE(DeclareArray("V%[2]", ps_));
  EXPECT_EQ(Eval("a% * 2 + 1 + V%[1]").IntValue, 1);
  const StoreMarks marks = CurrentMarks();
  ASSERT_TRUE(DeclareArray("W%[1]", ps_));
  EXPECT_EQ(Eval("W%[1] + a%").IntValue, 0);
  Truncate(marks);
  ExpectSame("W%[1] + a%");  // gone again
}

TEST_F(PrecompiledTest, SettingsShapeTheTextForm) {
  Declare("a%");
  gStores.ints[static_cast<size_t>(Find("A%"))].Value = 42;
  gSettings.NumWidth = 8;
  gSettings.Decimals = 2;
  ExpectSame("a%");
  ExpectSame("a% + 0.5");
  ExpectSame("a% * 2");
}

// A negated operand as the whole argument has the text "-" in front of the
// operand's own: every sign of the operand and every field width.
TEST_F(PrecompiledTest, NegatedOperandsKeepTheSignInFrontOfTheirText) {
  Declare("a%");
  Declare("b&");
  Declare("f!");
  const char* texts[] = {"-a%", "-b&", "-f!", "-5", "-0", "-12345", "- 7", "-a% ", "-2.5", "-(a%)", "-a%, 1"};
  const int32_t values[] = {42, -42, 0, 7, INT32_MIN, INT32_MAX};
  uint32_t fastRuns = 0;
  for (int32_t width : {0, 1, 2, 3, 8}) {
    for (int32_t v : values) {
      gSettings.NumWidth = width;
      gStores.ints[static_cast<size_t>(Find("A%"))].Value = v;
      gStores.lngs[static_cast<size_t>(Find("B&"))].Value = v;
      gStores.sngs[static_cast<size_t>(Find("F!"))].Value = static_cast<float>(v) / 4;
      SCOPED_TRACE("width " + std::to_string(width) + ", value " + std::to_string(v));
      const uint32_t before = PrecompiledRuns();
      for (const char* t : texts) ExpectSame(t);
      fastRuns += PrecompiledRuns() - before;
    }
  }
  // Positive whole numbers within the field width ran precompiled.
  EXPECT_GE(fastRuns, 40u);
  gSettings.NumWidth = 0;
}

}  // namespace
}  // namespace korv::testing
