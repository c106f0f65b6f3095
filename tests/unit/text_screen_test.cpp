#include "graphics/text_screen.h"

#include <map>

#include "base/errors.h"
#include "test_support.h"

namespace korv {
namespace {

using test::ProgramTest;

class TextScreenTest : public ProgramTest {};

TEST_F(TextScreenTest, PrintSeparatorsAndKinds) {
  EXPECT_EQ(Run("PRINT \"A\";\n"
                "PRINT \"B\"\n"
                "PRINT \"A\", \"B\"\n"
                "PRINT 7 \\ 2; \"|\"; 2.5 + 1\n"
                "PRINT\n"
                "PRINT 1, 2;\n"
                "PRINT \"x\"\n"),
            0);
  EXPECT_EQ(host.stdoutText, "AB\nA B\n3|3.500000\n\n1 2x\n");
  EXPECT_EQ(ScreenRowText(0), "AB");
  EXPECT_EQ(ScreenRowText(1), "A B");
  EXPECT_EQ(ScreenRowText(4), "1 2x");
}

TEST_F(TextScreenTest, FieldWidthsApplyByKind) {
  EXPECT_EQ(Run("SET(\"NUMWIDTH\", 5)\n"
                "SET(\"DECIMALS\", 2)\n"
                "SET(\"STRWIDTH\", 4)\n"
                "PRINT 42; \"ab\"; 1.5; \"toolong\"\n"
                "SET(\"NUMWIDTH\", 2)\n"
                "PRINT 123456; 3.14159\n"),
            0);
  EXPECT_EQ(host.stdoutText, "   42  ab 1.50toolong\n1234563.14\n");
}

TEST_F(TextScreenTest, LocateClampsToTheGrid) {
  EXPECT_EQ(Run("LOCATE 2, 2\nPRINT \"a\";\nLOCATE 999, 999\nPRINT \"z\";\n"
                "LOCATE 3, 5\nPRINT \"m\";\nLOCATE 0, -4\nPRINT \"b\";\n"),
            0);
  // The last cell of the last row scrolled like a line end: 'z' and 'a'
  // moved up one row.
  EXPECT_EQ(ScreenCell(30, 79), 'z');
  EXPECT_EQ(ScreenCell(31, 79), ' ');
  EXPECT_EQ(ScreenRowText(0), "ba");
  EXPECT_EQ(ScreenCell(2, 4), 'm');
  EXPECT_EQ(ScreenCursorRow(), 1);
  EXPECT_EQ(ScreenCursorColumn(), 2);
}

TEST_F(TextScreenTest, LocateAndTabClampTheSmallestInteger) {
  // -2147483648 lies before the first row and column, however it is
  // counted: the cursor goes to the first one, never wraps to the last.
  EXPECT_EQ(Run("LOCATE -2147483648, 4\nPRINT \"a\";\nLOCATE 3, -2147483648\nPRINT \"b\";\n"
                "PRINT TAB(-2147483648); \"c\";\n"),
            0);
  EXPECT_EQ(ScreenRowText(0), "   a");
  EXPECT_EQ(ScreenRowText(2), "b");
  EXPECT_EQ(ScreenRowText(3), "c");
  EXPECT_EQ(ScreenCursorRow(), 4);
  EXPECT_EQ(ScreenCursorColumn(), 2);
}

TEST_F(TextScreenTest, ScrollsAfterTheLastRow) {
  // 32 lines with their line ends scroll once: the first line is gone.
  std::string src = "DECLARE i%\ni% = 1\nWHILE i% <= 32\nPRINT \"L\"; i%\ni% = i% + 1\nENDWHILE\n"
                    "PRINT \"L33\";\n";
  EXPECT_EQ(Run(src), 0);
  EXPECT_EQ(ScreenRowText(0), "L2");
  EXPECT_EQ(ScreenRowText(30), "L32");
  EXPECT_EQ(ScreenRowText(31), "L33");
  EXPECT_EQ(ScreenCursorRow(), 32);
  EXPECT_EQ(ScreenCursorColumn(), 4);
}

TEST_F(TextScreenTest, TabMovesOnThisRowOrTheNext) {
  EXPECT_EQ(Run("PRINT \"ab\"; TAB(6); \"c\"; TAB(3); \"d\"\nPRINT TAB(1); \"e\"\n"), 0);
  EXPECT_EQ(ScreenRowText(0), "ab   c");
  EXPECT_EQ(ScreenRowText(1), "  d");
  EXPECT_EQ(ScreenRowText(2), "e");
  // Standard output renders the jumps as blanks and line ends.
  EXPECT_EQ(host.stdoutText, "ab   c\n  d\ne\n");
}

TEST_F(TextScreenTest, ClsEmptiesTheGridAndHomesTheCursor) {
  EXPECT_EQ(Run("PRINT \"old\"\nPRINT \"x\";\nCLS\nPRINT \"new\"\nCLS RGB(255, 0, 0)\n"), 0);
  EXPECT_EQ(ScreenRowText(0), "");
  EXPECT_EQ(ScreenRowText(1), "");
  EXPECT_EQ(ScreenCursorRow(), 1);
  EXPECT_EQ(host.stdoutText, "old\nx\nnew\n");
}

TEST_F(TextScreenTest, InputIntoEachKind) {
  host.inputLines = {"Hallo Welt", "42abc", "-17", "2.75e1x", "nix", ""};
  EXPECT_EQ(Run("DECLARE s$, i%, l&, f!, g!, e$\n"
                "INPUT s$\nINPUT i%\nINPUT l&\nINPUT f!\nINPUT g!\nINPUT e$\n"
                "PRINT s$; \"|\"; i%; \"|\"; l&; \"|\"; f!; \"|\"; g!; \"|\"; e$; \"|\"\n"),
            0);
  EXPECT_EQ(host.stdoutText, "Hallo Welt|42|-17|27.500000|0.000000||\n");
  // The lines typed are echoed into the grid, not to standard output.
  EXPECT_EQ(ScreenRowText(0), "Hallo Welt");
}

TEST_F(TextScreenTest, InputIntoArrayElements) {
  host.inputLines = {"say \"hi\" \\o/", "12.5", "7"};
  EXPECT_EQ(Run("DECLARE s$[3], f![2], n%[2]\n"
                "INPUT s$[1]\nINPUT f![0]\nINPUT n%[2]\n"
                "PRINT s$[1]; \"|\"; f![0]; \"|\"; n%[2]\n"),
            0)
      << AllDebugLines();
  EXPECT_EQ(host.stdoutText, "say \"hi\" \\o/|12.500000|7\n");
}

TEST_F(TextScreenTest, InputErrors) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nINPUT\nINPUT x%\nINPUT #0, a$\nPRINT \"ok\"\n"), 0);
  ASSERT_EQ(host.debugLines.size(), 3u) << AllDebugLines();
  EXPECT_NE(host.debugLines[0].find(ErrorText(212)), std::string::npos);
  EXPECT_NE(host.debugLines[1].find("X%"), std::string::npos);
  EXPECT_NE(host.debugLines[2].find(ErrorText(210)), std::string::npos);
  EXPECT_EQ(host.stdoutText, "ok\n");
}

TEST_F(TextScreenTest, ChannelOutsideRangeIsRefused) {
  EXPECT_EQ(Run("PRINT #100, \"x\"\n"), kExitFatal);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_NE(host.boxes[0].caption.find(ErrorText(210)), std::string::npos);
  EXPECT_EQ(host.stdoutText, "");
}

TEST_F(TextScreenTest, FailedItemEndsTheStatement) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nPRINT \"a\"; nofunc(1); \"b\"\nPRINT \"c\"\n"), 0);
  // The items before the failure are written, nothing after it.
  EXPECT_EQ(host.stdoutText, "ac\n");
}

// Byte-level behaviour of the terminal write.
class TerminalWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHost(&host);
    ResetTextScreen();
    DestroyTextGrid();
    ResetTextScreen();
  }
  ConsoleHost host;
};

TEST_F(TerminalWriteTest, BackspaceBlanksTheCellBefore) {
  ScreenWrite("\b");
  EXPECT_EQ(ScreenCursorColumn(), 1);
  ScreenWrite("abcde\b");
  EXPECT_EQ(ScreenCursorColumn(), 5);
  EXPECT_EQ(ScreenRowText(0), "abcd");
  ScreenWrite("\rX");
  EXPECT_EQ(ScreenRowText(0), "abcdX");  // CR is ignored
}

TEST_F(TerminalWriteTest, LongLinesWrapAtTheRightEdge) {
  ScreenWrite(std::string(85, 'w'));
  EXPECT_EQ(ScreenRowText(0), std::string(80, 'w'));
  EXPECT_EQ(ScreenRowText(1), "wwwww");
  // Standard output keeps the line whole.
  EXPECT_EQ(host.stdoutText, std::string(85, 'w'));
}

TEST_F(TerminalWriteTest, GridSizeStaysWithinTheCapacity) {
  EnsureTextScreen();
  SetTextGridSize(5000, 5000);
  EXPECT_EQ(gScreen.width, gScreen.capWidth);
  EXPECT_EQ(gScreen.height, gScreen.capHeight);
  SetTextGridSize(0, -3);
  EXPECT_EQ(gScreen.width, 1);
  EXPECT_EQ(gScreen.height, 1);
  ScreenWrite("abc\nd");  // every byte scrolls the single cell
  EXPECT_EQ(ScreenCell(0, 0), ' ');
  SetTextGridSize(80, 32);
}

TEST_F(TerminalWriteTest, KeyQueueKeepsSixtyFourKeys) {
  for (int i = 0; i < 65; ++i) QueueKey('a' + (i % 26));
  EXPECT_EQ(gScreen.keyCount, kKeyQueueSize);
  EXPECT_EQ(gScreen.lastKey, 'a' + (64 % 26));
  QueueKey(0);
  EXPECT_EQ(gScreen.lastKey, 1);
  EXPECT_EQ(ScreenReadKey(), 'a');
  EXPECT_EQ(ScreenReadKey(), 'b');
  EXPECT_EQ(gScreen.keyCount, kKeyQueueSize - 2);
}

}  // namespace
}  // namespace korv

namespace korv {
namespace {

// The line reader of the window: keys typed into the window, echoed on the
// grid.
class WindowHost : public ConsoleHost {
 public:
  bool ConsoleMode() const override { return false; }
};

class ScriptedDevice : public TextScreenDevice {
 public:
  void EnsureWindow() override {
    if (!gScreen.created) CreateTextGrid(132, 50);
  }
  bool WindowAlive() override { return !keys.empty(); }
  bool FontMetrics(int, TCellFontMetrics&) override { return false; }
  void DrawText(int32_t, int32_t, const std::string& text, int, uint32_t, uint32_t) override { drawn += text; }
  void ScrollUp(int32_t) override {}
  void Clear(bool, uint32_t) override {}
  void Beep() override { ++beeps; }
  void CreateCaret(int32_t, int32_t, int32_t, int32_t) override { ++carets; }
  void MoveCaret(int32_t, int32_t) override {}
  void DestroyCaret() override {}
  // Each wait delivers the next typed key.
  void WaitForEvents() override {
    if (keys.empty()) return;
    QueueKey(keys.front());
    keys.erase(keys.begin());
  }
  std::vector<int> keys;
  std::string drawn;
  int beeps = 0, carets = 0;
};

class LineReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHost(&host);
    SetTextScreenDevice(&device);
    DestroyTextGrid();
    ResetTextScreen();
    EnsureTextScreen();
  }
  void TearDown() override {
    SetTextScreenDevice(nullptr);
    DestroyTextGrid();
    ResetTextScreen();
  }
  WindowHost host;
  ScriptedDevice device;
};

TEST_F(LineReaderTest, TypedLineWithBackspace) {
  device.keys = {'a', 'b', 8, 'c', 7, 13};
  gScreen.hasFocus = true;
  std::string line;
  EXPECT_TRUE(ScreenReadLine(line));
  EXPECT_EQ(line, "ac");  // BEL (7) is below 32: not stored
  EXPECT_EQ(ScreenRowText(0), "ac");
  EXPECT_EQ(ScreenCursorRow(), 2);  // Enter moved on to the next line
  EXPECT_GE(device.carets, 1);      // the caret shows while a key is awaited
  EXPECT_EQ(host.stdoutText, "");   // nothing is mirrored outside console mode
}

TEST_F(LineReaderTest, LineKeepsAtMost126Characters) {
  device.keys.assign(130, 'x');
  device.keys.push_back(13);
  std::string line;
  EXPECT_TRUE(ScreenReadLine(line));
  EXPECT_EQ(line, std::string(126, 'x'));
}

TEST_F(LineReaderTest, ReadingEndsWhenNoKeyCanCome) {
  device.keys = {'q'};
  std::string line;
  EXPECT_TRUE(ScreenReadLine(line));  // the window went away after 'q'
  EXPECT_EQ(line, "q");
}

TEST_F(LineReaderTest, ControlZEndsInputOnlyAfterTheEndMark) {
  device.keys = {'a', 26, 'b', 13};
  std::string line;
  EXPECT_TRUE(ScreenReadLine(line));
  EXPECT_EQ(line, "ab");
  gScreen.endOfFile = true;
  device.keys = {'c', 26, 'd', 13};
  EXPECT_TRUE(ScreenReadLine(line));
  EXPECT_EQ(line, "c");
  EXPECT_EQ(ScreenReadKey(), 'd');
}

// Cell measurement with the metrics that the stock fixed fonts report.
class MetricsDevice : public ScriptedDevice {
 public:
  bool FontMetrics(int font, TCellFontMetrics& m) override {
    auto it = fonts.find(font);
    if (it == fonts.end()) return false;
    m = it->second;
    return true;
  }
  std::map<int, TCellFontMetrics> fonts;
};

TCellFontMetrics Font(int32_t max, bool fixed, int32_t advance, int32_t height, int32_t ascent) {
  TCellFontMetrics m;
  m.maxCharWidth = max;
  m.fixedPitch = fixed;
  m.advance = advance;
  m.height = height;
  m.ascent = ascent;
  return m;
}

class CellMeasureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHost(&host);
    SetTextScreenDevice(&device);
    DestroyTextGrid();
    ResetTextScreen();
  }
  void TearDown() override {
    SetTextScreenDevice(nullptr);
    DestroyTextGrid();
    ResetTextScreen();
  }
  WindowHost host;
  MetricsDevice device;
};

TEST_F(CellMeasureTest, FixedPitchFontsGiveTheirAdvance) {
  // A scalable monospaced font reports its outline bounds as the widest
  // character (13 and 18 pixels) while every character advances 6 and 8.
  device.fonts[10] = Font(13, true, 6, 11, 9);
  device.fonts[16] = Font(18, true, 8, 16, 13);
  MeasureTextCells();
  EXPECT_EQ(gScreen.cellWidth, 8);
  EXPECT_EQ(gScreen.cellHeight, 14);
  EXPECT_EQ(gScreen.baseline, 13);
  EXPECT_EQ(gScreen.tallestFont, 2);
  EXPECT_EQ(80 * gScreen.cellWidth, 640);
}

TEST_F(CellMeasureTest, BitmapFontsAndVariablePitchKeepTheWidestCharacter) {
  // Fixed bitmap fonts: the widest character is the advance.
  device.fonts[10] = Font(8, true, 8, 12, 10);
  device.fonts[16] = Font(8, true, 8, 15, 12);
  MeasureTextCells();
  EXPECT_EQ(gScreen.cellWidth, 8);
  EXPECT_EQ(gScreen.cellHeight, 13);
  // A proportional font cannot keep columns with its advance.
  device.fonts[16] = Font(15, false, 7, 16, 13);
  MeasureTextCells();
  EXPECT_EQ(gScreen.cellWidth, 15);
  // No advance measured: the widest character.
  device.fonts[16] = Font(9, true, 0, 16, 13);
  MeasureTextCells();
  EXPECT_EQ(gScreen.cellWidth, 9);
}

}  // namespace
}  // namespace korv
