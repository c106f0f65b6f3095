#include "graphics/painting.h"

#include "base/errors.h"
#include "base/host.h"
#include "base/names.h"
#include "engine/executor.h"
#include "graphics/drawing.h"
#include "graphics/printing.h"
#include "gui/window.h"
#include "values/evaluator.h"
#include "values/set_get.h"

namespace korv {

TPaintState gPaint;

namespace {

PaintDevice* gDevice = nullptr;
MemoryDcProvider gMemoryDc = nullptr;

constexpr int32_t kNeedsWindow = 237;
constexpr int32_t kRefusedWhilePrinting = 221;
constexpr int32_t kRefusedWhilePainting = 249;
constexpr int32_t kStartPaintMissing = 124;
constexpr int32_t kNoMemoryBitmap = 228;

// Fonts, text and SCREEN need the program window or a paint target.
bool TargetReady() {
  DrawingDevice* d = GetDrawingDevice();
  if (d && d->HasTarget()) return true;
  RaiseError(kNeedsWindow);
  return false;
}

// The stored CHARSET setting is the character set byte itself.
uint8_t FontCharset() { return static_cast<uint8_t>(gSwitches.CharSet); }

void CmdUseFont(TParStack& ps) {
  TFontParams f;
  f.face = EvalString(ps, ',');
  if (gEval.failed) return;
  int32_t a[5];
  const char seps[] = ",,,, ";
  for (int i = 0; i < 5; ++i) {
    a[i] = EvalInt(ps, seps[i]);
    if (gEval.failed) return;
  }
  if (!TargetReady()) return;
  f.height = a[0];
  f.width = a[1];
  f.bold = a[2] != 0;
  f.italic = a[3] != 0;
  f.underline = a[4] != 0;
  f.angle = gPaint.orientation;
  f.charset = FontCharset();
  gPaint.font = f;
  gPaint.hasFont = true;
  if (gDevice) gDevice->UseFont(f);
}

void CmdDrawText(TParStack& ps) {
  const int32_t x = EvalInt(ps, ',');
  if (gEval.failed) return;
  const int32_t y = EvalInt(ps, ',');
  if (gEval.failed) return;
  const std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  if (!TargetReady()) return;
  if (gDevice) gDevice->DrawText(ScaledByDrawing(x), ScaledByDrawing(y), text);
}

void CmdOrientation(TParStack& ps) {
  const int32_t angle = EvalInt(ps, ' ');
  if (gEval.failed) return;
  gPaint.orientation = angle;
}

void CmdScreen(TParStack& ps) {
  const int32_t w = EvalInt(ps, ',');
  if (gEval.failed) return;
  const int32_t h = EvalInt(ps, ' ');
  if (gEval.failed) return;
  if (PrintJobOpen()) return RaiseError(kRefusedWhilePrinting, "SCREEN");
  if (!TargetReady()) return;
  gPaint.logicalWidth = w;
  gPaint.logicalHeight = h;
  if (gDevice) gDevice->MapLogical(w, h);
}

void CmdStartPaint(TParStack& ps) {
  const int32_t target = EvalInt(ps, ' ');
  if (gEval.failed) return;
  if (PrintJobOpen()) return RaiseError(kRefusedWhilePrinting, "STARTPAINT");
  if (gPaint.redirected) return RaiseError(kRefusedWhilePainting, "STARTPAINT");
  if (gDevice && !gDevice->IsMainWindow(target)) {
    const int32_t failure = gDevice->BeginRedirect(target);
    if (failure == kNoMemoryBitmap) return RaiseError(failure, "Memory Bitmap");
    if (failure) return RaiseError(failure);
  }
  gPaint.redirected = true;
  gPaint.target = target;
  // The target is what %HWND reads while drawing is redirected.
  gPaint.hwndBefore = gEvents.hwnd;
  gEvents.hwnd = static_cast<uint32_t>(target);
}

void CmdEndPaint(TParStack&) {
  if (!gPaint.redirected) return RaiseError(kStartPaintMissing);
  if (gDevice && !gDevice->IsMainWindow(gPaint.target)) gDevice->EndRedirect();
  gPaint.redirected = false;
  if (gEvents.hwnd == static_cast<uint32_t>(gPaint.target)) gEvents.hwnd = gPaint.hwndBefore;
  gPaint.target = 0;
  if (!gExec.noPump) host().PumpMessages();
}

void SvFont(TEvalResult& r) {
  const int32_t v = gDevice ? static_cast<int32_t>(gDevice->FontHandle()) : 0;
  r.IntValue = v;
  r.FloatValue = v;
  r.StrValue = IntToText(v);
  r.ResultKind = kind::kInt;
}

}  // namespace

void SetPaintDevice(PaintDevice* device) { gDevice = device; }
PaintDevice* GetPaintDevice() { return gDevice; }
void SetMemoryDcProvider(MemoryDcProvider provider) { gMemoryDc = provider; }
uint32_t MemoryBitmapDc() { return gMemoryDc ? gMemoryDc() : 0; }
bool PaintRedirected() { return gPaint.redirected; }

void ResetPainting() {
  if (gDevice) gDevice->Release();
  gPaint = TPaintState{};
}

void RegisterPaintingCommands() {
#define KORV_UNIT_painting 1
#include "base/bind_unit.h"
#undef KORV_UNIT_painting
}

}  // namespace korv
