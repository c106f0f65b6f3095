#include "graphics/printing.h"

#include "base/errors.h"
#include "base/names.h"
#include "base/text.h"
#include "graphics/drawing.h"
#include "graphics/painting.h"
#include "graphics/text_screen.h"
#include "gui/window.h"
#include "values/evaluator.h"

namespace korv {

namespace {

PrintDevice* gDevice = nullptr;
bool gPrinting = false;

constexpr int32_t kStartPrintMissing = 120;
constexpr int32_t kRefusedWhilePrinting = 221;
constexpr int32_t kCannotPrint = 235;
constexpr int32_t kHardCopyFailed = 236;
constexpr int32_t kRefusedWhilePainting = 249;
const char kDefaultDocument[] = "DruckSeite";

// Reports what a hard copy gave back: 236 is a warning, the rest errors.
void ReportCopy(int32_t result) {
  if (result == kHardCopyFailed) {
    RaiseWarning(result);
  } else if (result) {
    RaiseError(result);
  }
}

bool RestBlank() {
  size_t p = gEval.pos;
  while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
  return p >= gEval.text.size();
}

void CmdStartPrint(TParStack& ps) {
  std::string title = kDefaultDocument;
  if (!RestBlank()) {
    title = EvalString(ps, ' ');
    if (gEval.failed) return;
  }
  if (PaintRedirected()) return RaiseError(kRefusedWhilePainting, "STARTPRINT");
  // A second job would lose the first one's printer context.
  if (gPrinting) return RaiseError(kRefusedWhilePrinting, "STARTPRINT");
  const bool byDialog = !title.empty() && title[0] == '*';
  if (byDialog) title.erase(0, 1);
  if (title.size() > kMaxDocumentName) title.resize(kMaxDocumentName);
  if (WindowPlatform* w = GetWindowPlatform()) w->EnsureMainWindow();
  if (!gDevice) return RaiseError(kCannotPrint);
  // Objects made for the printer context are made at printer size.
  gDrawing.scale = kPrintFactor;
  const JobStart started = gDevice->StartJob(title, byDialog);
  if (started == JobStart::Started) {
    gPrinting = true;
    return;
  }
  gDrawing.scale = 1;
  if (started != JobStart::Cancelled) RaiseError(kCannotPrint);
}

void CmdNextPage(TParStack&) {
  if (!gPrinting) return RaiseError(kStartPrintMissing);
  if (gDevice) gDevice->NextPage();
}

void CmdEndPrint(TParStack&) {
  if (!gPrinting) return RaiseError(kStartPrintMissing);
  EndOpenPrintJob();
}

void CmdScreenCopy(TParStack& ps) {
  TPrintRect rect;
  if (!RestBlank()) {
    int32_t* out[4] = {&rect.left, &rect.top, &rect.right, &rect.bottom};
    const char seps[] = ",-, ";
    for (int i = 0; i < 4; ++i) {
      *out[i] = EvalInt(ps, seps[i]);
      if (gEval.failed) return;
    }
    rect.whole = false;
  }
  if (gPrinting) return RaiseError(kRefusedWhilePrinting, "SCREENCOPY");
  if (WindowPlatform* w = GetWindowPlatform()) w->EnsureMainWindow();
  if (!gDevice) return RaiseError(kCannotPrint);
  ReportCopy(gDevice->ScreenCopy(rect));
}

void CmdWinCopy(TParStack& ps) {
  const int32_t handle = EvalInt(ps, ' ');
  if (gEval.failed) return;
  if (gPrinting) return RaiseError(kRefusedWhilePrinting, "WINCOPY");
  if (!gDevice) return RaiseError(kCannotPrint);
  ReportCopy(gDevice->WindowCopy(static_cast<uint32_t>(handle)));
}

void SvPrinting(TEvalResult& r) {
  const int32_t v = gPrinting ? 1 : 0;
  r.IntValue = v;
  r.FloatValue = v;
  r.StrValue = IntToText(v);
  r.ResultKind = kind::kInt;
}

}  // namespace

void SetPrintDevice(PrintDevice* device) { gDevice = device; }
PrintDevice* GetPrintDevice() { return gDevice; }
bool PrintJobOpen() { return gPrinting; }

void EndOpenPrintJob() {
  if (!gPrinting) return;
  gPrinting = false;
  // Objects made again for the window are screen-sized.
  gDrawing.scale = 1;
  if (gDevice) gDevice->EndJob();
}

void ResetPrinting() {
  EndOpenPrintJob();
  gDrawing.scale = 1;
}

void RegisterPrintingCommands() {
  SetPrintJobQuery(PrintJobOpen);
#define KORV_UNIT_printing 1
#include "base/bind_unit.h"
#undef KORV_UNIT_printing
}

}  // namespace korv
