// Fuzz target: the statement compiler (and the name shortening of -V before
// it). The input is a program, one statement per line; the first byte
// chooses shortening. Compiling must end with a report or with statements
// within the format's limits that survive a write/read round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/kvc_format.h"
#include "core/line_store.h"
#include "core/name_shortening.h"
#include "core/statement_compiler.h"
#include "base/console_host.h"
#include "base/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static korv::ConsoleHost host;
  korv::SetHost(&host);
  if (size == 0 || size > 20000) return 0;
  const bool shorten = data[0] & 1;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  korv::gProgram.Clear();
  korv::gProgram.files.push_back("fuzz.krv");
  size_t start = 0;
  int32_t line = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    std::string s = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    korv::gProgram.lines.push_back(s);
    korv::Tdebuginfo d;
    d.Line = ++line;
    korv::gProgram.debug.push_back(d);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  korv::ResetErrorState();
  korv::gErr.Level = -2;  // reports are recorded only and return
  host.debugLines.clear();
  host.boxes.clear();
  if (shorten && !korv::ShortenNames()) return 0;
  std::vector<std::string> bodies;
  if (!korv::CompileProgram(bodies)) {
    if (korv::gErr.Code == 0) std::abort();  // a failed compile always reports
    return 0;
  }
  for (const std::string& b : bodies)
    if (b.empty() || b.size() > korv::kvc::kMaxBody) std::abort();
  for (bool protect : {false, true}) {
    std::string file = korv::kvc::EncodeProgram(bodies, protect, [](uint32_t bound) { return 7u % bound; });
    korv::kvc::Image image;
    if (korv::kvc::ReadProgram(file, 0, image).status != korv::kvc::ReadStatus::Ok) std::abort();
    if (image.Length() != static_cast<int32_t>(bodies.size())) std::abort();
    for (int32_t i = 1; i <= image.Length(); ++i) {
      std::string got = image.Fetch(i);
      const std::string& want = bodies[static_cast<size_t>(i - 1)];
      // The reader drops a leading 0x15 byte; a compiled statement never
      // starts with one.
      if (got != want) std::abort();
    }
  }
  return 0;
}
