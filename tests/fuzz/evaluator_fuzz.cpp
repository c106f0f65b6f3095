// Fuzz target: expressions, above all chains of string operators, under
// libFuzzer's memory limit. Each input is evaluated as one statement's
// argument (with the executors' handling of a failed allocation around it)
// with variables holding short and long strings; no string may grow beyond
// kMaxStringLength, so the limit is never reached. After each evaluation
// nothing is left pending and a failed evaluation leaves an empty result.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#include "base/console_host.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/stores.h"

// A smaller quarantine of freed blocks: programs free strings of up to
// 64 MB, and the process must stay well below libFuzzer's memory limit
// (-rss_limit_mb). (ASan's operator new never throws std::bad_alloc, so the
// executors' handling of a failed allocation is tested by the unit tests.)
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=64:detect_leaks=0"; }

namespace {

void SetString(const char* name, std::string value) {
  korv::Declare(name);
  korv::gStores.strs[static_cast<size_t>(korv::Find(name))].Value = std::move(value);
}

void Setup() {
  korv::ResetErrorState();
  korv::gErr.Level = -2;
  korv::ResetEvaluator();
  korv::ResetStores();
  SetString("A$", "ab");
  SetString("B$", std::string(size_t{1} << 12, 'x'));  // 4 KB
  SetString("C$", "");
  korv::Declare("N%");
  korv::gStores.ints[static_cast<size_t>(korv::Find("N%"))].Value = 1 << 20;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static korv::ConsoleHost host;
  static bool registered = false;
  korv::SetHost(&host);
  if (!registered) {
    korv::RegisterBuiltinFunctions();
    registered = true;
  }
  if (size > 4096) return 0;
  Setup();
  korv::gEval.SetText(std::string(reinterpret_cast<const char*>(data), size));
  korv::TParStack ps;
  const korv::StatementMark mark = korv::MarkStatement();
  bool abandoned = false;
  try {
    korv::Evaluate(ps, ' ', 0);
  } catch (const std::bad_alloc&) {
    abandoned = true;
  } catch (const std::length_error&) {
    abandoned = true;
  }
  if (abandoned) {
    korv::ReportExhaustedMemory(mark);
    if (korv::gErr.Code == 0) std::abort();
  }
  if (korv::gRes.StrValue.size() > korv::kMaxStringLength) std::abort();
  if ((abandoned || korv::gEval.failed) && !korv::gRes.StrValue.empty()) std::abort();
  if (korv::PendingOperations() != 0) std::abort();
  korv::gRes.Reset();
  korv::gEval.SetText(std::string());
  return 0;
}
