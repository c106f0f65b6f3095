// Print jobs (STARTPRINT, NEXTPAGE, ENDPRINT, %PRINTING) and the hard
// copies of the program window and of any window (SCREENCOPY, WINCOPY).
//
// While a job is open both members of the pair of contexts are the printer
// context and the drawing commands multiply coordinates and sizes by the
// print factor. The printer itself sits behind the PrintDevice seam.
#pragma once
#include <cstdint>
#include <string>

namespace korv {

// Coordinates and sizes are multiplied by this while a job is open.
constexpr int32_t kPrintFactor = 10;
// Document names are cut to this many characters.
constexpr size_t kMaxDocumentName = 32;

enum class JobStart { Started, NoPrinter, Cancelled, DocumentRefused };

struct TPrintRect {
  bool whole = true;  // the whole client area
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class PrintDevice {
 public:
  virtual ~PrintDevice() = default;
  // Printer from the profile ("device" of "windows") or, with byDialog, from
  // the print setup dialog; StartDoc, StartPage, page mapping, and the pair
  // of contexts becomes the printer context. On any failure nothing stays
  // open.
  virtual JobStart StartJob(const std::string& document, bool byDialog) = 0;
  virtual void NextPage() = 0;
  // Ends page and document, deletes the printer context, and the window and
  // back buffer are the pair again.
  virtual void EndJob() = 0;
  // One-page jobs. 0 when printed, else the error (235) or warning (236).
  virtual int32_t ScreenCopy(const TPrintRect& rect) = 0;
  // 242 when the handle has no window context.
  virtual int32_t WindowCopy(uint32_t handle) = 0;
};

void SetPrintDevice(PrintDevice* device);
PrintDevice* GetPrintDevice();

bool PrintJobOpen();
// Ends an open job (page and document); used when the program ends.
void EndOpenPrintJob();

void ResetPrinting();
void RegisterPrintingCommands();

}  // namespace korv
