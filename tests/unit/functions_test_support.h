// Fixture of the built-in function tests: the value-core fixture with the
// built-in functions, SET/GET and the per-run state registered and reset.
#pragma once
#include <string>

#include "core/line_store.h"
#include "value_test_support.h"
#include "values/functions_registry.h"
#include "values/set_get.h"

namespace korv::testing {

class BuiltinTest : public ValueTest {
 protected:
  void SetUp() override {
    ValueTest::SetUp();
    RegisterSetGet();
    RegisterBuiltinFunctions();
    ResetSwitches();
    ResetBuiltinState();
  }
  void TearDown() override {
    ResetSwitches();
    ResetBuiltinState();
    gProgram.Clear();
    ValueTest::TearDown();
  }
  std::string Str(const std::string& text) { return Eval(text).StrValue; }
  int32_t Int(const std::string& text) { return Eval(text).IntValue; }
  double Float(const std::string& text) { return Eval(text).FloatValue; }
  // Program lines for the DEF constants and the program's own file.
  void SetProgram(std::initializer_list<std::string> lines, const std::string& file = "main.krv") {
    gProgram.Clear();
    gProgram.files.push_back(file);
    for (const std::string& l : lines) {
      gProgram.lines.push_back(l);
      gProgram.debug.push_back(Tdebuginfo());
    }
  }
};

}  // namespace korv::testing
