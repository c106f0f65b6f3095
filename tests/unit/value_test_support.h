// Shared fixture of the value-core tests: a console host, reports that
// return (error level -1) and empty stores, settings and evaluator.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "base/console_host.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "values/evaluator.h"
#include "values/settings.h"
#include "values/stores.h"

namespace korv::testing {

class ValueTest : public ::testing::Test {
 protected:
  ConsoleHost host_;
  TParStack ps_;

  void SetUp() override {
    SetHost(&host_);
    ResetErrorState();
    gErr.Level = -1;  // errors and warnings are logged and return
    ResetEvaluator();
    ResetStores();
    ResetSettings();
    gExec.command = {};
  }
  void TearDown() override {
    ResetStores();
    ResetEvaluator();
    ResetSettings();
    ResetErrorState();
  }

  void ClearReport() {
    gErr.Code = 0;
    gErr.ReportKind = 0;
    gErr.Detail.clear();
  }
  // Evaluates a whole text (terminator blank) and returns the result.
  TEvalResult Eval(const std::string& text, int expected = 0) {
    ClearReport();
    gEval.SetText(text);
    Evaluate(ps_, ' ', expected);
    return gRes;
  }
  int Code() const { return gErr.Code; }
  bool WasError() const { return gErr.ReportKind == 2; }
  bool WasWarning() const { return gErr.ReportKind == 1; }
  bool NoReport() const { return gErr.ReportKind == 0 && gErr.Code == 0; }
};

}  // namespace korv::testing
