// The seam between the OGL sub-commands and OpenGL, GLU and the WGL/GDI
// calls around a rendering context. The sub-commands speak to GlDevice
// only; the Windows side (gl_device_win32.cpp) makes the real calls, and the
// unit tests record them.
//
// Plain GL and GLU calls with scalar arguments go through Call with an
// operation code and up to eight numbers (converted by the implementation to
// the types of the real entry point); calls that pass memory or return
// something have methods of their own.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace korv {

// GL enumerants the sub-commands pass (values of the GL 1.1 headers).
namespace gl {
constexpr uint32_t kPoints = 0x0000, kLines = 0x0001, kLineLoop = 0x0002, kLineStrip = 0x0003,
                   kTriangles = 0x0004, kTriangleStrip = 0x0005, kTriangleFan = 0x0006,
                   kQuads = 0x0007, kQuadStrip = 0x0008, kPolygon = 0x0009;
constexpr uint32_t kFront = 0x0404, kFrontAndBack = 0x0408;
constexpr uint32_t kFog = 0x0B60, kFogDensity = 0x0B62, kFogStart = 0x0B63, kFogEnd = 0x0B64,
                   kFogMode = 0x0B65, kFogColor = 0x0B66, kFogHint = 0x0C54;
constexpr uint32_t kExp = 0x0800, kExp2 = 0x0801, kLinear = 0x2601;
constexpr uint32_t kDepthTest = 0x0B71, kLequal = 0x0203, kLighting = 0x0B50,
                   kColorMaterial = 0x0B57, kLight0 = 0x4000, kBlend = 0x0BE2,
                   kTexture2D = 0x0DE1;
constexpr uint32_t kAmbient = 0x1200, kDiffuse = 0x1201, kSpecular = 0x1202, kEmission = 0x1600,
                   kAmbientAndDiffuse = 0x1602;
constexpr uint32_t kSmooth = 0x1D01, kDontCare = 0x1100, kNicest = 0x1102,
                   kPerspectiveCorrectionHint = 0x0C50;
constexpr uint32_t kSrcAlpha = 0x0302, kOneMinusSrcAlpha = 0x0303, kOne = 1;
constexpr uint32_t kProjection = 0x1701, kModelview = 0x1700;
constexpr uint32_t kRenderMode = 0x0C40, kRender = 0x1C00, kSelect = 0x1C02, kViewport = 0x0BA2;
constexpr uint32_t kClearAllBuffers = 0x4700, kAllAttribBits = 0x000FFFFF, kListBit = 0x00020000;
constexpr uint32_t kCompile = 0x1300, kUnsignedByte = 0x1401, kDouble = 0x140A;
constexpr uint32_t kTextureMagFilter = 0x2800, kTextureMinFilter = 0x2801, kNearest = 0x2600,
                   kLinearMipmapNearest = 0x2701, kTextureEnv = 0x2300,
                   kTextureEnvMode = 0x2200, kModulate = 0x2100;
constexpr uint32_t kVertexArray = 0x8074, kNormalArray = 0x8075, kColorArray = 0x8076,
                   kTextureCoordArray = 0x8078;
}  // namespace gl

enum class GlOp : uint8_t {
  ShadeModel,       // mode
  ClearColor,       // r, g, b, a
  Fogi,             // pname, value
  Fogf,             // pname, value
  FogColor,         // r, g, b, a (glFogfv GL_FOG_COLOR)
  Hint,             // target, mode
  ClearDepth,       // depth
  Enable,           // cap
  Disable,          // cap
  DepthFunc,        // func
  ColorMaterial,    // face, mode
  Viewport,         // x, y, w, h
  MatrixMode,       // mode
  LoadIdentity,     //
  Perspective,      // fovy, aspect, near, far (gluPerspective)
  Clear,            // mask
  RasterPos2f,      // x, y
  BlendFunc,        // sfactor, dfactor
  PushAttrib,       // mask
  PopAttrib,        //
  ListBase,         // base
  Translated,       // x, y, z
  Rotated,          // angle, x, y, z
  Scaled,           // x, y, z
  PushMatrix,       //
  PopMatrix,        //
  Color4f,          // r, g, b, a
  Begin,            // mode
  End,              //
  Normal3d,         // x, y, z
  TexCoord2d,       // s, t
  Vertex3d,         // x, y, z
  Cylinder,         // base, top, height, slices, stacks (on the quadric)
  Disk,             // inner, outer, slices, loops
  PartialDisk,      // inner, outer, slices, loops, start, sweep
  Sphere,           // radius, slices, stacks
  BindTexture,      // target, texture
  TexParameteri,    // target, pname, value
  TexEnvf,          // target, pname, value
  DeleteTexture,    // texture (glDeleteTextures of one name)
  NewList,          // list, mode
  EndList,          //
  CallList,         // list
  DeleteLists,      // list, range
  InitNames,        //
  PushName,         // name
  LoadName,         // name
  PickMatrix,       // x, y, w, h, viewport[4] (gluPickMatrix)
  EnableClientState,   // array
  DisableClientState,  // array
  DrawArrays,       // mode, first, count
  kCount
};

// Window coordinates of gluProject.
struct GlWindowPoint {
  double x = 0, y = 0, z = 0;
};

class GlDevice {
 public:
  virtual ~GlDevice() = default;

  // --- The context ----------------------------------------------------
  // Loads the GL and GLU libraries; on failure names the one that failed.
  virtual bool LoadLibraries(std::string& failedName) = 0;
  // GetDC of a window (0 when refused).
  virtual uint32_t WindowDc(uint32_t window) = 0;
  // The pixel format already set on the context (0: none yet).
  virtual int32_t CurrentPixelFormat(uint32_t dc) = 0;
  // ChoosePixelFormat / SetPixelFormat with the fixed descriptor.
  virtual int32_t ChoosePixelFormat(uint32_t dc) = 0;
  virtual bool SetPixelFormat(uint32_t dc, int32_t index) = 0;
  virtual uint32_t CreateContext(uint32_t dc) = 0;
  // Makes the context current; the context this device made current before
  // is then deleted (the program draws through one context at a time).
  virtual bool MakeCurrent(uint32_t dc, uint32_t context) = 0;
  // Failure paths of INIT.
  virtual void DeleteContext(uint32_t context) = 0;
  virtual void ReleaseDc(uint32_t window, uint32_t dc) = 0;
  // Client size of a window; false when the window does not exist.
  virtual bool ClientSize(uint32_t window, int32_t& width, int32_t& height) = 0;
  virtual bool SwapBuffers(uint32_t dc) = 0;

  // --- Quadric (one, owned by the device) ------------------------------
  // Deletes the previous one, if any, then makes a new one with smooth
  // normals and generated texture coordinates.
  virtual void NewQuadric() = 0;
  virtual void DeleteQuadric() = 0;

  // --- Plain calls ------------------------------------------------------
  virtual void Call(GlOp op, std::initializer_list<double> args = {}) = 0;

  // --- Calls with results or memory -------------------------------------
  virtual int32_t GetInteger(uint32_t pname) = 0;
  virtual void GetViewport(int32_t viewport[4]) = 0;
  virtual uint32_t GenLists(int32_t range) = 0;
  virtual uint32_t GenTexture() = 0;
  virtual uint32_t GetError() = 0;
  virtual int32_t RenderMode(uint32_t mode) = 0;
  virtual void SelectBuffer(int32_t size, uint32_t* buffer) = 0;
  // glCallLists(n, GL_UNSIGNED_BYTE, bytes).
  virtual void CallLists(const std::string& bytes) = 0;
  // gluBuild2DMipmaps(GL_TEXTURE_2D, 3, w, h, GL_BGR_EXT, GL_UNSIGNED_BYTE).
  virtual void BuildMipmaps(int32_t width, int32_t height, const uint8_t* bgrRows) = 0;
  // gluProject with the current model-view, projection and viewport.
  virtual GlWindowPoint Project(double x, double y, double z) = 0;
  // gl*Pointer of the client arrays (doubles, tightly packed).
  virtual void VertexPointer(const double* p) = 0;
  virtual void ColorPointer(const double* p) = 0;
  virtual void TexCoordPointer(const double* p) = 0;
  virtual void NormalPointer(const double* p) = 0;
  // gluErrorString; "" for a code GLU has no text for.
  virtual std::string ErrorString(uint32_t code) = 0;

  // --- Fonts and bitmaps -------------------------------------------------
  // Selects a GDI font into dc; returns the font it replaced.
  virtual uint32_t SelectFont(uint32_t dc, uint32_t font) = 0;
  virtual bool UseFontBitmaps(uint32_t dc, uint32_t base) = 0;
  virtual bool UseFontOutlines(uint32_t dc, uint32_t base, double depth) = 0;
  // The pixels of a GDI bitmap as 24-bit BGR rows, bottom-up, each padded
  // to 4 bytes; false when the handle is no bitmap.
  virtual bool BitmapPixels(uint32_t bitmap, int32_t& width, int32_t& height,
                            std::vector<uint8_t>& rows) = 0;
};

void SetGlDevice(GlDevice* device);
GlDevice* GetGlDevice();

}  // namespace korv
