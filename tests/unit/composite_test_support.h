// Fixture of the array, area and structure tests: the value fixture with the
// composite statements registered, pools, blocks and structure tables reset,
// and statements run through the executor's dispatch.
#pragma once
#include <cstring>
#include <string>

#include "engine/executor.h"
#include "value_test_support.h"
#include "values/areas.h"
#include "values/arrays.h"
#include "values/composite.h"
#include "values/structures.h"
#include "values/value_commands.h"

namespace korv::testing {

class CompositeTest : public ValueTest {
 protected:
  void SetUp() override {
    ValueTest::SetUp();
    RegisterValueCommands();
    RegisterCompositeCommands();
    ResetComposite();
  }
  void TearDown() override {
    ResetStores();
    ResetComposite();
    ValueTest::TearDown();
  }

  // Runs one statement line as the executor does.
  void Exec(const std::string& line) {
    ClearReport();
    SplitStatement(line, command_, args_);
    gExec.command = command_;
    gExec.args = args_;
    DispatchStatement(ps_);
    gExec.command = {};
  }
  std::string command_, args_;  // the registers view these
  int32_t Int(const std::string& expr) { return Eval(expr).IntValue; }
  double Flt(const std::string& expr) { return Eval(expr).FloatValue; }
  std::string Str(const std::string& expr) { return Eval(expr).StrValue; }
  TVarPtr& Area(const std::string& name) { return gStores.ptrs[Find(name)]; }
  const unsigned char* Bytes(const std::string& name) {
    return static_cast<const unsigned char*>(Area(name).Address);
  }
};

}  // namespace korv::testing
