#include "base/subsystems.h"

#include <vector>

namespace korv {

namespace {
std::vector<const Subsystem*>& Installed() {
  static std::vector<const Subsystem*> list;
  return list;
}
}  // namespace

void InstallSubsystems(const Subsystem* table, size_t count) {
  std::vector<const Subsystem*>& list = Installed();
  for (size_t i = 0; i < count; ++i) {
    const Subsystem* s = &table[i];
    bool known = false;
    for (const Subsystem* k : list) known = known || k == s;
    if (known) continue;
    list.push_back(s);
    if (s->install) s->install();
  }
}

void ResetSubsystems() {
  for (const Subsystem* s : Installed())
    if (s->reset) s->reset();
}

}  // namespace korv
