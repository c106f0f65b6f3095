// The OpenGL device of the Windows programs: opengl32 and glu32 are linked
// (no entry point is looked up at run time), WGL makes the context.
#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <vector>

#include "gui/window.h"
#include "opengl/gl_device.h"
#include "opengl/opengl.h"

namespace korv {

namespace {

constexpr GLenum kBgrExt = 0x80E0;
constexpr int kFontFirst = 32, kFontCount = 224;

template <typename T>
T* AsHandle(uint32_t v) {
  return reinterpret_cast<T*>(static_cast<uintptr_t>(v));
}
HDC AsDc(uint32_t v) { return reinterpret_cast<HDC>(static_cast<uintptr_t>(v)); }
HWND AsWnd(uint32_t v) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(v)); }
uint32_t AsInt(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

PIXELFORMATDESCRIPTOR Descriptor() {
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 16;
  pfd.cDepthBits = 16;
  pfd.iLayerType = PFD_MAIN_PLANE;
  return pfd;
}

class Win32GlDevice : public GlDevice {
 public:
  bool LoadLibraries(std::string& failedName) override {
    // Linked already; loading them keeps them loaded as the programs expect.
    if (!LoadLibraryA("OpenGL32.DLL")) return failedName = "OpenGL32.dll", false;
    if (!LoadLibraryA("GLu32.DLL")) return failedName = "Glu32.dll", false;
    return true;
  }
  uint32_t WindowDc(uint32_t window) override {
    if (!IsWindow(AsWnd(window))) return 0;
    return AsInt(GetDC(AsWnd(window)));
  }
  int32_t CurrentPixelFormat(uint32_t dc) override { return GetPixelFormat(AsDc(dc)); }
  int32_t ChoosePixelFormat(uint32_t dc) override {
    const PIXELFORMATDESCRIPTOR pfd = Descriptor();
    return ::ChoosePixelFormat(AsDc(dc), &pfd);
  }
  bool SetPixelFormat(uint32_t dc, int32_t index) override {
    const PIXELFORMATDESCRIPTOR pfd = Descriptor();
    return ::SetPixelFormat(AsDc(dc), index, &pfd) != FALSE;
  }
  uint32_t CreateContext(uint32_t dc) override { return AsInt(wglCreateContext(AsDc(dc))); }
  bool MakeCurrent(uint32_t dc, uint32_t context) override {
    if (!wglMakeCurrent(AsDc(dc), AsHandle<HGLRC__>(context))) return false;
    if (context_ != 0 && context_ != context) {
      // The quadric belonged to the old context's GL state.
      DeleteQuadric();
      wglDeleteContext(AsHandle<HGLRC__>(context_));
    }
    context_ = context;
    return true;
  }
  void DeleteContext(uint32_t context) override { wglDeleteContext(AsHandle<HGLRC__>(context)); }
  void ReleaseDc(uint32_t window, uint32_t dc) override { ReleaseDC(AsWnd(window), AsDc(dc)); }
  bool ClientSize(uint32_t window, int32_t& width, int32_t& height) override {
    RECT r;
    if (!GetClientRect(AsWnd(window), &r)) return false;
    width = r.right - r.left;
    height = r.bottom - r.top;
    return true;
  }
  bool SwapBuffers(uint32_t dc) override { return ::SwapBuffers(AsDc(dc)) != FALSE; }

  void NewQuadric() override {
    DeleteQuadric();
    quadric_ = gluNewQuadric();
    if (!quadric_) return;
    gluQuadricNormals(quadric_, GLU_SMOOTH);
    gluQuadricTexture(quadric_, GL_TRUE);
  }
  void DeleteQuadric() override {
    if (quadric_) gluDeleteQuadric(quadric_);
    quadric_ = nullptr;
  }

  void Call(GlOp op, std::initializer_list<double> list) override {
    double a[8] = {};
    int n = 0;
    for (double v : list)
      if (n < 8) a[n++] = v;
    auto e = [&](int i) { return static_cast<GLenum>(static_cast<int64_t>(a[i])); };
    auto i = [&](int k) { return static_cast<GLint>(static_cast<int64_t>(a[k])); };
    auto f = [&](int k) { return static_cast<GLfloat>(a[k]); };
    switch (op) {
      case GlOp::ShadeModel: glShadeModel(e(0)); break;
      case GlOp::ClearColor: glClearColor(f(0), f(1), f(2), f(3)); break;
      case GlOp::Fogi: glFogi(e(0), i(1)); break;
      case GlOp::Fogf: glFogf(e(0), f(1)); break;
      case GlOp::FogColor: {
        const GLfloat c[4] = {f(0), f(1), f(2), f(3)};
        glFogfv(GL_FOG_COLOR, c);
        break;
      }
      case GlOp::Hint: glHint(e(0), e(1)); break;
      case GlOp::ClearDepth: glClearDepth(a[0]); break;
      case GlOp::Enable: glEnable(e(0)); break;
      case GlOp::Disable: glDisable(e(0)); break;
      case GlOp::DepthFunc: glDepthFunc(e(0)); break;
      case GlOp::ColorMaterial: glColorMaterial(e(0), e(1)); break;
      case GlOp::Viewport: glViewport(i(0), i(1), i(2), i(3)); break;
      case GlOp::MatrixMode: glMatrixMode(e(0)); break;
      case GlOp::LoadIdentity: glLoadIdentity(); break;
      case GlOp::Perspective: gluPerspective(a[0], a[1], a[2], a[3]); break;
      case GlOp::Clear: glClear(e(0)); break;
      case GlOp::RasterPos2f: glRasterPos2f(f(0), f(1)); break;
      case GlOp::BlendFunc: glBlendFunc(e(0), e(1)); break;
      case GlOp::PushAttrib: glPushAttrib(e(0)); break;
      case GlOp::PopAttrib: glPopAttrib(); break;
      case GlOp::ListBase: glListBase(static_cast<GLuint>(static_cast<int64_t>(a[0]))); break;
      case GlOp::Translated: glTranslated(a[0], a[1], a[2]); break;
      case GlOp::Rotated: glRotated(a[0], a[1], a[2], a[3]); break;
      case GlOp::Scaled: glScaled(a[0], a[1], a[2]); break;
      case GlOp::PushMatrix: glPushMatrix(); break;
      case GlOp::PopMatrix: glPopMatrix(); break;
      case GlOp::Color4f: glColor4f(f(0), f(1), f(2), f(3)); break;
      case GlOp::Begin: glBegin(e(0)); break;
      case GlOp::End: glEnd(); break;
      case GlOp::Normal3d: glNormal3d(a[0], a[1], a[2]); break;
      case GlOp::TexCoord2d: glTexCoord2d(a[0], a[1]); break;
      case GlOp::Vertex3d: glVertex3d(a[0], a[1], a[2]); break;
      case GlOp::Cylinder:
        if (quadric_) gluCylinder(quadric_, a[0], a[1], a[2], i(3), i(4));
        break;
      case GlOp::Disk:
        if (quadric_) gluDisk(quadric_, a[0], a[1], i(2), i(3));
        break;
      case GlOp::PartialDisk:
        if (quadric_) gluPartialDisk(quadric_, a[0], a[1], i(2), i(3), a[4], a[5]);
        break;
      case GlOp::Sphere:
        if (quadric_) gluSphere(quadric_, a[0], i(1), i(2));
        break;
      case GlOp::BindTexture: glBindTexture(e(0), e(1)); break;
      case GlOp::TexParameteri: glTexParameteri(e(0), e(1), i(2)); break;
      case GlOp::TexEnvf: glTexEnvf(e(0), e(1), f(2)); break;
      case GlOp::DeleteTexture: {
        const GLuint name = e(0);
        glDeleteTextures(1, &name);
        break;
      }
      case GlOp::NewList: glNewList(e(0), e(1)); break;
      case GlOp::EndList: glEndList(); break;
      case GlOp::CallList: glCallList(e(0)); break;
      case GlOp::DeleteLists: glDeleteLists(e(0), i(1)); break;
      case GlOp::InitNames: glInitNames(); break;
      case GlOp::PushName: glPushName(e(0)); break;
      case GlOp::LoadName: glLoadName(e(0)); break;
      case GlOp::PickMatrix: {
        GLint vp[4] = {i(4), i(5), i(6), i(7)};
        gluPickMatrix(a[0], a[1], a[2], a[3], vp);
        break;
      }
      case GlOp::EnableClientState: glEnableClientState(e(0)); break;
      case GlOp::DisableClientState: glDisableClientState(e(0)); break;
      case GlOp::DrawArrays: glDrawArrays(e(0), i(1), i(2)); break;
      case GlOp::kCount: break;
    }
  }

  int32_t GetInteger(uint32_t pname) override {
    GLint v[4] = {};
    glGetIntegerv(pname, v);
    return v[0];
  }
  void GetViewport(int32_t viewport[4]) override {
    GLint v[4] = {};
    glGetIntegerv(GL_VIEWPORT, v);
    for (int k = 0; k < 4; ++k) viewport[k] = v[k];
  }
  uint32_t GenLists(int32_t range) override { return glGenLists(range); }
  uint32_t GenTexture() override {
    GLuint name = 0;
    glGenTextures(1, &name);
    return name;
  }
  uint32_t GetError() override { return glGetError(); }
  int32_t RenderMode(uint32_t mode) override { return glRenderMode(mode); }
  void SelectBuffer(int32_t size, uint32_t* buffer) override {
    glSelectBuffer(size, reinterpret_cast<GLuint*>(buffer));
  }
  void CallLists(const std::string& bytes) override {
    glCallLists(static_cast<GLsizei>(bytes.size()), GL_UNSIGNED_BYTE, bytes.data());
  }
  void BuildMipmaps(int32_t width, int32_t height, const uint8_t* rows) override {
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, kBgrExt, GL_UNSIGNED_BYTE, rows);
  }
  GlWindowPoint Project(double x, double y, double z) override {
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GlWindowPoint p;
    if (!gluProject(x, y, z, model, projection, viewport, &p.x, &p.y, &p.z)) p = GlWindowPoint{};
    return p;
  }
  void VertexPointer(const double* p) override { glVertexPointer(3, GL_DOUBLE, 0, p); }
  void ColorPointer(const double* p) override { glColorPointer(4, GL_DOUBLE, 0, p); }
  void TexCoordPointer(const double* p) override { glTexCoordPointer(2, GL_DOUBLE, 0, p); }
  void NormalPointer(const double* p) override { glNormalPointer(GL_DOUBLE, 0, p); }
  std::string ErrorString(uint32_t code) override {
    const GLubyte* s = gluErrorString(code);
    return s ? std::string(reinterpret_cast<const char*>(s)) : std::string();
  }

  uint32_t SelectFont(uint32_t dc, uint32_t font) override {
    return AsInt(SelectObject(AsDc(dc), AsHandle<HFONT__>(font)));
  }
  bool UseFontBitmaps(uint32_t dc, uint32_t base) override {
    return wglUseFontBitmapsA(AsDc(dc), kFontFirst, kFontCount, base) != FALSE;
  }
  bool UseFontOutlines(uint32_t dc, uint32_t base, double depth) override {
    std::vector<GLYPHMETRICSFLOAT> metrics(256);
    return wglUseFontOutlinesA(AsDc(dc), kFontFirst, kFontCount, base, 0.0f,
                               static_cast<float>(depth), WGL_FONT_POLYGONS,
                               metrics.data()) != FALSE;
  }
  bool BitmapPixels(uint32_t bitmap, int32_t& width, int32_t& height,
                    std::vector<uint8_t>& rows) override {
    BITMAP bm{};
    if (GetObjectA(AsHandle<HBITMAP__>(bitmap), sizeof bm, &bm) != sizeof bm) return false;
    width = bm.bmWidth;
    height = bm.bmHeight;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width * height * 4);
    rows.assign(static_cast<size_t>(width) * height * 4, 0);
    HDC screen = nullptr;
    HDC dc = gEvents.hdc ? AsDc(gEvents.hdc) : (screen = GetDC(nullptr));
    const int got = GetDIBits(dc, AsHandle<HBITMAP__>(bitmap), 0, height, rows.data(), &info,
                              DIB_RGB_COLORS);
    if (screen) ReleaseDC(nullptr, screen);
    return got != 0;
  }

 private:
  GLUquadric* quadric_ = nullptr;
  uint32_t context_ = 0;
};

Win32GlDevice gWin32Gl;

}  // namespace

void InstallWin32OpenGl() { SetGlDevice(&gWin32Gl); }

}  // namespace korv
