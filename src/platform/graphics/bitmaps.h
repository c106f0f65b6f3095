// Bitmaps, the memory bitmap, icons and cursors: the commands DRAWPIC,
// DRAWSIZEDPIC, COPYPIC, COPYSIZEDPIC, COPYBMP, COPYSIZEDBMP, MCOPYBMP,
// MCOPYSIZEDBMP, COPYBMPTOMEM, MCLS, MLOADBMP, DRAWICON, DRAWEXTICON,
// DRAWLIBICON (also read as DRAWPROGICON), DRAWSYSICON, USEICON, USECURSOR
// and SHOWCURSOR, and the system variables %BMPX, %BMPY, &BMPCOL, !BMPF,
// &MEMDC and &MEMBMP.
//
// Arguments, checks and reports are made here; the GDI work sits behind
// the BitmapDevice seam. Without a device every command keeps its checks
// and draws nothing.
#pragma once
#include <cstdint>
#include <string>

namespace korv {

namespace bmp {
struct TBmpImage;
}

// Raster operations of the copy commands.
namespace rop {
constexpr uint32_t kSrcAnd = 0x8800C6, kSrcPaint = 0xEE0086, kSrcInvert = 0x660046,
                   kDstInvert = 0x550009, kSrcCopy = 0xCC0020;
}  // namespace rop
// The mode argument (1..4, else a plain copy) as a raster operation.
uint32_t RasterOperation(int32_t mode);
constexpr int32_t kTransparentMode = -1;

// Where a copy reads from.
enum class BlitSource : uint8_t {
  Window,  // the program window (its back buffer) or the paint target
  Memory,  // the memory bitmap
  Bitmap,  // a bitmap handle of the program
};

struct TBlit {
  BlitSource source = BlitSource::Window;
  uint32_t bitmap = 0;  // BlitSource::Bitmap
  int32_t xs = 0, ys = 0, ws = 0, hs = 0;
  int32_t xd = 0, yd = 0, wd = 0, hd = 0;  // wd, hd = ws, hs unless stretched
  bool stretched = false;
  bool transparent = false;  // key colour: the bottom-left source pixel
  uint32_t rop = rop::kSrcCopy;
  // While printing: the bitmap's pixels are read as a device-independent
  // bitmap and stretched onto the printer context over the (already
  // scaled) destination rectangle.
  bool toPrinter = false;
};

// A destination rectangle on the printer.
struct TDestRect {
  int32_t x = 0, y = 0, w = 0, h = 0;
};
// Where an image of imageW x imageH pixels drawn at (x, y) with size w x h
// lands while printing: everything times the print factor; a size of -1
// is the image's own size.
TDestRect PrintDestination(int32_t x, int32_t y, int32_t w, int32_t h, int32_t imageW, int32_t imageH);
constexpr int32_t kOwnSize = -1;

// Where an icon comes from.
enum class IconSource : uint8_t {
  Program,  // the program's resources (by number when numeric, else name)
  Module,   // the resources of the module handle given
  File,     // an icon of an executable or library file (by index)
  System,   // the system icon 0x7F00 + n
};

struct TIconRequest {
  IconSource source = IconSource::Program;
  uint32_t module = 0;
  std::string name;    // resource name or file name
  bool numeric = false;
  int32_t number = 0;  // resource number, file index or system icon
};

// The memory bitmap and what the bitmap functions keep for the system
// variables. Handles are 32-bit values in the language.
struct TBitmapState {
  bool hasMemory = false;
  uint32_t memoryDc = 0;      // &MEMDC
  uint32_t memoryBitmap = 0;  // the bitmap held by &MEMDC
  uint32_t memoryCopy = 0;    // &MEMBMP: the copy made after creation or load
  int32_t memoryWidth = 0, memoryHeight = 0;
  int32_t bmpX = 0, bmpY = 0;  // %BMPX, %BMPY
  uint32_t bmpColours = 0;     // &BMPCOL
  double bmpF = 0.0;           // !BMPF
};
extern TBitmapState gBitmaps;

class BitmapDevice {
 public:
  virtual ~BitmapDevice() = default;
  // True while the program window (or a paint target) can be drawn on.
  virtual bool HasTarget() = 0;
  // The memory bitmap: replaced by a new w x h bitmap filled white
  // (colour < 0) or with a colour, or by a loaded image. On success the
  // device fills memoryDc, memoryBitmap and memoryCopy of gBitmaps.
  virtual bool NewMemoryBitmap(int32_t w, int32_t h, int64_t colour) = 0;
  virtual bool LoadMemoryBitmap(const bmp::TBmpImage& image) = 0;
  // While printing the bitmap-file loader draws the image straight onto the
  // printer context over dest (StretchDIBits) instead of making a bitmap.
  virtual bool PrintImage(const bmp::TBmpImage& image, const TDestRect& dest) = 0;
  // Width and height of a bitmap handle; false when it is none.
  virtual bool BitmapSize(uint32_t bitmap, int32_t& w, int32_t& h) = 0;
  // A copy into the current pair (both contexts). False when the source
  // cannot be read.
  virtual bool Blit(const TBlit& blit) = 0;
  // COPYBMPTOMEM: a window rectangle into the memory bitmap.
  virtual void CopyWindowToMemory(int32_t xs, int32_t ys, int32_t w, int32_t h, int32_t xd, int32_t yd) = 0;
  // Draws an icon at (x, y) into the current pair; false when there is no
  // such icon.
  virtual bool DrawIcon(const TIconRequest& icon, int32_t x, int32_t y) = 0;
  // Makes the program's icon resource the main window's class icon.
  virtual bool UseIcon(const TIconRequest& icon) = 0;
  // Sets the cursor: a system cursor id, or the program's cursor resource
  // "DRUCKER" when id is 0. False when it cannot be loaded.
  virtual bool UseCursor(int32_t systemId) = 0;
  // ShowCursor(show): the new display count.
  virtual int32_t ShowCursor(bool show) = 0;
  // Program end: the memory bitmap and its copy are released.
  virtual void Release() = 0;
};

void SetBitmapDevice(BitmapDevice* device);
BitmapDevice* GetBitmapDevice();

// The system cursor USECURSOR n sets: its id, 0 for the program's own
// cursor resource, -1 when n names none.
int32_t CursorIdFor(int32_t n);
constexpr const char* kOwnCursorName = "DRUCKER";

// Loads a bitmap file as the memory bitmap and keeps its size and colour
// count for %BMPX, %BMPY and &BMPCOL. While a print job is open the image
// is drawn at the page origin in its own size (scaled like every drawing)
// and the memory bitmap stays as it was. False (nothing changed) when the
// file is no bitmap the reader takes or the device cannot make it.
bool LoadMemoryBitmapFile(const std::string& path);

// What a picture-creating function keeps for %BMPX, %BMPY, &BMPCOL and
// !BMPF: the picture's size, its colour count and its scale.
void RecordPicture(int32_t width, int32_t height, uint32_t colours, double scale);

// Per-run reset: memory bitmap released, values back to 0.
void ResetBitmaps();
// Registers the commands and system variables above.
void RegisterBitmapCommands();

}  // namespace korv
