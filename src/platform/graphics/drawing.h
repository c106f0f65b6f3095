// The drawing commands: pen and brush selection, pixels, flood fill, lines
// and the shapes (rectangle, rounded rectangle, ellipse, arc, chord, pie),
// and GETPIXEL.
//
// The drawing state (pen and brush) is kept here as parameters; the window
// layer turns them into objects behind the DrawingDevice seam, selects them
// into the current pair of contexts and draws into both. Without a device
// (native programs) the state is kept and nothing is drawn.
#pragma once
#include <cstdint>

namespace korv {

struct TPenParams {
  int32_t style = 0, width = 1;
  uint32_t colour = 0;
};

// style 0 = hollow, 1 = solid, n >= 2 = hatched with hatch index n - 2.
struct TBrushParams {
  int32_t style = 1;
  uint32_t colour = 0xFFFFFF;
};

enum class ShapeKind { Rectangle, Ellipse, RoundRect, Arc, Chord, Pie };

struct TDrawingState {
  bool hasPen = false, hasBrush = false;
  TPenParams pen;
  TBrushParams brush;
  // TEXTCOLOR: text colour and background (-1 = transparent).
  uint32_t textColour = 0;
  int32_t textBack = -1;
  bool hasTextColour = false;
  // Coordinates and sizes are multiplied by this (the print factor while a
  // print job is open, else 1).
  int32_t scale = 1;
};
extern TDrawingState gDrawing;

// v times the drawing scale, wrapping like every 32-bit product.
inline int32_t ScaledByDrawing(int32_t v) {
  return static_cast<int32_t>(static_cast<uint32_t>(v) * static_cast<uint32_t>(gDrawing.scale));
}

class DrawingDevice {
 public:
  virtual ~DrawingDevice() = default;
  // True while the program window (or a paint target) can be drawn on.
  virtual bool HasTarget() = 0;
  // Makes a pen / brush from the parameters, selects it into the current
  // pair and releases the one it replaces.
  virtual void UsePen(const TPenParams& pen) = 0;
  virtual void UseBrush(const TBrushParams& brush) = 0;
  // Text colour and background (-1: transparent mode, else opaque with
  // that colour) in the current pair.
  virtual void TextColour(uint32_t text, int32_t back) = 0;
  virtual void SetPixel(int32_t x, int32_t y, uint32_t colour) = 0;
  // Flood fill with the current brush up to the border colour.
  virtual void Fill(int32_t x, int32_t y, uint32_t border) = 0;
  virtual void MoveTo(int32_t x, int32_t y) = 0;
  virtual void LineTo(int32_t x, int32_t y) = 0;
  // p holds the bounding box (4 values) and, by kind, the corner ellipse
  // (2 more) or the two radial points (4 more).
  virtual void Shape(ShapeKind kind, const int32_t* p) = 0;
  // The colour of a pixel of the program window as the back buffer holds
  // it; 0xFFFFFFFF when there is none.
  virtual uint32_t GetPixel(int32_t x, int32_t y) = 0;
  // The pair of contexts was replaced (paint redirection, print job): the
  // pen and brush are made again for the new pair at the current scale and
  // the old ones leave the previous pair.
  virtual void PairChanged(uint32_t previousWindow, uint32_t previousMemory) {
    (void)previousWindow;
    (void)previousMemory;
  }
  // Program end: the objects of the run are released.
  virtual void Release() = 0;
  // An object the program deletes itself: when the device holds it, every
  // context gets a stock object in its place and the state forgets it (the
  // caller deletes it).
  virtual void Forget(uint32_t object) { (void)object; }
};

void SetDrawingDevice(DrawingDevice* device);
DrawingDevice* GetDrawingDevice();

// Per-run reset: default state, objects released.
void ResetDrawing();
// Registers the drawing commands, TEXTCOLOR and GETPIXEL.
void RegisterDrawingCommands();

}  // namespace korv
