#include "graphics/drawing.h"

#include <string>
#include <vector>

#include "test_support.h"

namespace korv {
namespace {

// Records every call as one line of text.
class RecordingDevice : public DrawingDevice {
 public:
  bool HasTarget() override { return target; }
  void UsePen(const TPenParams& p) override {
    Log("pen " + N(p.style) + " " + N(p.width) + " " + N(static_cast<int32_t>(p.colour)));
  }
  void UseBrush(const TBrushParams& b) override {
    Log("brush " + N(b.style) + " " + N(static_cast<int32_t>(b.colour)));
  }
  void TextColour(uint32_t t, int32_t b) override { Log("text " + N(static_cast<int32_t>(t)) + " " + N(b)); }
  void SetPixel(int32_t x, int32_t y, uint32_t c) override {
    Log("pixel " + N(x) + " " + N(y) + " " + N(static_cast<int32_t>(c)));
  }
  void Fill(int32_t x, int32_t y, uint32_t c) override {
    Log("fill " + N(x) + " " + N(y) + " " + N(static_cast<int32_t>(c)));
  }
  void MoveTo(int32_t x, int32_t y) override { Log("move " + N(x) + " " + N(y)); }
  void LineTo(int32_t x, int32_t y) override { Log("line " + N(x) + " " + N(y)); }
  void Shape(ShapeKind kind, const int32_t* p) override {
    static const char* const names[] = {"rect", "ellipse", "roundrect", "arc", "chord", "pie"};
    const int counts[] = {4, 4, 6, 8, 8, 8};
    const int k = static_cast<int>(kind);
    std::string s = names[k];
    for (int i = 0; i < counts[k]; ++i) s += " " + N(p[i]);
    Log(s);
  }
  uint32_t GetPixel(int32_t x, int32_t y) override {
    Log("get " + N(x) + " " + N(y));
    return static_cast<uint32_t>(x * 1000 + y) | 0x80000000u;
  }
  void Release() override { ++releases; }

  std::vector<std::string> calls;
  bool target = true;
  int releases = 0;

 private:
  static std::string N(int32_t v) { return std::to_string(v); }
  void Log(const std::string& s) { calls.push_back(s); }
};

class DrawingTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetDrawingDevice(&device);
  }
  void TearDown() override {
    SetDrawingDevice(nullptr);
    ResetDrawing();
    ProgramTest::TearDown();
  }
  RecordingDevice device;
};

using Calls = std::vector<std::string>;

TEST_F(DrawingTest, PenAndBrushKeepTheirParameters) {
  EXPECT_EQ(Run("USEPEN 2, 3, RGB(255, 0, 0)\nUSEBRUSH 4, $00FF00\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"pen 2 3 255", "brush 4 65280"}));
  EXPECT_TRUE(gDrawing.hasPen);
  EXPECT_EQ(gDrawing.pen.width, 3);
  EXPECT_EQ(gDrawing.brush.style, 4);
  EXPECT_EQ(gDrawing.brush.colour, 0x00FF00u);
}

TEST_F(DrawingTest, LinesAndShapesReadTheirSeparators) {
  EXPECT_EQ(Run("DECLARE a%\na% = 5\n"
                "LINE 1, 2 - a% * 2, 20\n"
                "MOVETO 7, 8\nLINETO 9, a% - 1\n"
                "RECTANGLE 10, 11 - 12, 13\n"
                "ELLIPSE 1, 1 - 4, 4\n"
                "ROUNDRECT 0, 0 - 50, 40; 6, 8\n"
                "ARC 0, 0 - 100, 80; 100, 40; 0, 40\n"
                "CHORD 1, 2 - 3, 4; 5, 6; 7, 8\n"
                "PIE 10, 20 - 30, 40; 50, 60; 70, -80\n"),
            0);
  EXPECT_EQ(device.calls, (Calls{"move 1 2", "line 10 20", "move 7 8", "line 9 4", "rect 10 11 12 13",
                                 "ellipse 1 1 4 4", "roundrect 0 0 50 40 6 8", "arc 0 0 100 80 100 40 0 40",
                                 "chord 1 2 3 4 5 6 7 8", "pie 10 20 30 40 50 60 70 -80"}));
}

TEST_F(DrawingTest, TextColourKeepsColourAndBackground) {
  device.target = false;  // no window needed
  EXPECT_EQ(Run("TEXTCOLOR RGB(0, 0, 255), -1\nTEXTCOLOR 1, RGB(1, 1, 1)\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"text 16711680 -1", "text 1 65793"}));
  EXPECT_EQ(gDrawing.textBack, 65793);
}

TEST_F(DrawingTest, PixelAndFill) {
  EXPECT_EQ(Run("SETPIXEL 3, 4, 255\nFILL 5, 6, 0\nUSEBRUSH 1, 0\nFILL 7, 8, 1\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"pixel 3 4 255", "fill 5 6 0", "brush 1 0", "fill 7 8 1"}));
}

TEST_F(DrawingTest, FillWithAHollowBrushDoesNothing) {
  EXPECT_EQ(Run("USEBRUSH 0, 0\nFILL 5, 6, 0\nSETPIXEL 1, 1, 0\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"brush 0 0", "pixel 1 1 0"}));
}

TEST_F(DrawingTest, GetPixelReadsTheDeviceAsALong) {
  EXPECT_EQ(Run("DECLARE c&\nc& = GETPIXEL(2, 3)\nPRINT c& = ($80000000 + 2003); \" \"; "
                "GETPIXEL(0, 1) = ($80000000 + 1)\n"),
            0);
  EXPECT_EQ(host.stdoutText, "1 1\n");
  EXPECT_EQ(device.calls, (Calls{"get 2 3", "get 0 1"}));
}

TEST_F(DrawingTest, WithoutAWindowPenBrushPixelAndFillReport237) {
  device.target = false;
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "USEPEN 0, 1, 0\nPRINT %ERRNUMBER\n"
                "USEBRUSH 1, 0\nPRINT %ERRNUMBER\n"
                "SETPIXEL 1, 1, 0\nPRINT %ERRNUMBER\n"
                "FILL 1, 1, 0\nPRINT %ERRNUMBER\n"
                "RECTANGLE 1, 2 - 3, 4\n"),
            0);
  EXPECT_EQ(host.stdoutText, "237\n237\n237\n237\n");
  // The lines and shapes draw without the test; nothing else reached the device.
  EXPECT_EQ(device.calls, (Calls{"rect 1 2 3 4"}));
  EXPECT_FALSE(gDrawing.hasPen);
}

TEST_F(DrawingTest, ArgumentErrorEndsTheStatement) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nLINE 1, 2 - 3, @LEN()\nRECTANGLE 1, @GIBTESNICHT(1) - 3, 4\n"
                "USEPEN 0, 1 / 0, 0\nPRINT \"weiter \"; %ERRNUMBER\n"),
            0);
  EXPECT_EQ(device.calls, Calls{});
  // The first report stays pending: %ERRNUMBER names it.
  EXPECT_EQ(host.stdoutText, "weiter 212\n");
  EXPECT_FALSE(gDrawing.hasPen);
}

TEST_F(DrawingTest, ProgramStartResetsTheState) {
  EXPECT_EQ(Run("USEPEN 1, 2, 3\n"), 0);
  const int before = device.releases;
  EXPECT_EQ(Run("PRINT 1\n"), 0);
  EXPECT_GT(device.releases, before);
  EXPECT_FALSE(gDrawing.hasPen);
}

}  // namespace
}  // namespace korv
