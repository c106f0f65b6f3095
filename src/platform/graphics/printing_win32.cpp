// Print jobs on a printer device context, and the hard copies of windows.
// Bitmaps go to the printer as device-independent bits (StretchDIBits):
// printer drivers take those whatever the screen's format is.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/keep_last_error.h"
#include "graphics/bitmaps.h"
#include "graphics/painting_win32.h"
#include "graphics/printing.h"
#include "gui/window.h"
#include "gui/window_win32.h"

namespace korv {

namespace {

uint32_t H32(const void* h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }
HDC AsDc(uint32_t v) { return reinterpret_cast<HDC>(static_cast<uintptr_t>(v)); }

constexpr int32_t kCannotPrint = 235;
constexpr int32_t kHardCopyFailed = 236;
constexpr int32_t kNoWindow = 242;
constexpr DWORD kPrintSetupFlags = 0x40140;  // PD_PRINTSETUP | PD_RETURNDC | PD_USEDEVMODECOPIES
constexpr WORD kFirstPage = 1, kLastPage = 100;
// A page: 640 x 960 units drawn at the print factor onto 2200 x 3300 dots
// of a 300 dpi printer.
constexpr int kPageUnitsX = 640 * kPrintFactor, kPageUnitsY = 960 * kPrintFactor;
constexpr double kPageDotsX = 2200, kPageDotsY = 3300, kReferenceDpi = 300;
constexpr DWORD kProfileChars = 128;

// "device" of "windows": name,driver,port. nullptr without two commas.
HDC DefaultPrinterDc() {
  // The spooler publishes the installed printers in the profile when it is
  // loaded (under Wine it is not loaded before something needs it).
  LoadLibraryA("winspool.drv");
  char buf[kProfileChars + 1] = {};
  GetProfileStringA("windows", "device", "", buf, kProfileChars);
  const std::string device = buf;
  const size_t c1 = device.find(',');
  if (c1 == std::string::npos) return nullptr;
  const size_t c2 = device.find(',', c1 + 1);
  if (c2 == std::string::npos) return nullptr;
  const std::string name = device.substr(0, c1);
  const std::string driver = device.substr(c1 + 1, c2 - c1 - 1);
  const std::string port = device.substr(c2 + 1);
  return CreateDCA(driver.c_str(), name.c_str(), port.c_str(), nullptr);
}

// The print setup dialog; nullptr when cancelled. Unattended runs have
// nobody to answer it, so it counts as cancelled there.
HDC DialogPrinterDc() {
  if (host().ConsoleMode()) return nullptr;
  PRINTDLGA pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = MainHwnd();
  pd.Flags = kPrintSetupFlags;
  pd.nFromPage = pd.nMinPage = kFirstPage;
  pd.nToPage = pd.nMaxPage = kLastPage;
  pd.nCopies = 1;
  const BOOL ok = PrintDlgA(&pd);
  if (pd.hDevMode) GlobalFree(pd.hDevMode);
  if (pd.hDevNames) GlobalFree(pd.hDevNames);
  return ok ? pd.hDC : nullptr;
}

// MM_ANISOTROPIC with the given window extent onto the page's dots; the
// pump runs between the two extents.
void MapPage(HDC dc, int unitsX, int unitsY) {
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, unitsX, unitsY, nullptr);
  host().PumpMessages();
  const double fx = GetDeviceCaps(dc, LOGPIXELSX) / kReferenceDpi;
  const double fy = GetDeviceCaps(dc, LOGPIXELSY) / kReferenceDpi;
  SetViewportExtEx(dc, static_cast<int>(std::lround(fx * kPageDotsX)),
                   static_cast<int>(std::lround(fy * kPageDotsY)), nullptr);
}

bool StartDocument(HDC dc, const char* name) {
  DOCINFOA di{};
  di.cbSize = sizeof di;
  di.lpszDocName = name;
  return StartDocA(dc, &di) >= 1;
}

// Copies w x h pixels at (sx, sy) of src to the printer at (dx, dy) through
// a scratch bitmap and its 24-bit bits.
bool CopyToPrinter(HDC printer, int dx, int dy, HDC src, int sx, int sy, int w, int h) {
  if (w <= 0 || h <= 0) return false;
  HDC scratch = CreateCompatibleDC(src);
  HBITMAP bmp = CreateCompatibleBitmap(src, w, h);
  bool ok = scratch && bmp;
  if (ok) {
    HGDIOBJ old = SelectObject(scratch, bmp);
    ok = BitBlt(scratch, 0, 0, w, h, src, sx, sy, SRCCOPY) != FALSE;
    SelectObject(scratch, old);
  }
  if (ok) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // bottom-up
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
    std::vector<unsigned char> bits(stride * static_cast<size_t>(h));
    ok = GetDIBits(scratch, bmp, 0, static_cast<UINT>(h), bits.data(), &bi, DIB_RGB_COLORS) == h;
    if (ok) {
      const int lines = StretchDIBits(printer, dx, dy, w, h, 0, 0, w, h, bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
      ok = lines != 0 && lines != static_cast<int>(GDI_ERROR);
    }
  }
  if (bmp) DeleteObject(bmp);
  if (scratch) DeleteDC(scratch);
  return ok;
}

// The program's printer cursor while printing: shown at once and made the
// main window's class cursor, so that the mouse over the window keeps it;
// Restore brings back both previous cursors.
class PrinterCursor {
 public:
  void Show() {
    if (shown_) return;
    HCURSOR c = LoadCursorA(GetModuleHandleA(nullptr), kOwnCursorName);
    if (!c) return;
    previous_ = SetCursor(c);
    window_ = MainHwnd();
    if (window_)
      previousClass_ = reinterpret_cast<HCURSOR>(SetClassLongPtrA(window_, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(c)));
    shown_ = true;
  }
  void Restore() {
    if (!shown_) return;
    if (window_ && IsWindow(window_))
      SetClassLongPtrA(window_, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(previousClass_));
    SetCursor(previous_);
    shown_ = false;
    window_ = nullptr;
  }

 private:
  HCURSOR previous_ = nullptr, previousClass_ = nullptr;
  HWND window_ = nullptr;
  bool shown_ = false;
};

// The printer cursor for the length of a hard copy.
class ScopedPrinterCursor {
 public:
  ScopedPrinterCursor() { cursor_.Show(); }
  ~ScopedPrinterCursor() { cursor_.Restore(); }
  ScopedPrinterCursor(const ScopedPrinterCursor&) = delete;
  ScopedPrinterCursor& operator=(const ScopedPrinterCursor&) = delete;

 private:
  PrinterCursor cursor_;
};

class Win32PrintDevice : public PrintDevice {
 public:
  JobStart StartJob(const std::string& document, bool byDialog) override {
    KeepLastError keep;
    HDC dc = byDialog ? DialogPrinterDc() : DefaultPrinterDc();
    if (!dc) return byDialog ? JobStart::Cancelled : JobStart::NoPrinter;
    if (!StartDocument(dc, document.c_str())) {
      DeleteDC(dc);
      return JobStart::DocumentRefused;
    }
    StartPage(dc);
    MapPage(dc, kPageUnitsX, kPageUnitsY);
    printer_ = dc;
    SwitchPair(TDcPair{H32(dc), H32(dc)});
    cursor_.Show();
    return JobStart::Started;
  }

  void NextPage() override {
    KeepLastError keep;
    if (!printer_) return;
    // A new page may start with fresh attributes: what was selected goes
    // back in (the objects themselves stay, none is deleted here).
    HGDIOBJ pen = GetCurrentObject(printer_, OBJ_PEN);
    HGDIOBJ brush = GetCurrentObject(printer_, OBJ_BRUSH);
    HGDIOBJ font = GetCurrentObject(printer_, OBJ_FONT);
    const COLORREF text = GetTextColor(printer_), back = GetBkColor(printer_);
    const int mode = GetBkMode(printer_);
    EndPage(printer_);
    StartPage(printer_);
    MapPage(printer_, kPageUnitsX, kPageUnitsY);
    SelectObject(printer_, pen);
    SelectObject(printer_, brush);
    SelectObject(printer_, font);
    SetTextColor(printer_, text);
    SetBkColor(printer_, back);
    SetBkMode(printer_, mode);
  }

  void EndJob() override {
    KeepLastError keep;
    if (!printer_) return;
    EndPage(printer_);
    EndDoc(printer_);
    // The window's objects are made first, so the printer context lets go
    // of its own before it is deleted.
    SwitchPair(TDcPair{gEvents.hdc, gEvents.hdc2});
    DeleteDC(printer_);
    printer_ = nullptr;
    cursor_.Restore();
  }

  int32_t ScreenCopy(const TPrintRect& rect) override {
    KeepLastError keep;
    ScopedPrinterCursor cursor;
    HDC dc = DefaultPrinterDc();
    if (!dc) return kCannotPrint;
    if (!StartDocument(dc, "ScreenCopy")) {
      DeleteDC(dc);
      return kCannotPrint;
    }
    const int w = gWindowSettings.width, h = gWindowSettings.height;
    StartPage(dc);
    MapPage(dc, w, w * 3 / 2);
    // The back buffer holds the picture even where the window is covered.
    HDC src = gEvents.hdc2 ? AsDc(gEvents.hdc2) : AsDc(gEvents.hdc);
    int left = 0, top = 0, right = 0, bottom = 0;
    RECT client{};
    if (rect.whole) {
      if (MainHwnd()) GetClientRect(MainHwnd(), &client);
      right = client.right;
      bottom = client.bottom;
    } else {
      left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    }
    left = std::max(0, std::min(left, w));
    right = std::max(0, std::min(right, w));
    top = std::max(0, std::min(top, h));
    bottom = std::max(0, std::min(bottom, h));
    const bool ok = src && CopyToPrinter(dc, left, top, src, left, top, right - left, bottom - top);
    EndPage(dc);
    EndDoc(dc);
    DeleteDC(dc);
    return ok ? 0 : kHardCopyFailed;
  }

  int32_t WindowCopy(uint32_t handle) override {
    KeepLastError keep;
    HWND wnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    HDC wdc = IsWindow(wnd) ? GetWindowDC(wnd) : nullptr;
    if (!wdc) return kNoWindow;
    ScopedPrinterCursor cursor;
    HDC dc = DefaultPrinterDc();
    if (!dc || !StartDocument(dc, "WindowCopy")) {
      if (dc) DeleteDC(dc);
      ReleaseDC(wnd, wdc);
      return kCannotPrint;
    }
    RECT r{};
    GetWindowRect(wnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    int pageW = w, pageH = w * 3 / 2;
    if (pageH < h) pageH = h, pageW = h * 2 / 3;
    StartPage(dc);
    MapPage(dc, pageW, pageH);
    const bool ok = CopyToPrinter(dc, 0, 0, wdc, 0, 0, w, h);
    EndPage(dc);
    EndDoc(dc);
    DeleteDC(dc);
    ReleaseDC(wnd, wdc);
    return ok ? 0 : kHardCopyFailed;
  }

 private:
  HDC printer_ = nullptr;
  PrinterCursor cursor_;  // shown while a job is open
};

Win32PrintDevice gDeviceImpl;

}  // namespace

void InstallWin32Printing() {
  SetPrintDevice(&gDeviceImpl);
  // A program that ends with a job open still gets its pages out.
  AtShutdown(EndOpenPrintJob);
}

}  // namespace korv
