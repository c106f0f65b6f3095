// The text grid's drawing device: stock fonts, TextOut and scrolling on the
// current pair of device contexts (the window's and the back buffer's).
#include <windows.h>

#include <vector>

#include "base/host.h"
#include "graphics/text_screen.h"
#include "gui/window.h"
#include "gui/window_win32.h"
#include "base/keep_last_error.h"

namespace korv {

namespace {

HBRUSH gClsBrush = nullptr;

HDC AsDc(uint32_t v) { return reinterpret_cast<HDC>(static_cast<uintptr_t>(v)); }

// Drawing must not change what the program reads as %WINERROR: every
// entry keeps the thread's last error.
class Win32TextDevice : public TextScreenDevice {
 public:
  void EnsureWindow() override {
    KeepLastError keep;
    EnsureMainWindowWin32();
  }

  bool WindowAlive() override {
    KeepLastError keep;
    HWND h = MainHwnd();
    return h && IsWindow(h);
  }

  bool FontMetrics(int stockFont, TCellFontMetrics& out) override {
    KeepLastError keep;
    HWND h = MainHwnd();
    HDC dc = gEvents.hdc ? AsDc(gEvents.hdc) : GetDC(nullptr);
    if (!dc) return false;
    HGDIOBJ old = SelectObject(dc, GetStockObject(stockFont));
    TEXTMETRICA tm;
    BOOL ok = GetTextMetricsA(dc, &tm);
    // The advance of ten characters as TextOut places them.
    SIZE ten{0, 0};
    if (ok && !GetTextExtentPoint32A(dc, "MMMMMMMMMM", 10, &ten)) ten.cx = 0;
    SelectObject(dc, old);
    if (!gEvents.hdc) ReleaseDC(nullptr, dc);
    (void)h;
    if (!ok) return false;
    out.maxCharWidth = tm.tmMaxCharWidth;
    // TMPF_FIXED_PITCH set means a variable pitch.
    out.fixedPitch = (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0;
    out.advance = (ten.cx + 5) / 10;
    out.height = tm.tmHeight;
    out.externalLeading = tm.tmExternalLeading;
    out.ascent = tm.tmAscent;
    return true;
  }

  void DrawText(int32_t x, int32_t y, const std::string& text, int stockFont, uint32_t textColour,
                uint32_t backColour) override {
    KeepLastError keep;
    const TDcPair& pair = CurrentDcPair();
    // Every character advances by one cell, so columns stay aligned even
    // where a font is narrower than the cell.
    std::vector<INT> advance(text.size(), gScreen.cellWidth);
    for (uint32_t v : {pair.window, pair.memory}) {
      HDC dc = AsDc(v);
      if (!dc) continue;
      HGDIOBJ oldFont = SelectObject(dc, GetStockObject(stockFont));
      COLORREF oldText = SetTextColor(dc, textColour);
      COLORREF oldBack = SetBkColor(dc, backColour);
      int oldMode = SetBkMode(dc, OPAQUE);
      ExtTextOutA(dc, x, y, 0, nullptr, text.data(), static_cast<UINT>(text.size()), advance.data());
      SetBkMode(dc, oldMode);
      SetBkColor(dc, oldBack);
      SetTextColor(dc, oldText);
      SelectObject(dc, oldFont);
    }
  }

  void ScrollUp(int32_t pixels) override {
    KeepLastError keep;
    HWND h = MainHwnd();
    HDC mem = AsDc(gEvents.hdc2);
    const int w = ScreenPixelWidth(), hgt = ScreenPixelHeight();
    // The back buffer scrolls with the window, so repainting shows the
    // scrolled picture; the new bottom row starts blank.
    const int32_t bottom = (gScreen.row - gScreen.originRow) * gScreen.cellHeight;
    if (mem) {
      BitBlt(mem, 0, 0, w, hgt - pixels, mem, 0, pixels, SRCCOPY);
      RECT band{0, bottom, w, bottom + gScreen.cellHeight};
      FillRect(mem, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    if (h && IsWindow(h)) {
      ScrollWindow(h, 0, -pixels, nullptr, nullptr);
      RECT band{0, bottom, w, bottom + gScreen.cellHeight};
      InvalidateRect(h, &band, FALSE);
      UpdateWindow(h);
    }
  }

  void Clear(bool hasColour, uint32_t colour) override {
    KeepLastError keep;
    const TDcPair& pair = CurrentDcPair();
    HBRUSH brush = hasColour ? CreateSolidBrush(colour) : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    const int w = ScreenPixelWidth(), hgt = ScreenPixelHeight();
    for (uint32_t v : {pair.window, pair.memory}) {
      HDC dc = AsDc(v);
      if (!dc) continue;
      SelectObject(dc, brush);
      PatBlt(dc, 0, 0, w, hgt, PATCOPY);
    }
    // The brush of the previous CLS is no longer selected anywhere.
    if (gClsBrush) DeleteObject(gClsBrush);
    gClsBrush = hasColour ? brush : nullptr;
    HWND h = MainHwnd();
    if (h && IsWindow(h)) {
      InvalidateRect(h, nullptr, FALSE);
      UpdateWindow(h);
    }
  }

  void Beep() override {
    KeepLastError keep;
    MessageBeep(0);
  }

  void CreateCaret(int32_t width, int32_t height, int32_t x, int32_t y) override {
    KeepLastError keep;
    HWND h = MainHwnd();
    if (!h) return;
    ::CreateCaret(h, nullptr, width, height);
    SetCaretPos(x, y);
    ShowCaret(h);
  }

  void MoveCaret(int32_t x, int32_t y) override {
    KeepLastError keep;
    SetCaretPos(x, y);
  }

  void DestroyCaret() override {
    KeepLastError keep;
    ::DestroyCaret();
  }

  void WaitForEvents() override {
    KeepLastError keep;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
};

Win32TextDevice gDeviceImpl;

void ReleaseClsBrush() {
  // Selected objects are released with their DCs first.
  if (gClsBrush) {
    DeleteObject(gClsBrush);
    gClsBrush = nullptr;
  }
}

}  // namespace

void InstallWin32TextScreen() {
  SetTextScreenDevice(&gDeviceImpl);
  AtShutdown(ReleaseClsBrush);
}

}  // namespace korv
