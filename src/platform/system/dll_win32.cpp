// Library loading and the call of a library function on 32-bit Windows.
//
// The call goes through a routine of our own (korv_call_thunk below) that
// does not trust the callee with the stack or the processor state:
//   - the arguments lie at the bottom of a zeroed area of 64 slots, so a
//     callee that expects more parameters than it was given reads zeros and
//     one that writes or pops past its parameters stays inside the area;
//   - after the callee returns, ESP is rebuilt from EBP, so stdcall and cdecl
//     callees, and callees declared with another parameter count, all leave
//     the stack as it was;
//   - the direction flag is cleared, the x87 unit re-initialised with the
//     saved control word (dropping whatever a float-returning callee left in
//     its registers) and, where the processor has SSE, MXCSR restored;
//   - an exception handler is registered for the time of the call: a callee
//     that faults (bad pointer passed by the program, ...) comes back to the
//     routine's own epilogue instead of ending the process.
#include <windows.h>

#include <cstdint>

#include "base/win32_host.h"
#include "engine/dll_calls.h"

#if !defined(__i386__)
#error "the library call routine is written for i686"
#endif

extern "C" {
// fn, args, count (0..15), sse (non-zero: save/restore MXCSR), faulted (set
// to 1 when the callee faulted). Returns EAX of the callee.
std::uint32_t KorvCallThunk(std::uintptr_t fn, const std::uint32_t* args, int count, int sse,
                            int* faulted) __asm__("korv_call_thunk");
int KorvCallFaultHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                         void* dispatcher) __asm__("korv_call_fault_handler");
extern char KorvCallRecover[] __asm__("korv_call_recover");
}

// Frame of korv_call_thunk, relative to its EBP:
//    8 fn   12 args   16 count   20 sse   24 faulted
//   -4 EBX  -8 ESI  -12 EDI  -16 x87 control word  -20 MXCSR
//  -32 exception registration: -32 previous record, -28 handler
// Below it the argument area, 64 slots, 16-byte aligned.
asm(R"(
    .text
    .p2align 4
    .globl korv_call_thunk
korv_call_thunk:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $20, %esp
    fnstcw -16(%ebp)
    movl 20(%ebp), %eax
    testl %eax, %eax
    jz 1f
    stmxcsr -20(%ebp)
1:
    movl %fs:0, %eax
    movl %eax, -32(%ebp)
    movl $korv_call_fault_handler, -28(%ebp)
    leal -32(%ebp), %eax
    movl %eax, %fs:0
    subl $256, %esp
    andl $-16, %esp
    cld
    movl %esp, %edi
    xorl %eax, %eax
    movl $64, %ecx
    rep stosl
    movl %esp, %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    rep movsl
    movl 8(%ebp), %eax
    call *%eax
korv_call_epilogue:
    cld
    leal -32(%ebp), %esp
    movl -32(%ebp), %ecx
    movl %ecx, %fs:0
    fninit
    fldcw -16(%ebp)
    movl 20(%ebp), %ecx
    testl %ecx, %ecx
    jz 2f
    ldmxcsr -20(%ebp)
2:
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .globl korv_call_recover
korv_call_recover:
    movl 24(%ebp), %ecx
    movl $1, (%ecx)
    xorl %eax, %eax
    jmp korv_call_epilogue
)");

// Called by the system for an exception raised below korv_call_thunk that no
// handler of the callee took: resumes at korv_call_recover with the thunk's
// frame. Unwinding passes and informational exceptions are left alone.
// (Only the routine above names it: kept for the link across files.)
__attribute__((used)) int KorvCallFaultHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context, void*) {
  constexpr DWORD kUnwinding = 0x2 | 0x4;  // unwinding, exit unwind
  if (record->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
  if ((record->ExceptionCode & 0x80000000u) == 0) return ExceptionContinueSearch;
  const auto registration = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(frame));
  context->Ebp = registration + 32;
  context->Esp = registration;
  context->Eip = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(KorvCallRecover));
  context->EFlags &= ~0x400u;  // direction flag
  return ExceptionContinueExecution;
}

namespace korv {

namespace {

class Win32DllPlatform : public DllPlatform {
 public:
  Win32DllPlatform() : sse_(IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) ? 1 : 0) {}

  std::uintptr_t Load(const std::string& name) override {
    // A missing dependency must fail the load, not stop an unattended run
    // with a system dialog.
    // A DLL may make common controls, which the program could make from
    // its start on.
    EnsureCommonControls();
    const UINT flags = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
    const UINT old = SetErrorMode(flags);
    SetErrorMode(old | flags);
    HMODULE h = LoadLibraryA(name.c_str());
    SetErrorMode(old);
    return reinterpret_cast<std::uintptr_t>(h);
  }

  std::uintptr_t Lookup(std::uintptr_t library, const std::string& name) override {
    if (name.empty()) return 0;
    FARPROC p = GetProcAddress(reinterpret_cast<HMODULE>(library), name.c_str());
    return reinterpret_cast<std::uintptr_t>(p);
  }

  void Free(std::uintptr_t library) override { FreeLibrary(reinterpret_cast<HMODULE>(library)); }

  bool Call(std::uintptr_t function, const std::uint32_t* args, int count,
            std::uint32_t& result) override {
    if (count < 0 || count > kMaxDllArgs) return false;
    int faulted = 0;
    result = KorvCallThunk(function, args, count, sse_, &faulted);
    if (faulted) result = 0;
    return faulted == 0;
  }

 private:
  int sse_;
};

}  // namespace

void InstallWin32DllPlatform() {
  static Win32DllPlatform platform;
  SetDllPlatform(&platform);
}

}  // namespace korv
