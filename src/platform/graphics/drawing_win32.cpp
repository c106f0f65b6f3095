// The drawing device: pens and brushes made from the drawing state and
// selected into the current pair of contexts (the window's and the back
// buffer's); every figure is drawn into both, once when they are the same.
#include <windows.h>

#include "base/host.h"
#include "base/keep_last_error.h"
#include "graphics/drawing.h"
#include "graphics/drawing_win32.h"
#include "gui/window.h"
#include "gui/window_win32.h"

namespace korv {

namespace {

HDC AsDc(uint32_t v) { return reinterpret_cast<HDC>(static_cast<uintptr_t>(v)); }

// The contexts a figure goes to: the pair, the same context only once.
int PairDcs(HDC out[2]) {
  const TDcPair& pair = CurrentDcPair();
  int n = 0;
  if (pair.window) out[n++] = AsDc(pair.window);
  if (pair.memory && pair.memory != pair.window) out[n++] = AsDc(pair.memory);
  return n;
}

// Every context that still holds the object gets the stock object of its
// kind.
void Unselect(HGDIOBJ obj, UINT type, int stock) {
  const TDcPair& pair = CurrentDcPair();
  for (uint32_t v : {pair.window, pair.memory, gEvents.hdc, gEvents.hdc2}) {
    HDC dc = AsDc(v);
    if (dc && GetCurrentObject(dc, type) == obj) SelectObject(dc, GetStockObject(stock));
  }
}

// Before an object is deleted, it is taken out of every context.
void ReleaseObject(HGDIOBJ obj, UINT type, int stock) {
  if (!obj) return;
  Unselect(obj, type, stock);
  DeleteObject(obj);
}

class Win32DrawingDevice : public DrawingDevice {
 public:
  bool HasTarget() override {
    KeepLastError keep;
    HWND h = MainHwnd();
    return h && IsWindow(h);
  }

  void UsePen(const TPenParams& p) override {
    KeepLastError keep;
    HPEN pen = CreatePen(p.style, p.width, p.colour);
    if (!pen) return;  // a pen that cannot be made leaves the old one
    Select(pen);
    ReleaseObject(pen_, OBJ_PEN, BLACK_PEN);
    pen_ = pen;
  }

  void UseBrush(const TBrushParams& b) override {
    KeepLastError keep;
    LOGBRUSH lb{};
    lb.lbColor = b.colour;
    if (b.style <= 0) {
      lb.lbStyle = BS_HOLLOW;
    } else if (b.style == 1) {
      lb.lbStyle = BS_SOLID;
    } else {
      lb.lbStyle = BS_HATCHED;
      lb.lbHatch = static_cast<ULONG_PTR>(b.style - 2);
    }
    HBRUSH brush = CreateBrushIndirect(&lb);
    if (!brush) return;
    Select(brush);
    ReleaseObject(brush_, OBJ_BRUSH, WHITE_BRUSH);
    brush_ = brush;
  }

  void TextColour(uint32_t text, int32_t back) override {
    KeepLastError keep;
    HDC dcs[2];
    for (int i = 0, n = PairDcs(dcs); i < n; ++i) {
      SetTextColor(dcs[i], text);
      if (back == -1) {
        SetBkMode(dcs[i], TRANSPARENT);
      } else {
        SetBkMode(dcs[i], OPAQUE);
        SetBkColor(dcs[i], static_cast<COLORREF>(back));
      }
    }
  }

  void SetPixel(int32_t x, int32_t y, uint32_t colour) override {
    KeepLastError keep;
    HDC dcs[2];
    for (int i = 0, n = PairDcs(dcs); i < n; ++i) ::SetPixel(dcs[i], x, y, colour);
  }

  void Fill(int32_t x, int32_t y, uint32_t border) override {
    KeepLastError keep;
    HDC dcs[2];
    for (int i = 0, n = PairDcs(dcs); i < n; ++i) ExtFloodFill(dcs[i], x, y, border, FLOODFILLBORDER);
  }

  void MoveTo(int32_t x, int32_t y) override {
    KeepLastError keep;
    HDC dcs[2];
    for (int i = 0, n = PairDcs(dcs); i < n; ++i) MoveToEx(dcs[i], x, y, nullptr);
  }

  void LineTo(int32_t x, int32_t y) override {
    KeepLastError keep;
    HDC dcs[2];
    for (int i = 0, n = PairDcs(dcs); i < n; ++i) ::LineTo(dcs[i], x, y);
  }

  void Shape(ShapeKind kind, const int32_t* p) override {
    KeepLastError keep;
    HDC dcs[2];
    for (int i = 0, n = PairDcs(dcs); i < n; ++i) {
      HDC dc = dcs[i];
      switch (kind) {
        case ShapeKind::Rectangle: ::Rectangle(dc, p[0], p[1], p[2], p[3]); break;
        case ShapeKind::Ellipse: ::Ellipse(dc, p[0], p[1], p[2], p[3]); break;
        case ShapeKind::RoundRect: ::RoundRect(dc, p[0], p[1], p[2], p[3], p[4], p[5]); break;
        case ShapeKind::Arc: ::Arc(dc, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]); break;
        case ShapeKind::Chord: ::Chord(dc, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]); break;
        case ShapeKind::Pie: ::Pie(dc, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]); break;
      }
    }
  }

  // The back buffer keeps what is covered or minimised on the screen.
  uint32_t GetPixel(int32_t x, int32_t y) override {
    KeepLastError keep;
    const TDcPair& pair = CurrentDcPair();
    HDC dc = AsDc(pair.memory ? pair.memory : pair.window);
    if (!dc) return CLR_INVALID;
    return ::GetPixel(dc, x, y);
  }

  void Release() override {
    KeepLastError keep;
    ReleaseObject(pen_, OBJ_PEN, BLACK_PEN);
    ReleaseObject(brush_, OBJ_BRUSH, WHITE_BRUSH);
    pen_ = nullptr;
    brush_ = nullptr;
  }

  void Forget(uint32_t object) override {
    KeepLastError keep;
    HGDIOBJ obj = reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(object));
    if (obj && obj == pen_) {
      Unselect(obj, OBJ_PEN, BLACK_PEN);
      pen_ = nullptr;
      gDrawing.hasPen = false;
    } else if (obj && obj == brush_) {
      Unselect(obj, OBJ_BRUSH, WHITE_BRUSH);
      brush_ = nullptr;
      gDrawing.hasBrush = false;
    }
  }

 private:
  void Select(HGDIOBJ obj) {
    HDC dcs[2];
    for (int i = 0, n = PairDcs(dcs); i < n; ++i) SelectObject(dcs[i], obj);
  }

  HPEN pen_ = nullptr;
  HBRUSH brush_ = nullptr;
};

Win32DrawingDevice gDeviceImpl;

void ReleaseDrawingObjects() { gDeviceImpl.Release(); }

}  // namespace

void InstallWin32Drawing() {
  SetDrawingDevice(&gDeviceImpl);
  AtShutdown(ReleaseDrawingObjects);
}

}  // namespace korv
