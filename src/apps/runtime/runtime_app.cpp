#include "apps/runtime/runtime_app.h"

#include <fstream>
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
