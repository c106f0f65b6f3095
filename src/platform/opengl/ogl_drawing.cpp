// OGL sub-commands that draw: transformations, colour, the shapes,
// textures, display lists, projection of points and picking.
#include <cmath>
#include <cstring>

#include "gui/window.h"
#include "opengl/bmp_texture.h"
#include "opengl/hit_records.h"
#include "opengl/ogl_internal.h"
#include "opengl/ogl_shapes.h"
#include "opengl/opengl.h"
#include "opengl/sprite.h"
#include "values/areas.h"
#include "values/composite.h"

namespace korv {

namespace {

constexpr double kFieldOfView = 45.0;
constexpr double kNearPlane = 0.1;

enum TextureFilter : int32_t { kFilterNearest = 1, kFilterLinear = 2, kFilterMipmap = 3 };

// Filters and image of a new texture (LOADTEXTUREBMP, GETTEXTUREBMP).
void MakeTexture(int32_t filter, int32_t width, int32_t height, const uint8_t* rows) {
  GlDevice& d = Gl();
  const uint32_t name = d.GenTexture();
  d.Call(GlOp::BindTexture, {gl::kTexture2D, static_cast<double>(name)});
  if (filter >= kFilterNearest && filter <= kFilterMipmap) {
    const double mag = filter == kFilterNearest ? gl::kNearest : gl::kLinear;
    const double min = filter == kFilterNearest ? gl::kNearest
                       : filter == kFilterLinear ? gl::kLinear
                                                 : gl::kLinearMipmapNearest;
    d.Call(GlOp::TexParameteri, {gl::kTexture2D, gl::kTextureMagFilter, mag});
    d.Call(GlOp::TexParameteri, {gl::kTexture2D, gl::kTextureMinFilter, min});
    d.BuildMipmaps(width, height, rows);
  }
  d.Call(GlOp::TexEnvf, {gl::kTextureEnv, gl::kTextureEnvMode, gl::kModulate});
  ResultInt(static_cast<int32_t>(name));
}

// Window coordinates of a point, y counted downward as in the window.
void ProjectToWindow(double x, double y, double z, int32_t& wx, int32_t& wy, double& wz) {
  const GlWindowPoint p = Gl().Project(x, y, z);
  int32_t w, h;
  GlClientSize(w, h);
  wx = RoundToInt(p.x);
  wy = h - RoundToInt(p.y);
  wz = p.z;
}

void DistanceResult(const OglArgs& a, int32_t sx, int32_t sy) {
  int32_t wx, wy;
  double wz;
  ProjectToWindow(a.f[0], a.f[1], a.f[2], wx, wy, wz);
  const double dx = static_cast<double>(wx) - sx, dy = static_cast<double>(wy) - sy;
  ResultInt(RoundToInt(std::sqrt(dx * dx + dy * dy)));
}

bool StoreInt(int32_t address, int32_t value) {
  void* p = IntToAddress(address);
  if (!CheckRange(p, 0, sizeof value, -1, true, "2D")) return false;
  std::memcpy(p, &value, sizeof value);
  return true;
}

}  // namespace

void OglOrigin(const OglArgs& a) {
  Gl().Call(GlOp::LoadIdentity);
  Gl().Call(GlOp::Translated, {a.f[0], a.f[1], a.f[2]});
  ResultInt(1);
}

void OglMove(const OglArgs& a) {
  Gl().Call(GlOp::Translated, {a.f[0], a.f[1], a.f[2]});
  ResultInt(1);
}

void OglRotate(const OglArgs& a) {
  Gl().Call(GlOp::Rotated, {a.f[0], 1, 0, 0});
  Gl().Call(GlOp::Rotated, {a.f[1], 0, 1, 0});
  Gl().Call(GlOp::Rotated, {a.f[2], 0, 0, 1});
  ResultInt(1);
}

void OglScale(const OglArgs& a) {
  if (HaveGl()) Gl().Call(GlOp::Scaled, {a.f[0], a.f[0], a.f[0]});
  ResultInt(1);
}

void OglPush(const OglArgs&) {
  Gl().Call(GlOp::PushAttrib, {gl::kAllAttribBits});
  Gl().Call(GlOp::PushMatrix);
  ResultInt(1);
}

void OglPop(const OglArgs&) {
  Gl().Call(GlOp::PopAttrib);
  Gl().Call(GlOp::PopMatrix);
  ResultInt(1);
}

void OglColor(const OglArgs& a) {
  Gl().Call(GlOp::Color4f, {a.f[0], a.f[1], a.f[2], a.f[3]});
  ResultInt(1);
}

void OglPosMode(const OglArgs& a) {
  gOgl.positionMode = a.i[0] <= 0;
  ResultInt(1);
}

void OglTriangle(const OglArgs& a) { DrawTriangle(Gl(), a.f[0], a.f[1]), ResultInt(1); }
void OglQuad(const OglArgs& a) { DrawQuad(Gl(), a.f[0], a.f[1]), ResultInt(1); }
void OglCuboid(const OglArgs& a) { DrawCuboid(Gl(), a.f[0], a.f[1], a.f[2]), ResultInt(1); }
void OglPyramid(const OglArgs& a) { DrawPyramid(Gl(), a.f[0], a.f[1], a.f[2]), ResultInt(1); }
void OglCylinder(const OglArgs& a) { DrawCylinder(Gl(), a.f[0], a.f[1], a.f[2], a.i[3]), ResultInt(1); }
void OglTube(const OglArgs& a) { DrawTube(Gl(), a.f[0], a.f[1], a.f[2], a.i[3]), ResultInt(1); }
void OglDisk(const OglArgs& a) { DrawDisk(Gl(), a.f[0], a.f[1], a.i[2]), ResultInt(1); }
void OglPartialDisk(const OglArgs& a) {
  DrawPartialDisk(Gl(), a.f[0], a.f[1], a.i[2], a.f[3], a.f[4]);
  ResultInt(1);
}
void OglSphere(const OglArgs& a) { DrawSphere(Gl(), a.f[0], a.i[1], a.i[2]), ResultInt(1); }

void OglTexture(const OglArgs& a) {
  SelectTexture(Gl(), static_cast<uint32_t>(a.i[0]), a.f[1]);
  ResultInt(1);
}

void OglLoadTextureBmp(const OglArgs& a) {
  const std::string& name = a.s[0];
  std::string file;
  if (!ReadWholeFile(name, file)) return FailInt(300, name);
  BmpTexture bmp;
  if (file.empty() || !ParseBmpTexture(file, bmp)) return FailInt(406, name);
  MakeTexture(a.i[1], bmp.width, bmp.height, bmp.rows.data());
}

void OglGetTextureBmp(const OglArgs& a) {
  int32_t w = 0, h = 0;
  std::vector<uint8_t> rows;
  if (!Gl().BitmapPixels(static_cast<uint32_t>(a.i[0]), w, h, rows) || w <= 0 || h <= 0)
    return FailInt(200);
  MakeTexture(a.i[1], w, h, rows.data());
}

void OglDeleteTexture(const OglArgs& a) {
  Gl().Call(GlOp::DeleteTexture, {static_cast<double>(static_cast<uint32_t>(a.i[0]))});
  ResultInt(1);
}

void OglStartList(const OglArgs& a) {
  const uint32_t list = a.count > 0 ? static_cast<uint32_t>(a.i[0]) : Gl().GenLists(1);
  Gl().Call(GlOp::NewList, {static_cast<double>(list), gl::kCompile});
  ResultInt(static_cast<int32_t>(list));
}

void OglEndList(const OglArgs&) {
  Gl().Call(GlOp::EndList);
  ResultInt(1);
}

void OglDrawList(const OglArgs& a) {
  Gl().Call(GlOp::CallList, {static_cast<double>(static_cast<uint32_t>(a.i[0]))});
  ResultInt(1);
}

void OglDeleteList(const OglArgs& a) {
  Gl().Call(GlOp::DeleteLists, {static_cast<double>(static_cast<uint32_t>(a.i[0])), 1});
  ResultInt(1);
}

void Ogl2D(const OglArgs& a) {
  int32_t wx, wy;
  double wz;
  ProjectToWindow(a.f[0], a.f[1], a.f[2], wx, wy, wz);
  if (!StoreInt(a.i[3], wx) || !StoreInt(a.i[4], wy)) return ResultFloat(0);
  ResultFloat(wz);
}

void OglTestMouse(const OglArgs& a) { DistanceResult(a, gEvents.mouseX, gEvents.mouseY); }
void OglTestXY(const OglArgs& a) { DistanceResult(a, a.i[3], a.i[4]); }

void OglStartTest(const OglArgs& a) {
  GlDevice& d = Gl();
  const bool sized = a.count > 2;
  const double w = sized ? a.i[2] : 1, h = sized ? a.i[3] : 1;
  int32_t vp[4];
  d.GetViewport(vp);
  d.SelectBuffer(kSelectBufferWords, gOgl.selectBuffer);
  d.RenderMode(gl::kSelect);
  d.Call(GlOp::InitNames);
  d.Call(GlOp::PushName, {0});
  d.Call(GlOp::MatrixMode, {gl::kProjection});
  d.Call(GlOp::PushMatrix);
  d.Call(GlOp::LoadIdentity);
  d.Call(GlOp::PickMatrix, {static_cast<double>(a.i[0]), static_cast<double>(vp[3]) - a.i[1], w, h,
                            static_cast<double>(vp[0]), static_cast<double>(vp[1]),
                            static_cast<double>(vp[2]), static_cast<double>(vp[3])});
  int32_t cw, ch;
  GlClientSize(cw, ch);
  d.Call(GlOp::Perspective, {kFieldOfView, static_cast<double>(cw) / ch, kNearPlane, FarPlane()});
  ResultInt(1);
}

void OglSetName(const OglArgs& a) {
  Gl().Call(GlOp::LoadName, {static_cast<double>(static_cast<uint32_t>(a.i[0]))});
  ResultInt(a.i[0]);
}

void OglEndTest(const OglArgs&) {
  GlDevice& d = Gl();
  d.Call(GlOp::MatrixMode, {gl::kProjection});
  d.Call(GlOp::PopMatrix);
  const int32_t hits = d.RenderMode(gl::kRender);
  ResultInt(NearestHit(gOgl.selectBuffer, kSelectBufferWords, hits));
}

}  // namespace korv
