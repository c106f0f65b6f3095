#include "opengl/opengl.h"

#include <algorithm>
#include <string>
#include <vector>

#include "gui/window.h"
#include "opengl/gl_device.h"
#include "opengl_test_support.h"
#include "test_support.h"

namespace korv {
namespace {

using Calls = std::vector<std::string>;

class OpenGlTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetGlDevice(&gl);
  }
  void TearDown() override {
    SetGlDevice(nullptr);
    ResetOpenGl();
    ProgramTest::TearDown();
  }
  // Runs lines after an INIT on window 5 whose calls are dropped.
  int RunInitialised(const std::string& lines) {
    return Run("DECLARE r%, f!\nr% = OGL(\"INIT\", 5, 0, 0, 0, 0)\nr% = OGL(\"ROTATE\", 0, 0, 0)\n" +
               lines);
  }
  // The calls after the marker ROTATE of RunInitialised.
  Calls AfterInit() {
    Calls all = gl.Take(), out;
    bool seen = false;
    for (const auto& c : all) {
      if (seen) out.push_back(c);
      if (c == "Rotated 0 0 0 1") seen = true;
    }
    return out;
  }
  test::RecordingGl gl;
};

TEST_F(OpenGlTest, InitSetsTheDefaultStateAndProjectionInOrder) {
  EXPECT_EQ(Run("PRINT OGL(\"init\", 5, 0.5, 0.25, 1, 1)\n"), 0);
  EXPECT_EQ(host.stdoutText, "1005\n");
  EXPECT_EQ(gl.Take(),
            (Calls{"GetDC 5", "SetPixelFormat 7", "ShadeModel 7425", "ClearColor 0.5 0.25 1 1",
                   "Fogi 2917 2048", "FogColor 0.5 0.25 1 1", "Hint 3156 4352", "ClearDepth 1",
                   "Enable 2929", "DepthFunc 515", "Hint 3152 4354", "Enable 16384", "Enable 2896",
                   "Enable 2903", "ColorMaterial 1032 5634", "NewQuadric", "Viewport 0 0 400 300",
                   "MatrixMode 5889", "LoadIdentity", "Perspective 45 1.33333 0.1 100",
                   "MatrixMode 5888", "LoadIdentity"}));
  EXPECT_EQ(gOgl.window, 5u);
}

TEST_F(OpenGlTest, LightingArgumentSelectsTheColourMaterial) {
  const std::pair<int, const char*> cases[] = {
      {2, "ColorMaterial 1032 4609"}, {3, "ColorMaterial 1032 4608"},
      {4, "ColorMaterial 1032 4610"}, {5, "ColorMaterial 1032 5632"}};
  for (const auto& [light, call] : cases) {
    ASSERT_EQ(Run("PRINT OGL(\"INIT\", 5, 0, 0, 0, " + std::to_string(light) + ")\n"), 0);
    EXPECT_TRUE(gl.Has(call)) << light;
    gl.Take();
  }
  ASSERT_EQ(Run("PRINT OGL(\"INIT\", 5, 0, 0, 0, 6)\n"), 0);
  const Calls six = gl.Take();
  EXPECT_NE(std::find(six.begin(), six.end(), "Enable 2903"), six.end());
  for (const auto& c : six) EXPECT_EQ(c.rfind("ColorMaterial", 0), std::string::npos);
  ASSERT_EQ(Run("PRINT OGL(\"INIT\", 5, 0, 0, 0, 0)\n"), 0);
  for (const auto& c : gl.Take()) EXPECT_NE(c, "Enable 2896");
}

TEST_F(OpenGlTest, SecondInitKeepsThePixelFormatAndReplacesTheQuadric) {
  EXPECT_EQ(Run("DECLARE r%\nr% = OGL(\"INIT\", 5, 0, 0, 0, 1, 3)\n"
                "r% = OGL(\"INIT\", 5, 0, 0, 0, 1)\nPRINT r%; \" \"; %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText, "1005 0\n");
  const Calls calls = gl.Take();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetPixelFormat 3"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "DeleteQuadric"), 1);
  EXPECT_EQ(gl.quadrics, 1);
}

TEST_F(OpenGlTest, InitFailuresReportAndReleaseTheDc) {
  gl.choose = 0;
  EXPECT_EQ(Run("SETERRORLEVEL -1\nPRINT OGL(\"INIT\", 5, 0, 0, 0, 1); \" \"; %ERRNUMBER\n"), 0);
  EXPECT_EQ(host.stdoutText, "0 402\n");
  EXPECT_TRUE(gl.Has("ReleaseDC 5 1005"));
  EXPECT_EQ(gOgl.window, 0u);
  gl.Take();
  host.stdoutText.clear();
  gl.choose = 7;
  gl.makeCurrent = false;
  EXPECT_EQ(Run("SETERRORLEVEL -1\nPRINT OGL(\"INIT\", 5, 0, 0, 0, 1); \" \"; %ERRNUMBER\n"), 0);
  EXPECT_EQ(host.stdoutText, "0 405\n");
  EXPECT_TRUE(gl.Has("DeleteContext 77"));
  EXPECT_TRUE(gl.Has("ReleaseDC 5 1005"));
  host.stdoutText.clear();
  EXPECT_EQ(Run("SETERRORLEVEL -1\nPRINT OGL(\"INIT\", 0, 0, 0, 0, 1); \" \"; %ERRNUMBER\n"), 0);
  EXPECT_EQ(host.stdoutText, "0 401\n");
}

TEST_F(OpenGlTest, WithoutAContextSubCommandsReport400) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE r%\n"
                "r% = OGL(\"CLEAR\")\nPRINT %ERRNUMBER\n"
                "r% = OGL(\"MOVE\", 1, 2, 3)\nPRINT %ERRNUMBER\n"
                "r% = OGL(\"SCALE\", 2)\nPRINT %ERRNUMBER\n"
                "r% = OGL(\"POSMODE\", 1)\nPRINT %ERRNUMBER\n"
                "PRINT OGL(\"ERRORSTRING\", 1280); \"|\"; OGL(\"ERRORSTRING\", 99); \"|\"; %OGLERROR\n"
                "r% = OGL(\"INIT\", 5, 0, 0, 0, 0)\nr% = OGL(\"DONE\")\n"
                "r% = OGL(\"SHOW\")\nPRINT %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText, "400\n400\n0\n0\ninvalid enumerant||0\n400\n");
  EXPECT_FALSE(gOgl.positionMode);
}

TEST_F(OpenGlTest, OglErrorReadsTheGlErrorWithAContext) {
  gl.error = 1282;
  EXPECT_EQ(RunInitialised("PRINT %OGLERROR\n"), 0);
  EXPECT_EQ(host.stdoutText, "1282\n");
}

TEST_F(OpenGlTest, ClearTakesHeightZeroAsOneAndTheFarPlaneOfOgldepth) {
  gl.height = 0;
  EXPECT_EQ(RunInitialised("PRINT SET(\"OGLDEPTH\", 500)\nf! = OGL(\"CLEAR\")\nPRINT f! = 400\n"),
            0);
  EXPECT_EQ(host.stdoutText, "100\n1\n");
  EXPECT_EQ(AfterInit(), (Calls{"Viewport 0 0 400 1", "MatrixMode 5889", "LoadIdentity",
                                "Perspective 45 400 0.1 500", "MatrixMode 5888", "Clear 18176",
                                "LoadIdentity"}));
}

TEST_F(OpenGlTest, ClearInSelectionModeKeepsThePickProjection) {
  gl.renderMode = static_cast<int32_t>(gl::kSelect);
  EXPECT_EQ(RunInitialised("f! = OGL(\"CLEAR\")\n"), 0);
  EXPECT_EQ(AfterInit(), (Calls{"Viewport 0 0 400 300", "MatrixMode 5888", "Clear 18176", "LoadIdentity"}));
}

TEST_F(OpenGlTest, FogAndBlendModes) {
  EXPECT_EQ(RunInitialised("SETERRORLEVEL -1\n"
                           "r% = OGL(\"FOG\", 0, 1, 2)\nr% = OGL(\"FOG\", 2, 0.5, 0)\n"
                           "r% = OGL(\"FOG\", 3, 1, 0)\nPRINT %ERRNUMBER\nr% = OGL(\"FOG\", 3, 1, 9)\n"
                           "r% = OGL(\"BLENDMODE\", 2)\nr% = OGL(\"BLENDMODE\", 7)\nr% = OGL(\"BLENDMODE\", 0)\n"),
            0);
  EXPECT_EQ(host.stdoutText, "200\n");
  EXPECT_EQ(AfterInit(),
            (Calls{"Disable 2912", "Fogi 2917 2049", "Fogf 2914 0.5", "Enable 2912", "Fogi 2917 9729",
                   "Fogf 2915 1", "Fogf 2916 9", "Enable 2912", "Enable 3042", "BlendFunc 770 1",
                   "Disable 2929", "Disable 3042", "Enable 2929"}));
}

TEST_F(OpenGlTest, TextUsesTheFontListsAndSkipsControlCharacters) {
  EXPECT_EQ(RunInitialised("PRINT OGL(\"BITMAPFONT\", 42)\n"
                           "r% = OGL(\"PRINT\", 1000, \"A\" + CHR$(10) + \"B\")\n"
                           "r% = OGL(\"PRINT\", 1000, \"\")\n"),
            0);
  EXPECT_EQ(host.stdoutText, "1000\n");
  // ListBase base - 32: code 65 calls list base + 33.
  EXPECT_EQ(AfterInit(), (Calls{"SelectFont 1005 42", "GenLists 256", "UseFontBitmaps 1000",
                                "SelectFont 1005 55", "PushAttrib 131072", "ListBase 968",
                                "CallLists AB", "RasterPos2f 0 0", "PopAttrib", "PushAttrib 131072",
                                "ListBase 968", "RasterPos2f 0 0", "PopAttrib"}));
}

TEST_F(OpenGlTest, AFailedFontGivesItsListsBack) {
  gl.fontsWork = false;
  EXPECT_EQ(RunInitialised("PRINT OGL(\"OUTLINEFONT\", 42, 0.25)\n"), 0);
  EXPECT_EQ(host.stdoutText, "0\n");
  EXPECT_EQ(AfterInit(), (Calls{"SelectFont 1005 42", "GenLists 256", "UseFontOutlines 1000 0.25",
                                "SelectFont 1005 55", "DeleteLists 1000 256"}));
}

TEST_F(OpenGlTest, UnknownSubCommandsGoToTheSubproc) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nPRINT OGL(\"twice\", 21)\nPRINT OGL(\"NIX\", 1)\nPRINT %ERRNUMBER\nEND\n"
                "SUBPROC OGL.TWICE\nPARAMETERS n%\nRETURN n% * 2\nENDPROC\n"),
            0);
  EXPECT_EQ(host.stdoutText, "42.000000\n0\n263\n");  // the subprocedure returns a float
}

TEST_F(OpenGlTest, ShapesLeaveTheModelViewMatrixAsTheyFoundIt) {
  for (const char* mode : {"0", "1"}) {
    ASSERT_EQ(RunInitialised("r% = OGL(\"POSMODE\", " + std::string(mode) + ")\n"
                             "r% = OGL(\"CYLINDER\", 1, 0.5, 2, 12)\nr% = OGL(\"TUBE\", 1, 1, 3, 8)\n"
                             "r% = OGL(\"DISK\", 0.5, 1, 9)\nr% = OGL(\"PARTIALDISK\", 0, 2, 9, 10, 90)\n"
                             "r% = OGL(\"SPHERE\", 1, 8, 8)\n"),
              0);
    EXPECT_TRUE(gl.IsIdentity()) << "position mode " << mode;
    const Calls calls = AfterInit();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Cylinder 1 0.5 2 12 1"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "PartialDisk 0 2 9 1 10 90"), calls.end());
  }
}

TEST_F(OpenGlTest, PositionModeLiftsShapesOntoTheGround) {
  EXPECT_EQ(RunInitialised("r% = OGL(\"SPHERE\", 2, 6, 4)\nr% = OGL(\"TRIANGLE\", 2, 4)\n"
                           "r% = OGL(\"POSMODE\", 1)\nr% = OGL(\"QUAD\", 2, 4)\n"),
            0);
  EXPECT_EQ(AfterInit(),
            (Calls{"Translated 0 2 0", "Rotated -90 1 0 0", "Sphere 2 6 4", "Rotated 90 1 0 0",
                   "Translated 0 -2 0", "Begin 4", "Normal3d 0 0 0.5", "Vertex3d 0 4 0",
                   "Vertex3d -1 0 0", "Vertex3d 1 0 0", "End", "Begin 7", "Normal3d 0 0 0.5",
                   "Vertex3d -1 -2 0", "Vertex3d 1 -2 0", "Vertex3d 1 2 0", "Vertex3d -1 2 0", "End"}));
}

TEST_F(OpenGlTest, TexturedShapesEmitCoordinatesWithTheRepeat) {
  EXPECT_EQ(RunInitialised("r% = OGL(\"TEXTURE\", 3, 2)\nr% = OGL(\"TRIANGLE\", 2, 4)\n"
                           "r% = OGL(\"TEXTURE\", 0, 1)\n"),
            0);
  EXPECT_EQ(AfterInit(), (Calls{"Enable 3553", "BindTexture 3553 3", "Begin 4", "Normal3d 0 0 0.5",
                                "TexCoord2d 1 2", "Vertex3d 0 4 0", "TexCoord2d 0 0", "Vertex3d -1 0 0",
                                "TexCoord2d 2 0", "Vertex3d 1 0 0", "End", "Disable 3553"}));
}

TEST_F(OpenGlTest, CuboidFaceOrderDependsOnTexturing) {
  EXPECT_EQ(RunInitialised("r% = OGL(\"CUBOID\", 2, 2, 2)\n"), 0);
  Calls normals;
  for (const auto& c : AfterInit())
    if (c.rfind("Normal3d", 0) == 0) normals.push_back(c);
  EXPECT_EQ(normals, (Calls{"Normal3d 0 0.5 0", "Normal3d 0 -0.5 0", "Normal3d 0 0 0.5",
                            "Normal3d 0 0 -0.5", "Normal3d -0.5 0 0", "Normal3d 0.5 0 0"}));
}

TEST_F(OpenGlTest, OptionalArgumentsAreFoundAtTopLevel) {
  // The comma inside the string is no argument separator: a 1 x 1 pick.
  EXPECT_EQ(RunInitialised("r% = OGL(\"STARTTEST\", 10, LEN(\"a,b\"))\n"
                           "r% = OGL(\"STARTTEST\", 10, 20, 4, 6)\n"
                           "PRINT OGL(\"STARTLIST\"); \" \"; OGL(\"STARTLIST\", 9)\n"),
            0);
  const Calls calls = AfterInit();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "PickMatrix 10 297 1 1 0 0 400 300"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "PickMatrix 10 280 4 6 0 0 400 300"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "NewList 9 4864"), calls.end());
  EXPECT_EQ(host.stdoutText, "1000 9\n");
}

TEST_F(OpenGlTest, PickingReturnsTheNearestNamedHit) {
  gl.hits = 2;
  gl.hitWords = {1, 0x90000000u, 0x90000001u, 7, 1, 0x10000000u, 0x20000000u, 8};
  EXPECT_EQ(RunInitialised("r% = OGL(\"STARTTEST\", 5, 5)\nf! = OGL(\"CLEAR\")\n"
                           "PRINT OGL(\"SETNAME\", 7)\nPRINT OGL(\"SETNAME\", 8)\nPRINT OGL(\"ENDTEST\")\n"),
            0);
  EXPECT_EQ(host.stdoutText, "7\n8\n8\n");
  const Calls calls = AfterInit();
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + 5),
            (Calls{"SelectBuffer 512", "RenderMode 7170", "InitNames", "PushName 0", "MatrixMode 5889"}));
  EXPECT_EQ(Calls(calls.end() - 3, calls.end()), (Calls{"MatrixMode 5889", "PopMatrix", "RenderMode 7168"}));
}

// The mouse position starts at (0, 0) with each program; TESTMOUSE measures
// from it as TESTXY does from its own point.
TEST_F(OpenGlTest, ProjectionOfPoints) {
  EXPECT_EQ(RunInitialised("DECLARE m#\nDIM m#, 8\nf! = OGL(\"2D\", 1.5, 2, 0.25, m#, m# + 4)\n"
                           "PRINT LONG(m#, 0); \" \"; LONG(m#, 4); \" \"; f! = 0.25\n"
                           "PRINT OGL(\"TESTXY\", 1, 2, 0, 13, 276)\nPRINT OGL(\"TESTMOUSE\", 1, 2, 0)\n"
                           "PRINT OGL(\"TESTXY\", 1, 2, 0, 10, 280)\nPRINT OGL(\"TESTXY\", 0, 30, 0, 0, 0)\n"),
            0);
  // gluProject of the fake scales by 10; y counts down from the height 300:
  // (1, 2) lies at (10, 280), 5 from (13, 276) and 280.18 from (0, 0).
  EXPECT_EQ(host.stdoutText, "15 280 1\n5\n280\n0\n0\n");
}

TEST_F(OpenGlTest, ArgumentErrorsEndTheSubCommand) {
  EXPECT_EQ(RunInitialised("SETERRORLEVEL -1\nr% = OGL(\"MOVE\", 1, 2)\nPRINT %ERRNUMBER\n"
                           "r% = OGL(\"2D\", 0, 0, 0, 0, 0)\nPRINT %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText, "212\n207\n");
  EXPECT_EQ(AfterInit(), Calls{});
}

TEST_F(OpenGlTest, TexturesFromBmpFiles) {
  // 2 x 1 pixels, 24 bits: rows padded to 8 bytes.
  std::string bmp = "BM";
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp.push_back(static_cast<char>(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) { bmp.push_back(static_cast<char>(v)), bmp.push_back(static_cast<char>(v >> 8)); };
  u32(62), u32(0), u32(54), u32(40), u32(2), u32(1), u16(1), u16(24), u32(0), u32(8);
  u32(0), u32(0), u32(0), u32(0);
  bmp += std::string("\x11\x22\x33\x44\x55\x66\0\0", 8);
  Write("t.bmp", bmp);
  std::string eight = bmp;
  eight[28] = 8;
  Write("e.bmp", eight);
  Write("empty.bmp", "");
  EXPECT_EQ(RunInitialised("SETERRORLEVEL -1\nPRINT OGL(\"LOADTEXTUREBMP\", \"t.bmp\", 3)\n"
                           "PRINT OGL(\"LOADTEXTUREBMP\", \"t.bmp\", 0)\n"
                           "r% = OGL(\"LOADTEXTUREBMP\", \"e.bmp\", 1)\nPRINT %ERRNUMBER\n"
                           "r% = OGL(\"LOADTEXTUREBMP\", \"empty.bmp\", 1)\nPRINT %ERRNUMBER\n"
                           "r% = OGL(\"LOADTEXTUREBMP\", \"fehlt.bmp\", 1)\nPRINT %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText, "5\n5\n406\n406\n300\n");
  EXPECT_EQ(AfterInit(), (Calls{"BindTexture 3553 5", "TexParameteri 3553 10240 9729",
                                "TexParameteri 3553 10241 9985", "BuildMipmaps 2 1 17",
                                "TexEnvf 8960 8704 8448", "BindTexture 3553 5", "TexEnvf 8960 8704 8448"}));
}

}  // namespace
}  // namespace korv
