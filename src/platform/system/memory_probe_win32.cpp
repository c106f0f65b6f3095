// The Windows memory probe: a range is readable (writable) when every page
// of it is committed with an access right that allows reading (writing) and
// is no guard page.
#include <windows.h>

#include "values/composite.h"

namespace korv {

namespace {

bool Allows(DWORD protect, bool write) {
  if (protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  const DWORD base = protect & 0xFF;
  if (write)
    return base == PAGE_READWRITE || base == PAGE_WRITECOPY || base == PAGE_EXECUTE_READWRITE ||
           base == PAGE_EXECUTE_WRITECOPY;
  return base == PAGE_READONLY || base == PAGE_READWRITE || base == PAGE_WRITECOPY ||
         base == PAGE_EXECUTE_READ || base == PAGE_EXECUTE_READWRITE || base == PAGE_EXECUTE_WRITECOPY;
}

bool Probe(const void* address, size_t length, bool write) {
  if (length == 0) return true;
  uintptr_t p = reinterpret_cast<uintptr_t>(address);
  const uintptr_t end = p + length;
  if (p == 0 || end < p) return false;
  while (p < end) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<LPCVOID>(p), &info, sizeof info) != sizeof info) return false;
    if (info.State != MEM_COMMIT || !Allows(info.Protect, write)) return false;
    uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (regionEnd <= p) return false;
    p = regionEnd;
  }
  return true;
}

bool ProbeRead(const void* address, size_t length) { return Probe(address, length, false); }
bool ProbeWrite(const void* address, size_t length) { return Probe(address, length, true); }

}  // namespace

void InstallWin32MemoryProbe() { SetMemoryProbes(ProbeRead, ProbeWrite); }

}  // namespace korv
