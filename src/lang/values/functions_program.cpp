// The program's parameters and its own place: PAR$, %PARCOUNT, PTYPE$,
// $PROGDIR; MESSAGEBOX with %BUTTON; the fixed system variables %PROGEND,
// $TELMVER and &GETTICKCOUNT; %MCIERROR.
#include <filesystem>
#include <vector>

#include "core/line_store.h"
#include "base/host.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"

namespace korv {

TBuiltinState gBuiltins;
std::vector<std::string> gProgramArgs;

namespace {

using namespace fn;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAbsolutePath(const std::string& p) {
  return (!p.empty() && IsSeparator(p[0])) || (p.size() >= 2 && p[1] == ':');
}

// Drops "." segments and resolves ".." against the segment before it.
std::string NormalizePath(const std::string& p, char sep) {
  std::string prefix;
  size_t start = 0;
  if (p.size() >= 2 && p[1] == ':') {
    prefix = p.substr(0, 2);
    start = 2;
  }
  bool rooted = start < p.size() && IsSeparator(p[start]);
  std::vector<std::string> parts;
  std::string cur;
  for (size_t i = start; i <= p.size(); ++i) {
    if (i == p.size() || IsSeparator(p[i])) {
      if (cur == "..") {
        if (!parts.empty() && parts.back() != "..") parts.pop_back();
        else if (!rooted) parts.push_back(cur);
      } else if (!cur.empty() && cur != ".") {
        parts.push_back(cur);
      }
      cur.clear();
    } else {
      cur.push_back(p[i]);
    }
  }
  std::string r = prefix;
  if (rooted) r.push_back(sep);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) r.push_back(sep);
    r += parts[i];
  }
  return r;
}

int32_t ParameterCount() {
  return gProgramArgs.empty() ? 0 : static_cast<int32_t>(gProgramArgs.size() - 1);
}

void FnPar(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kString);
  if (n < 0 || n > ParameterCount()) return Fail(208, kind::kString);
  SetString(n == 0 ? ProgramFilePath() : gProgramArgs[static_cast<size_t>(n)]);
}

// PTYPE$(n): "$" string, "&" integer or long integer, "!" float, or the
// area kind letter of an area argument.
void FnPtype(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kString);
  if (n < 1 || n > ps.Count || n >= kParSlots) return Fail(285, kind::kString);
  char area = ps.AreaKind[static_cast<size_t>(n)];
  if (area == 'b' || area == 'o' || area == 's') return SetString(std::string(1, area));
  switch (ps.ValueKind[static_cast<size_t>(n)]) {
    case kind::kString: return SetString("$");
    case kind::kFloat: return SetString("!");
    default: return SetString("&");
  }
}

void FnMessageBox(TParStack& ps) {
  std::string text, caption;
  int32_t flags;
  if (!StrArg(ps, false, text) || !StrArg(ps, false, caption) || !IntArg(ps, true, flags))
    return SetEmpty(kind::kInt);
  int answer = host().ShowMessageBox(caption, text, static_cast<unsigned>(flags));
  gBuiltins.Button = answer;
  SetInt(answer);
}

void StringVar(TEvalResult& r, const std::string& s) {
  r.StrValue = s;
  TextToNumbers(s, r.IntValue, r.FloatValue);
  r.ResultKind = kind::kString;
}

void IntVar(TEvalResult& r, int32_t v, uint8_t k = kind::kInt) {
  r.IntValue = v;
  r.FloatValue = v;
  r.StrValue = IntToText(v);
  r.ResultKind = k;
}

void VarParCount(TEvalResult& r) { IntVar(r, ParameterCount()); }
void VarProgEnd(TEvalResult& r) { IntVar(r, -1); }
void VarTelmVer(TEvalResult& r) { StringVar(r, "1.0"); }
void VarButton(TEvalResult& r) { IntVar(r, gBuiltins.Button); }
void VarMciError(TEvalResult& r) { IntVar(r, gBuiltins.MciError); }
void VarTickCount(TEvalResult& r) { IntVar(r, static_cast<int32_t>(host().TickCount()), kind::kLong); }
void VarProgDir(TEvalResult& r) { StringVar(r, ProgramDirectory()); }
// Compiled programs ask whether they run on 32-bit Windows: they always do.
void VarWin32(TEvalResult& r) { IntVar(r, 1); }

}  // namespace

std::string ProgramFilePath() {
  if (gProgram.files.empty()) return std::string();
  const std::string& file = gProgram.files[0];
  const std::string& dir = gBuiltins.StartDirectory;
  char sep = dir.find('\\') != std::string::npos || file.find('\\') != std::string::npos ? '\\' : '/';
  if (IsAbsolutePath(file) || dir.empty()) return NormalizePath(file, sep);
  return NormalizePath(dir + sep + file, sep);
}

std::string ProgramDirectory() {
  std::string path = ProgramFilePath();
  size_t last = path.find_last_of("\\/");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

namespace {
DirectoryReader gDirectoryReader = nullptr;

std::string CurrentDirectory() {
  if (gDirectoryReader) return gDirectoryReader();
  try {
    return std::filesystem::current_path().string();
  } catch (...) {
    return std::string();
  }
}
}  // namespace

void SetCurrentDirectoryReader(DirectoryReader reader) { gDirectoryReader = reader; }

void ResetBuiltinState() {
  gBuiltins = TBuiltinState();
  gBuiltins.StartDirectory = CurrentDirectory();
}

void RegisterProgramFunctions() {
#define KORV_UNIT_program_info 1
#include "base/bind_unit.h"
#undef KORV_UNIT_program_info
}


}  // namespace korv
