// Shared by the files of the OGL family: the arguments a sub-command was
// given and the handlers the sub-command table names.
#pragma once
#include <cstdint>
#include <string>

#include "opengl/gl_device.h"

namespace korv {

constexpr int kMaxOglArgs = 8;

// The arguments, read in the order of the sub-command's signature.
struct OglArgs {
  double f[kMaxOglArgs] = {};
  int32_t i[kMaxOglArgs] = {};
  std::string s[kMaxOglArgs];
  int32_t areaSize[kMaxOglArgs] = {};  // of a structure or area argument
  int count = 0;                       // arguments present
};
using OglHandler = void (*)(const OglArgs& a);

// The device; sub-commands that need a context only run with one.
GlDevice& Gl();
bool HaveGl();

// Far plane of the perspective projections (the setting OGLDEPTH).
double FarPlane();
// Client size of the GL window, height 0 taken as 1.
void GlClientSize(int32_t& width, int32_t& height);
// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& name, std::string& out);

// Results of the sub-commands.
void ResultInt(int32_t v);
void ResultFloat(double v);
void ResultString(const std::string& s);
// Reports code and leaves the integer 0 (or "" for a text result).
void FailInt(int32_t code, const std::string& detail = std::string());

// Handlers (ogl_drawing.cpp).
void OglOrigin(const OglArgs& a);
void OglMove(const OglArgs& a);
void OglRotate(const OglArgs& a);
void OglScale(const OglArgs& a);
void OglPush(const OglArgs& a);
void OglPop(const OglArgs& a);
void OglColor(const OglArgs& a);
void OglPosMode(const OglArgs& a);
void OglTriangle(const OglArgs& a);
void OglQuad(const OglArgs& a);
void OglCuboid(const OglArgs& a);
void OglPyramid(const OglArgs& a);
void OglCylinder(const OglArgs& a);
void OglTube(const OglArgs& a);
void OglDisk(const OglArgs& a);
void OglPartialDisk(const OglArgs& a);
void OglSphere(const OglArgs& a);
void OglTexture(const OglArgs& a);
void OglLoadTextureBmp(const OglArgs& a);
void OglGetTextureBmp(const OglArgs& a);
void OglDeleteTexture(const OglArgs& a);
void OglStartList(const OglArgs& a);
void OglEndList(const OglArgs& a);
void OglDrawList(const OglArgs& a);
void OglDeleteList(const OglArgs& a);
void Ogl2D(const OglArgs& a);
void OglTestMouse(const OglArgs& a);
void OglTestXY(const OglArgs& a);
void OglStartTest(const OglArgs& a);
void OglSetName(const OglArgs& a);
void OglEndTest(const OglArgs& a);

// Handlers (ogl_models.cpp).
void OglLoadTmgl(const OglArgs& a);
void OglLoadTmglData(const OglArgs& a);
void OglSaveTmglData(const OglArgs& a);
void OglCreateTmgl(const OglArgs& a);
void OglUseTmgl(const OglArgs& a);
void OglDrawTmgl(const OglArgs& a);
void OglTmglCount(const OglArgs& a);
void OglTmglType(const OglArgs& a);
void OglTmglObjType(const OglArgs& a);
void OglDrawSprite(const OglArgs& a);

}  // namespace korv
