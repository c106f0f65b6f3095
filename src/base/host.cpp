#include "base/host.h"

#include <cstdlib>
#include <vector>

namespace korv {
namespace {
Host* gHost = nullptr;
std::vector<std::function<void()>>& ShutdownSteps() {
  static std::vector<std::function<void()>> steps;
  return steps;
}
bool gShuttingDown = false;
}  // namespace

Host& host() { return *gHost; }
void SetHost(Host* h) { gHost = h; }

void AtShutdown(std::function<void()> step) { ShutdownSteps().push_back(std::move(step)); }

void RunShutdown() {
  if (gShuttingDown) return;  // a fatal report during shutdown must not loop
  gShuttingDown = true;
  auto& steps = ShutdownSteps();
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) (*it)();
  steps.clear();
  gShuttingDown = false;
}

void ExitWith(int code) {
  gHost->Exit(code);
  std::abort();  // Exit never returns
}

}  // namespace korv
