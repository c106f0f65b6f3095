// The OLE picture decoder: the file's bytes in movable global memory,
// wrapped in a stream, decoded by OleLoadPicture and rendered into a
// bitmap compatible with the display. Every COM object, the stream, the
// global memory and every context are released on every path.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstring>

#include "base/keep_last_error.h"
#include "graphics/bitmaps_win32.h"
#include "graphics/bmp_file.h"
#include "graphics/picture_file.h"

namespace korv {

namespace {

uint32_t H32(const void* h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

// Releases a COM interface when it goes out of scope.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** Out() { return &p_; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// COM for the calls of one decoding (the platform's image decoders are COM
// objects); balanced only when this call initialised it.
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

// The screen's information context, released on every path.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A stream over a movable global copy of the bytes; the stream owns the
// memory once it exists.
bool MakeStream(const std::vector<uint8_t>& bytes, IStream** stream) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) return false;
  void* p = GlobalLock(memory);
  if (!p) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(p, bytes.data(), bytes.size());
  GlobalUnlock(memory);
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream)) || !*stream) {
    *stream = nullptr;
    GlobalFree(memory);
    return false;
  }
  return true;
}

bool SaneSize(int32_t w, int32_t h) {
  return w > 0 && h > 0 && w <= bmp::kMaxSide && h <= bmp::kMaxSide && int64_t{w} * h <= bmp::kMaxPixels;
}

class OlePictureDecoder : public PictureDecoder {
 public:
  bool Decode(const std::vector<uint8_t>& bytes, int32_t w, int32_t h, TDecodedPicture& out) override {
    KeepLastError keep;
    ComScope com;
    ComRef<IPicture> picture;
    {
      ComRef<IStream> stream;
      if (!MakeStream(bytes, stream.Out())) return false;
      const HRESULT hr = OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                        reinterpret_cast<void**>(picture.Out()));
      if (FAILED(hr) || !picture) return false;
    }
    OLE_XSIZE_HIMETRIC himetricW = 0;
    OLE_YSIZE_HIMETRIC himetricH = 0;
    if (FAILED(picture->get_Width(&himetricW)) || FAILED(picture->get_Height(&himetricH))) return false;
    ScreenDc screen;
    if (!screen.get()) return false;
    if (w <= 0 || h <= 0) {
      w = HimetricToPixels(himetricW, GetDeviceCaps(screen.get(), LOGPIXELSX));
      h = HimetricToPixels(himetricH, GetDeviceCaps(screen.get(), LOGPIXELSY));
    }
    if (!SaneSize(w, h)) return false;
    HBITMAP bitmap = CreateCompatibleBitmap(screen.get(), w, h);
    if (!bitmap) return false;
    HDC dc = CreateCompatibleDC(screen.get());
    HGDIOBJ old = dc ? SelectObject(dc, bitmap) : nullptr;
    bool ok = old != nullptr;
    if (ok) {
      PatBlt(dc, 0, 0, w, h, WHITENESS);
      // The picture's rows run bottom-up in HIMETRIC: its source rectangle
      // starts at the bottom edge with a negative height.
      ok = SUCCEEDED(picture->Render(dc, 0, 0, w, h, 0, himetricH, himetricW, -himetricH, nullptr));
    }
    if (old) SelectObject(dc, old);
    if (dc) DeleteDC(dc);
    if (!ok) {
      DeleteObject(bitmap);
      return false;
    }
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    out.handle = H32(bitmap);
    out.width = w;
    out.height = h;
    out.colours = ColoursForBits(info.bmBitsPixel * info.bmPlanes);
    return true;
  }
};

OlePictureDecoder gDecoder;

}  // namespace

void InstallWin32PictureDecoder() { SetPictureDecoder(&gDecoder); }

}  // namespace korv
