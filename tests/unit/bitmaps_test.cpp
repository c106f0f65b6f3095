#include "graphics/bitmaps.h"

#include <map>
#include <string>
#include <vector>

#include "base/errors.h"
#include "bmp_builder.h"
#include "graphics/bmp_file.h"
#include "graphics/printing.h"
#include "graphics/text_screen.h"
#include "test_support.h"

namespace korv {
namespace {

std::string N(int64_t v) { return std::to_string(v); }

// Records every call as one line of text.
class RecordingBitmaps : public BitmapDevice {
 public:
  bool HasTarget() override { return target; }
  bool NewMemoryBitmap(int32_t w, int32_t h, int64_t colour) override {
    Log("new " + N(w) + " " + N(h) + " " + N(colour));
    return Made();
  }
  bool LoadMemoryBitmap(const bmp::TBmpImage& image) override {
    Log("load " + N(image.width) + " " + N(image.height) + " " + N(image.bitCount) + " " +
        N(image.tableEntries));
    return Made();
  }
  bool PrintImage(const bmp::TBmpImage& image, const TDestRect& d) override {
    Log("printimage " + N(image.width) + "x" + N(image.height) + " at " + N(d.x) + " " + N(d.y) + " " + N(d.w) +
        " " + N(d.h));
    return canMake;
  }
  bool BitmapSize(uint32_t bitmap, int32_t& w, int32_t& h) override {
    auto it = sizes.find(bitmap);
    if (it == sizes.end()) return false;
    w = it->second.first;
    h = it->second.second;
    return true;
  }
  bool Blit(const TBlit& b) override {
    static const char* const sources[] = {"window", "memory", "bitmap"};
    std::string s = std::string("blit ") + sources[static_cast<int>(b.source)];
    if (b.source == BlitSource::Bitmap) s += " " + N(b.bitmap);
    for (int32_t v : {b.xs, b.ys, b.ws, b.hs, b.xd, b.yd, b.wd, b.hd}) s += " " + N(v);
    if (b.stretched) s += " stretched";
    if (b.transparent) s += " transparent";
    if (b.toPrinter) s += " printer";
    char rop[16];
    snprintf(rop, sizeof rop, " %06X", b.rop);
    Log(s + rop);
    return true;
  }
  void CopyWindowToMemory(int32_t xs, int32_t ys, int32_t w, int32_t h, int32_t xd, int32_t yd) override {
    Log("tomem " + N(xs) + " " + N(ys) + " " + N(w) + " " + N(h) + " " + N(xd) + " " + N(yd));
  }
  bool DrawIcon(const TIconRequest& icon, int32_t x, int32_t y) override {
    static const char* const sources[] = {"program", "module", "file", "system"};
    std::string s = std::string("icon ") + sources[static_cast<int>(icon.source)];
    if (icon.source == IconSource::Module) s += " " + N(icon.module);
    s += icon.numeric || icon.source >= IconSource::File ? " #" + N(icon.number) : "";
    if (icon.source != IconSource::System) s += " " + icon.name;
    Log(s + " " + N(x) + " " + N(y));
    return iconExists;
  }
  bool UseIcon(const TIconRequest& icon) override {
    Log("useicon " + icon.name + (icon.numeric ? " #" + N(icon.number) : ""));
    return iconExists;
  }
  bool UseCursor(int32_t id) override {
    Log("cursor " + N(id));
    return true;
  }
  int32_t ShowCursor(bool show) override {
    count += show ? 1 : -1;
    Log("show " + N(count));
    return count;
  }
  void Release() override {
    ++releases;
    gBitmaps.memoryDc = gBitmaps.memoryBitmap = gBitmaps.memoryCopy = 0;
  }

  std::vector<std::string> calls;
  std::map<uint32_t, std::pair<int32_t, int32_t>> sizes;
  bool target = true, iconExists = true, canMake = true;
  int32_t count = 0;
  int releases = 0;

 private:
  bool Made() {
    if (!canMake) return false;
    gBitmaps.memoryDc = 77;
    gBitmaps.memoryBitmap = 78;
    gBitmaps.memoryCopy = 79;
    return true;
  }
  void Log(const std::string& s) { calls.push_back(s); }
};

bool gPrinting = false;
bool PrintingNow() { return gPrinting; }

class BitmapsTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetBitmapDevice(&device);
    SetPrintJobQuery(PrintingNow);
    gPrinting = false;
  }
  void TearDown() override {
    SetPrintJobQuery(PrintJobOpen);  // the printing subsystem's own query
    SetBitmapDevice(nullptr);
    ResetBitmaps();
    ProgramTest::TearDown();
  }
  RecordingBitmaps device;
};

using Calls = std::vector<std::string>;

TEST_F(BitmapsTest, CopyCommandsReadTheirRectanglesAndModes) {
  device.sizes[500] = {40, 30};
  EXPECT_EQ(Run("DRAWPIC 500, 10, 20\n"
                "DRAWSIZEDPIC 500, 1, 2 - 80, 60; 3\n"
                "COPYPIC 500, 1, 2 - 3, 4 > 5, 6; 1\n"
                "COPYSIZEDPIC 500, 1, 2 - 3, 4 > 5, 6 - 7, 8; 2\n"
                "COPYBMP 1, 2 - 3, 4 > 5, 6; 4\n"
                "COPYSIZEDBMP 1, 2 - 3, 4 > 5, 6 - 7, 8; 9\n"),
            0);
  EXPECT_EQ(device.calls,
            (Calls{"blit bitmap 500 0 0 40 30 10 20 40 30 CC0020",
                   "blit bitmap 500 0 0 40 30 1 2 80 60 stretched 660046",
                   "blit bitmap 500 1 2 3 4 5 6 3 4 8800C6",
                   "blit bitmap 500 1 2 3 4 5 6 7 8 stretched EE0086",
                   "blit window 1 2 3 4 5 6 3 4 550009",
                   "blit window 1 2 3 4 5 6 7 8 stretched CC0020"}));
}

TEST_F(BitmapsTest, OnlyUnstretchedCopiesAreTransparent) {
  device.sizes[7] = {4, 5};
  EXPECT_EQ(Run("MCLS 10, 10\n"
                "DRAWPIC 7, 0, 0; -1\nCOPYPIC 7, 0, 0 - 2, 2 > 9, 9; -1\n"
                "COPYBMP 0, 0 - 2, 2 > 9, 9; -1\nMCOPYBMP 0, 0 - 2, 2 > 9, 9; -1\n"
                "DRAWSIZEDPIC 7, 0, 0 - 8, 8; -1\nMCOPYSIZEDBMP 0, 0 - 2, 2 > 1, 1 - 4, 4; -1\n"),
            0);
  EXPECT_EQ(device.calls, (Calls{"new 10 10 -1", "blit bitmap 7 0 0 4 5 0 0 4 5 transparent CC0020",
                                 "blit bitmap 7 0 0 2 2 9 9 2 2 transparent CC0020",
                                 "blit window 0 0 2 2 9 9 2 2 transparent CC0020",
                                 "blit memory 0 0 2 2 9 9 2 2 transparent CC0020",
                                 "blit bitmap 7 0 0 4 5 0 0 8 8 stretched CC0020",
                                 "blit memory 0 0 2 2 1 1 4 4 stretched CC0020"}));
}

TEST_F(BitmapsTest, MemoryBitmap) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "MCOPYBMP 0, 0 - 5, 5 > 0, 0\n"  // no memory bitmap yet: nothing
                "MCLS 0, 5\nPRINT %ERRNUMBER; \" \"; $ERRSTR\n"
                "MCLS 20000, 5\nPRINT %ERRNUMBER\n"
                "MCLS 4, 3, RGB(1, 2, 3)\nPRINT &MEMDC; \" \"; &MEMBMP\n"
                "COPYBMPTOMEM 1, 2 - 3, 4 > 5, 6\n"
                "MCOPYSIZEDBMP 0, 0 - 4, 3 > 10, 10 - 8, 6\n"),
            0);
  EXPECT_EQ(host.stdoutText, "228 Memory Bitmap\n228\n77 79\n");
  EXPECT_EQ(device.calls, (Calls{"new 4 3 197121", "tomem 1 2 3 4 5 6",
                                 "blit memory 0 0 4 3 10 10 8 6 stretched CC0020"}));
  EXPECT_EQ(gBitmaps.memoryWidth, 4);
  EXPECT_EQ(gBitmaps.memoryHeight, 3);
}

TEST_F(BitmapsTest, MemoryBitmapTheDeviceCannotMakeIsReported) {
  device.canMake = false;
  EXPECT_EQ(Run("SETERRORLEVEL -1\nMCLS 5, 5\nPRINT %ERRNUMBER\nMCOPYBMP 0, 0 - 5, 5 > 0, 0\n"), 0);
  EXPECT_EQ(host.stdoutText, "228\n");
  EXPECT_EQ(device.calls, (Calls{"new 5 5 -1"}));
  EXPECT_FALSE(gBitmaps.hasMemory);
}

TEST_F(BitmapsTest, LoadedBitmapSetsSizeAndColours) {
  test::BmpSpec spec;
  spec.bits = 8;
  spec.width = 3;
  spec.height = -2;
  spec.table = {0, 255, 65280, 16711680, 1, 2};
  Write("pal.bmp", test::MakeBmp(spec));
  std::string damaged = test::MakeBmp(spec);
  damaged.resize(damaged.size() - 2);
  Write("cut.bmp", damaged);
  Write("text.bmp", "kein Bild");
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "MLOADBMP \"pal.bmp\"\nPRINT %BMPX; \" \"; %BMPY; \" \"; &BMPCOL; \" \"; !BMPF\n"
                "MLOADBMP \"cut.bmp\"\nPRINT %ERRNUMBER; \" \"; $ERRSTR\n"
                "MLOADBMP \"text.bmp\"\nPRINT %ERRNUMBER; \" \"; $ERRSTR\n"
                "MLOADBMP \"fehlt.bmp\"\nPRINT %ERRNUMBER; \" \"; $ERRSTR; \" \"; %BMPX\n"),
            0);
  EXPECT_EQ(host.stdoutText,
            "3 2 6 1.000000\n228 cut.bmp\n228 text.bmp\n228 fehlt.bmp 3\n");
  EXPECT_EQ(device.calls, (Calls{"load 3 -2 8 6"}));
}

TEST_F(BitmapsTest, ABitmapHandleThatIsNoneIsReported) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDRAWPIC 1234, 0, 0\nPRINT %ERRNUMBER; \" \"; $ERRSTR\n"
                "COPYPIC 99, 0, 0 - 1, 1 > 0, 0\nPRINT %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText, "228 1234\n228\n");
  EXPECT_EQ(device.calls, Calls{});
}

TEST_F(BitmapsTest, ReadsOfTheWindowAreRefusedWhilePrinting) {
  device.sizes[5] = {2, 2};
  gPrinting = true;
  // PRINT itself goes to the print job, so the refusals are read from the
  // error log.
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "COPYBMP 0, 0 - 1, 1 > 2, 2\n"
                "COPYSIZEDBMP 0, 0 - 1, 1 > 2, 2 - 3, 3\n"
                "MCOPYBMP 0, 0 - 1, 1 > 2, 2\n"
                "MCOPYSIZEDBMP 0, 0 - 1, 1 > 2, 2 - 3, 3\n"
                "COPYBMPTOMEM 0, 0 - 1, 1 > 2, 2\n"
                "DRAWPIC 5, 0, 0; -1\n"
                "DRAWPIC 5, 3, 4\nDRAWSIZEDPIC 5, 3, 4 - 6, 8; -1\n"),
            0);
  const std::string log = AllDebugLines();
  int line = 2;
  for (const char* name : {"COPYBMP", "COPYSIZEDBMP", "MCOPYBMP", "MCOPYSIZEDBMP", "COPYBMPTOMEM",
                           "DRAWPIC mit Transparenz"}) {
    const std::string want = "(" + std::to_string(line++) + ") 221:" + ErrorText(221) + name + "\n";
    EXPECT_NE(log.find(want), std::string::npos) << want << log;
  }
  // A bitmap handle is drawn while printing, without transparency.
  EXPECT_EQ(device.calls, (Calls{"blit bitmap 5 0 0 2 2 30 40 20 20 printer CC0020",
                                 "blit bitmap 5 0 0 2 2 30 40 60 80 stretched printer CC0020"}));
}

TEST_F(BitmapsTest, BitmapsLandOnThePrinterScaledByThePrintFactor) {
  device.sizes[5] = {16, 8};
  test::BmpSpec spec;
  spec.width = 4;
  spec.height = -3;
  spec.rows.assign(3, std::vector<uint32_t>(4, 0x0000FF));
  Write("rot.bmp", test::MakeBmp(spec));
  gPrinting = true;
  EXPECT_EQ(Run("DRAWPIC 5, 3, 4; 1\n"
                "DRAWSIZEDPIC 5, 10, 20 - 30, 40\n"
                "COPYPIC 5, 1, 2 - 3, 4 > 50, 60\n"
                "COPYSIZEDPIC 5, 1, 2 - 3, 4 > 50, 60 - -7, 8\n"
                "MLOADBMP \"rot.bmp\"\n"),
            0);
  EXPECT_EQ(device.calls, (Calls{"blit bitmap 5 0 0 16 8 30 40 160 80 printer 8800C6",
                                 "blit bitmap 5 0 0 16 8 100 200 300 400 stretched printer CC0020",
                                 "blit bitmap 5 1 2 3 4 500 600 30 40 printer CC0020",
                                 "blit bitmap 5 1 2 3 4 500 600 -70 80 stretched printer CC0020",
                                 "printimage 4x-3 at 0 0 40 30"}));
  // The loader drew the file instead of making it the memory bitmap.
  EXPECT_FALSE(gBitmaps.hasMemory);
  EXPECT_EQ(gBitmaps.bmpX, 4);
  EXPECT_EQ(gBitmaps.bmpY, 3);
}

TEST_F(BitmapsTest, PrintDestinationsTakeTheImageSizeForMinusOne) {
  const TDestRect own = PrintDestination(2, 3, kOwnSize, kOwnSize, 16, 9);
  const TDestRect given = PrintDestination(-2, 0, 5, kOwnSize, 16, 9);
  const TDestRect wrapped = PrintDestination(0x40000000, 0, 1, 1, 1, 1);
  EXPECT_EQ((std::vector<int32_t>{own.x, own.y, own.w, own.h}), (std::vector<int32_t>{20, 30, 160, 90}));
  EXPECT_EQ((std::vector<int32_t>{given.x, given.y, given.w, given.h}), (std::vector<int32_t>{-20, 0, 50, 90}));
  EXPECT_EQ(wrapped.x, static_cast<int32_t>(0x40000000u * 10u));
}

TEST_F(BitmapsTest, ArgumentErrorsEndTheStatement) {
  device.sizes[5] = {2, 2};
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDRAWPIC 5, 1 / 0, 0\nCOPYBMP 0, 0 - 1, @NICHTDA(1) > 2, 2\n"
                "MCLS 5, @LEN()\nUSECURSOR 1 / 0\nDRAWICON \"KREIS\", 1 / 0\nPRINT \"weiter\"\n"),
            0);
  EXPECT_EQ(device.calls, Calls{});
  EXPECT_EQ(host.stdoutText, "weiter\n");
}

TEST_F(BitmapsTest, IconsByNameNumberModuleFileAndSystem) {
  EXPECT_EQ(Run("DRAWICON \"KREIS\", 1, 2\nDRAWICON \"100\", 3, 4\nDRAWICON 100, 5, 6\n"
                "DRAWEXTICON 4096, \"X\", 7, 8\nDRAWLIBICON \"shell32.dll\", 3, 9, 10\n"
                "DRAWPROGICON \"a.exe\", 0, 11, 12\nDRAWSYSICON 4, 13, 14\nUSEICON \"KREIS\"\n"
                "DRAWICON \"12AB\", 15, 16\nUSEICON \" -3 \"\n"),
            0);
  EXPECT_EQ(device.calls, (Calls{"icon program KREIS 1 2", "icon program #100 100 3 4", "icon program #100 100 5 6",
                                 "icon module 4096 X 7 8", "icon file #3 shell32.dll 9 10",
                                 "icon file #0 a.exe 11 12", "icon system #32516 13 14", "useicon KREIS",
                                 "icon program 12AB 15 16", "useicon  -3  #-3"}));
}

TEST_F(BitmapsTest, MissingIconsAreReported) {
  device.iconExists = false;
  EXPECT_EQ(Run("SETERRORLEVEL -1\n"
                "DRAWICON \"NICHTDA\", 1, 2\nPRINT %ERRNUMBER; \" \"; $ERRSTR\n"
                "DRAWLIBICON \"x.dll\", 1, 2, 3\nPRINT %ERRNUMBER; \" \"; $ERRSTR\n"
                "DRAWSYSICON 2, 0, 0\nPRINT %ERRNUMBER\n"
                "USEICON \"B\"\nPRINT %ERRNUMBER; \" \"; $ERRSTR\n"),
            0);
  EXPECT_EQ(host.stdoutText, "224 NICHTDA\n224 x.dll\n225\n224 B\n");
  device.iconExists = true;
  device.calls.clear();
  host.stdoutText.clear();
  // Only 0..4 name system icons; the device is not asked for others.
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDRAWSYSICON 5, 0, 0\nPRINT %ERRNUMBER\nDRAWSYSICON -1, 0, 0\nPRINT %ERRNUMBER\n"), 0);
  EXPECT_EQ(host.stdoutText, "225\n225\n");
  EXPECT_EQ(device.calls, Calls{});
}

TEST_F(BitmapsTest, WithoutAWindowUseIconAndCopyToMemoryReport237) {
  device.target = false;
  EXPECT_EQ(Run("SETERRORLEVEL -1\nMCLS 2, 2\nUSEICON \"KREIS\"\nPRINT %ERRNUMBER\n"
                "COPYBMPTOMEM 0, 0 - 1, 1 > 0, 0\nPRINT %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText, "237\n237\n");
  EXPECT_EQ(device.calls, (Calls{"new 2 2 -1"}));
}

TEST_F(BitmapsTest, CursorNumbers) {
  const std::map<int32_t, int32_t> expected = {
      {0, 32512}, {1, 32513}, {4, 32516}, {5, 32646}, {6, 32641}, {10, 32645}, {11, 0},
      {12, 32646}, {13, 32642}, {14, 32648}, {15, 32650}, {16, 32651}, {17, -1}, {-1, -1}};
  for (const auto& [n, id] : expected) EXPECT_EQ(CursorIdFor(n), id) << n;
  EXPECT_EQ(Run("SETERRORLEVEL -1\nUSECURSOR 11\nUSECURSOR 17\nPRINT %ERRNUMBER\nUSECURSOR 2\n"), 0);
  EXPECT_EQ(host.stdoutText, "230\n");
  EXPECT_EQ(device.calls, (Calls{"cursor 0", "cursor 32514"}));
}

TEST_F(BitmapsTest, ShowCursorStepsTheDisplayCountAcrossZero) {
  device.count = 2;
  EXPECT_EQ(Run("SHOWCURSOR 0\nSHOWCURSOR 0\nSHOWCURSOR 5\n"), 0);
  EXPECT_EQ(device.calls, (Calls{"show 1", "show 0", "show -1", "show -2", "show -1", "show 0"}));
}

TEST_F(BitmapsTest, ProgramStartReleasesTheMemoryBitmap) {
  EXPECT_EQ(Run("MCLS 3, 3\n"), 0);
  EXPECT_TRUE(gBitmaps.hasMemory);
  const int before = device.releases;
  EXPECT_EQ(Run("PRINT &MEMDC\n"), 0);
  EXPECT_GT(device.releases, before);
  EXPECT_EQ(host.stdoutText, "0\n");
  EXPECT_FALSE(gBitmaps.hasMemory);
}

}  // namespace
}  // namespace korv
