// The error routine: recording, debugger line, log lines, TELMAR.LOG, the
// boxes, and the end of the program on a fatal report.
#include "base/errors.h"

#include <cstdio>

#include "base/text.h"
#include "base/host.h"

namespace korv {

TErrorState gErr;
TPosition gPos;

namespace {

ErrorProcStarter gErrorProcStarter = nullptr;
bool gInFatalDisplay = false;

const char* const kTelmarLog = "TELMAR.LOG";
const char* const kDebugSection = "DEBUG";

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

// The position part of a debugger line: "file (line) " or "line\t".
std::string DebugPosition() {
  if (gErr.CompiledPositions) return ToDecimal(gPos.CompiledLine) + "\t";
  return gPos.File + " (" + ToDecimal(gPos.SourceLine) + ") ";
}

std::string MessageFor(int32_t code, const std::string& detail) {
  // Code 0 has no table text of its own: the report is the detail alone.
  if (code == 0) return detail;
  return ErrorText(code) + detail;
}

void Record(int32_t code, const std::string& detail) {
  if (gErr.Code != 0) return;  // the first report stays pending
  gErr.Detail = detail;
  gErr.Line = gErr.CompiledPositions ? gPos.CompiledLine : gPos.SourceLine;
  gErr.FileName = gErr.CompiledPositions ? std::string() : gPos.File;
  gErr.Code = code;
}

void SendDebugLine(const std::string& line) {
  host().DebugOutput(line);
  AppendToLogFile(LogStamp() + " - " + line);
}

[[noreturn]] void FatalDisplay(const std::string& text) {
  if (gInFatalDisplay) ExitWith(kExitFatal);  // re-entered during shutdown
  host().ShowCursorForBox();
  gErr.ReportKind = 2;
  std::string line = "ERROR:\t" + DebugPosition() + ToDecimal(gErr.Code) + ":" + text;
  SendDebugLine(line);
  gInFatalDisplay = true;
  if (!gErr.CompiledPositions)
    WriteTelmarLog("ERROR", gPos.SourceLine, gPos.File, gErr.Code, text);
  host().ShowMessageBox(text, LocationText(), mb::kOk | mb::kIconError);
  FatalExit();
}

}  // namespace


void ResetErrorState() {
  bool compiled = gErr.CompiledPositions;
  gErr = TErrorState();
  gErr.CompiledPositions = compiled;
  gInFatalDisplay = false;
}

std::string InterpreterLocation(int32_t line, const std::string& file, const std::string& statement) {
  return ErrorText(801) + " " + ToDecimal(line) + " in " + file + ": \r\n" + statement;
}

std::string LocationText() {
  switch (gPos.LocationForm) {
    case TPosition::Form::Interpreter:
      return InterpreterLocation(gPos.SourceLine, gPos.File, gPos.Statement ? *gPos.Statement : std::string());
    case TPosition::Form::Compiled: return CompiledLocation(gPos.CompiledLine);
    case TPosition::Form::Text: break;
  }
  return gPos.Location;
}

std::string CompiledLocation(int32_t line) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%6ld!", static_cast<long>(line));
  return ErrorText(801) + buf;
}

void RaiseError(int32_t code, const std::string& detail) {
  Record(code, detail);
  if (gErr.Level <= -2) return;
  std::string text = MessageFor(code, detail);
  if (gErr.Level == -1) {
    gErr.ReportKind = 2;
    SendDebugLine("ERROR:\t" + DebugPosition() + ToDecimal(gErr.Code) + ":" + text);
    return;
  }
  FatalDisplay(text);
}

void RaiseWarning(int32_t code, const std::string& detail) {
  Record(code, detail);
  if (gErr.Level <= -2) return;
  std::string text = MessageFor(code, detail);
  gErr.ReportKind = 1;
  if (gErr.Level == 2) FatalDisplay(text);
  std::string sep = gErr.CompiledPositions ? "\t" : ":";
  SendDebugLine("WARN:\t" + DebugPosition() + ToDecimal(gErr.Code) + sep + text);
  if (gErr.Level != 1) return;
  if (!gErr.CompiledPositions)
    WriteTelmarLog("WARNING", gPos.SourceLine, gPos.File, gErr.Code, text);
  int answer = host().ShowMessageBox(text, LocationText(), mb::kOkCancel | mb::kIconWarning);
  if (answer == id::kCancel) RaiseError(999);
  host().RedrawMainWindow();
  gErr.Code = 0;
}

void SetErrorProcStarter(ErrorProcStarter fn) { gErrorProcStarter = fn; }

void CheckErrorProc() {
  if (ErrorProcDue() && gErrorProcStarter) gErrorProcStarter();
}

void WriteTelmarLog(const char* type, int32_t line, const std::string& file, int32_t errNo,
                    const std::string& text) {
  Host& h = host();
  std::string typeText = type;
  bool report = typeText == "ERROR" || typeText == "WARNING";
  h.WriteProfileText(kTelmarLog, kDebugSection, "TYPE", typeText);
  if (report) h.WriteProfileText(kTelmarLog, kDebugSection, "LINE", ToDecimal(line));
  h.WriteProfileText(kTelmarLog, kDebugSection, "FILE", file);
  h.WriteProfileText(kTelmarLog, kDebugSection, "ERRNO", ToDecimal(report ? errNo : 0));
  h.WriteProfileText(kTelmarLog, kDebugSection, "TEXT", text);
  if (!report) h.WriteProfileText(kTelmarLog, kDebugSection, "LINE", ToDecimal(line));
}

void AppendToLogFile(const std::string& line) {
  if (gErr.LogFileName.empty()) return;
  host().AppendLine(gErr.LogFileName, line);  // a failed write is ignored
}

std::string SetLogFile(const std::string& name) {
  std::string old = gErr.LogFileName;
  gErr.LogFileName = name;
  if (!name.empty()) {
    const std::string dashes(53, '-');
    Host& h = host();
    h.AppendLine(name, " ");
    h.AppendLine(name, dashes);
    h.AppendLine(name, LongDateTime());
    h.AppendLine(name, dashes);
  }
  return old;
}

std::string LogStamp() {
  LocalTime t = host().Now();
  return TwoDigits(t.day) + "." + TwoDigits(t.month) + "." + ToDecimal(t.year) + " - " +
         TwoDigits(t.hour) + ":" + TwoDigits(t.minute);
}

std::string LongDateTime() {
  static const char* const kDays[] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                      "Donnerstag", "Freitag", "Samstag"};
  static const char* const kMonths[] = {"Januar", "Februar", "März",      "April",
                                        "Mai",    "Juni",    "Juli",      "August",
                                        "September", "Oktober", "November", "Dezember"};
  LocalTime t = host().Now();
  int wd = (t.weekday >= 0 && t.weekday < 7) ? t.weekday : 0;
  int mo = (t.month >= 1 && t.month <= 12) ? t.month - 1 : 0;
  return std::string(kDays[wd]) + ", der " + ToDecimal(t.day) + ". " + kMonths[mo] + " " +
         ToDecimal(t.year) + " - " + TwoDigits(t.hour) + ":" + TwoDigits(t.minute);
}

void FatalExit() {
  gInFatalDisplay = true;
  RunShutdown();
  ExitWith(kExitFatal);
}

}  // namespace korv
