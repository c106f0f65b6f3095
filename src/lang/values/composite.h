// Operands, declarations and assignment targets of arrays, memory areas,
// structures and objects. The evaluator, DECLARE, VAR and the assignment
// route every such form through these functions. Each returns false after
// an error report (the caller then ends its operation with an empty result).
//
// The parts live in arrays*.cpp (element pools, array declarations and
// elements), areas*.cpp (memory blocks, DIM, DISPOSE, the byte statements
// and functions) and structures*.cpp (STRUCT, CLASS, members, NEW, WITH,
// methods and constructors).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "values/stores.h"
#include "values/value.h"

namespace korv {

// True for an operand or target that addresses a member through an area or
// object: it begins with "." or contains "#." , "#[" or "].".
bool IsMemberForm(const std::string& upperName);

// "A%[2,3]" (an element) or "A%[]" (the whole array: IntValue is the array's
// store index, kind 20) into gRes.
bool ReadArrayOperand(const std::string& upperOperand, int expectedKind, TParStack& ps);

// A member read (".X%", "A#.X%", "A#[2].B#") into gRes.
bool ReadMemberOperand(const std::string& upperOperand, int expectedKind, TParStack& ps);

// A call whose name has a member chain ("A#.METHOD"); the evaluator has set
// the remaining text to the arguments.
bool CallMemberFunction(const std::string& upperName, TParStack& ps);

// DECLARE of a name with a bounds part ("A%[10,5]").
bool DeclareArray(const std::string& upperDeclaration, TParStack& ps);

// Assignment to an array element, a member or a memory area; the remaining
// text of the evaluator holds the right side.
bool AssignComposite(const std::string& upperTarget, TParStack& ps);

// VAR name# = NEW(...): gRes holds the NEW result (AreaKind 'n', IntValue
// the structure index); fills the area entry with a fresh instance and runs
// the constructor of a class.
bool InstantiateNew(TVarPtr& entry, TParStack& ps);

// ---------------------------------------------------------------------------
// Element pools: the used counts are part of every procedure frame. The
// order is that of the frame: integer, long integer, string, float, area.
using PoolMarks = std::array<int32_t, 5>;
PoolMarks CurrentPoolMarks();
// Gives the elements above the marks back (a procedure level ends); their
// strings are released, the blocks of their areas live on until DISPOSE or
// the end of the program.
void TruncatePools(const PoolMarks& marks);

// Registers the statements and functions of arrays, areas, structures and
// classes.
void RegisterCompositeCommands();
// Per-run reset: pools, structure tables (with the built-in OGLSPRITE),
// WITH levels, and every area block freed.
void ResetComposite();

// ---------------------------------------------------------------------------
// Memory probes. Reads and writes through plain addresses (and through
// areas redirected to foreign addresses) are allowed when the range lies in
// memory this core owns (area blocks, element pools, variable values) or
// when the platform probe says the pages are readable / writable. Without a
// platform probe only the owned memory counts.
using MemoryProbe = bool (*)(const void* address, size_t length);
void SetMemoryProbes(MemoryProbe readable, MemoryProbe writable);
bool IsReadable(const void* address, size_t length);
bool IsWritable(const void* address, size_t length);

// CLASSOF of a window handle: the window's class name ("" when none).
using WindowClassNameHook = std::string (*)(int32_t handle);
void SetWindowClassNameHook(WindowClassNameHook hook);

// The Windows side of the two hooks (memory_probe_win32.cpp,
// structures_win32.cpp); the platform registration installs them.
void InstallWin32MemoryProbe();
void InstallWin32WindowClassName();

// ---------------------------------------------------------------------------
// Helpers shared by the composite files.

// Pointers travel as 32-bit integers in the language.
int32_t AddressToInt(const void* p);
void* IntToAddress(int32_t v);

// Evaluates a text of its own (an index, a bound, a size) with the
// evaluator's cursor saved and restored around it. False after a report.
bool EvalText(const std::string& text, TParStack& ps, int expectedKind = 0);

// While alive, reports are only recorded (error level -2); Taken() is the
// code recorded meanwhile. The error state before is restored at the end.
class QuietReports {
 public:
  QuietReports();
  ~QuietReports();
  QuietReports(const QuietReports&) = delete;
  QuietReports& operator=(const QuietReports&) = delete;
  int32_t Taken() const;

 private:
  int32_t level_, code_, reportKind_, line_;
  std::string detail_, file_;
};

// Reading arguments and setting results: see functions_support.h (fn::).

// The raw text of a function's next argument (up to the top-level "," or
// the ")" that ends the call), trimmed and upper-cased; the cursor moves
// past it. sep receives the character that ended it (',' ')' or 0).
std::string TakeRawArgument(char& sep);

}  // namespace korv
