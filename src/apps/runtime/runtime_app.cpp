#include "apps/runtime/runtime_app.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <new>
#include <sstream>

#include "core/kvc_format.h"
#include "base/text.h"
#include "engine/bytecode_executor.h"
#include "base/errors.h"
#include "base/host.h"
#include "values/functions_registry.h"
#include "gui/window.h"

namespace korv {

namespace {

const char* const kCaption = "Korvid";
const char* const kWindowCaption = "Korvid Runtime 1.0";

bool ReadPrefix(const std::string& file, size_t n, std::string& out) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  out.assign(n, '\0');
  in.read(out.data(), static_cast<std::streamsize>(n));
  out.resize(static_cast<size_t>(in.gcount()));
  return true;
}

bool ReadWhole(const std::string& file, std::string& out) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

std::map<int32_t, std::string> gSourcePositions;  // statement -> "file (line)"

[[noreturn]] void Fail(const std::string& caption, const std::string& text, int code) {
  host().ShowMessageBox(caption, text, mb::kOk | mb::kIconError);
  ExitWith(code);
}

}  // namespace

bool HasDot(const std::string& name) {
  size_t sep = name.find_last_of("\\/");
  return name.find('.', sep == std::string::npos ? 0 : sep + 1) != std::string::npos;
}

uint32_t LinkedProgramOffset(const std::string& file) {
  std::string head;
  if (!ReadPrefix(file, 132, head) || head.size() < 132) return 0;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(head[128 + static_cast<size_t>(i)]);
  return v;
}

bool FindProgram(const std::vector<std::string>& args, const std::string& ownFile,
                 const ChooseProgramFn& choose, ProgramLocation& where) {
  where = ProgramLocation();
  if (!args.empty()) {
    std::string head;
    if (ReadPrefix(args[0], 11, head) && head == " QTV-TELMAR") {
      where.file = args[0];
      return true;
    }
  }
  if (uint32_t offset = LinkedProgramOffset(ownFile); offset != 0) {
    where.file = ownFile;
    where.offset = offset;
    where.linked = true;
    return true;
  }
  if (args.empty()) {
    std::string chosen;
    if (!choose || !choose(chosen)) return false;
    where.file = Trim(chosen);
    return true;
  }
  where.file = args[0];
  if (!HasDot(where.file)) where.file += ".KVC";
  return true;
}

std::string MapFileName(const std::string& programFile) {
  size_t sep = programFile.find_last_of("\\/");
  size_t dot = programFile.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return programFile + ".mapdatei";
  return programFile.substr(0, dot + 1) + "mapdatei";
}

bool LoadSourceMap(const std::string& mapFile) {
  gSourcePositions.clear();
  std::string text;
  if (!ReadWhole(mapFile, text)) return false;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "12=main.krv (    10)"
    size_t eq = line.find('=');
    size_t open = line.rfind(" (");
    if (eq == std::string::npos || eq == 0 || open == std::string::npos || open < eq || line.back() != ')')
      continue;
    const std::string slot = line.substr(0, eq);
    if (slot.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string number = Trim(line.substr(open + 2, line.size() - open - 3));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) continue;
    gSourcePositions[std::atoi(slot.c_str())] =
        line.substr(eq + 1, open - eq - 1) + " (" + number + ")";
  }
  return !gSourcePositions.empty();
}

std::string SourcePositionNote(const std::string& debugLine) {
  size_t start;
  if (StartsWith(debugLine, "ERROR:\t")) {
    start = 7;
  } else if (StartsWith(debugLine, "WARN:\t")) {
    start = 6;
  } else {
    return std::string();
  }
  size_t tab = debugLine.find('\t', start);
  if (tab == std::string::npos || tab == start || tab - start > 9) return std::string();
  const std::string slot = debugLine.substr(start, tab - start);
  if (slot.find_first_not_of("0123456789") != std::string::npos) return std::string();
  auto it = gSourcePositions.find(std::atoi(slot.c_str()));
  return it == gSourcePositions.end() ? std::string() : " [" + it->second + "]";
}

int RunRuntime(const std::vector<std::string>& args, const std::string& ownFile,
               const ChooseProgramFn& choose) {
  ProgramLocation where;
  if (!FindProgram(args, ownFile, choose, where)) Fail(kCaption, ErrorText(803), kExitCancelled);

  std::string data;
  bool readable = false;
  try {
    readable = ReadWhole(where.file, data);
  } catch (const std::bad_alloc&) {
    Fail(kCaption, ErrorText(906), kExitLoadError);
  }
  if (!readable) Fail(kCaption, ErrorText(209) + where.file, kExitCancelled);
  if (host().ConsoleMode()) LoadSourceMap(MapFileName(where.file));

  // The program's arguments: its file, then what follows it on the command
  // line (everything, for a program appended to the runtime).
  std::vector<std::string> programArgs{where.file};
  for (size_t i = where.linked ? 0 : 1; i < args.size(); ++i) programArgs.push_back(args[i]);
  gProgramArgs = programArgs;

  kvc::Image image;
  kvc::ReadResult r = kvc::ReadProgram(data, where.offset, image);
  data.clear();
  data.shrink_to_fit();
  if (r.status != kvc::ReadStatus::Ok) Fail(r.caption, ErrorText(r.message), kExitLoadError);

  SetDefaultWindowTitle(kWindowCaption);
  LoadCompiledProgram(std::move(image), where.file);
  RunLoadedProgram();
  return 0;
}

}  // namespace korv
