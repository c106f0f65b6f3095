// Fuzz target: source loading over files held in memory. The input is a
// main file, an include file (INC.KRV) and a header file (HEAD.TXT),
// separated by zero bytes; the first byte repeats the main file up to 256
// times, so that long runs of continuation lines, includes and macros come
// within reach of small inputs (libFuzzer's -timeout then catches loading
// that is not linear). Each input is loaded with the interpreter's and with
// the compiler's rules; a load failure must end through the host with exit
// code 1, and a loaded program must be a consistent line store.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/line_store.h"
#include "core/preprocessor.h"
#include "base/text.h"
#include "base/console_host.h"
#include "base/errors.h"
#include "base/host.h"

namespace {

struct Files {
  std::string main, include, header;
};

Files g;

bool ReadInMemory(const std::string& name, std::string* content) {
  const std::string u = korv::Upper(name);
  const std::string* found = nullptr;
  if (u == "MAIN.KRV") found = &g.main;
  else if (u == "INC.KRV") found = &g.include;
  else if (u == "HEAD.TXT") found = &g.header;
  if (found == nullptr) return false;
  if (content != nullptr) *content = *found;
  return true;
}

void CheckStore() {
  const korv::Program& p = korv::gProgram;
  if (p.lines.size() != p.debug.size() || p.lines.empty()) std::abort();
  if (p.Length() > korv::kMaxSlots) std::abort();
  for (int32_t i = 1; i <= p.Length(); ++i) {
    const korv::Tdebuginfo& d = p.debug[static_cast<size_t>(i)];
    if (d.FileIndex < 0 || static_cast<size_t>(d.FileIndex) >= p.files.size()) std::abort();
    if (d.Line < 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static korv::ConsoleHost host;
  korv::SetHost(&host);
  if (size == 0 || size > 8192) return 0;
  const int repeat = 1 << (data[0] % 9);
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  size_t a = rest.find('\0');
  size_t b = a == std::string::npos ? std::string::npos : rest.find('\0', a + 1);
  std::string main = rest.substr(0, a);
  g.include = a == std::string::npos ? std::string() : rest.substr(a + 1, b == std::string::npos ? b : b - a - 1);
  g.header = b == std::string::npos ? std::string() : rest.substr(b + 1);
  g.main.clear();
  for (int i = 0; i < repeat; ++i) g.main += main;

  for (bool compiler : {false, true}) {
    korv::LoadOptions o;
    o.compiler = compiler;
    o.caption = compiler ? "Korvid Compiler 1.0" : "Korvid";
    o.symbols = {"WIN32", "VER10.0", compiler ? "COMPILER" : "INTERPRETER", "KORVID", "KORVID1.0"};
    o.readFile = ReadInMemory;
    korv::ResetErrorState();
    korv::gErr.Level = -2;  // reports of pass 1 and 2 (136, 138, 139) are recorded only
    host.boxes.clear();
    host.debugLines.clear();
    try {
      korv::LoadProgram("MAIN.KRV", o);
    } catch (const korv::ExitRequest& e) {
      // Load failures show one box and end with 1; a missing macro
      // definition ends the program the same way.
      if (e.code != korv::kExitLoadError || host.boxes.empty()) std::abort();
      continue;
    }
    CheckStore();
  }
  korv::gProgram.Clear();
  return 0;
}
