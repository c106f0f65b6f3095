// Fonts, text and paint redirection on GDI. The font is made from its
// parameters like the pen and the brush, and made again for every new pair
// of contexts, so that a printer gets printer-sized objects and the screen
// gets screen-sized ones back.
#include <windows.h>

#include "base/host.h"
#include "base/keep_last_error.h"
#include "graphics/drawing.h"
#include "graphics/drawing_win32.h"
#include "graphics/painting.h"
#include "graphics/painting_win32.h"
#include "graphics/printing.h"
#include "gui/window.h"
#include "gui/window_win32.h"

namespace korv {

namespace {

HDC AsDc(uint32_t v) { return reinterpret_cast<HDC>(static_cast<uintptr_t>(v)); }
HWND AsHwnd(int32_t v) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(v))); }
uint32_t H32(const void* h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

constexpr int32_t kNoWindow = 242;
constexpr int32_t kNoMemoryBitmap = 228;
constexpr int kWeightBold = 700, kWeightNormal = 400;

HFONT MakeFont(const TFontParams& f) {
  return CreateFontA(ScaledByDrawing(f.height), ScaledByDrawing(f.width), f.angle, f.angle,
                     f.bold ? kWeightBold : kWeightNormal, f.italic ? TRUE : FALSE,
                     f.underline ? TRUE : FALSE, FALSE, f.charset, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, f.face.c_str());
}

// Width and height of the surface a context draws on.
bool SurfaceSize(HDC dc, HWND wnd, int& w, int& h) {
  if (wnd) {
    RECT r;
    if (!GetClientRect(wnd, &r)) return false;
    w = r.right;
    h = r.bottom;
    return true;
  }
  BITMAP bm;
  HGDIOBJ bmp = GetCurrentObject(dc, OBJ_BITMAP);
  if (GetObjectType(dc) == OBJ_MEMDC && bmp && GetObjectA(bmp, sizeof bm, &bm)) {
    w = bm.bmWidth;
    h = bm.bmHeight;
    return true;
  }
  w = GetDeviceCaps(dc, HORZRES);
  h = GetDeviceCaps(dc, VERTRES);
  return w > 0 && h > 0;
}

class Win32PaintDevice : public PaintDevice {
 public:
  void UseFont(const TFontParams& f) override {
    KeepLastError keep;
    HFONT font = MakeFont(f);
    if (!font) return;  // a font that cannot be made leaves the old one
    SelectIntoPair(font);
    ReleaseObject(font_, OBJ_FONT, SYSTEM_FONT, TDcPair());
    font_ = font;
  }

  uint32_t FontHandle() override { return H32(font_); }

  void DrawText(int32_t x, int32_t y, const std::string& text) override {
    KeepLastError keep;
    HDC dcs[2];
    for (int i = 0, n = PairDcs(dcs); i < n; ++i)
      TextOutA(dcs[i], x, y, text.data(), static_cast<int>(text.size()));
  }

  bool IsMainWindow(int32_t handle) override {
    HWND main = MainHwnd();
    return main && H32(main) == static_cast<uint32_t>(handle);
  }

  int32_t BeginRedirect(int32_t target) override {
    KeepLastError keep;
    HDC dc = nullptr;
    HWND wnd = nullptr;
    if (target == kPaintMemory) {
      dc = AsDc(MemoryBitmapDc());
      if (!dc) return kNoMemoryBitmap;
    } else if (target == kPaintScreen) {
      dc = GetDC(nullptr);
    } else {
      wnd = AsHwnd(target);
      if (!IsWindow(wnd)) return kNoWindow;
      dc = GetDC(wnd);
    }
    if (!dc) return kNoWindow;
    borrowed_ = target == kPaintMemory ? nullptr : dc;
    borrowedWindow_ = wnd;
    targetWindow_ = wnd;
    redirected_ = true;
    SwitchPair(TDcPair{H32(dc), H32(dc)});
    return 0;
  }

  void EndRedirect() override {
    KeepLastError keep;
    if (!redirected_) return;
    redirected_ = false;
    SwitchPair(TDcPair{gEvents.hdc, gEvents.hdc2});
    if (borrowed_) ReleaseDC(borrowedWindow_, borrowed_);
    borrowed_ = nullptr;
    borrowedWindow_ = targetWindow_ = nullptr;
  }

  void MapLogical(int32_t w, int32_t h) override {
    KeepLastError keep;
    HDC dcs[2];
    const int n = PairDcs(dcs);
    if (n == 0) return;
    HWND surface = redirected_ ? targetWindow_ : MainHwnd();
    int vw, vh;
    if (!SurfaceSize(dcs[0], surface, vw, vh)) return;
    for (int i = 0; i < n; ++i) {
      SetMapMode(dcs[i], MM_ANISOTROPIC);
      SetWindowExtEx(dcs[i], w, h, nullptr);
      SetViewportExtEx(dcs[i], vw, vh, nullptr);
    }
  }

  void Release() override {
    KeepLastError keep;
    EndRedirect();
    ReleaseObject(font_, OBJ_FONT, SYSTEM_FONT, TDcPair());
    font_ = nullptr;
  }

  // The pair was replaced: the font is made again for it.
  void PairChanged(const TDcPair& previous) {
    if (!font_) return;
    HFONT made = MakeFont(gPaint.font);
    if (!made) return;
    SelectIntoPair(made);
    ReleaseObject(font_, OBJ_FONT, SYSTEM_FONT, previous);
    font_ = made;
  }

 private:
  HFONT font_ = nullptr;
  bool redirected_ = false;
  HDC borrowed_ = nullptr;       // context from GetDC, released by ENDPAINT
  HWND borrowedWindow_ = nullptr;
  HWND targetWindow_ = nullptr;  // the window drawn into, if the target is one
};

Win32PaintDevice gDeviceImpl;

}  // namespace

void SwitchPair(const TDcPair& next) {
  const TDcPair previous = CurrentDcPair();
  CurrentDcPair() = next;
  if (DrawingDevice* d = GetDrawingDevice()) d->PairChanged(previous.window, previous.memory);
  gDeviceImpl.PairChanged(previous);
}

void InstallWin32Painting() {
  SetPaintDevice(&gDeviceImpl);
  // Runs after the print job is ended (shutdown steps run newest first).
  AtShutdown([] { gDeviceImpl.Release(); });
}

}  // namespace korv
