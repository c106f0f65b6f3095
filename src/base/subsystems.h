// The subsystems a program is made of. Each program lists its own in one
// table (src/apps): a name, the function that binds its handlers into the
// name lists and installs its platform parts, and the function that puts
// its per-run state back to the start. The executors reset them all before
// a program runs, without knowing which there are.
#pragma once
#include <cstddef>

namespace korv {

struct Subsystem {
  const char* name;
  void (*install)();  // once per process; may be nullptr
  void (*reset)();    // before each run; may be nullptr
};

// Installs each subsystem of the table once (a second call with the same
// entries does nothing) and remembers its reset.
void InstallSubsystems(const Subsystem* table, size_t count);
template <size_t N>
void InstallSubsystems(const Subsystem (&table)[N]) {
  InstallSubsystems(table, N);
}

// Resets every installed subsystem, in the order they were installed.
void ResetSubsystems();

}  // namespace korv
