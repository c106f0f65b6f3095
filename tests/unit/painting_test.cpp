#include <string>
#include <vector>

#include "base/errors.h"
#include "graphics/drawing.h"
#include "graphics/painting.h"
#include "graphics/printing.h"
#include "gui/window.h"
#include "test_support.h"

namespace korv {
namespace {

using Calls = std::vector<std::string>;
std::string N(int32_t v) { return std::to_string(v); }

// One log for all three seams, so that the order across them shows.
struct Log {
  Calls calls;
  void Add(const std::string& s) { calls.push_back(s); }
};

class FakeDrawing : public DrawingDevice {
 public:
  explicit FakeDrawing(Log& log) : log_(log) {}
  bool HasTarget() override { return target; }
  void UsePen(const TPenParams& p) override { log_.Add("pen " + N(p.width) + " x" + N(gDrawing.scale)); }
  void UseBrush(const TBrushParams&) override {}
  void TextColour(uint32_t, int32_t) override {}
  void SetPixel(int32_t x, int32_t y, uint32_t) override { log_.Add("pixel " + N(x) + " " + N(y)); }
  void Fill(int32_t, int32_t, uint32_t) override {}
  void MoveTo(int32_t, int32_t) override {}
  void LineTo(int32_t, int32_t) override {}
  void Shape(ShapeKind, const int32_t* p) override {
    log_.Add("shape " + N(p[0]) + " " + N(p[1]) + " " + N(p[2]) + " " + N(p[3]));
  }
  uint32_t GetPixel(int32_t, int32_t) override { return 0; }
  void Release() override {}
  bool target = true;

 private:
  Log& log_;
};

class FakePaint : public PaintDevice {
 public:
  explicit FakePaint(Log& log) : log_(log) {}
  void UseFont(const TFontParams& f) override {
    log_.Add("font " + f.face + " " + N(f.height) + " " + N(f.width) + " " + N(f.bold) + N(f.italic) +
             N(f.underline) + " a" + N(f.angle) + " c" + N(f.charset));
    handle = 0x1234;
  }
  uint32_t FontHandle() override { return handle; }
  void DrawText(int32_t x, int32_t y, const std::string& text) override {
    log_.Add("text " + N(x) + " " + N(y) + " " + text);
  }
  bool IsMainWindow(int32_t h) override { return h == 77; }
  int32_t BeginRedirect(int32_t target) override {
    log_.Add("begin " + N(target));
    return redirectFailure;
  }
  void EndRedirect() override { log_.Add("end"); }
  void MapLogical(int32_t w, int32_t h) override { log_.Add("map " + N(w) + " " + N(h)); }
  void Release() override {}
  uint32_t handle = 0;
  int32_t redirectFailure = 0;

 private:
  Log& log_;
};

class FakePrinter : public PrintDevice {
 public:
  explicit FakePrinter(Log& log) : log_(log) {}
  JobStart StartJob(const std::string& document, bool byDialog) override {
    log_.Add(std::string(byDialog ? "dialog " : "job ") + document + " x" + N(gDrawing.scale));
    return start;
  }
  void NextPage() override { log_.Add("page"); }
  void EndJob() override { log_.Add("endjob x" + N(gDrawing.scale)); }
  int32_t ScreenCopy(const TPrintRect& r) override {
    log_.Add(r.whole ? "screencopy" : "screencopy " + N(r.left) + " " + N(r.top) + " " + N(r.right) + " " + N(r.bottom));
    return copyResult;
  }
  int32_t WindowCopy(uint32_t h) override {
    log_.Add("wincopy " + N(static_cast<int32_t>(h)));
    return copyResult;
  }
  JobStart start = JobStart::Started;
  int32_t copyResult = 0;

 private:
  Log& log_;
};

class PaintingTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetDrawingDevice(&drawing);
    SetPaintDevice(&paint);
    SetPrintDevice(&printer);
  }
  void TearDown() override {
    ResetPrinting();
    ResetPainting();
    SetPrintDevice(nullptr);
    SetPaintDevice(nullptr);
    SetDrawingDevice(nullptr);
    ResetDrawing();
    ProgramTest::TearDown();
  }
  Log log;
  FakeDrawing drawing{log};
  FakePaint paint{log};
  FakePrinter printer{log};
};

TEST_F(PaintingTest, FontTakesItsFlagsTheOrientationAndTheCharacterSet) {
  EXPECT_EQ(Run("USEFONT \"Arial\", 20, 8, 1, 0, 5\n"
                "ORIENTATION 900\n"
                "SET(\"CHARSET\", 1)\n"
                "USEFONT \"Courier New\", -12, 0, 0, 2, 0\n"
                "PRINT %FONT\n"),
            0);
  EXPECT_EQ(log.calls, (Calls{"font Arial 20 8 101 a0 c1", "font Courier New -12 0 010 a900 c255"}));
  EXPECT_EQ(host.stdoutText, "4660\n");
  EXPECT_TRUE(gPaint.hasFont);
}

TEST_F(PaintingTest, WithoutAWindowFontTextAndScreenReport237) {
  drawing.target = false;
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "USEFONT \"Arial\", 1, 1, 0, 0, 0\nPRINT %ERRNUMBER\n"
                "DRAWTEXT 1, 2, \"x\"\nPRINT %ERRNUMBER\n"
                "SCREEN 10, 10\nPRINT %ERRNUMBER\n"
                "ORIENTATION 450\n"),
            0);
  EXPECT_EQ(host.stdoutText, "237\n237\n237\n");
  EXPECT_EQ(log.calls, Calls{});
  EXPECT_FALSE(gPaint.hasFont);
  EXPECT_EQ(gPaint.orientation, 450);
}

TEST_F(PaintingTest, DrawTextAndScreen) {
  EXPECT_EQ(Run("DECLARE s$\ns$ = \"Hallo\"\nDRAWTEXT 10, 2 * 10, s$ + \" Welt\"\nSCREEN 320, 200\n"), 0);
  EXPECT_EQ(log.calls, (Calls{"text 10 20 Hallo Welt", "map 320 200"}));
  EXPECT_EQ(gPaint.logicalWidth, 320);
}

TEST_F(PaintingTest, PaintRedirectionPairsAndChecks) {
  gEvents.hwnd = 77;
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "ENDPAINT\nPRINT %ERRNUMBER\n"
                "STARTPAINT 5000\nPRINT %HWND; \" \"; %PRINTING\n"
                "STARTPAINT 5000\nPRINT %ERRNUMBER\n"
                "STARTPRINT\nPRINT %ERRNUMBER; \" \"; %PRINTING\n"
                "ENDPAINT\nPRINT %HWND\n"
                "STARTPAINT 77\nENDPAINT\n"),
            0);
  EXPECT_EQ(host.stdoutText, "124\n5000 0\n249\n249 0\n77\n");
  // The program window itself is no redirection for the device.
  EXPECT_EQ(log.calls, (Calls{"begin 5000", "end"}));
  EXPECT_FALSE(gPaint.redirected);
}

TEST_F(PaintingTest, FailedRedirectionReportsAndLeavesNothingOpen) {
  paint.redirectFailure = 242;
  EXPECT_EQ(Run("SETERRORLEVEL -1\nSTARTPAINT 12345\nPRINT %ERRNUMBER\nENDPAINT\nPRINT %ERRNUMBER\n"), 0);
  EXPECT_EQ(host.stdoutText, "242\n124\n");
  paint.redirectFailure = 228;
  host.stdoutText.clear();
  EXPECT_EQ(Run("SETERRORLEVEL -1\nSTARTPAINT -1\nPRINT %ERRNUMBER\n"), 0);
  EXPECT_EQ(host.stdoutText, "228\n");
  EXPECT_NE(AllDebugLines().find("Memory Bitmap"), std::string::npos);
  EXPECT_FALSE(gPaint.redirected);
}

TEST_F(PaintingTest, PrintJobScalesDrawingAndRefusesWhatItMust) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "NEXTPAGE\nPRINT %ERRNUMBER\nENDPRINT\nPRINT %ERRNUMBER\n"
                "USEPEN 0, 3, 0\n"
                "STARTPRINT\n"
                "PRINT %PRINTING\n"),
            0);
  EXPECT_EQ(host.stdoutText, "120\n120\n");  // the grid is refused while printing
  EXPECT_TRUE(PrintJobOpen());
  log.calls.clear();
  host.stdoutText.clear();
  // The job stays open into the next run only if nothing resets it: the
  // reset of a new run ends it.
  EXPECT_EQ(Run("PRINT %PRINTING\n"), 0);
  EXPECT_EQ(log.calls, (Calls{"endjob x1"}));
  EXPECT_EQ(host.stdoutText, "0\n");
}

TEST_F(PaintingTest, CoordinatesAndSizesGrowByThePrintFactor) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "STARTPRINT \"Bericht\"\n"
                "RECTANGLE 1, 2 - 30, 40\nSETPIXEL 5, 6, 0\nDRAWTEXT 7, 8, \"t\"\n"
                "SCREEN 1, 1\nSCREENCOPY\nWINCOPY 1\nSTARTPAINT 5\nCLS\n"
                "STARTPRINT\n"
                "NEXTPAGE\nENDPRINT\nRECTANGLE 1, 2 - 30, 40\nENDPRINT\n"),
            0);
  EXPECT_EQ(log.calls, (Calls{"job Bericht x10", "shape 10 20 300 400", "pixel 50 60", "text 70 80 t", "page",
                              "endjob x1", "shape 1 2 30 40"}));
  EXPECT_FALSE(PrintJobOpen());
  EXPECT_EQ(gDrawing.scale, 1);
}

TEST_F(PaintingTest, RefusalsWhilePrintingNameTheCommand) {
  for (const char* cmd : {"SCREEN 1, 1", "SCREENCOPY", "WINCOPY 3", "STARTPAINT 5", "STARTPRINT \"zwei\""}) {
    host.debugLines.clear();
    EXPECT_EQ(Run(std::string("SETERRORLEVEL -1\nSTARTPRINT\n") + cmd + "\n"), 0) << cmd;
    EXPECT_EQ(gErr.Code, 221) << cmd;
    const std::string word = std::string(cmd).substr(0, std::string(cmd).find(' '));
    EXPECT_NE(AllDebugLines().find(word), std::string::npos) << cmd;
  }
}

TEST_F(PaintingTest, DocumentNamesAndFailedStarts) {
  EXPECT_EQ(Run("STARTPRINT\nENDPRINT\n"
                "STARTPRINT \"*Report\"\nENDPRINT\n"
                "STARTPRINT \"1234567890123456789012345678901234567890\"\nENDPRINT\n"),
            0);
  EXPECT_EQ(log.calls, (Calls{"job DruckSeite x10", "endjob x1", "dialog Report x10", "endjob x1",
                              "job 12345678901234567890123456789012 x10", "endjob x1"}));
  log.calls.clear();
  printer.start = JobStart::Cancelled;
  host.stdoutText.clear();
  EXPECT_EQ(Run("SETERRORLEVEL -1\nSTARTPRINT \"*x\"\nPRINT %ERRNUMBER; \" \"; %PRINTING\n"), 0);
  EXPECT_EQ(host.stdoutText, "0 0\n");
  for (JobStart failure : {JobStart::NoPrinter, JobStart::DocumentRefused}) {
    printer.start = failure;
    host.stdoutText.clear();
    EXPECT_EQ(Run("SETERRORLEVEL -1\nSTARTPRINT\nPRINT %ERRNUMBER; \" \"; %PRINTING\nRECTANGLE 1, 1 - 2, 2\n"), 0);
    EXPECT_EQ(host.stdoutText, "235 0\n");
    EXPECT_EQ(gDrawing.scale, 1);
  }
}

TEST_F(PaintingTest, HardCopies) {
  EXPECT_EQ(Run("SCREENCOPY\nSCREENCOPY 10, 20 - 30, 40\nWINCOPY 99\n"), 0);
  EXPECT_EQ(log.calls, (Calls{"screencopy", "screencopy 10 20 30 40", "wincopy 99"}));
  printer.copyResult = 242;
  host.stdoutText.clear();
  EXPECT_EQ(Run("SETERRORLEVEL -1\nWINCOPY 5\nPRINT %ERRNUMBER\n"), 0);
  EXPECT_EQ(host.stdoutText, "242\n");
  // A failed copy is a warning: the program goes on at the default level.
  printer.copyResult = 236;
  host.stdoutText.clear();
  EXPECT_EQ(Run("SCREENCOPY\nPRINT \"weiter\"\n"), 0);
  EXPECT_EQ(host.stdoutText, "weiter\n");
  EXPECT_NE(AllDebugLines().find("236"), std::string::npos);
}

}  // namespace
}  // namespace korv
