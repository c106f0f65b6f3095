#include "graphics/bitmaps.h"

#include "base/errors.h"
#include "base/names.h"
#include "base/text.h"
#include "graphics/bmp_file.h"
#include "graphics/printing.h"
#include "graphics/painting.h"
#include "graphics/text_screen.h"
#include "values/evaluator.h"

namespace korv {

TBitmapState gBitmaps;

namespace {

BitmapDevice* gDevice = nullptr;

constexpr int32_t kErrPrinting = 221;
constexpr int32_t kWarnNoIcon = 224;
constexpr int32_t kWarnNoSysIcon = 225;
constexpr int32_t kWarnNoBitmap = 228;
constexpr int32_t kErrNoCursor = 230;
constexpr int32_t kErrNeedsWindow = 237;
constexpr const char* kMemoryBitmapName = "Memory Bitmap";
constexpr int32_t kMaxSysIcon = 4;
constexpr int32_t kSysIconBase = 0x7F00;

bool RestBlank() {
  size_t p = gEval.pos;
  while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
  return p >= gEval.text.size();
}

bool MoreArgs() { return !gEval.endOfArgs && !RestBlank(); }

// Reads count integers, each ended by its separator in seps. False after
// an error report.
bool ReadInts(TParStack& ps, const char* seps, int32_t* out, int count) {
  for (int i = 0; i < count; ++i) {
    out[i] = EvalInt(ps, seps[i]);
    if (gEval.failed) return false;
  }
  return true;
}

// The mode after ";" (a plain copy when the statement ends before it).
bool ReadMode(TParStack& ps, int32_t& mode) {
  mode = 0;
  if (!MoreArgs()) return true;
  mode = EvalInt(ps, ' ');
  return !gEval.failed;
}

bool WindowReady() {
  if (gDevice && gDevice->HasTarget()) return true;
  RaiseError(kErrNeedsWindow);
  return false;
}

// The copy commands differ in their source, in whether a bitmap handle
// comes first, whether the destination has its own size, and whether the
// whole bitmap is drawn.
struct CopyForm {
  const char* name;
  BlitSource source;
  bool stretched;
  bool wholeBitmap;        // DRAWPIC, DRAWSIZEDPIC: no source rectangle
  bool transparentAllowed;
};

constexpr CopyForm kDrawPic{"DRAWPIC", BlitSource::Bitmap, false, true, true};
constexpr CopyForm kDrawSizedPic{"DRAWSIZEDPIC", BlitSource::Bitmap, true, true, false};
constexpr CopyForm kCopyPic{"COPYPIC", BlitSource::Bitmap, false, false, true};
constexpr CopyForm kCopySizedPic{"COPYSIZEDPIC", BlitSource::Bitmap, true, false, false};
constexpr CopyForm kCopyBmp{"COPYBMP", BlitSource::Window, false, false, true};
constexpr CopyForm kCopySizedBmp{"COPYSIZEDBMP", BlitSource::Window, true, false, false};
constexpr CopyForm kMCopyBmp{"MCOPYBMP", BlitSource::Memory, false, false, true};
constexpr CopyForm kMCopySizedBmp{"MCOPYSIZEDBMP", BlitSource::Memory, true, false, false};

// Reads the arguments of a copy command into blit. False after a report.
bool ReadCopy(TParStack& ps, const CopyForm& f, TBlit& b, int32_t& mode) {
  b.source = f.source;
  b.stretched = f.stretched;
  if (f.source == BlitSource::Bitmap) {
    b.bitmap = static_cast<uint32_t>(EvalInt(ps, ','));
    if (gEval.failed) return false;
  }
  int32_t a[8];
  if (f.wholeBitmap) {
    // x, y[ - w, h]
    if (!ReadInts(ps, f.stretched ? ",-,;" : ",;", a, f.stretched ? 4 : 2)) return false;
    b.xd = a[0];
    b.yd = a[1];
    if (f.stretched) {
      b.wd = a[2];
      b.hd = a[3];
    }
  } else {
    // xs, ys - w, h > xd, yd[ - wd, hd]
    if (!ReadInts(ps, f.stretched ? ",-,>,-,;" : ",-,>,;", a, f.stretched ? 8 : 6)) return false;
    b.xs = a[0];
    b.ys = a[1];
    b.ws = a[2];
    b.hs = a[3];
    b.xd = a[4];
    b.yd = a[5];
    b.wd = f.stretched ? a[6] : b.ws;
    b.hd = f.stretched ? a[7] : b.hs;
  }
  return ReadMode(ps, mode);
}

void RunCopy(TParStack& ps, const CopyForm& f) {
  TBlit b;
  int32_t mode = 0;
  if (!ReadCopy(ps, f, b, mode)) return;
  b.transparent = f.transparentAllowed && mode == kTransparentMode;
  b.rop = RasterOperation(mode);
  // A printer cannot be read back: copies that read the window or mask
  // the destination are refused while printing.
  if (PrintJobActive() && (f.source != BlitSource::Bitmap || b.transparent)) {
    RaiseError(kErrPrinting, b.transparent ? std::string(f.name) + " mit Transparenz" : f.name);
    return;
  }
  if (!gDevice) return;
  if (f.source == BlitSource::Memory && !gBitmaps.hasMemory) return;
  if (f.source == BlitSource::Bitmap) {
    int32_t w = 0, h = 0;
    if (!gDevice->BitmapSize(b.bitmap, w, h)) {
      RaiseWarning(kWarnNoBitmap, IntToText(static_cast<int32_t>(b.bitmap)));
      return;
    }
    if (f.wholeBitmap) {
      b.ws = w;
      b.hs = h;
      if (!f.stretched) {
        b.wd = w;
        b.hd = h;
      }
    }
  }
  if (PrintJobActive()) {
    const TDestRect d = PrintDestination(b.xd, b.yd, b.wd, b.hd, b.ws, b.hs);
    b.xd = d.x;
    b.yd = d.y;
    b.wd = d.w;
    b.hd = d.h;
    b.toPrinter = true;
  }
  gDevice->Blit(b);
}

void CmdDrawPic(TParStack& ps) { RunCopy(ps, kDrawPic); }
void CmdDrawSizedPic(TParStack& ps) { RunCopy(ps, kDrawSizedPic); }
void CmdCopyPic(TParStack& ps) { RunCopy(ps, kCopyPic); }
void CmdCopySizedPic(TParStack& ps) { RunCopy(ps, kCopySizedPic); }
void CmdCopyBmp(TParStack& ps) { RunCopy(ps, kCopyBmp); }
void CmdCopySizedBmp(TParStack& ps) { RunCopy(ps, kCopySizedBmp); }
void CmdMCopyBmp(TParStack& ps) { RunCopy(ps, kMCopyBmp); }
void CmdMCopySizedBmp(TParStack& ps) { RunCopy(ps, kMCopySizedBmp); }

void CmdCopyBmpToMem(TParStack& ps) {
  int32_t a[6];
  if (!ReadInts(ps, ",-,>, ", a, 6)) return;
  if (PrintJobActive()) {
    RaiseError(kErrPrinting, "COPYBMPTOMEM");
    return;
  }
  if (!WindowReady()) return;
  if (!gBitmaps.hasMemory) return;
  gDevice->CopyWindowToMemory(a[0], a[1], a[2], a[3], a[4], a[5]);
}

// MCLS w, h [, colour]
void CmdMCls(TParStack& ps) {
  int32_t w = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t h = EvalInt(ps, ',');
  if (gEval.failed) return;
  int64_t colour = -1;
  if (MoreArgs()) {
    colour = static_cast<uint32_t>(EvalInt(ps, ' '));
    if (gEval.failed) return;
  }
  const bool sane = w > 0 && h > 0 && w <= bmp::kMaxSide && h <= bmp::kMaxSide &&
                    int64_t{w} * h <= bmp::kMaxPixels;
  if (!sane || !gDevice || !gDevice->NewMemoryBitmap(w, h, colour)) {
    RaiseWarning(kWarnNoBitmap, kMemoryBitmapName);
    return;
  }
  gBitmaps.hasMemory = true;
  gBitmaps.memoryWidth = w;
  gBitmaps.memoryHeight = h;
}

void CmdMLoadBmp(TParStack& ps) {
  const std::string file = EvalString(ps, ' ');
  if (gEval.failed) return;
  if (!LoadMemoryBitmapFile(file)) RaiseWarning(kWarnNoBitmap, file);
}

// --- Icons and cursors -----------------------------------------------------------

// The icon name argument: a name that reads as a whole number names the
// resource with that number.
void ReadIconName(TParStack& ps, char term, TIconRequest& icon) {
  icon.name = EvalString(ps, term);
  const std::string t = Trim(icon.name);
  const size_t first = !t.empty() && t[0] == '-' ? 1 : 0;
  if (first >= t.size() || t.find_first_not_of("0123456789", first) != std::string::npos) return;
  int32_t n = 0;
  double f = 0;
  TextToNumbers(t, n, f);
  icon.numeric = true;
  icon.number = n;
}

void DrawIconAt(TParStack& ps, TIconRequest& icon, const std::string& reportName) {
  int32_t xy[2];
  if (!ReadInts(ps, ", ", xy, 2)) return;
  if (!gDevice || !gDevice->DrawIcon(icon, xy[0], xy[1])) RaiseWarning(kWarnNoIcon, reportName);
}

void CmdDrawIcon(TParStack& ps) {
  TIconRequest icon;
  ReadIconName(ps, ',', icon);
  if (gEval.failed) return;
  DrawIconAt(ps, icon, icon.name);
}

void CmdDrawExtIcon(TParStack& ps) {
  TIconRequest icon;
  icon.source = IconSource::Module;
  icon.module = static_cast<uint32_t>(EvalInt(ps, ','));
  if (gEval.failed) return;
  ReadIconName(ps, ',', icon);
  if (gEval.failed) return;
  DrawIconAt(ps, icon, icon.name);
}

void CmdDrawLibIcon(TParStack& ps) {
  TIconRequest icon;
  icon.source = IconSource::File;
  icon.name = EvalString(ps, ',');
  if (gEval.failed) return;
  icon.number = EvalInt(ps, ',');
  if (gEval.failed) return;
  DrawIconAt(ps, icon, icon.name);
}

void CmdDrawSysIcon(TParStack& ps) {
  int32_t a[3];
  if (!ReadInts(ps, ",, ", a, 3)) return;
  TIconRequest icon;
  icon.source = IconSource::System;
  icon.number = kSysIconBase + a[0];
  const bool known = a[0] >= 0 && a[0] <= kMaxSysIcon;
  if (!known || !gDevice || !gDevice->DrawIcon(icon, a[1], a[2])) RaiseWarning(kWarnNoSysIcon);
}

void CmdUseIcon(TParStack& ps) {
  TIconRequest icon;
  ReadIconName(ps, ' ', icon);
  if (gEval.failed) return;
  if (!WindowReady()) return;
  if (!gDevice->UseIcon(icon)) RaiseWarning(kWarnNoIcon, icon.name);
}

void CmdUseCursor(TParStack& ps) {
  const int32_t n = EvalInt(ps, ' ');
  if (gEval.failed) return;
  const int32_t id = CursorIdFor(n);
  if (id < 0) {
    RaiseError(kErrNoCursor);
    return;
  }
  if (gDevice) gDevice->UseCursor(id);
}

void CmdShowCursor(TParStack& ps) {
  const int32_t n = EvalInt(ps, ' ');
  if (gEval.failed || !gDevice) return;
  // The display count moves one step a call; a bound keeps a device that
  // never reaches the limit from holding the program.
  constexpr int kMaxSteps = 1000;
  for (int i = 0; i < kMaxSteps; ++i) {
    const int32_t count = gDevice->ShowCursor(n != 0);
    if (n != 0 ? count >= 0 : count < 0) break;
  }
}

// --- System variables ------------------------------------------------------------

void Out(TEvalResult& r, int32_t v, uint8_t k) {
  r.IntValue = v;
  r.FloatValue = v;
  r.StrValue = IntToText(v);
  r.ResultKind = k;
}

void SvBmpX(TEvalResult& r) { Out(r, gBitmaps.bmpX, kind::kInt); }
void SvBmpY(TEvalResult& r) { Out(r, gBitmaps.bmpY, kind::kInt); }
void SvBmpCol(TEvalResult& r) { Out(r, static_cast<int32_t>(gBitmaps.bmpColours), kind::kLong); }
void SvMemDc(TEvalResult& r) { Out(r, static_cast<int32_t>(gBitmaps.memoryDc), kind::kLong); }
void SvMemBmp(TEvalResult& r) { Out(r, static_cast<int32_t>(gBitmaps.memoryCopy), kind::kLong); }
void SvBmpF(TEvalResult& r) {
  r.FloatValue = gBitmaps.bmpF;
  r.IntValue = TruncToInt32(gBitmaps.bmpF);
  r.StrValue = FloatToText(gBitmaps.bmpF);
  r.ResultKind = kind::kFloat;
}

}  // namespace

uint32_t RasterOperation(int32_t mode) {
  static constexpr uint32_t kModes[] = {rop::kSrcAnd, rop::kSrcPaint, rop::kSrcInvert, rop::kDstInvert};
  return mode >= 1 && mode <= 4 ? kModes[mode - 1] : rop::kSrcCopy;
}

int32_t CursorIdFor(int32_t n) {
  constexpr int32_t kArrow = 32512, kSizeAll = 32646, kOwn = 0;
  // 5..16; the rest of the range follows 32635 + n.
  static constexpr int32_t kSpecial[] = {kSizeAll, -2, -2, -2, -2, -2, kOwn, kSizeAll, 32642, 32648, -2, -2};
  if (n >= 0 && n <= 4) return kArrow + n;
  if (n < 5 || n > 16) return -1;
  const int32_t id = kSpecial[n - 5];
  return id == -2 ? 32635 + n : id;
}

bool LoadMemoryBitmapFile(const std::string& path) {
  bmp::TBmpImage image;
  if (!bmp::LoadFile(path, image)) return false;
  if (PrintJobActive()) {
    const TDestRect d = PrintDestination(0, 0, kOwnSize, kOwnSize, image.width, image.Rows());
    if (!gDevice || !gDevice->PrintImage(image, d)) return false;
    RecordPicture(image.width, image.Rows(), image.ColourCount(), 1.0);
    return true;
  }
  if (!gDevice || !gDevice->LoadMemoryBitmap(image)) return false;
  gBitmaps.hasMemory = true;
  gBitmaps.memoryWidth = image.width;
  gBitmaps.memoryHeight = image.Rows();
  RecordPicture(image.width, image.Rows(), image.ColourCount(), 1.0);
  return true;
}

TDestRect PrintDestination(int32_t x, int32_t y, int32_t w, int32_t h, int32_t imageW, int32_t imageH) {
  // Products wrap like every 32-bit product of the drawing commands.
  auto scaled = [](int32_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v) * static_cast<uint32_t>(kPrintFactor));
  };
  TDestRect d;
  d.x = scaled(x);
  d.y = scaled(y);
  d.w = scaled(w == kOwnSize ? imageW : w);
  d.h = scaled(h == kOwnSize ? imageH : h);
  return d;
}

void RecordPicture(int32_t width, int32_t height, uint32_t colours, double scale) {
  gBitmaps.bmpX = width;
  gBitmaps.bmpY = height;
  gBitmaps.bmpColours = colours;
  gBitmaps.bmpF = scale;
}

void SetBitmapDevice(BitmapDevice* device) { gDevice = device; }
BitmapDevice* GetBitmapDevice() { return gDevice; }

void ResetBitmaps() {
  if (gDevice) gDevice->Release();
  gBitmaps = TBitmapState{};
}

void RegisterBitmapCommands() {
  // STARTPAINT -1 draws into the memory bitmap's context.
  SetMemoryDcProvider([]() -> uint32_t { return gBitmaps.memoryDc; });
#define KORV_UNIT_bitmaps 1
#include "base/bind_unit.h"
#undef KORV_UNIT_bitmaps
}

}  // namespace korv
