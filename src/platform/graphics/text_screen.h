// The text screen: a grid of character cells drawn into the program window
// with fixed-pitch stock fonts, with its own copy of every cell, a ring of
// rows that scrolls upward at the bottom, a key queue and a line reader.
// PRINT, INPUT, LOCATE, CLS, BEEP and TAB work on it.
//
// The grid itself is platform-neutral; everything that touches the window
// goes through the TextScreenDevice seam that the window layer installs.
// Without a device (native tests) the grid works alone and console mode
// mirrors what it receives to standard output.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "values/value.h"

namespace korv {

// Font metrics the cell measurement needs (GetTextMetrics fields, and the
// advance of a character as drawn).
struct TCellFontMetrics {
  int32_t maxCharWidth = 0;
  // A fixed-pitch font advances every character by the same width. Its
  // tmMaxCharWidth can be far wider than that when it is derived from the
  // outline bounds of a scalable font; the cell then takes the advance.
  bool fixedPitch = false;
  int32_t advance = 0;
  int32_t height = 0;
  int32_t externalLeading = 0;
  int32_t ascent = 0;
};

// What the grid needs from the window layer. Every drawing call goes to the
// window's context and to the memory bitmap.
class TextScreenDevice {
 public:
  virtual ~TextScreenDevice() = default;
  // Creates the program window when it does not exist yet (which creates
  // the grid through CreateTextGrid). Called before any output.
  virtual void EnsureWindow() = 0;
  // True while a window exists that keys can be typed into.
  virtual bool WindowAlive() = 0;
  // Metrics of a stock font (GetStockObject number); false when unknown.
  virtual bool FontMetrics(int stockFont, TCellFontMetrics& out) = 0;
  // Draws text with a stock font, opaque, at pixel x, y.
  virtual void DrawText(int32_t x, int32_t y, const std::string& text, int stockFont,
                        uint32_t textColour, uint32_t backColour) = 0;
  // Scrolls the client area (and the memory bitmap) up by pixels.
  virtual void ScrollUp(int32_t pixels) = 0;
  // Fills the whole drawing area: with a solid brush of colour, or with the
  // stock white brush when hasColour is false.
  virtual void Clear(bool hasColour, uint32_t colour) = 0;
  virtual void Beep() = 0;
  // The input caret (console caret while a key is awaited).
  virtual void CreateCaret(int32_t width, int32_t height, int32_t x, int32_t y) = 0;
  virtual void MoveCaret(int32_t x, int32_t y) = 0;
  virtual void DestroyCaret() = 0;
  // Sleeps until a message arrives (or a short while passes).
  virtual void WaitForEvents() = 0;
};

void SetTextScreenDevice(TextScreenDevice* device);
TextScreenDevice* GetTextScreenDevice();

constexpr int kKeyQueueSize = 64;
constexpr uint8_t kAttrInForce = 0xF0;  // black (0) on white (15)
constexpr uint8_t kFontInForce = 0;

struct TTextScreen {
  // Logical size in cells and buffer capacity.
  int32_t width = 80, height = 32;
  int32_t capWidth = 132, capHeight = 50;
  // Cursor and the first cell shown in the client area's top-left corner.
  int32_t col = 0, row = 0;
  int32_t originCol = 0, originRow = 0;
  int32_t ringOffset = 0;  // buffer row of logical row 0
  // Cell metrics in pixels.
  int32_t cellWidth = 1, cellHeight = 1, baseline = 0;
  // Character, attribute and font planes (capacity-sized).
  std::vector<uint8_t> chars, attrs, fonts;
  // Measured fonts (stock numbers); tallestFont: 1-based position of the
  // font that set the cell height (0 before measurement).
  std::array<int, 2> measuredFonts{10, 16};
  int32_t tallestFont = 0;
  // Key queue.
  std::array<uint8_t, kKeyQueueSize> keys{};
  int32_t keyCount = 0;
  uint8_t lastKey = 0;
  bool endOfFile = false;
  // Flags.
  bool created = false;
  bool hasFocus = false;
  bool waitingForKey = false;
  bool waitInputActive = false;  // a WAITINPUT is in progress
  bool f1WhileWaiting = false;
  bool caretShown = false;
  // Console mirror: where standard output stands relative to the grid.
  int32_t mirrorRow = 0, mirrorCol = 0;
};

extern TTextScreen gScreen;

// The 16-entry palette and the font table (stock object numbers).
extern const std::array<uint32_t, 16> kScreenPalette;
extern const std::array<int, 4> kScreenFonts;

// Program start: back to the initial geometry, no grid, empty queue.
void ResetTextScreen();

// Window layer entry points --------------------------------------------------

// Allocates the planes at capacity (columns x rows, at least one cell) and
// measures the cells (called when the window is created).
void CreateTextGrid(int32_t capacityColumns, int32_t capacityRows);
// Frees the planes and zeroes cursor and origin (window destroyed).
void DestroyTextGrid();
// Cell measurement from the measured fonts (see TCellFontMetrics).
void MeasureTextCells();
// Logical size in cells, clamped to the capacity and at least 1 x 1.
void SetTextGridSize(int32_t columns, int32_t rows);
// The client area changed to w x h pixels: clamps the visible origin.
void TextScreenResized(int32_t clientWidth, int32_t clientHeight);
// Redraws every visible row (after the window was painted over).
void RedrawTextGrid();
// A key code from the window procedure or the pump (5 = F1).
void QueueKey(int code);
// Focus gained / lost while a key may be awaited.
void TextScreenFocus(bool focused);
// Empties the key queue.
void ClearKeyQueue();

// Text device --------------------------------------------------------------

// Makes sure the grid exists (creating the window on first need).
void EnsureTextScreen();
// The terminal write routine: every byte goes to the grid; in console mode
// the bytes are mirrored to standard output. Pumps messages once after.
void ScreenWrite(const std::string& bytes);
// Cursor placement as LOCATE does it (1-based, clamped to the grid).
void ScreenLocate(int32_t row, int32_t column);
// TAB(n): to column n on this row, or on the next one when n is left of
// the cursor.
void ScreenTab(int32_t column);
// CLS without checks: clears the grid and the window.
void ScreenClear(bool hasColour, uint32_t colour);
// Reads one key (waits, pumping messages, while the queue is empty);
// returns -1 when no key can come (no window).
int ScreenReadKey();
// The line reader: one line without its end; false at the end of input.
bool ScreenReadLine(std::string& line);
// Cursor as 1-based values.
int32_t ScreenCursorColumn();
int32_t ScreenCursorRow();
// The character at a logical cell (for tests and redraws); ' ' outside.
char ScreenCell(int32_t row, int32_t column);
// A logical row as text, trailing blanks removed.
std::string ScreenRowText(int32_t row);

// PRINT formatting shared by the screen and the file channels: one item by
// its result kind (string in STRWIDTH, integers in NUMWIDTH, floats in
// NUMWIDTH with DECIMALS).
std::string FormatPrintItem(const TEvalResult& r);

// The file side of PRINT #n / INPUT #n, installed by the file subsystem.
// The printer writes text to the channel and flushes it; the reader reads
// one line. Both return false after an error report.
using ChannelPrinter = bool (*)(int32_t channel, const std::string& text);
using ChannelLineReader = bool (*)(int32_t channel, std::string& line);
void SetChannelPrinter(ChannelPrinter fn);
void SetChannelLineReader(ChannelLineReader fn);

// True while a print job is open (installed by the printing subsystem).
using PrintJobQuery = bool (*)();
void SetPrintJobQuery(PrintJobQuery fn);
bool PrintJobActive();

// Registers PRINT, INPUT, LOCATE, CLS, BEEP and TAB.
void RegisterTextScreen();

}  // namespace korv
