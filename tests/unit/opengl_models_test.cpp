// Model files and sprites through OGL, against the recording device.
#include <algorithm>
#include <string>
#include <vector>

#include "opengl/opengl.h"
#include "opengl/tmgl_model.h"
#include "opengl_test_support.h"
#include "test_support.h"

namespace korv {
namespace {

using Calls = std::vector<std::string>;

class OglModelTest : public test::ProgramTest {
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
  static std::string Init() { return "DECLARE r%, n%\nr% = OGL(\"INIT\", 5, 0, 0, 0, 0)\n"; }
  // The calls from the first one that begins with `from`.
  Calls From(const std::string& from) {
    Calls all = gl.Take();
    auto it = std::find_if(all.begin(), all.end(), [&](const std::string& c) { return c.rfind(from, 0) == 0; });
    return Calls(it, all.end());
  }
  test::RecordingGl gl;
};

TEST_F(OglModelTest, TextModelLoadsAndAnswersItsQueries) {
  Write("quad.tmgl", "Q;VN;2\n1,-2,0;\n0,0,0;\n0,0,0;\n0,0,0;\n0,0,0;\n0,0,0;\n0,0,0;\n0,0,0;\n");
  EXPECT_EQ(Run("DECLARE n%\nn% = OGL(\"LOADTMGL\", \"quad.tmgl\")\n"
                "PRINT n%; \" \"; OGL(\"TMGLCOUNT\", n%); \" \"; OGL(\"TMGLTYPE\", n%); \" \"; "
                "OGL(\"TMGLOBJTYPE\", n%)\n"),
            0);
  EXPECT_EQ(host.stdoutText, "1 8 VN Q\n");
}

TEST_F(OglModelTest, BrokenTextModelsReport407WithTheLine) {
  Write("short.tmgl", "T;V;1\n1,2,3\n");
  Write("bad.tmgl", "ZZ;V;1\n");
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE n%\n"
                "n% = OGL(\"LOADTMGL\", \"short.tmgl\")\nPRINT %ERRNUMBER; \" \"; $ERRSTR\n"
                "n% = OGL(\"LOADTMGL\", \"bad.tmgl\")\nPRINT %ERRNUMBER\n"
                "n% = OGL(\"LOADTMGL\", \"fehlt.tmgl\")\nPRINT %ERRNUMBER\n"
                "n% = OGL(\"TMGLCOUNT\", 1)\nPRINT %ERRNUMBER\n"),
            0);
  const std::string out = host.stdoutText;
  EXPECT_EQ(out.substr(0, 4), "407 ");
  EXPECT_NE(out.find("short.tmgl(2)"), std::string::npos) << out;
  EXPECT_NE(out.find("\n407\n300\n408\n"), std::string::npos) << out;
}

// A loaded model draws from its own arrays, never from program memory: saving
// it must not check them against the program's memory areas.
TEST_F(OglModelTest, SaveAndLoadTheBinaryForm) {
  Write("tri.tmgl", "T;VC;1\n0,1,0;1,0,0,1\n-1,0,0;0,1,0,1\n1,0,0;0,0,1,1\n");
  EXPECT_EQ(Run("DECLARE n%, m%\nn% = OGL(\"LOADTMGL\", \"tri.tmgl\")\n"
                "PRINT OGL(\"SAVETMGLDATA\", n%, \"tri.bin\")\n"
                "m% = OGL(\"LOADTMGLDATA\", \"tri.bin\")\n"
                "PRINT m%; \" \"; OGL(\"TMGLCOUNT\", m%); \" \"; OGL(\"TMGLTYPE\", m%)\n"
                "SETERRORLEVEL -1\nPRINT OGL(\"SAVETMGLDATA\", 3, \"x.bin\"); \" \"; %ERRNUMBER\n"
                "PRINT OGL(\"SAVETMGLDATA\", 0, \"x.bin\"); \" \"; %ERRNUMBER\n"
                "m% = OGL(\"LOADTMGLDATA\", \"tri.tmgl\")\nPRINT %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText, "200\n2 3 VC\n0 412\n0 412\n407\n");
  EXPECT_EQ(Read("tri.bin").size(), 200u);
  ASSERT_NE(TmglFind(2), nullptr);
  EXPECT_EQ(TmglFind(2)->own[1], TmglFind(1)->own[1]);
}

TEST_F(OglModelTest, CreatedModelsDrawFromProgramMemory) {
  EXPECT_EQ(Run(Init() +
                "DECLARE p#\nDIM p#, 72\nFLOAT p#, 0 = 1.5, 2, 3, 4, 5, 6, 7, 8, 9\n"
                "n% = OGL(\"CREATETMGL\", \"ls\", \"V\", 3, p#, 0, 0, 0)\n"
                "r% = OGL(\"USETMGL\", n%)\nr% = OGL(\"DRAWTMGL\", 1, 50)\nr% = OGL(\"DRAWTMGL\", -4, 2)\n"
                "SETERRORLEVEL -1\n"
                "r% = OGL(\"CREATETMGL\", \"V\", \"V\", 3, p#, 0, 0, 0)\nPRINT %ERRNUMBER\n"
                "r% = OGL(\"CREATETMGL\", \"T\", \"VC\", 3, p#, 0, 0, 0)\nPRINT %ERRNUMBER\n"
                "r% = OGL(\"CREATETMGL\", \"T\", \"V\", 4, p#, 0, 0, 0)\nPRINT %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText, "410\n200\n207\n");
  EXPECT_EQ(From("VertexPointer"),
            (Calls{"VertexPointer 1.5", "EnableClientState 32884", "DisableClientState 32886",
                   "DisableClientState 32888", "DisableClientState 32885", "DrawArrays 3 1 2",
                   "DrawArrays 3 0 2"}));
}

TEST_F(OglModelTest, DrawingNeedsAModelInUse) {
  EXPECT_EQ(Run(Init() + "SETERRORLEVEL -1\nr% = OGL(\"DRAWTMGL\", 0, 3)\nPRINT %ERRNUMBER\n"
                         "r% = OGL(\"USETMGL\", 1999)\nPRINT %ERRNUMBER\nr% = OGL(\"USETMGL\", 2000)\nPRINT %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText, "408\n408\n408\n");
}

TEST_F(OglModelTest, The2000thModelIsRefused) {
  Write("p.tmgl", "P;V;1\n1,2,3\n");
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE i%, n%\nWHILELOOP 1999\nn% = OGL(\"LOADTMGL\", \"p.tmgl\")\nENDWHILE\n"
                "PRINT n%; \" \"; %ERRNUMBER\nn% = OGL(\"LOADTMGL\", \"p.tmgl\")\nPRINT n%; \" \"; %ERRNUMBER\n"
                "PRINT OGL(\"TMGLCOUNT\", 1999)\n"),
            0);
  EXPECT_EQ(host.stdoutText, "1999 0\n0 409\n1\n");
}

TEST_F(OglModelTest, SpriteDrawsItsShapeAndMoves) {
  EXPECT_EQ(Run(Init() +
                "DECLARE s#\nDIM s#, OGLSPRITE\ns#.typ$ = \"Cuboid\"\ns#.posx! = 1\ns#.posdx! = 0.5\n"
                "s#.maxx! = 10\ns#.minx! = -10\ns#.maxy! = 10\ns#.miny! = -10\ns#.maxz! = 10\ns#.minz! = -10\n"
                "s#.dtick& = -1\ns#.mode& = 1\ns#.roty! = 350\ns#.rotdy! = 20\n"
                "s#.x! = 2\ns#.y! = 4\ns#.z! = 2\ns#.colorr! = 1\ns#.alpha! = 1\ns#.texturm! = 1\n"
                "r% = OGL(\"DRAW\", s#)\nr% = OGL(\"DRAW\", s#)\n"
                "PRINT s#.posx! = 2; \" \"; s#.roty! = 30; \" \"; s#.lasttick& <> 0\n"),
            0);
  EXPECT_EQ(host.stdoutText, "1 1 1\n");
  const Calls calls = From("PushAttrib");
  ASSERT_GE(calls.size(), 12u);
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + 10),
            (Calls{"PushAttrib 1048575", "PushMatrix", "Translated 1 0 0", "Translated 0 2 0",
                   "Rotated 0 1 0 0", "Rotated 350 0 1 0", "Rotated 0 0 0 1", "Translated 0 -2 0",
                   "Color4f 1 0 0 1", "Disable 3553"}));
  EXPECT_EQ(gl.stack.size(), 0u);
}

TEST_F(OglModelTest, SpriteFaultsLeaveTheStacksBalanced) {
  EXPECT_EQ(Run(Init() + "SETERRORLEVEL -1\nDECLARE s#, k#\nDIM s#, OGLSPRITE\ns#.typ$ = \"kugel\"\n"
                         "r% = OGL(\"DRAW\", s#)\nPRINT %ERRNUMBER; \" \"; $ERRSTR\n"
                         "DIM k#, 200\nr% = OGL(\"DRAW\", k#)\nPRINT %ERRNUMBER\n"
                         "r% = OGL(\"DRAW\", 12345)\nPRINT %ERRNUMBER\n"),
            0);
  const std::string out = host.stdoutText;
  EXPECT_EQ(out.substr(0, 4), "411 ");
  EXPECT_NE(out.find("KUGEL"), std::string::npos) << out;
  EXPECT_NE(out.find("\n200\n200\n"), std::string::npos) << out;
  const Calls calls = From("PushAttrib");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "PopMatrix"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "PopAttrib"), 1);
  EXPECT_EQ(gl.stack.size(), 0u);
}

}  // namespace
}  // namespace korv
