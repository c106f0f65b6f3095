// Calls of functions in dynamic-link libraries: EXTERNAL, USEDLL, FREEDLL.
// Argument reading, the bounded argument block, result forming and the
// bookkeeping of kept libraries are platform-neutral; loading, look-up,
// unloading and the call itself go through the DllPlatform seam, which the
// Windows programs fill with the real thing and tests with a fake.
#pragma once
#include <cstdint>
#include <string>

namespace korv {

// At most this many arguments are passed to a library function.
constexpr int kMaxDllArgs = 15;

class DllPlatform {
 public:
  virtual ~DllPlatform() = default;
  // Loads a library; 0 when it cannot be loaded.
  virtual std::uintptr_t Load(const std::string& name) = 0;
  // Address of an exported function; 0 when the library has none of that name.
  virtual std::uintptr_t Lookup(std::uintptr_t library, const std::string& name) = 0;
  // Gives one load of a library back.
  virtual void Free(std::uintptr_t library) = 0;
  // Calls the function with count (0..15) 32-bit arguments, first argument
  // first in the parameter list. Returns false when the callee faulted; the
  // program's state is intact either way.
  virtual bool Call(std::uintptr_t function, const std::uint32_t* args, int count,
                    std::uint32_t& result) = 0;
};

// The seam in use (a platform that loads nothing until one is installed).
DllPlatform& dllPlatform();
void SetDllPlatform(DllPlatform* platform);

// Installs the Windows implementation (Windows programs only).
void InstallWin32DllPlatform();

// Registers EXTERNAL, USEDLL and FREEDLL.
void RegisterDllFunctions();
// Per-run reset: no remembered handle, no kept libraries.
void ResetDllCalls();

// The library handle USEDLL remembered last (0 when none).
std::uintptr_t RememberedDllHandle();
// Loads made by USEDLL that FREEDLL has not given back yet.
int KeptDllLoads();

// Extra zeroed bytes behind the private copy of a quoted argument, so that a
// callee writing a little past the text writes into our own buffer.
constexpr std::size_t kLiteralSlack = 1024;

}  // namespace korv
