// OGL(name$, ...): the sub-command table, argument reading, the context
// (INIT, DONE, CLEAR, SHOW), render switches, text, ERRORSTRING and
// %OGLERROR.
#include <cstring>
#include <fstream>
#include <iterator>

#include "base/errors.h"
#include "base/names.h"
#include "base/text.h"
#include "engine/procedures.h"
#include "opengl/ogl_internal.h"
#include "opengl/opengl.h"
#include "opengl/tmgl_model.h"
#include "values/evaluator.h"
#include "values/functions_support.h"
#include "values/set_get.h"

namespace korv {

TOglState gOgl;

namespace {

GlDevice* gDevice = nullptr;

constexpr double kFieldOfView = 45.0;
constexpr double kNearPlane = 0.1;
constexpr int32_t kFontFirstChar = 32, kFontLists = 256;

// Colour-material modes by INIT's lighting argument (1..5); 6 and more
// leave GL's default.
const uint32_t kColourMaterial[] = {gl::kAmbientAndDiffuse, gl::kDiffuse, gl::kAmbient,
                                    gl::kSpecular, gl::kEmission};

void SetProjection(int32_t w, int32_t h) {
  GlDevice& d = Gl();
  d.Call(GlOp::Viewport, {0, 0, static_cast<double>(w), static_cast<double>(h)});
  d.Call(GlOp::MatrixMode, {gl::kProjection});
  d.Call(GlOp::LoadIdentity);
  d.Call(GlOp::Perspective, {kFieldOfView, static_cast<double>(w) / h, kNearPlane, FarPlane()});
  d.Call(GlOp::MatrixMode, {gl::kModelview});
  d.Call(GlOp::LoadIdentity);
}

void DefaultState(double r, double g, double b, int32_t light) {
  GlDevice& d = Gl();
  d.Call(GlOp::ShadeModel, {gl::kSmooth});
  d.Call(GlOp::ClearColor, {r, g, b, 1.0});
  d.Call(GlOp::Fogi, {gl::kFogMode, gl::kExp});
  d.Call(GlOp::FogColor, {r, g, b, 1.0});
  d.Call(GlOp::Hint, {gl::kFogHint, gl::kDontCare});
  d.Call(GlOp::ClearDepth, {1.0});
  d.Call(GlOp::Enable, {gl::kDepthTest});
  d.Call(GlOp::DepthFunc, {gl::kLequal});
  d.Call(GlOp::Hint, {gl::kPerspectiveCorrectionHint, gl::kNicest});
  if (light >= 1) {
    d.Call(GlOp::Enable, {gl::kLight0});
    d.Call(GlOp::Enable, {gl::kLighting});
    d.Call(GlOp::Enable, {gl::kColorMaterial});
    if (light <= 5) d.Call(GlOp::ColorMaterial, {gl::kFrontAndBack, static_cast<double>(kColourMaterial[light - 1])});
  }
  d.NewQuadric();
}

// INIT (hwnd, red, green, blue, light [, pixel format]).
void OglInit(const OglArgs& a) {
  if (!HaveGl()) return FailInt(247, "OpenGL32.dll");
  GlDevice& d = Gl();
  std::string failed;
  if (!d.LoadLibraries(failed)) return FailInt(247, failed);
  const uint32_t window = static_cast<uint32_t>(a.i[0]);
  const uint32_t dc = d.WindowDc(window);
  if (dc == 0) return FailInt(401);
  // A window keeps the pixel format it was given once: a second INIT on it
  // reuses it instead of failing.
  if (d.CurrentPixelFormat(dc) == 0) {
    const int32_t format = a.count > 5 ? a.i[5] : d.ChoosePixelFormat(dc);
    if (format == 0) {
      d.ReleaseDc(window, dc);
      return FailInt(402);
    }
    if (!d.SetPixelFormat(dc, format)) {
      d.ReleaseDc(window, dc);
      return FailInt(403);
    }
  }
  const uint32_t context = d.CreateContext(dc);
  if (context == 0) {
    d.ReleaseDc(window, dc);
    return FailInt(404);
  }
  if (!d.MakeCurrent(dc, context)) {
    d.DeleteContext(context);
    d.ReleaseDc(window, dc);
    return FailInt(405);
  }
  if (gOgl.dc != 0 && (gOgl.dc != dc || gOgl.window != window)) d.ReleaseDc(gOgl.window, gOgl.dc);
  DefaultState(a.f[1], a.f[2], a.f[3], a.i[4]);
  gOgl.window = window;
  gOgl.dc = dc;
  int32_t w, h;
  GlClientSize(w, h);
  SetProjection(w, h);
  ResultInt(static_cast<int32_t>(dc));
}

void OglDone(const OglArgs&) {
  Gl().DeleteQuadric();
  gOgl.window = 0;
  ResultInt(0);
}

void OglShow(const OglArgs&) {
  Gl().Call(GlOp::RasterPos2f, {0, 0});
  ResultInt(Gl().SwapBuffers(gOgl.dc) ? 1 : 0);
}

void OglClear(const OglArgs&) {
  GlDevice& d = Gl();
  int32_t w, h;
  GlClientSize(w, h);
  d.Call(GlOp::Viewport, {0, 0, static_cast<double>(w), static_cast<double>(h)});
  // In selection mode the pick projection of STARTTEST stays.
  if (static_cast<uint32_t>(d.GetInteger(gl::kRenderMode)) == gl::kRender) {
    d.Call(GlOp::MatrixMode, {gl::kProjection});
    d.Call(GlOp::LoadIdentity);
    d.Call(GlOp::Perspective, {kFieldOfView, static_cast<double>(w) / h, kNearPlane, FarPlane()});
  }
  d.Call(GlOp::MatrixMode, {gl::kModelview});
  d.Call(GlOp::Clear, {gl::kClearAllBuffers});
  d.Call(GlOp::LoadIdentity);
  ResultFloat(static_cast<double>(w) / h);
}

void OglFog(const OglArgs& a) {
  GlDevice& d = Gl();
  const double mode = a.f[0];
  if (mode == 0) {
    d.Call(GlOp::Disable, {gl::kFog});
    return ResultInt(1);
  }
  if (mode == 1 || mode == 2) {
    d.Call(GlOp::Fogi, {gl::kFogMode, static_cast<double>(mode == 1 ? gl::kExp : gl::kExp2)});
    d.Call(GlOp::Fogf, {gl::kFogDensity, a.f[1]});
  } else {
    if (a.f[2] == 0) return FailInt(200);
    d.Call(GlOp::Fogi, {gl::kFogMode, gl::kLinear});
    d.Call(GlOp::Fogf, {gl::kFogStart, a.f[1]});
    d.Call(GlOp::Fogf, {gl::kFogEnd, a.f[2]});
  }
  d.Call(GlOp::Enable, {gl::kFog});
  ResultInt(1);
}

void OglBlendMode(const OglArgs& a) {
  GlDevice& d = Gl();
  switch (a.i[0]) {
    case 0:
      d.Call(GlOp::Disable, {gl::kBlend});
      d.Call(GlOp::Enable, {gl::kDepthTest});
      break;
    case 1:
      d.Call(GlOp::Enable, {gl::kBlend});
      d.Call(GlOp::BlendFunc, {gl::kSrcAlpha, gl::kOneMinusSrcAlpha});
      d.Call(GlOp::Enable, {gl::kDepthTest});
      break;
    case 2:
      d.Call(GlOp::Enable, {gl::kBlend});
      d.Call(GlOp::BlendFunc, {gl::kSrcAlpha, gl::kOne});
      d.Call(GlOp::Disable, {gl::kDepthTest});
      break;
    default:
      break;
  }
  ResultInt(1);
}

// BITMAPFONT / OUTLINEFONT: the font goes into the kept DC only while the
// lists are made; lists of a failed font are given back.
void MakeFont(uint32_t font, bool outline, double depth) {
  GlDevice& d = Gl();
  const uint32_t previous = d.SelectFont(gOgl.dc, font);
  const uint32_t base = d.GenLists(kFontLists);
  const bool ok = base != 0 && (outline ? d.UseFontOutlines(gOgl.dc, base, depth)
                                        : d.UseFontBitmaps(gOgl.dc, base));
  d.SelectFont(gOgl.dc, previous);
  if (!ok) {
    if (base != 0) d.Call(GlOp::DeleteLists, {static_cast<double>(base), kFontLists});
    return ResultInt(0);
  }
  ResultInt(static_cast<int32_t>(base));
}

void OglBitmapFont(const OglArgs& a) { MakeFont(static_cast<uint32_t>(a.i[0]), false, 0); }
void OglOutlineFont(const OglArgs& a) { MakeFont(static_cast<uint32_t>(a.i[0]), true, a.f[1]); }

// PRINT (base, text): control characters have no list and are skipped.
void OglPrint(const OglArgs& a) {
  GlDevice& d = Gl();
  std::string text;
  for (char c : a.s[1])
    if (static_cast<uint8_t>(c) >= kFontFirstChar) text.push_back(c);
  d.Call(GlOp::PushAttrib, {gl::kListBit});
  d.Call(GlOp::ListBase, {static_cast<double>(a.i[0]) - kFontFirstChar});
  if (!text.empty()) d.CallLists(text);
  d.Call(GlOp::RasterPos2f, {0, 0});
  d.Call(GlOp::PopAttrib);
  ResultInt(1);
}

void OglLocate(const OglArgs& a) {
  Gl().Call(GlOp::RasterPos2f, {a.f[0], a.f[1]});
  ResultInt(1);
}

void OglErrorString(const OglArgs& a) {
  ResultString(HaveGl() ? Gl().ErrorString(static_cast<uint32_t>(a.i[0])) : std::string());
}

// Signature letters: f float, i integer, s text, a structure or area
// (its address and size); the letters after "|" are optional and read only
// when the call has them.
struct SubCommand {
  const char* name;
  const char* signature;
  bool needsContext;
  OglHandler handler;
};

const SubCommand kSubCommands[] = {
    {"INIT", "ifffi|i", false, OglInit},
    {"DONE", "", true, OglDone},
    {"SHOW", "", true, OglShow},
    {"CLEAR", "", true, OglClear},
    {"FOG", "fff", true, OglFog},
    {"BLENDMODE", "i", true, OglBlendMode},
    {"BITMAPFONT", "i", true, OglBitmapFont},
    {"OUTLINEFONT", "if", true, OglOutlineFont},
    {"PRINT", "is", true, OglPrint},
    {"LOCATE", "ff", true, OglLocate},
    {"ERRORSTRING", "i", false, OglErrorString},
    {"ORIGIN", "fff", true, OglOrigin},
    {"MOVE", "fff", true, OglMove},
    {"ROTATE", "fff", true, OglRotate},
    {"SCALE", "f", false, OglScale},
    {"PUSH", "", true, OglPush},
    {"POP", "", true, OglPop},
    {"COLOR", "ffff", true, OglColor},
    {"POSMODE", "i", false, OglPosMode},
    {"TRIANGLE", "ff", true, OglTriangle},
    {"QUAD", "ff", true, OglQuad},
    {"CUBOID", "fff", true, OglCuboid},
    {"PYRAMID", "fff", true, OglPyramid},
    {"CYLINDER", "fffi", true, OglCylinder},
    {"TUBE", "fffi", true, OglTube},
    {"DISK", "ffi", true, OglDisk},
    {"PARTIALDISK", "ffiff", true, OglPartialDisk},
    {"SPHERE", "fii", true, OglSphere},
    {"TEXTURE", "if", true, OglTexture},
    {"LOADTEXTUREBMP", "si", true, OglLoadTextureBmp},
    {"GETTEXTUREBMP", "ii", true, OglGetTextureBmp},
    {"DELETETEXTURE", "i", true, OglDeleteTexture},
    {"STARTLIST", "|i", true, OglStartList},
    {"ENDLIST", "", true, OglEndList},
    {"DRAWLIST", "i", true, OglDrawList},
    {"DELETELIST", "i", true, OglDeleteList},
    {"2D", "fffii", true, Ogl2D},
    {"TESTMOUSE", "fff", true, OglTestMouse},
    {"TESTXY", "fffii", true, OglTestXY},
    {"STARTTEST", "ii|ii", true, OglStartTest},
    {"SETNAME", "i", true, OglSetName},
    {"ENDTEST", "", true, OglEndTest},
    {"LOADTMGL", "s", false, OglLoadTmgl},
    {"LOADTMGLDATA", "s", false, OglLoadTmglData},
    {"SAVETMGLDATA", "is", false, OglSaveTmglData},
    {"CREATETMGL", "ssiiiii", false, OglCreateTmgl},
    {"USETMGL", "i", true, OglUseTmgl},
    {"DRAWTMGL", "ii", true, OglDrawTmgl},
    {"TMGLCOUNT", "i", false, OglTmglCount},
    {"TMGLTYPE", "i", false, OglTmglType},
    {"TMGLOBJTYPE", "i", false, OglTmglObjType},
    {"DRAW", "a", true, OglDrawSprite},
};

const SubCommand* FindSubCommand(const std::string& upperName) {
  for (const SubCommand& s : kSubCommands)
    if (upperName == s.name) return &s;
  return nullptr;
}

// True when a further top-level "," follows the next argument. Compiled
// arguments hold token bytes that may look like a comma: they are skipped.
bool FurtherArgument() {
  return FindTopLevel(gEval.text, ',', gCompiledText, gEval.pos) != std::string::npos;
}

bool ReadOne(TParStack& ps, char type, bool last, OglArgs& a, int k) {
  switch (type) {
    case 'f':
      return fn::FloatArg(ps, last, a.f[k]);
    case 'i':
      return fn::IntArg(ps, last, a.i[k]);
    case 's':
      return fn::StrArg(ps, last, a.s[k]);
    default:
      if (!fn::Arg(ps, last, 0)) return false;
      a.i[k] = gRes.IntValue;
      a.areaSize[k] = gRes.AreaKind == ' ' ? 0 : gRes.AreaSize;
      return true;
  }
}

// Reads the arguments after the name. hasMore: a "," followed the name.
// Optional arguments count when a further top-level "," follows the last
// required one (commas inside strings or calls do not count).
bool ReadArgs(TParStack& ps, const char* signature, bool hasMore, OglArgs& a) {
  const std::string sig = signature;
  const size_t bar = sig.find('|');
  const std::string required = sig.substr(0, bar);
  const std::string optional = bar == std::string::npos ? std::string() : sig.substr(bar + 1);
  bool withOptional = required.empty() && hasMore && !optional.empty();
  const std::string all = required + optional;
  size_t total = required.size() + (withOptional ? optional.size() : 0);
  for (size_t k = 0; k < total; ++k) {
    if (k + 1 == required.size() && !optional.empty() && FurtherArgument()) {
      withOptional = true;
      total = all.size();
    }
    if (!ReadOne(ps, all[k], k + 1 == total, a, static_cast<int>(k))) return false;
    a.count = static_cast<int>(k) + 1;
  }
  return true;
}

void FnOgl(TParStack& ps) {
  const bool hasMore = FurtherArgument();
  std::string name;
  if (!fn::StrArg(ps, !hasMore, name)) return fn::SetEmpty(kind::kInt);
  name = Upper(Trim(name));
  const SubCommand* sub = FindSubCommand(name);
  if (!sub) {
    DelegateToSubproc(SubprocFamily::Ogl, name, ps);
    return;
  }
  OglArgs args;
  if (hasMore || sub->signature[0] != '\0') {
    if (!ReadArgs(ps, sub->signature, hasMore, args)) return fn::SetEmpty(kind::kInt);
  }
  if (sub->needsContext && gOgl.window == 0) return FailInt(400);
  sub->handler(args);
}

void VarOglError(TEvalResult& r) {
  const int32_t code = gOgl.window != 0 && HaveGl() ? static_cast<int32_t>(Gl().GetError()) : 0;
  r.Reset();
  r.IntValue = code;
  r.FloatValue = code;
  r.StrValue = IntToText(code);
  r.ResultKind = kind::kInt;
}

}  // namespace

GlDevice& Gl() { return *gDevice; }
bool HaveGl() { return gDevice != nullptr; }
void SetGlDevice(GlDevice* device) { gDevice = device; }
GlDevice* GetGlDevice() { return gDevice; }

double FarPlane() { return gSwitches.OglDepth; }

void GlClientSize(int32_t& width, int32_t& height) {
  width = height = 0;
  if (!gDevice || !gDevice->ClientSize(gOgl.window, width, height)) width = height = 0;
  if (height == 0) height = 1;
}

bool ReadWholeFile(const std::string& name, std::string& out) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

void ResultInt(int32_t v) { fn::SetInt(v); }
void ResultFloat(double v) { fn::SetFloat(v); }
void ResultString(const std::string& s) { fn::SetStringNumber(s, 0); }
void FailInt(int32_t code, const std::string& detail) { fn::Fail(code, kind::kInt, detail); }

void ResetOpenGl() {
  gOgl.window = 0;
  gOgl.dc = 0;
  gOgl.currentTexture = 0;
  gOgl.textureRepeat = 1.0;
  gOgl.positionMode = true;
  std::memset(gOgl.selectBuffer, 0, sizeof gOgl.selectBuffer);
  ResetTmgl();
}

void RegisterOpenGl() {
#define KORV_UNIT_opengl 1
#include "base/bind_unit.h"
#undef KORV_UNIT_opengl
}

}  // namespace korv
