#include "graphics/text_screen.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "base/host.h"
#include "values/composite.h"
#include "values/evaluator.h"
#include "values/settings.h"
#include "values/stores.h"

namespace korv {

TTextScreen gScreen;

const std::array<uint32_t, 16> kScreenPalette = {
    0x000000, 0x880000, 0x008800, 0x880088, 0x000088, 0x888800, 0x008888, 0xCCCCCC,
    0x444444, 0xFF0000, 0x00FF00, 0xFF00FF, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFFFFFF};
const std::array<int, 4> kScreenFonts = {11, 10, 16, 16};

namespace {

TextScreenDevice* gDevice = nullptr;
ChannelPrinter gChannelPrinter = nullptr;
ChannelLineReader gChannelReader = nullptr;
PrintJobQuery gPrintJob = nullptr;

constexpr int32_t kLineCapacity = 128;  // the text device's buffer
constexpr uint8_t kEofSentinel = 26;

bool Printing() { return gPrintJob && gPrintJob(); }

// --- Planes ------------------------------------------------------------------

int32_t BufferRow(int32_t r) {
  int32_t b = r + gScreen.ringOffset;
  if (b >= gScreen.height) b -= gScreen.height;
  return b;
}

size_t CellIndex(int32_t r, int32_t c) {
  return static_cast<size_t>(BufferRow(r)) * static_cast<size_t>(gScreen.width) + static_cast<size_t>(c);
}

void BlankCell(size_t i) {
  gScreen.chars[i] = ' ';
  gScreen.attrs[i] = kAttrInForce;
  gScreen.fonts[i] = kFontInForce;
}

void BlankRow(int32_t r) {
  for (int32_t c = 0; c < gScreen.width; ++c) BlankCell(CellIndex(r, c));
}

// --- Drawing -----------------------------------------------------------------

// Draws columns [a, b) of row r with the attribute and font in force.
void DrawSegment(int32_t r, int32_t a, int32_t b) {
  if (!gDevice || !gScreen.created || a >= b) return;
  a = std::max(a, 0);
  b = std::min(b, gScreen.width);
  if (a >= b || r < 0 || r >= gScreen.height) return;
  std::string text;
  text.reserve(static_cast<size_t>(b - a));
  for (int32_t c = a; c < b; ++c) text.push_back(static_cast<char>(gScreen.chars[CellIndex(r, c)]));
  const uint32_t fg = kScreenPalette[kAttrInForce & 0x0F];
  const uint32_t bg = kScreenPalette[(kAttrInForce >> 4) & 0x0F];
  const int32_t x = (a - gScreen.originCol) * gScreen.cellWidth;
  const int32_t y = (r - gScreen.originRow) * gScreen.cellHeight;
  const int font = kScreenFonts[kFontInForce];
  if (gScreen.tallestFont > 0) {
    const int tallest = gScreen.measuredFonts[static_cast<size_t>(gScreen.tallestFont - 1)];
    // Blanks in the tallest font clear the full cell height first.
    if (tallest != font) gDevice->DrawText(x, y, std::string(text.size(), ' '), tallest, fg, bg);
  }
  gDevice->DrawText(x, y, text, font, fg, bg);
}

int32_t CaretX() { return (gScreen.col - gScreen.originCol) * gScreen.cellWidth; }
int32_t CaretY() { return (gScreen.row - gScreen.originRow) * gScreen.cellHeight + gScreen.baseline; }

void ShowCaret() {
  if (!gDevice || gScreen.caretShown || !gScreen.hasFocus) return;
  gDevice->CreateCaret(gScreen.cellWidth, 2, CaretX(), CaretY());
  gScreen.caretShown = true;
}

void HideCaret() {
  if (!gScreen.caretShown) return;
  gScreen.caretShown = false;
  if (gDevice) gDevice->DestroyCaret();
}

// --- Console mirror ------------------------------------------------------------

bool gMirrorSuppressed = false;

// Standard output is a stream: cursor jumps of the grid (LOCATE, TAB) are
// rendered as line ends and blanks, so that a tabulated screen also reads
// as a tabulated text. Automatic wraps at the grid's right edge are not.
void MirrorCursorJump(std::string& out, bool rowsOnly) {
  const int32_t r = gScreen.row, c = gScreen.col;
  int32_t& mr = gScreen.mirrorRow;
  int32_t& mc = gScreen.mirrorCol;
  if (r == mr && c == mc) return;
  if (r > mr) {
    out.append(static_cast<size_t>(r - mr), '\n');
    if (!rowsOnly) out.append(static_cast<size_t>(c), ' ');
  } else if (r == mr && c > mc) {
    if (!rowsOnly) out.append(static_cast<size_t>(c - mc), ' ');
  } else if (!rowsOnly) {
    if (mc > 0) out.push_back('\n');
    out.append(static_cast<size_t>(c), ' ');
  }
}

void SyncMirror() {
  gScreen.mirrorRow = gScreen.row;
  gScreen.mirrorCol = gScreen.col;
}

// --- Terminal write -------------------------------------------------------------

struct DirtySpan {
  int32_t row, left, right;
};

void FlushSpan(DirtySpan& span) {
  if (span.right > span.left) DrawSegment(span.row, span.left, span.right);
  span = {gScreen.row, gScreen.col, gScreen.col};
}

void LineFeed(DirtySpan& span) {
  FlushSpan(span);
  gScreen.col = 0;
  ++gScreen.row;
  if (gScreen.row >= gScreen.height) {
    gScreen.row = gScreen.height - 1;
    ++gScreen.ringOffset;
    if (gScreen.ringOffset >= gScreen.height) gScreen.ringOffset = 0;
    BlankRow(gScreen.row);
    if (gDevice) gDevice->ScrollUp(gScreen.cellHeight);
  }
  span = {gScreen.row, gScreen.col, gScreen.col};
}

void WriteByte(uint8_t b, DirtySpan& span) {
  switch (b) {
    case 7:
      if (gDevice) gDevice->Beep();
      return;
    case 8:
      if (gScreen.col > 0) {
        --gScreen.col;
        BlankCell(CellIndex(gScreen.row, gScreen.col));
        span.left = std::min(span.left, gScreen.col);
      }
      return;
    case 10:
      LineFeed(span);
      return;
    case 13:
      return;
    default:
      break;
  }
  const size_t i = CellIndex(gScreen.row, gScreen.col);
  gScreen.chars[i] = b;
  gScreen.attrs[i] = kAttrInForce;
  gScreen.fonts[i] = kFontInForce;
  ++gScreen.col;
  span.right = std::max(span.right, gScreen.col);
  if (gScreen.col >= gScreen.width) {
    if (gScreen.row < gScreen.height - 1) {
      FlushSpan(span);
      gScreen.col = 0;
      ++gScreen.row;
      span = {gScreen.row, 0, 0};
    } else {
      LineFeed(span);  // the last cell of the last row: scroll like a line end
    }
  }
}

void ClampCursor() {
  gScreen.col = std::clamp(gScreen.col, 0, gScreen.width - 1);
  gScreen.row = std::clamp(gScreen.row, 0, gScreen.height - 1);
}

// --- INPUT helpers ---------------------------------------------------------------

// The numeric value of an input line: the decimal (or $hex) integer read up
// to the first character that does not fit, and the real number read
// likewise; 0 for text without leading digits.
void LineToNumbers(const std::string& line, int32_t& i, double& f) {
  std::string t = Trim(line);
  TextToNumbers(t, i, f);
  size_t p = 0;
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) ++p;
  if (p < t.size() && t[p] == '$') {
    f = i;
    return;
  }
  size_t start = p;
  auto digits = [&] {
    size_t n = 0;
    while (p < t.size() && t[p] >= '0' && t[p] <= '9') ++p, ++n;
    return n;
  };
  size_t n = digits();
  size_t end = p;
  if (p < t.size() && t[p] == '.') {
    ++p;
    n += digits();
    end = p;
  }
  if (n > 0 && p < t.size() && (t[p] == 'E' || t[p] == 'e')) {
    size_t q = p + 1;
    if (q < t.size() && (t[q] == '+' || t[q] == '-')) ++q;
    size_t save = p;
    p = q;
    if (digits() > 0) {
      end = p;
    } else {
      p = save;
    }
  }
  if (n == 0) {
    f = 0.0;
    return;
  }
  double v = 0.0;
  if (!ParseRealText(std::string_view(t).substr(start, end - start), v)) v = static_cast<double>(i);
  f = t[0] == '-' ? -v : v;
}

// A string literal for the evaluator that yields exactly s.
std::string QuotedLiteral(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') {
      q += "\\q";
    } else if (c == '\\') {
      q += "\\\\";
    } else {
      q.push_back(c);
    }
  }
  q.push_back('"');
  return q;
}

std::string NumberLiteral(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

bool AssignInputLine(const std::string& target, const std::string& line, TParStack& ps) {
  std::string name = NormalizeName(target);
  if (name.empty()) {
    RaiseError(212);
    return false;
  }
  const bool composite = name.back() == ']' || name.back() == '#' || IsMemberForm(name);
  if (composite) {
    // Arrays, memory areas and members take the line as an assignment would.
    char k = name.back();
    if (k == ']') {
      size_t b = name.find('[');
      k = b == std::string::npos || b == 0 ? '$' : name[b - 1];
    } else if (IsMemberForm(name)) {
      k = name.back();
    }
    std::string rhs;
    if (k == '%' || k == '&' || k == '!') {
      int32_t i = 0;
      double f = 0.0;
      LineToNumbers(line, i, f);
      rhs = k == '!' ? NumberLiteral(f) : ToDecimal(i);
    } else {
      rhs = QuotedLiteral(line);
    }
    std::string saved = gEval.text;
    size_t savedPos = gEval.pos;
    gEval.SetText(rhs);
    bool ok = AssignComposite(name, ps);
    gEval.text = saved;
    gEval.pos = savedPos;
    return ok;
  }
  if (StoreOfSuffix(name.back()) < 0) {
    RaiseError(215, name);
    return false;
  }
  gRes.Reset();
  gRes.StrValue = line;
  if (name.back() == '$') {
    gRes.ResultKind = kind::kString;
    TextToNumbers(line, gRes.IntValue, gRes.FloatValue);
  } else {
    LineToNumbers(line, gRes.IntValue, gRes.FloatValue);
    if (name.back() == '%' || name.back() == '&') gRes.FloatValue = gRes.IntValue;
    gRes.ResultKind = name.back() == '!' ? kind::kFloat : kind::kInt;
  }
  return Store(name);
}

// "#n," in front of the arguments: the channel, 0 when there is none, -1
// after a report.
int32_t ReadChannel(TParStack& ps) {
  size_t p = gEval.pos;
  while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
  if (p >= gEval.text.size() || gEval.text[p] != '#') return 0;
  gEval.pos = p + 1;
  int32_t n = EvalInt(ps, ',');
  if (gEval.failed) return -1;
  if (n < 1 || n > 99) {
    RaiseError(210);
    return -1;
  }
  return n;
}

// --- Commands ----------------------------------------------------------------------

void CmdPrint(TParStack& ps) {
  const int32_t channel = ReadChannel(ps);
  if (channel < 0) return;
  if (channel == 0 && Printing()) {
    RaiseError(221, "PRINT");
    return;
  }
  auto out = [channel](const std::string& text) {
    if (channel == 0) {
      ScreenWrite(text);
      return true;
    }
    return gChannelPrinter ? gChannelPrinter(channel, text) : true;
  };
  auto restEmpty = [] {
    size_t p = gEval.pos;
    while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
    return p >= gEval.text.size();
  };
  if (restEmpty()) {
    out("\n");
    return;
  }
  for (;;) {
    Evaluate(ps, 'p', 0);
    if (gEval.failed) return;
    std::string text = FormatPrintItem(gRes);
    const char sep = gEval.lastSep;
    const bool last = restEmpty();
    if (sep == ',') {
      text.push_back(' ');
    } else if (sep != ';') {
      text.push_back('\n');
    }
    if (!out(text)) return;
    if (last || (sep != ',' && sep != ';')) return;
  }
}

void CmdInput(TParStack& ps) {
  const int32_t channel = ReadChannel(ps);
  if (channel < 0) return;
  if (channel == 0 && Printing()) {
    RaiseError(221, "INPUT");
    return;
  }
  std::string target = Trim(gEval.Rest());
  gEval.pos = gEval.text.size();
  if (target.empty()) {
    RaiseError(212);
    return;
  }
  std::string line;
  if (channel == 0) {
    ScreenReadLine(line);
  } else if (gChannelReader) {
    if (!gChannelReader(channel, line)) return;
  }
  AssignInputLine(target, line, ps);
}

void CmdLocate(TParStack& ps) {
  int32_t row = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t column = EvalInt(ps, ' ');
  if (gEval.failed) return;
  EnsureTextScreen();
  ScreenLocate(row, column);
}

void CmdCls(TParStack& ps) {
  if (Printing()) {
    RaiseError(221, "CLS");
    return;
  }
  bool hasColour = false;
  uint32_t colour = 0;
  size_t p = gEval.pos;
  while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
  if (p < gEval.text.size()) {
    colour = static_cast<uint32_t>(EvalInt(ps, ' '));
    if (gEval.failed) return;
    hasColour = true;
  }
  EnsureTextScreen();
  ScreenClear(hasColour, colour);
}

void CmdBeep(TParStack&) {
  if (gDevice) gDevice->Beep();
}

void FnTab(TParStack& ps) {
  int32_t column = EvalInt(ps, ')');
  if (gEval.failed) return;
  EnsureTextScreen();
  ScreenTab(column);
  gRes.Reset();
  gRes.ResultKind = kind::kString;
}

}  // namespace

void SetTextScreenDevice(TextScreenDevice* device) { gDevice = device; }
TextScreenDevice* GetTextScreenDevice() { return gDevice; }
void SetChannelPrinter(ChannelPrinter fn) { gChannelPrinter = fn; }
void SetChannelLineReader(ChannelLineReader fn) { gChannelReader = fn; }
void SetPrintJobQuery(PrintJobQuery fn) { gPrintJob = fn; }
bool PrintJobActive() { return Printing(); }

void ResetTextScreen() {
  TTextScreen fresh;
  if (gScreen.created) {
    // The window survives a reset: keep its grid, start it afresh.
    fresh.capWidth = gScreen.capWidth;
    fresh.capHeight = gScreen.capHeight;
    fresh.chars.swap(gScreen.chars);
    fresh.attrs.swap(gScreen.attrs);
    fresh.fonts.swap(gScreen.fonts);
    fresh.created = true;
    fresh.cellWidth = gScreen.cellWidth;
    fresh.cellHeight = gScreen.cellHeight;
    fresh.baseline = gScreen.baseline;
    fresh.tallestFont = gScreen.tallestFont;
    fresh.hasFocus = gScreen.hasFocus;
    gScreen = std::move(fresh);
    std::fill(gScreen.chars.begin(), gScreen.chars.end(), ' ');
    std::fill(gScreen.attrs.begin(), gScreen.attrs.end(), kAttrInForce);
    std::fill(gScreen.fonts.begin(), gScreen.fonts.end(), kFontInForce);
    return;
  }
  gScreen = std::move(fresh);
  gMirrorSuppressed = false;
}

void CreateTextGrid(int32_t capacityColumns, int32_t capacityRows) {
  gScreen.capWidth = std::max(capacityColumns, 1);
  gScreen.capHeight = std::max(capacityRows, 1);
  const size_t cells = static_cast<size_t>(gScreen.capWidth) * static_cast<size_t>(gScreen.capHeight);
  gScreen.chars.assign(cells, ' ');
  gScreen.attrs.assign(cells, kAttrInForce);
  gScreen.fonts.assign(cells, kFontInForce);
  gScreen.created = true;
  // The logical size never exceeds the planes.
  SetTextGridSize(gScreen.width, gScreen.height);
  MeasureTextCells();
}

void DestroyTextGrid() {
  HideCaret();
  gScreen.chars.clear();
  gScreen.attrs.clear();
  gScreen.fonts.clear();
  gScreen.chars.shrink_to_fit();
  gScreen.attrs.shrink_to_fit();
  gScreen.fonts.shrink_to_fit();
  gScreen.col = gScreen.row = 0;
  gScreen.originCol = gScreen.originRow = 0;
  gScreen.ringOffset = 0;
  gScreen.created = false;
}

void MeasureTextCells() {
  if (!gDevice) return;
  int32_t width = 1, height = 1, baseline = 0, tallest = 0;
  bool any = false;
  for (size_t i = 0; i < gScreen.measuredFonts.size(); ++i) {
    TCellFontMetrics m;
    if (!gDevice->FontMetrics(gScreen.measuredFonts[i], m)) continue;
    any = true;
    width = std::max(width, m.fixedPitch && m.advance > 0 ? m.advance : m.maxCharWidth);
    if (m.height + m.externalLeading > height) {
      height = m.height + m.externalLeading - 2;
      tallest = static_cast<int32_t>(i) + 1;
    }
    baseline = std::max(baseline, m.ascent);
  }
  if (!any) return;
  gScreen.cellWidth = std::max(width, 1);
  gScreen.cellHeight = std::max(height, 1);
  gScreen.baseline = baseline;
  gScreen.tallestFont = tallest;
}

void SetTextGridSize(int32_t columns, int32_t rows) {
  columns = std::clamp(columns, 1, gScreen.capWidth);
  rows = std::clamp(rows, 1, gScreen.capHeight);
  if (columns == gScreen.width && rows == gScreen.height) return;
  gScreen.width = columns;
  gScreen.height = rows;
  if (gScreen.ringOffset >= rows) gScreen.ringOffset = 0;
  ClampCursor();
  gScreen.originCol = std::min(gScreen.originCol, columns - 1);
  gScreen.originRow = std::min(gScreen.originRow, rows - 1);
}

void TextScreenResized(int32_t clientWidth, int32_t clientHeight) {
  const int32_t visibleCols = clientWidth / std::max(gScreen.cellWidth, 1);
  const int32_t visibleRows = clientHeight / std::max(gScreen.cellHeight, 1);
  const int32_t maxCol = std::max(0, gScreen.width - visibleCols);
  const int32_t maxRow = std::max(0, gScreen.height - visibleRows);
  gScreen.originCol = std::clamp(gScreen.originCol, 0, maxCol);
  gScreen.originRow = std::clamp(gScreen.originRow, 0, maxRow);
}

void RedrawTextGrid() {
  if (!gScreen.created) return;
  for (int32_t r = 0; r < gScreen.height; ++r) DrawSegment(r, 0, gScreen.width);
}

void QueueKey(int code) {
  gScreen.lastKey = static_cast<uint8_t>(code == 0 ? 1 : code);
  gScreen.f1WhileWaiting = code == 5 && gScreen.waitInputActive;
  if (gScreen.keyCount < kKeyQueueSize) gScreen.keys[static_cast<size_t>(gScreen.keyCount++)] = static_cast<uint8_t>(code);
}

void TextScreenFocus(bool focused) {
  gScreen.hasFocus = focused;
  if (focused) {
    if (gScreen.waitingForKey) ShowCaret();
  } else {
    HideCaret();
  }
}

void ClearKeyQueue() { gScreen.keyCount = 0; }

void EnsureTextScreen() {
  if (gScreen.created) return;
  if (gDevice) gDevice->EnsureWindow();
  if (!gScreen.created) CreateTextGrid(gScreen.capWidth, gScreen.capHeight);
}

void ScreenWrite(const std::string& bytes) {
  EnsureTextScreen();
  const bool mirror = !gMirrorSuppressed && host().ConsoleMode();
  std::string out;
  DirtySpan span{gScreen.row, gScreen.col, gScreen.col};
  for (char ch : bytes) {
    const auto b = static_cast<uint8_t>(ch);
    if (mirror && b != 13) {
      MirrorCursorJump(out, b == 10 || b == 7);
      out.push_back(ch);
    }
    WriteByte(b, span);
    SyncMirror();
  }
  FlushSpan(span);
  if (gScreen.caretShown && gDevice) gDevice->MoveCaret(CaretX(), CaretY());
  if (!out.empty()) host().MirrorToStdout(out);
  host().PumpMessages();
}

void ScreenLocate(int32_t row, int32_t column) {
  EnsureTextScreen();
  // In 64 bits: the program may pass any integer, INT_MIN included.
  gScreen.col = static_cast<int32_t>(std::clamp<int64_t>(int64_t{column} - 1, 0, gScreen.width - 1));
  gScreen.row = static_cast<int32_t>(std::clamp<int64_t>(int64_t{row} - 1, 0, gScreen.height - 1));
  if (gScreen.caretShown && gDevice) gDevice->MoveCaret(CaretX(), CaretY());
}

void ScreenTab(int32_t column) {
  EnsureTextScreen();
  if (column >= gScreen.col + 1) {
    ScreenLocate(gScreen.row + 1, column);
  } else {
    ScreenLocate(gScreen.row + 2, column);
  }
}

void ScreenClear(bool hasColour, uint32_t colour) {
  EnsureTextScreen();
  for (int32_t r = 0; r < gScreen.height; ++r) BlankRow(r);
  gScreen.col = gScreen.row = 0;
  gScreen.originCol = gScreen.originRow = 0;
  if (host().ConsoleMode() && gScreen.mirrorCol > 0) host().MirrorToStdout("\n");
  SyncMirror();
  if (gDevice) gDevice->Clear(hasColour, colour);
}

int ScreenReadKey() {
  EnsureTextScreen();
  if (gScreen.keyCount == 0) {
    gScreen.waitingForKey = true;
    ShowCaret();
    while (gScreen.keyCount == 0) {
      host().PumpMessages();
      if (gScreen.keyCount > 0) break;
      if (!gDevice || !gDevice->WindowAlive()) break;
      gDevice->WaitForEvents();
    }
    gScreen.waitingForKey = false;
    HideCaret();
    if (gScreen.keyCount == 0) return -1;
  }
  const int code = gScreen.keys[0];
  std::copy(gScreen.keys.begin() + 1, gScreen.keys.begin() + gScreen.keyCount, gScreen.keys.begin());
  --gScreen.keyCount;
  return code;
}

bool ScreenReadLine(std::string& line) {
  line.clear();
  EnsureTextScreen();
  if (host().ConsoleMode()) {
    // Console mode reads standard input; the line is echoed into the grid
    // (the window), not again to standard output.
    bool ok = host().ReadConsoleLine(line);
    if (line.size() > static_cast<size_t>(kLineCapacity - 2)) line.resize(kLineCapacity - 2);
    gMirrorSuppressed = true;
    ScreenWrite(line + "\r\n");
    gMirrorSuppressed = false;
    return ok;
  }
  for (;;) {
    int key = ScreenReadKey();
    if (key < 0) return !line.empty();
    if (key == 8) {
      if (!line.empty()) {
        line.pop_back();
        ScreenWrite("\b");
      }
    } else if (key == 13) {
      ScreenWrite("\r\n");  // the cursor moves on to the next line
      return true;
    } else if (key == kEofSentinel && gScreen.endOfFile) {
      return !line.empty();
    } else if (key >= 32 && line.size() < static_cast<size_t>(kLineCapacity - 2)) {
      line.push_back(static_cast<char>(key));
      ScreenWrite(std::string(1, static_cast<char>(key)));
    }
  }
}

int32_t ScreenCursorColumn() { return gScreen.col + 1; }
int32_t ScreenCursorRow() { return gScreen.row + 1; }

char ScreenCell(int32_t row, int32_t column) {
  if (!gScreen.created || row < 0 || row >= gScreen.height || column < 0 || column >= gScreen.width) return ' ';
  return static_cast<char>(gScreen.chars[CellIndex(row, column)]);
}

std::string ScreenRowText(int32_t row) {
  std::string s;
  for (int32_t c = 0; c < gScreen.width; ++c) s.push_back(ScreenCell(row, c));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string FormatPrintItem(const TEvalResult& r) {
  switch (r.ResultKind) {
    case kind::kString: return RightAlign(r.StrValue, gSettings.StrWidth);
    case kind::kInt:
    case kind::kLong: return IntToText(r.IntValue);
    case kind::kFloat: return FloatToText(r.FloatValue);
    case kind::kNone: return std::string();
    default: return r.StrValue;
  }
}

void RegisterTextScreen() {
#define KORV_UNIT_screen 1
#include "base/bind_unit.h"
#undef KORV_UNIT_screen
}

}  // namespace korv
