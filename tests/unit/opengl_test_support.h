// A recording OpenGL device for the OGL tests: every call becomes one line
// of text, and the translations and rotations are multiplied into a
// model-view matrix so that tests can check where shapes leave it.
#pragma once
#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "opengl/gl_device.h"

namespace korv::test {

class RecordingGl : public GlDevice {
 public:
  using Matrix = std::array<double, 16>;  // column-major, as GL keeps it

  bool LoadLibraries(std::string& failed) override {
    if (!librariesLoad) failed = "OpenGL32.dll";
    return librariesLoad;
  }
  uint32_t WindowDc(uint32_t window) override {
    Log("GetDC " + N(window));
    return window == 0 ? 0 : window + 1000;
  }
  int32_t CurrentPixelFormat(uint32_t) override { return pixelFormatSet; }
  int32_t ChoosePixelFormat(uint32_t) override { return choose; }
  bool SetPixelFormat(uint32_t, int32_t index) override {
    Log("SetPixelFormat " + N(index));
    pixelFormatSet = index;
    return true;
  }
  uint32_t CreateContext(uint32_t) override { return 77; }
  bool MakeCurrent(uint32_t, uint32_t) override { return makeCurrent; }
  void DeleteContext(uint32_t c) override { Log("DeleteContext " + N(c)); }
  void ReleaseDc(uint32_t w, uint32_t dc) override { Log("ReleaseDC " + N(w) + " " + N(dc)); }
  bool ClientSize(uint32_t, int32_t& w, int32_t& h) override {
    w = width;
    h = height;
    return true;
  }
  bool SwapBuffers(uint32_t dc) override {
    Log("SwapBuffers " + N(dc));
    return true;
  }
  void NewQuadric() override {
    if (quadrics > 0) Log("DeleteQuadric");
    quadrics = 1;
    Log("NewQuadric");
  }
  void DeleteQuadric() override {
    if (quadrics > 0) Log("DeleteQuadric");
    quadrics = 0;
  }

  void Call(GlOp op, std::initializer_list<double> args) override {
    static const char* const kNames[] = {
        "ShadeModel", "ClearColor", "Fogi", "Fogf", "FogColor", "Hint", "ClearDepth", "Enable",
        "Disable", "DepthFunc", "ColorMaterial", "Viewport", "MatrixMode", "LoadIdentity",
        "Perspective", "Clear", "RasterPos2f", "BlendFunc", "PushAttrib", "PopAttrib", "ListBase",
        "Translated", "Rotated", "Scaled", "PushMatrix", "PopMatrix", "Color4f", "Begin", "End",
        "Normal3d", "TexCoord2d", "Vertex3d", "Cylinder", "Disk", "PartialDisk", "Sphere",
        "BindTexture", "TexParameteri", "TexEnvf", "DeleteTexture", "NewList", "EndList",
        "CallList", "DeleteLists", "InitNames", "PushName", "LoadName", "PickMatrix",
        "EnableClientState", "DisableClientState", "DrawArrays"};
    static_assert(sizeof kNames / sizeof kNames[0] == static_cast<size_t>(GlOp::kCount));
    std::string line = kNames[static_cast<int>(op)];
    std::vector<double> a(args);
    for (double v : a) line += " " + N(v);
    Log(line);
    Track(op, a);
  }

  int32_t GetInteger(uint32_t pname) override { return pname == gl::kRenderMode ? renderMode : 0; }
  void GetViewport(int32_t vp[4]) override {
    vp[0] = 0, vp[1] = 0, vp[2] = width, vp[3] = height;
  }
  uint32_t GenLists(int32_t range) override {
    Log("GenLists " + N(range));
    return genLists;
  }
  uint32_t GenTexture() override { return 5; }
  uint32_t GetError() override { return error; }
  int32_t RenderMode(uint32_t mode) override {
    Log("RenderMode " + N(mode));
    const int32_t previous = renderMode == static_cast<int32_t>(gl::kSelect) ? hits : 0;
    if (mode == gl::kRender && selectBuffer) {
      for (size_t k = 0; k < hitWords.size(); ++k) selectBuffer[k] = hitWords[k];
    }
    renderMode = static_cast<int32_t>(mode);
    return previous;
  }
  void SelectBuffer(int32_t size, uint32_t* buffer) override {
    Log("SelectBuffer " + N(size));
    selectBuffer = buffer;
  }
  void CallLists(const std::string& bytes) override { Log("CallLists " + bytes); }
  void BuildMipmaps(int32_t w, int32_t h, const uint8_t* rows) override {
    Log("BuildMipmaps " + N(w) + " " + N(h) + " " + N(rows[0]));
  }
  GlWindowPoint Project(double x, double y, double z) override { return {x * 10, y * 10, z}; }
  void VertexPointer(const double* p) override { Log("VertexPointer " + N(p[0])); }
  void ColorPointer(const double* p) override { Log("ColorPointer " + N(p[0])); }
  void TexCoordPointer(const double* p) override { Log("TexCoordPointer " + N(p[0])); }
  void NormalPointer(const double* p) override { Log("NormalPointer " + N(p[0])); }
  std::string ErrorString(uint32_t code) override { return code == 1280 ? "invalid enumerant" : ""; }
  uint32_t SelectFont(uint32_t dc, uint32_t font) override {
    Log("SelectFont " + N(dc) + " " + N(font));
    const uint32_t old = selectedFont;
    selectedFont = font;
    return old;
  }
  bool UseFontBitmaps(uint32_t, uint32_t base) override {
    Log("UseFontBitmaps " + N(base));
    return fontsWork;
  }
  bool UseFontOutlines(uint32_t, uint32_t base, double depth) override {
    Log("UseFontOutlines " + N(base) + " " + N(depth));
    return fontsWork;
  }
  bool BitmapPixels(uint32_t, int32_t& w, int32_t& h, std::vector<uint8_t>& rows) override {
    w = 2, h = 2;
    rows.assign(16, 9);
    return true;
  }

  // The calls made since the last Take, then forgotten.
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }
  bool Has(const std::string& line) const {
    for (const auto& c : calls)
      if (c == line) return true;
    return false;
  }
  bool IsIdentity() const {
    for (int i = 0; i < 16; ++i)
      if (std::fabs(matrix[i] - ((i % 5 == 0) ? 1.0 : 0.0)) > 1e-9) return false;
    return true;
  }

  std::vector<std::string> calls;
  Matrix matrix = Identity();
  std::vector<Matrix> stack;
  bool librariesLoad = true, makeCurrent = true, fontsWork = true;
  int32_t choose = 7, pixelFormatSet = 0, width = 400, height = 300;
  int32_t renderMode = static_cast<int32_t>(gl::kRender), hits = 0;
  std::vector<uint32_t> hitWords;
  uint32_t* selectBuffer = nullptr;
  uint32_t genLists = 1000, error = 0, selectedFont = 55;
  int quadrics = 0;

  static std::string N(double v) {
    std::ostringstream s;
    // Masks and names print whole; other numbers with six digits.
    if (v == static_cast<double>(static_cast<long long>(v)) && v > -1e12 && v < 1e12)
      s << static_cast<long long>(v);
    else
      s << v;
    return s.str();
  }

 private:
  static Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }
  void Multiply(const Matrix& m) {
    Matrix r{};
    for (int c = 0; c < 4; ++c)
      for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k) r[c * 4 + row] += matrix[k * 4 + row] * m[c * 4 + k];
    matrix = r;
  }
  void Track(GlOp op, const std::vector<double>& a) {
    if (op == GlOp::LoadIdentity) matrix = Identity();
    if (op == GlOp::PushMatrix) stack.push_back(matrix);
    if (op == GlOp::PopMatrix && !stack.empty()) matrix = stack.back(), stack.pop_back();
    if (op == GlOp::Translated) {
      Matrix t = Identity();
      t[12] = a[0], t[13] = a[1], t[14] = a[2];
      Multiply(t);
    }
    if (op == GlOp::Rotated) {
      const double rad = a[0] * 3.14159265358979323846 / 180;
      double x = a[1], y = a[2], z = a[3];
      const double len = std::sqrt(x * x + y * y + z * z);
      x /= len, y /= len, z /= len;
      const double c = std::cos(rad), s = std::sin(rad), t = 1 - c;
      Matrix r = {t * x * x + c,     t * x * y + s * z, t * x * z - s * y, 0,
                  t * x * y - s * z, t * y * y + c,     t * y * z + s * x, 0,
                  t * x * z + s * y, t * y * z - s * x, t * z * z + c,     0,
                  0,                 0,                 0,                 1};
      Multiply(r);
    }
  }
  void Log(const std::string& s) { calls.push_back(s); }
};

}  // namespace korv::test
