// Runs whole programs in the native build: files are written into a fresh
// temporary directory, the interpreter runs against a ConsoleHost, and the
// exit code and everything the host saw are kept for the test.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "base/console_host.h"
#include "base/host.h"
#include "apps/interpreter/interpreter.h"
#include "apps/subsystems.h"

namespace korv::test {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/korv-unit-XXXXXX";
    dir_ = mkdtemp(tmpl);
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    SetHost(&host);
    // Installed before a fixture puts its fakes in, so that the first run
    // does not replace them by the subsystems' own hooks.
    InstallNeutralSubsystems();
  }
  void TearDown() override {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }

  void Write(const std::string& name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
  }

  // Runs main.krv (written from source) and returns the exit code.
  int Run(const std::string& source, const std::string& name = "main.krv") {
    Write(name, source);
    try {
      return RunInterpreterProgram(name, {});
    } catch (const ExitRequest& e) {
      return e.code;
    }
  }

  std::string Read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string AllDebugLines() const {
    std::string all;
    for (const auto& l : host.debugLines) all += l + "\n";
    return all;
  }

  ConsoleHost host;

 private:
  std::string dir_;
  std::filesystem::path old_;
};

}  // namespace korv::test
