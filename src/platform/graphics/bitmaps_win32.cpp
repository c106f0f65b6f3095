// The bitmap device: copies into the current pair of contexts, the memory
// bitmap, icons and cursors.
//
// Every copy is composed once, in the context that reads of the window use
// (the back buffer unless drawing is redirected), and the destination
// rectangle is then copied to the other member of the pair, so that both
// show the same and a covered window still reads right.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "base/host.h"
#include "base/keep_last_error.h"
#include "graphics/bitmaps.h"
#include "graphics/bitmaps_win32.h"
#include "graphics/bmp_file.h"
#include "gui/window.h"
#include "gui/window_win32.h"

namespace korv {

namespace {

HDC AsDc(uint32_t v) { return reinterpret_cast<HDC>(static_cast<uintptr_t>(v)); }
HBITMAP AsBitmap(uint32_t v) { return reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(v)); }
uint32_t H32(const void* h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

// The context reads of the window use and the other member of the pair
// (nullptr when both are the same).
HDC ReadDc() {
  const TDcPair& pair = CurrentDcPair();
  return AsDc(pair.memory ? pair.memory : pair.window);
}
HDC MirrorDc() {
  const TDcPair& pair = CurrentDcPair();
  return pair.memory && pair.window && pair.window != pair.memory ? AsDc(pair.window) : nullptr;
}

// A memory context with a bitmap selected, released on every path.
class ScratchDc {
 public:
  ScratchDc(HDC like, HBITMAP bitmap) : dc_(CreateCompatibleDC(like)), bitmap_(bitmap) {
    if (dc_ && bitmap_) old_ = SelectObject(dc_, bitmap_);
  }
  ~ScratchDc() {
    if (dc_) {
      if (old_) SelectObject(dc_, old_);
      DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
  }
  ScratchDc(const ScratchDc&) = delete;
  ScratchDc& operator=(const ScratchDc&) = delete;
  bool Ok() const { return dc_ && bitmap_ && old_; }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_ = nullptr;
};

// A program's bitmap selected into a temporary context (the memory
// bitmap's own context when it is that bitmap); the bitmap is not deleted.
class SourceDc {
 public:
  SourceDc(HDC like, uint32_t bitmap) {
    if (!bitmap) return;
    if (gBitmaps.memoryDc && bitmap == gBitmaps.memoryBitmap) {
      dc_ = AsDc(gBitmaps.memoryDc);
      return;
    }
    temp_ = CreateCompatibleDC(like);
    if (temp_) old_ = SelectObject(temp_, AsBitmap(bitmap));
    dc_ = old_ ? temp_ : nullptr;
  }
  ~SourceDc() {
    if (!temp_) return;
    if (old_) SelectObject(temp_, old_);
    DeleteDC(temp_);
  }
  SourceDc(const SourceDc&) = delete;
  SourceDc& operator=(const SourceDc&) = delete;
  HDC dc() const { return dc_; }

 private:
  HDC dc_ = nullptr, temp_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// Transparent copy of w x h pixels of src at (xs, ys) to dst at (xd, yd),
// with the bottom-left source pixel as key colour. The source is copied
// first, so the masking never touches it.
// A 24-bit device-independent bitmap: a 32-bit source may carry bits in
// its unused fourth byte (WHITENESS sets them), which would keep its pixels
// from matching the key colour when the mask is made.
HBITMAP MakeDib24(HDC like, int w, int h) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  return CreateDIBSection(like, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
}

bool TransparentCopy(HDC dst, HDC src, int xs, int ys, int w, int h, int xd, int yd) {
  if (w <= 0 || h <= 0) return true;
  ScratchDc copy(dst, MakeDib24(dst, w, h));
  ScratchDc mask(dst, CreateBitmap(w, h, 1, 1, nullptr));
  ScratchDc work(dst, CreateCompatibleBitmap(dst, w, h));
  if (!copy.Ok() || !mask.Ok() || !work.Ok()) return false;
  BitBlt(copy.dc(), 0, 0, w, h, src, xs, ys, SRCCOPY);
  const COLORREF key = GetPixel(copy.dc(), 0, h - 1);
  // Mask: 1 where the copy shows the key colour.
  SetBkColor(copy.dc(), key);
  BitBlt(mask.dc(), 0, 0, w, h, copy.dc(), 0, 0, SRCCOPY);
  // Monochrome to colour: 0 bits become black, 1 bits white.
  for (HDC dc : {copy.dc(), work.dc()}) {
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
  }
  BitBlt(work.dc(), 0, 0, w, h, dst, xd, yd, SRCCOPY);
  BitBlt(work.dc(), 0, 0, w, h, mask.dc(), 0, 0, SRCAND);      // the destination where the key is
  constexpr DWORD kAndNotSource = 0x00220326;                   // DSna
  BitBlt(copy.dc(), 0, 0, w, h, mask.dc(), 0, 0, kAndNotSource);  // the source elsewhere
  BitBlt(work.dc(), 0, 0, w, h, copy.dc(), 0, 0, SRCPAINT);
  return BitBlt(dst, xd, yd, w, h, work.dc(), 0, 0, SRCCOPY) != 0;
}

// The destination rectangle copied from the composing context to the
// other member of the pair.
void Mirror(HDC from, int x, int y, int w, int h) {
  HDC other = MirrorDc();
  if (!other) return;
  if (w < 0) {
    x += w;
    w = -w;
  }
  if (h < 0) {
    y += h;
    h = -h;
  }
  BitBlt(other, x, y, w, h, from, x, y, SRCCOPY);
}

HICON LoadIconFor(const TIconRequest& icon, bool& destroy) {
  destroy = false;
  auto id = [&]() -> LPCSTR {
    if (!icon.numeric) return icon.name.c_str();
    if (icon.number <= 0 || icon.number > 0xFFFF) return nullptr;
    return MAKEINTRESOURCEA(icon.number);
  };
  switch (icon.source) {
    case IconSource::Program: {
      LPCSTR name = id();
      return name ? LoadIconA(GetModuleHandleA(nullptr), name) : nullptr;
    }
    case IconSource::Module: {
      LPCSTR name = id();
      return name ? LoadIconA(reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(icon.module)), name) : nullptr;
    }
    case IconSource::File: {
      if (icon.number < 0) return nullptr;  // a negative index names a resource id there
      HICON h = ExtractIconA(GetModuleHandleA(nullptr), icon.name.c_str(), static_cast<UINT>(icon.number));
      if (reinterpret_cast<uintptr_t>(h) <= 1) return nullptr;  // 1: the file is no program
      destroy = true;
      return h;
    }
    case IconSource::System:
      return LoadIconA(nullptr, MAKEINTRESOURCEA(icon.number));
  }
  return nullptr;
}

class Win32BitmapDevice : public BitmapDevice {
 public:
  bool HasTarget() override {
    KeepLastError keep;
    HWND h = MainHwnd();
    return (h && IsWindow(h)) || CurrentDcPair().window != 0;
  }

  bool NewMemoryBitmap(int32_t w, int32_t h, int64_t colour) override {
    KeepLastError keep;
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = screen ? CreateCompatibleBitmap(screen, w, h) : nullptr;
    if (screen) ReleaseDC(nullptr, screen);
    if (!bmp || !Adopt(bmp)) return false;
    HDC dc = AsDc(gBitmaps.memoryDc);
    if (colour < 0) {
      PatBlt(dc, 0, 0, w, h, WHITENESS);
    } else {
      HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(colour));
      HGDIOBJ old = SelectObject(dc, brush);
      PatBlt(dc, 0, 0, w, h, PATCOPY);
      SelectObject(dc, old);
      DeleteObject(brush);
    }
    TakeCopy();
    return true;
  }

  bool LoadMemoryBitmap(const bmp::TBmpImage& image) override {
    KeepLastError keep;
    HWND main = MainHwnd();
    HDC dc = main ? GetDC(main) : GetDC(nullptr);
    if (!dc) return false;
    HPALETTE palette = MakePalette(image);
    HPALETTE oldPalette = palette ? SelectPalette(dc, palette, FALSE) : nullptr;
    if (palette) RealizePalette(dc);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(image.info.data());
    HBITMAP bmp = CreateDIBitmap(dc, &info->bmiHeader, CBM_INIT, image.pixels.data(), info, DIB_RGB_COLORS);
    if (palette) {
      SelectPalette(dc, oldPalette, FALSE);
      DeleteObject(palette);
    }
    ReleaseDC(main, dc);
    if (!bmp || !Adopt(bmp)) return false;
    TakeCopy();
    return true;
  }

  bool PrintImage(const bmp::TBmpImage& image, const TDestRect& d) override {
    KeepLastError keep;
    HDC dst = ReadDc();
    if (!dst) return false;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(image.info.data());
    return Drawn(StretchDIBits(dst, d.x, d.y, d.w, d.h, 0, 0, image.width, image.Rows(), image.pixels.data(), info,
                               DIB_RGB_COLORS, SRCCOPY));
  }

  bool BitmapSize(uint32_t bitmap, int32_t& w, int32_t& h) override {
    KeepLastError keep;
    HBITMAP b = AsBitmap(bitmap);
    if (!b || GetObjectType(b) != OBJ_BITMAP) return false;
    BITMAP bm{};
    if (!GetObjectA(b, sizeof bm, &bm)) return false;
    w = bm.bmWidth;
    h = bm.bmHeight;
    return true;
  }

  bool Blit(const TBlit& b) override {
    KeepLastError keep;
    HDC dst = ReadDc();
    if (!dst) return false;
    if (b.toPrinter) return PrintBitmap(dst, b);
    HDC src = nullptr;
    SourceDc bitmapSource(dst, b.source == BlitSource::Bitmap ? b.bitmap : 0);
    switch (b.source) {
      case BlitSource::Window: src = dst; break;
      case BlitSource::Memory: src = AsDc(gBitmaps.memoryDc); break;
      case BlitSource::Bitmap: src = bitmapSource.dc(); break;
    }
    if (!src) return false;
    bool ok;
    if (b.transparent) {
      ok = TransparentCopy(dst, src, b.xs, b.ys, b.ws, b.hs, b.xd, b.yd);
    } else if (b.stretched) {
      // Only the copy from the memory bitmap averages (as it always did);
      // the others keep the contexts' colour-on-colour mode.
      const int oldMode = b.source == BlitSource::Memory ? SetStretchBltMode(dst, HALFTONE) : 0;
      if (oldMode) SetBrushOrgEx(dst, 0, 0, nullptr);
      ok = StretchBlt(dst, b.xd, b.yd, b.wd, b.hd, src, b.xs, b.ys, b.ws, b.hs, b.rop) != 0;
      if (oldMode) SetStretchBltMode(dst, oldMode);
    } else {
      ok = BitBlt(dst, b.xd, b.yd, b.ws, b.hs, src, b.xs, b.ys, b.rop) != 0;
    }
    Mirror(dst, b.xd, b.yd, b.wd, b.hd);
    return ok;
  }

  void CopyWindowToMemory(int32_t xs, int32_t ys, int32_t w, int32_t h, int32_t xd, int32_t yd) override {
    KeepLastError keep;
    HDC src = ReadDc();
    HDC mem = AsDc(gBitmaps.memoryDc);
    if (src && mem) BitBlt(mem, xd, yd, w, h, src, xs, ys, SRCCOPY);
  }

  bool DrawIcon(const TIconRequest& icon, int32_t x, int32_t y) override {
    KeepLastError keep;
    bool destroy = false;
    HICON h = LoadIconFor(icon, destroy);
    if (!h) return false;
    const TDcPair& pair = CurrentDcPair();
    bool ok = true;
    if (pair.window) ok = ::DrawIcon(AsDc(pair.window), x, y, h) != 0;
    if (pair.memory && pair.memory != pair.window) ok = ::DrawIcon(AsDc(pair.memory), x, y, h) != 0 && ok;
    if (destroy) DestroyIcon(h);
    return ok;
  }

  bool UseIcon(const TIconRequest& icon) override {
    KeepLastError keep;
    bool destroy = false;
    HWND main = MainHwnd();
    HICON h = LoadIconFor(icon, destroy);
    if (!h || !main) return false;
    SetClassLongPtrA(main, GCLP_HICON, reinterpret_cast<LONG_PTR>(h));
    return true;
  }

  bool UseCursor(int32_t systemId) override {
    KeepLastError keep;
    HCURSOR c = systemId == 0 ? LoadCursorA(GetModuleHandleA(nullptr), kOwnCursorName)
                              : LoadCursorA(nullptr, MAKEINTRESOURCEA(systemId));
    if (!c) return false;
    SetCursor(c);
    if (HWND main = MainHwnd()) SetClassLongPtrA(main, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(c));
    return true;
  }

  int32_t ShowCursor(bool show) override {
    KeepLastError keep;
    return ::ShowCursor(show ? TRUE : FALSE);
  }

  void Release() override {
    KeepLastError keep;
    HDC dc = AsDc(gBitmaps.memoryDc);
    if (dc) {
      // Drawing redirected into the memory bitmap goes back to the window.
      TDcPair& pair = CurrentDcPair();
      if (pair.window == gBitmaps.memoryDc || pair.memory == gBitmaps.memoryDc)
        pair = TDcPair{gEvents.hdc, gEvents.hdc2};
      if (oldBitmap_) SelectObject(dc, oldBitmap_);
      DeleteDC(dc);
    }
    if (gBitmaps.memoryBitmap) DeleteObject(AsBitmap(gBitmaps.memoryBitmap));
    if (gBitmaps.memoryCopy) DeleteObject(AsBitmap(gBitmaps.memoryCopy));
    oldBitmap_ = nullptr;
    gBitmaps.memoryDc = gBitmaps.memoryBitmap = gBitmaps.memoryCopy = 0;
    gBitmaps.hasMemory = false;
  }

 private:
  static bool Drawn(int lines) { return lines != 0 && lines != static_cast<int>(GDI_ERROR); }

  // A bitmap on the printer: read as a 24-bit bottom-up device-independent
  // bitmap and stretched over the scaled destination. A printer context may
  // not take a bitmap of the screen, so BitBlt is no way there.
  static bool PrintBitmap(HDC printer, const TBlit& b) {
    HBITMAP source = AsBitmap(b.bitmap);
    BITMAP bm{};
    if (!source || !GetObjectA(source, sizeof bm, &bm)) return false;
    if (bm.bmWidth <= 0 || bm.bmHeight <= 0 || int64_t{bm.bmWidth} * bm.bmHeight > bmp::kMaxPixels) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = bm.bmHeight;  // bottom-up
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    constexpr size_t kRowAlign = 4;
    const size_t stride = (static_cast<size_t>(bm.bmWidth) * 3 + kRowAlign - 1) / kRowAlign * kRowAlign;
    std::vector<uint8_t> bits(stride * static_cast<size_t>(bm.bmHeight));
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    const int rows = GetDIBits(screen, source, 0, static_cast<UINT>(bm.bmHeight), bits.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != bm.bmHeight) return false;
    // The rows run bottom-up: the source rectangle is measured from the
    // bottom edge.
    const int ySource = bm.bmHeight - b.ys - b.hs;
    return Drawn(StretchDIBits(printer, b.xd, b.yd, b.wd, b.hd, b.xs, ySource, b.ws, b.hs, bits.data(), &bi,
                               DIB_RGB_COLORS, b.rop));
  }

  // Selects a new memory bitmap into the memory context (made on first
  // need) and deletes the one it replaces. False (bitmap deleted) when no
  // context can be made.
  bool Adopt(HBITMAP bmp) {
    HDC dc = AsDc(gBitmaps.memoryDc);
    if (!dc) {
      dc = CreateCompatibleDC(nullptr);
      if (!dc) {
        DeleteObject(bmp);
        return false;
      }
      gBitmaps.memoryDc = H32(dc);
    }
    HGDIOBJ previous = SelectObject(dc, bmp);
    if (!previous) {
      DeleteObject(bmp);
      return false;
    }
    if (!oldBitmap_) oldBitmap_ = previous;
    else DeleteObject(previous);
    gBitmaps.memoryBitmap = H32(bmp);
    return true;
  }

  // The copy programs see as &MEMBMP, made anew after each creation or load.
  void TakeCopy() {
    if (gBitmaps.memoryCopy) DeleteObject(AsBitmap(gBitmaps.memoryCopy));
    gBitmaps.memoryCopy = H32(CopyImage(AsBitmap(gBitmaps.memoryBitmap), IMAGE_BITMAP, 0, 0, 0));
  }

  static HPALETTE MakePalette(const bmp::TBmpImage& image) {
    if (image.tableEntries == 0) return nullptr;
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + image.tableEntries * sizeof(PALETTEENTRY));
    auto* pal = reinterpret_cast<LOGPALETTE*>(block.data());
    pal->palVersion = 0x300;
    pal->palNumEntries = static_cast<WORD>(image.tableEntries);
    for (uint32_t i = 0; i < image.tableEntries; ++i) {
      const uint32_t c = image.TableColour(i);
      pal->palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(c), static_cast<BYTE>(c >> 8),
                                         static_cast<BYTE>(c >> 16), 0};
    }
    return CreatePalette(pal);
  }

  HGDIOBJ oldBitmap_ = nullptr;  // the memory context's own bitmap, selected back on release
};

Win32BitmapDevice gDeviceImpl;

void ReleaseBitmapObjects() { gDeviceImpl.Release(); }

}  // namespace

void InstallWin32Bitmaps() {
  SetBitmapDevice(&gDeviceImpl);
  InstallWin32PictureDecoder();
  AtShutdown(ReleaseBitmapObjects);
}

}  // namespace korv
