// The drawing device: pens and brushes made from the drawing state and
// selected into the current pair of contexts (the window's and the back
// buffer's); every figure is drawn into both, once when they are the same.
#include <windows.h>

#include "base/host.h"
#include "base/keep_last_error.h"
#include "graphics/drawing.h"
#include "graphics/drawing_win32.h"
#include "graphics/painting.h"
#include "gui/window.h"
#include "gui/window_win32.h"

namespace korv {

namespace {

HDC AsDc(uint32_t v) { return reinterpret_cast<HDC>(static_cast<uintptr_t>(v)); }

}  // namespace

// The contexts a figure goes to: the pair, the same context only once.
int PairDcs(HDC out[2]) {
  const TDcPair& pair = CurrentDcPair();
  int n = 0;
  if (pair.window) out[n++] = AsDc(pair.window);
  if (pair.memory && pair.memory != pair.window) out[n++] = AsDc(pair.memory);
  return n;
}

// Every context that still holds the object (the pair in force, the event
// contexts and a pair just left) gets the stock object of its kind.
void Unselect(HGDIOBJ obj, UINT type, int stock, const TDcPair& previous) {
  const TDcPair& pair = CurrentDcPair();
  for (uint32_t v : {pair.window, pair.memory, gEvents.hdc, gEvents.hdc2, previous.window, previous.memory}) {
    HDC dc = AsDc(v);
    if (dc && GetCurrentObject(dc, type) == obj) SelectObject(dc, GetStockObject(stock));
  }
}

// Before an object is deleted, it is taken out of every context.
void ReleaseObject(HGDIOBJ obj, UINT type, int stock, const TDcPair& previous) {
  if (!obj) return;
  Unselect(obj, type, stock, previous);
  DeleteObject(obj);
}

void SelectIntoPair(HGDIOBJ obj) {
  HDC dcs[2];
  for (int i = 0, n = PairDcs(dcs); i < n; ++i) SelectObject(dcs[i], obj);
}

namespace {

// Pens wider than one pixel, and the styled ones (style 0), keep their
// look on the printer only when their width grows with the print factor.
HPEN MakePen(const TPenParams& p) {
  const int32_t width = (p.width > 1 || p.style == 0) ? ScaledByDrawing(p.width) : p.width;
  return CreatePen(p.style, width, p.colour);
}

HBRUSH MakeBrush(const TBrushParams& b) {
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
  return CreateBrushIndirect(&lb);
}

void ApplyTextColour(HDC dc, uint32_t text, int32_t back) {
  SetTextColor(dc, text);
  if (back == -1) {
    SetBkMode(dc, TRANSPARENT);
  } else {
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, static_cast<COLORREF>(back));
  }
}

class Win32DrawingDevice : public DrawingDevice {
 public:
  bool HasTarget() override {
    KeepLastError keep;
    HWND h = MainHwnd();
    return (h && IsWindow(h)) || PaintRedirected();
  }

  void UsePen(const TPenParams& p) override {
    KeepLastError keep;
    HPEN pen = MakePen(p);
    if (!pen) return;  // a pen that cannot be made leaves the old one
    SelectIntoPair(pen);
    ReleaseObject(pen_, OBJ_PEN, BLACK_PEN, TDcPair());
    pen_ = pen;
  }

  void UseBrush(const TBrushParams& b) override {
    KeepLastError keep;
    HBRUSH brush = MakeBrush(b);
    if (!brush) return;
    SelectIntoPair(brush);
    ReleaseObject(brush_, OBJ_BRUSH, WHITE_BRUSH, TDcPair());
    brush_ = brush;
  }

  void TextColour(uint32_t text, int32_t back) override {
    KeepLastError keep;
    HDC dcs[2];
    for (int i = 0, n = PairDcs(dcs); i < n; ++i) ApplyTextColour(dcs[i], text, back);
  }

  void PairChanged(uint32_t previousWindow, uint32_t previousMemory) override {
    KeepLastError keep;
    const TDcPair previous{previousWindow, previousMemory};
    if (pen_) Replace(pen_, MakePen(gDrawing.pen), OBJ_PEN, BLACK_PEN, previous);
    if (brush_) Replace(brush_, MakeBrush(gDrawing.brush), OBJ_BRUSH, WHITE_BRUSH, previous);
    if (gDrawing.hasTextColour) TextColour(gDrawing.textColour, gDrawing.textBack);
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
    ReleaseObject(pen_, OBJ_PEN, BLACK_PEN, TDcPair());
    ReleaseObject(brush_, OBJ_BRUSH, WHITE_BRUSH, TDcPair());
    pen_ = nullptr;
    brush_ = nullptr;
  }

  void Forget(uint32_t object) override {
    KeepLastError keep;
    HGDIOBJ obj = reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(object));
    if (obj && obj == pen_) {
      Unselect(obj, OBJ_PEN, BLACK_PEN, TDcPair());
      pen_ = nullptr;
      gDrawing.hasPen = false;
    } else if (obj && obj == brush_) {
      Unselect(obj, OBJ_BRUSH, WHITE_BRUSH, TDcPair());
      brush_ = nullptr;
      gDrawing.hasBrush = false;
    }
  }

 private:
  // The made object goes into the pair in force; the old one leaves every
  // context that holds it before it is deleted.
  template <typename H>
  static void Replace(H& held, H made, UINT type, int stock, const TDcPair& previous) {
    if (!made) return;
    SelectIntoPair(made);
    ReleaseObject(held, type, stock, previous);
    held = made;
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
