#include "graphics/drawing.h"

#include "base/errors.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/functions_support.h"

namespace korv {

TDrawingState gDrawing;

namespace {

DrawingDevice* gDevice = nullptr;

constexpr int32_t kNeedsWindow = 237;
constexpr uint32_t kNoColour = 0xFFFFFFFFu;

// Reads count integers, each ended by its separator in seps (the last one
// by ' '). False after an error report.
bool ReadInts(TParStack& ps, const char* seps, int32_t* out, int count) {
  for (int i = 0; i < count; ++i) {
    out[i] = EvalInt(ps, seps[i]);
    if (gEval.failed) return false;
  }
  return true;
}

// While printing, coordinates are multiplied by the print factor.
void Scale(int32_t* v, int count) {
  for (int i = 0; i < count; ++i) v[i] = ScaledByDrawing(v[i]);
}

// Pen, brush, pixel and fill need something to draw on.
bool TargetReady() {
  if (gDevice && gDevice->HasTarget()) return true;
  RaiseError(kNeedsWindow);
  return false;
}

void CmdUsePen(TParStack& ps) {
  int32_t a[3];
  if (!ReadInts(ps, ",, ", a, 3)) return;
  if (!TargetReady()) return;
  gDrawing.pen = {a[0], a[1], static_cast<uint32_t>(a[2])};
  gDrawing.hasPen = true;
  gDevice->UsePen(gDrawing.pen);
}

void CmdUseBrush(TParStack& ps) {
  int32_t a[2];
  if (!ReadInts(ps, ", ", a, 2)) return;
  if (!TargetReady()) return;
  gDrawing.brush = {a[0], static_cast<uint32_t>(a[1])};
  gDrawing.hasBrush = true;
  gDevice->UseBrush(gDrawing.brush);
}

void CmdTextColor(TParStack& ps) {
  int32_t a[2];
  if (!ReadInts(ps, ", ", a, 2)) return;
  gDrawing.textColour = static_cast<uint32_t>(a[0]);
  gDrawing.textBack = a[1];
  gDrawing.hasTextColour = true;
  if (gDevice) gDevice->TextColour(gDrawing.textColour, gDrawing.textBack);
}

void CmdSetPixel(TParStack& ps) {
  int32_t a[3];
  if (!ReadInts(ps, ",, ", a, 3)) return;
  if (!TargetReady()) return;
  Scale(a, 2);
  gDevice->SetPixel(a[0], a[1], static_cast<uint32_t>(a[2]));
}

void CmdFill(TParStack& ps) {
  int32_t a[3];
  if (!ReadInts(ps, ",, ", a, 3)) return;
  if (!TargetReady()) return;
  // A hollow brush fills nothing.
  if (gDrawing.hasBrush && gDrawing.brush.style == 0) return;
  Scale(a, 2);
  gDevice->Fill(a[0], a[1], static_cast<uint32_t>(a[2]));
}

void CmdMoveTo(TParStack& ps) {
  int32_t a[2];
  if (!ReadInts(ps, ", ", a, 2)) return;
  Scale(a, 2);
  if (gDevice) gDevice->MoveTo(a[0], a[1]);
}

void CmdLineTo(TParStack& ps) {
  int32_t a[2];
  if (!ReadInts(ps, ", ", a, 2)) return;
  Scale(a, 2);
  if (gDevice) gDevice->LineTo(a[0], a[1]);
}

void CmdLine(TParStack& ps) {
  int32_t a[4];
  if (!ReadInts(ps, ",-, ", a, 4)) return;
  if (!gDevice) return;
  Scale(a, 4);
  gDevice->MoveTo(a[0], a[1]);
  gDevice->LineTo(a[2], a[3]);
}

// x1, y1 - x2, y2 and, by kind, "; w, h" or "; x3, y3; x4, y4".
void DrawShape(TParStack& ps, ShapeKind kind) {
  int32_t a[8];
  int count;
  const char* seps;
  switch (kind) {
    case ShapeKind::Rectangle:
    case ShapeKind::Ellipse:
      count = 4, seps = ",-, ";
      break;
    case ShapeKind::RoundRect:
      count = 6, seps = ",-,;, ";
      break;
    default:
      count = 8, seps = ",-,;,;, ";
      break;
  }
  if (!ReadInts(ps, seps, a, count)) return;
  Scale(a, count);
  if (gDevice) gDevice->Shape(kind, a);
}

void CmdRectangle(TParStack& ps) { DrawShape(ps, ShapeKind::Rectangle); }
void CmdEllipse(TParStack& ps) { DrawShape(ps, ShapeKind::Ellipse); }
void CmdRoundRect(TParStack& ps) { DrawShape(ps, ShapeKind::RoundRect); }
void CmdArc(TParStack& ps) { DrawShape(ps, ShapeKind::Arc); }
void CmdChord(TParStack& ps) { DrawShape(ps, ShapeKind::Chord); }
void CmdPie(TParStack& ps) { DrawShape(ps, ShapeKind::Pie); }

// GETPIXEL(x, y): the colour value of a pixel of the program window.
void FnGetPixel(TParStack& ps) {
  int32_t x, y;
  if (!fn::IntArg(ps, false, x) || !fn::IntArg(ps, true, y)) return fn::SetEmpty(kind::kLong);
  const uint32_t c = gDevice ? gDevice->GetPixel(x, y) : kNoColour;
  fn::SetInt(static_cast<int32_t>(c), kind::kLong);
}

}  // namespace

void SetDrawingDevice(DrawingDevice* device) { gDevice = device; }
DrawingDevice* GetDrawingDevice() { return gDevice; }

void ResetDrawing() {
  if (gDevice) gDevice->Release();
  gDrawing = TDrawingState{};
}

void RegisterDrawingCommands() {
#define KORV_UNIT_drawing 1
#include "base/bind_unit.h"
#undef KORV_UNIT_drawing
}

}  // namespace korv
