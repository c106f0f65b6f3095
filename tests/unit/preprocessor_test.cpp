#include "core/line_store.h"
#include "core/preprocessor.h"
#include "base/text.h"
#include "base/errors.h"
#include "test_support.h"

namespace korv {
namespace {

using test::ProgramTest;

TEST(TextTest, TrimRemovesControlCharactersAndBlanks) {
  EXPECT_EQ(Trim(" \t\x01 a b \r\n"), "a b");
  EXPECT_EQ(Trim("\x1f"), "");
}

TEST(TextTest, UpperFollowsTheAnsiCodePage) {
  EXPECT_EQ(Upper("abc\xe4\xf6\xfc\xdf\xff"), "ABC\xc4\xd6\xdc\xdf\x9f");
  EXPECT_EQ(Upper("\xf7"), "\xf7");  // the division sign has no capital
}

TEST(TextTest, TopLevelSearchSkipsQuotesAndBrackets) {
  EXPECT_EQ(FindTopLevel("a(b:c):d", ':'), 6u);
  EXPECT_EQ(FindTopLevel("\"x:y\":z", ':'), 5u);
  EXPECT_EQ(FindTopLevel("a[1:2]", ':'), std::string::npos);
  EXPECT_EQ(FindTopLevel("f(1,2),3", ','), 6u);
}

TEST(TextTest, CompiledTopLevelSearchSkipsTokenOperands) {
  // "@" opens a bracket and its code byte (here a comma) is skipped.
  std::string s = std::string("@,1),2");
  EXPECT_EQ(FindTopLevel(s, ',', true), 4u);
  // Four bytes after 0xFE are a slot number, whatever they hold.
  std::string t = std::string("%\xfe,,,,", 6) + ",x";
  EXPECT_EQ(FindTopLevel(t, ',', true), 6u);
}

TEST(HeaderEntryTest, FormsNameValueEntries) {
  EXPECT_EQ(HeaderEntryForTest("Pi = 3.14159 ;"), "PI=3.14159 ;");
  EXPECT_EQ(HeaderEntryForTest("MAX(=@Max(;"), "MAX(=@Max(;");
  EXPECT_EQ(HeaderEntryForTest("A=1=2;"), "A=1;");  // cut value gets its ";"
  EXPECT_EQ(HeaderEntryForTest(";comment"), "");
  EXPECT_EQ(HeaderEntryForTest("no semicolon"), "no semicolon");
}

TEST(SplitLinesTest, AcceptsEveryLineEnd) {
  auto lines = SplitLines("a\r\nb\nc\rd");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "d");
  EXPECT_EQ(SplitLines("a\n\n").size(), 2u);
}

class LoaderTest : public ProgramTest {
 protected:
  void Load(const std::string& source, LoadOptions opt = LoadOptions()) {
    Write("main.krv", source);
    LoadProgram("main.krv", opt);
  }
};

TEST_F(LoaderTest, CommentsContinuationsAndColonsKeepLineNumbers) {
  Load("a = 1 ' note\nb$ = \"it's\"\nx = 1 \\\n + 2 \\\n + 3\nx = 1 : y = 2\nStart:\nREM text\n");
  ASSERT_EQ(gProgram.Length(), 9);
  EXPECT_EQ(gProgram.lines[1], "a = 1");
  EXPECT_EQ(gProgram.lines[2], "b$ = \"it's\"");
  EXPECT_EQ(gProgram.lines[3], "");
  EXPECT_EQ(gProgram.lines[4], "");
  EXPECT_EQ(gProgram.lines[5], "x = 1 + 2 + 3");
  EXPECT_EQ(gProgram.LineOf(5), 5);  // the joined line carries its last physical line
  EXPECT_EQ(gProgram.lines[6], "x = 1");
  EXPECT_EQ(gProgram.lines[7], "y = 2");
  EXPECT_EQ(gProgram.LineOf(7), 6);
  EXPECT_EQ(gProgram.lines[8], "Start:");
  EXPECT_EQ(gProgram.lines[9], "");  // REM lines are emptied
}

TEST_F(LoaderTest, IncludePrefixReplacesMarkers) {
  Write("lib.inc", "?_count% = 1\n\"?_kept\"\n");
  Load("$I lib.inc=my\n$I lib.inc\n?_stays\n");
  EXPECT_EQ(gProgram.lines[2], "mycount% = 1");
  EXPECT_EQ(gProgram.lines[3], "\"?_kept\"");
  EXPECT_EQ(gProgram.lines[5], "count% = 1");
  EXPECT_EQ(gProgram.lines[7], "?_stays");
  EXPECT_EQ(gProgram.FileOf(2), "lib.inc");
  EXPECT_EQ(gProgram.LineOf(3), 2);
}

TEST_F(LoaderTest, MacrosExpandFromHeaders) {
  Write("h.h", "Pi = 3.14159 ;\nMAX(=@Max(;\nF(=@Func(1,;\n");
  Load("$H h.h\nx = ~pi\ny = ~MAX(a,b)\nz = ~F()\ns$ = \"~pi\"\n");
  EXPECT_EQ(gProgram.lines[2], "x = 3.14159");
  EXPECT_EQ(gProgram.lines[3], "y = @Max(a,b)");
  EXPECT_EQ(gProgram.lines[4], "z = @Func(1)");
  EXPECT_EQ(gProgram.lines[5], "s$ = \"~pi\"");
}

TEST_F(LoaderTest, ConditionalPassFollowsSymbols) {
  LoadOptions opt;
  opt.symbols = {"INTERPRETER"};
  Load("$IFDEF INTERPRETER\na\n$ELSE\nb\n$ENDIF\n$IFDEF NOPE\n$DEFINE LATE\n$ENDIF\n"
       "$IFDEF late\nc\n$ENDIF\n$DEFINE D\n$DEFINE D\n$UNDEF D\n$IFDEF D\nd\n$ENDIF\n$ifdef x\n",
       opt);
  EXPECT_EQ(gProgram.lines[2], "a");
  EXPECT_EQ(gProgram.lines[4], "");
  EXPECT_EQ(gProgram.lines[10], "c");
  EXPECT_EQ(gProgram.lines[16], "d");
  EXPECT_EQ(gProgram.lines[18], "$ifdef x");
}

TEST_F(LoaderTest, LoadFailuresExitWithOne) {
  Write("main.krv", "$I missing.inc\n");
  try {
    LoadProgram("main.krv", LoadOptions());
    FAIL() << "no exit";
  } catch (const ExitRequest& e) {
    EXPECT_EQ(e.code, kExitLoadError);
  }
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "INCLUDE-Datei nicht gefunden!");
  EXPECT_EQ(host.boxes[0].text, "Zeile  1: $I missing.inc");
}

TEST_F(LoaderTest, SelfReferringMacroIsRefused) {
  Write("h.h", "A=~B;\nB=~A;\n");
  Write("main.krv", "$H h.h\n~A\n");
  try {
    LoadProgram("main.krv", LoadOptions());
    FAIL() << "no exit";
  } catch (const ExitRequest& e) {
    EXPECT_EQ(e.code, kExitLoadError);
  }
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text.rfind("Definition im Header fehlt: ", 0), 0u);
}

TEST_F(LoaderTest, ExpandedLineOverTheLimitIsRefused) {
  Write("h.h", "L=" + std::string(20000, 'x') + ";\n");
  Write("main.krv", "$H h.h\na$ = ~L + ~L\n");
  try {
    LoadProgram("main.krv", LoadOptions());
    FAIL() << "no exit";
  } catch (const ExitRequest& e) {
    EXPECT_EQ(e.code, kExitLoadError);
  }
  EXPECT_EQ(host.boxes.back().text, "Zeile zu lang (max. 32767 Zeichen)!");
}


class ContinuationTest : public LoaderTest {
 protected:
  // Loads main.krv and gives the exit code of a load failure (0: loaded).
  int LoadOrExit(const std::string& source) {
    Write("main.krv", source);
    try {
      LoadProgram("main.krv", LoadOptions());
    } catch (const ExitRequest& e) {
      return e.code;
    }
    return 0;
  }
};

TEST_F(ContinuationTest, JoinedLineOfTheLongestLengthLoads) {
  // 327 lines of 100 characters and one of 67: 32,767 characters. The last
  // continued line makes the text one longer, but its backslash goes.
  std::string src;
  for (int i = 0; i < 327; ++i) src += std::string(100, 'x') + "\\\n";
  src += std::string(67, 'x') + "\\\n\n";
  ASSERT_EQ(LoadOrExit(src), 0);
  ASSERT_EQ(gProgram.Length(), 329);
  EXPECT_EQ(gProgram.lines[329], std::string(32767, 'x'));
  EXPECT_EQ(gProgram.LineOf(329), 329);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ContinuationTest, JoinedLineOneLongerIsRefused) {
  std::string src;
  for (int i = 0; i < 327; ++i) src += std::string(100, 'x') + "\\\n";
  src += std::string(68, 'x') + "\n";
  EXPECT_EQ(LoadOrExit(src), kExitLoadError);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Korvid");
  EXPECT_EQ(host.boxes[0].text, "Zeile zu lang (max. 32767 Zeichen)!");
}

TEST_F(ContinuationTest, OverLongLineIsRefusedBeforeItIsJoinedToTheEnd) {
  // 270,000 continued lines would pass the slot limit (901) long before
  // their end; the joined line is refused with 902 as soon as it is longer
  // than the limit.
  std::string src;
  for (int i = 0; i < 270000; ++i) src += "x\\\n";
  EXPECT_EQ(LoadOrExit(src), kExitLoadError);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Zeile zu lang (max. 32767 Zeichen)!");
}

TEST_F(ContinuationTest, ContinuedRemLineMayGrowBeyondTheLimit) {
  std::string src = "rem ";
  for (int i = 0; i < 400; ++i) src += std::string(100, 'x') + "\t\\\n";
  src += "x\nPRINT 1\n";
  ASSERT_EQ(LoadOrExit(src), 0);
  ASSERT_EQ(gProgram.Length(), 402);
  EXPECT_EQ(gProgram.lines[401], "");
  EXPECT_EQ(gProgram.lines[402], "PRINT 1");
}

TEST_F(ContinuationTest, TabsOfContinuedLinesBecomeBlanks) {
  ASSERT_EQ(LoadOrExit("a$ = \"1\t2\" + \\\n\t\"3\t4\" ' c\t\n"), 0);
  EXPECT_EQ(gProgram.lines[2], "a$ = \"1 2\" + \"3 4\"");
}

}  // namespace
}  // namespace korv
