// The console host for fuzz targets that run programs: the clock advances
// one tick per reading, so every pump between statements reaches the host,
// which counts them and stops a program that has used up its budget (a
// program may loop for ever). Console input is always at its end.
#pragma once
#include <cstdint>
#include <string>

#include "base/console_host.h"

namespace korv::fuzz {

// Thrown out of the program when the budget is used up.
struct BudgetUsedUp {};

class FuzzHost : public ConsoleHost {
 public:
  void Start(uint32_t pumpBudget) {
    pumps_ = 0;
    budget_ = pumpBudget;
    boxes.clear();
    debugLines.clear();
    stdoutText.clear();
    profile.clear();
  }
  void PumpMessages() override {
    if (++pumps_ > budget_) throw BudgetUsedUp{};
  }
  std::uint32_t TickCount() override { return ++tick_; }
  LocalTime Now() override { return LocalTime{}; }
  bool ReadConsoleLine(std::string&) override { return false; }

 private:
  uint32_t pumps_ = 0;
  uint32_t budget_ = 0;
  uint32_t tick_ = 0;
};

}  // namespace korv::fuzz
