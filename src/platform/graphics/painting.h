// Fonts and text at pixel positions (USEFONT, DRAWTEXT, ORIENTATION,
// %FONT), the logical coordinate system (SCREEN) and the redirection of
// all drawing into another window, the screen or the memory bitmap
// (STARTPAINT, ENDPAINT).
//
// The font is kept as parameters like the pen and the brush; the window
// layer makes the object behind the PaintDevice seam and makes it again
// whenever the pair of contexts changes.
#pragma once
#include <cstdint>
#include <string>

namespace korv {

struct TFontParams {
  std::string face;
  int32_t height = 0, width = 0;
  bool bold = false, italic = false, underline = false;
  int32_t angle = 0;     // escapement and orientation, tenths of a degree
  uint8_t charset = 1;   // DEFAULT_CHARSET unless CHARSET says otherwise
};

// Paint targets besides windows.
constexpr int32_t kPaintScreen = 0;
constexpr int32_t kPaintMemory = -1;

struct TPaintState {
  bool hasFont = false;
  TFontParams font;
  int32_t orientation = 0;  // for the next USEFONT
  bool redirected = false;
  int32_t target = 0;
  uint32_t hwndBefore = 0;  // %HWND before STARTPAINT stored the target there
  int32_t logicalWidth = 0, logicalHeight = 0;  // SCREEN; 0 = not set
};
extern TPaintState gPaint;

class PaintDevice {
 public:
  virtual ~PaintDevice() = default;
  // Makes the font (sizes multiplied by the drawing scale), selects it into
  // the current pair and releases the one it replaces.
  virtual void UseFont(const TFontParams& font) = 0;
  virtual uint32_t FontHandle() = 0;
  // TextOutA at (x, y) into the current pair (coordinates already scaled).
  virtual void DrawText(int32_t x, int32_t y, const std::string& text) = 0;
  virtual bool IsMainWindow(int32_t handle) = 0;
  // Makes the context of the target the whole pair. 0 when done, else the
  // error to report (242 no window, 228 no memory bitmap).
  virtual int32_t BeginRedirect(int32_t target) = 0;
  // Back to the window and back buffer; the borrowed context is released.
  virtual void EndRedirect() = 0;
  // MM_ANISOTROPIC, window extent w x h, viewport = the client size of the
  // window or paint target, in every context of the pair.
  virtual void MapLogical(int32_t w, int32_t h) = 0;
  // Program end: font released, an open redirection ended.
  virtual void Release() = 0;
};

void SetPaintDevice(PaintDevice* device);
PaintDevice* GetPaintDevice();

// The memory bitmap's context, from whoever keeps the memory bitmap
// (0 when there is none).
using MemoryDcProvider = uint32_t (*)();
void SetMemoryDcProvider(MemoryDcProvider provider);
uint32_t MemoryBitmapDc();

// True between STARTPAINT and ENDPAINT.
bool PaintRedirected();

void ResetPainting();
void RegisterPaintingCommands();

}  // namespace korv
