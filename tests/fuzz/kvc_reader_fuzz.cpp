// Fuzz target: the reader of compiled programs. Any byte string, read at an
// offset taken from its first two bytes, must be refused with one of the
// reader's messages or give an image within the format's limits. An image
// that reads is then run by the byte-code executor on the console host with
// a budget of pumps between statements (statements that reach the file
// system or wait are left out of the run); whatever the bytes, it must end,
// by its last statement, an error report or the budget, without a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/code_tables.h"
#include "core/kvc_format.h"
#include "engine/bytecode_executor.h"
#include "base/errors.h"
#include "apps/subsystems.h"
#include "fuzz_host.h"

// A smaller quarantine of freed blocks: programs free strings of up to
// 64 MB, and the process must stay well below libFuzzer's memory limit
// (-rss_limit_mb). (ASan's operator new never throws std::bad_alloc, so the
// executors' handling of a failed allocation is tested by the unit tests.)
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=64:detect_leaks=0"; }

namespace {

korv::fuzz::FuzzHost gHost;

constexpr const char* kLeftOut[] = {"ERASE",  "RMDIR",    "MKDIR",      "CHDIR",  "RENAME", "REWRITE",
                                    "APPEND", "OPENRW",   "ASSIGN",     "COPY",   "SETFATTR", "WRITEINI",
                                    "BLOCKWRITE", "PUTBYTE", "PUTWORD", "PUTLONG", "PUTCHAR", "LOGOUT",
                                    "SLEEP",  "WAITINPUT", "GETMESSAGE", "EXITWINDOWS", "SHELL", "RUN"};

bool Runnable(const korv::kvc::Image& image) {
  for (int32_t i = 1; i <= image.Length(); ++i) {
    std::string s = image.Fetch(i);
    if (s.empty()) continue;
    const char* name = korv::CommandName(static_cast<uint8_t>(s[0]));
    if (name == nullptr) continue;
    for (const char* w : kLeftOut)
      if (std::strcmp(name, w) == 0) return false;
    // SET("LOGFILE", ...) writes files too.
    if (s.find("LOGFILE") != std::string::npos || s.find("logfile") != std::string::npos) return false;
  }
  return true;
}

void RunImage(korv::kvc::Image image) {
  korv::LoadCompiledProgram(std::move(image), "fuzz.kvc");
  gHost.Start(200);
  try {
    korv::RunLoadedProgram();
  } catch (const korv::ExitRequest& e) {
    if (e.code != 0 && e.code != korv::kExitFatal) std::abort();
  } catch (const korv::fuzz::BudgetUsedUp&) {
    korv::RunShutdown();
  }
  korv::LeaveCompiledMode();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korv::SetHost(&gHost);
  korv::InstallNeutralSubsystems();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  uint64_t offset = size >= 2 ? (data[0] | (data[1] << 8)) % (size + 1) : 0;
  for (uint64_t at : {uint64_t{0}, offset}) {
    korv::kvc::Image image;
    korv::kvc::ReadResult r = korv::kvc::ReadProgram(bytes, at, image);
    if (r.status != korv::kvc::ReadStatus::Ok) {
      if (r.message == 0 || image.Length() != 0) std::abort();
      continue;
    }
    if (image.Length() > korv::kvc::kMaxStatements || image.dataPosition > size) std::abort();
    for (int32_t i = 1; i <= image.Length(); ++i) {
      std::string s = image.Fetch(i);
      if (s.size() > korv::kvc::kMaxBody) std::abort();
      // Only the last statement may be PROGEND.
      if (!s.empty() && static_cast<uint8_t>(s[0]) == 2 && i != image.Length()) std::abort();
    }
    if (Runnable(image)) RunImage(std::move(image));
  }
  return 0;
}
