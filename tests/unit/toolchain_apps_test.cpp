// The neutral parts of the compiler and runtime programs: options, names,
// the linker's layout, removal of half-written files, and the runtime's
// rules for finding its program.
#include <gtest/gtest.h>

#include "apps/compiler/compiler_app.h"
#include "apps/runtime/runtime_app.h"
#include "base/code_tables.h"
#include "base/console_host.h"
#include "base/errors.h"
#include "test_support.h"

namespace korv {
namespace {

class ToolchainTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetHost(&compilerHost_);
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(name); }

  // A stand-in for the runtime module: an MZ header with e_lfanew = 0x88 and
  // 0 in bytes 128..131, padded to size.
  std::string FakeRuntime(size_t size, uint32_t at128 = 0, uint32_t lfanew = 0x88) {
    std::string r(size, 'R');
    r[0] = 'M';
    r[1] = 'Z';
    for (int i = 0; i < 4; ++i) {
      r[0x3C + static_cast<size_t>(i)] = static_cast<char>((lfanew >> (8 * i)) & 0xFF);
      r[128 + static_cast<size_t>(i)] = static_cast<char>((at128 >> (8 * i)) & 0xFF);
    }
    return r;
  }

  // Runs the compiler; returns its exit code.
  int Compile(const std::vector<std::string>& args, const char* runtime = nullptr) {
    CompilerOptions o = ParseCompilerOptions(args, nullptr, runtime);
    ConsoleProgress progress;
    try {
      return RunCompiler(o, progress, nullptr);
    } catch (const ExitRequest& e) {
      return e.code;
    }
  }

  CompilerHost compilerHost_{host};
};

TEST(CompilerOptionsTest, CommandLineAndEnvironment) {
  CompilerOptions o = ParseCompilerOptions({"demo", "-l", "-S", "-m", "-v", "-b"}, "inc1;inc2", "\"C:\\rt.exe\"");
  EXPECT_EQ(o.source, "demo.KRVSrc");
  EXPECT_TRUE(o.link && o.screenSaver && o.map && o.shorten && o.batch);
  EXPECT_FALSE(o.linkOnly);
  EXPECT_EQ(o.includePath, "inc1;inc2");
  EXPECT_EQ(o.runtime, "C:\\rt.exe");  // quotes removed
  o = ParseCompilerOptions({"sub.dir\\demo", "-R", "other.exe", "-P", "p", "-E", "xyz", "-LINK"}, "inc", "rt");
  EXPECT_EQ(o.source, "sub.dir\\demo.KRVSrc");  // only the last component counts
  EXPECT_EQ(o.runtime, "other.exe");
  EXPECT_EQ(o.includePath, "p");
  EXPECT_EQ(o.extension, "xyz");
  EXPECT_TRUE(o.linkOnly);
  EXPECT_FALSE(o.link);
  o = ParseCompilerOptions({"-LINK"}, nullptr, nullptr);
  EXPECT_EQ(o.source, "");
  EXPECT_EQ(o.runtime, "");
}

TEST(CompilerOptionsTest, NamesAndMapLines) {
  EXPECT_EQ(ReplaceExtension("demo.KRVSrc", "kvc"), "demo.kvc");
  EXPECT_EQ(ReplaceExtension("a.b/demo.krv", "mapdatei"), "a.b/demo.mapdatei");
  EXPECT_EQ(ReplaceExtension("a.b/demo", "exe"), "a.b/demo.exe");
  EXPECT_TRUE(NameHasDot("x.kvc"));
  EXPECT_FALSE(NameHasDot("dir.d\\x"));
  EXPECT_EQ(MapLine(12, "main.krv", 10), "12=main.krv (    10)");
  EXPECT_EQ(MapLine(1, "f", 1234567), "1=f (1234567)");
}

TEST_F(ToolchainTest, CompileAndLinkLayout) {
  Write("demo.KRVSrc", "DECLARE a%\na% = 1\nPRINT a%\n");
  const std::string runtime = FakeRuntime(1000);
  Write("rt.exe", runtime);
  ASSERT_EQ(Compile({"demo", "-L", "-S", "-M"}, "rt.exe"), 0);
  std::string kvc = Read("demo.kvc"), scr = Read("demo.scr");
  ASSERT_EQ(scr.size(), 1000 + 1 + kvc.size());
  EXPECT_EQ(GetLe32(scr, 128), 1001);
  EXPECT_EQ(scr[1000], '\0');
  EXPECT_EQ(scr.substr(1001), kvc);
  EXPECT_EQ(scr.substr(0, 128), runtime.substr(0, 128));
  EXPECT_EQ(Read("demo.mapdatei"), "1=demo.KRVSrc (     1)\r\n2=demo.KRVSrc (     2)\r\n3=demo.KRVSrc (     3)\r\n");
  ASSERT_FALSE(host.boxes.empty());
  EXPECT_NE(host.boxes.back().text.find("Screensaver erfolgreich erzeugt!"), std::string::npos);
  EXPECT_EQ(host.boxes.back().caption, "Korvid Compiler 1.0");
  EXPECT_EQ(host.boxes.size(), 1u);  // -L: no compile success box
}

TEST_F(ToolchainTest, FailuresExitWithOneAndLeaveNoFiles) {
  Write("bad.krv", "DECLARE a%\nFOO\n");
  EXPECT_EQ(Compile({"bad.krv", "-M"}), kExitLoadError);
  EXPECT_FALSE(Exists("bad.kvc"));
  EXPECT_FALSE(Exists("bad.mapdatei"));
  EXPECT_EQ(host.boxes.back().caption, "Befehl unbekannt: FOO");

  Write("ok.krv", "PRINT 1\n");
  host.boxes.clear();
  EXPECT_EQ(Compile({"ok.krv", "-L", "-B"}), kExitLoadError);
  EXPECT_EQ(host.boxes.back().text, "FEHLER: \r\nRuntime-Modul nicht gefunden:\r\n");
  EXPECT_TRUE(Exists("ok.kvc"));  // compiling succeeded
  EXPECT_FALSE(Exists("ok.exe"));

  Write("taken.exe", FakeRuntime(500, 0x80));  // bytes 128..131 in use
  EXPECT_EQ(Compile({"ok.krv", "-L", "-B", "-R", "taken.exe"}), kExitLoadError);
  EXPECT_EQ(host.boxes.back().text, "FEHLER: \r\nRuntime-Modul ungeeignet:\r\ntaken.exe");
  Write("low.exe", FakeRuntime(500, 0, 0x80));  // e_lfanew below 132
  EXPECT_EQ(Compile({"ok.krv", "-L", "-B", "-R", "low.exe"}), kExitLoadError);
  EXPECT_FALSE(Exists("ok.exe"));

  EXPECT_EQ(Compile({"ok", "-LINK", "-E", "xyz", "-B", "-R", "low.exe"}), kExitLoadError);
  EXPECT_EQ(host.boxes.back().text, "FEHLER: \r\nDatei kann nicht gelesen werden.");  // ok.xyz
  EXPECT_EQ(Compile({"-LINK"}), kExitCancelled);
  EXPECT_EQ(host.boxes.back().text, "Zum Linken Aufruf mit: \r\nKORVAC [<Dateiname>] -link [/S]");
}

TEST_F(ToolchainTest, RuntimeFindsItsProgram) {
  Write("runtime.exe", FakeRuntime(300));
  Write("linked.exe", FakeRuntime(300, 301));
  Write("prog.kvc", " QTV-TELMARD DATEI");
  Write("plain.txt", "no program");
  Write("demo.KVC", " QTV-TELMARD DATEI");
  auto none = [](std::string&) { return false; };
  auto pick = [](std::string& n) {
    n = "  chosen.kvc ";
    return true;
  };
  ProgramLocation w;
  ASSERT_TRUE(FindProgram({"prog.kvc"}, "runtime.exe", none, w));
  EXPECT_EQ(w.file, "prog.kvc");
  EXPECT_FALSE(w.linked);
  // A linked runtime runs itself unless the argument names a compiled file.
  ASSERT_TRUE(FindProgram({"prog.kvc"}, "linked.exe", none, w));
  EXPECT_EQ(w.file, "prog.kvc");
  ASSERT_TRUE(FindProgram({"plain.txt", "x"}, "linked.exe", none, w));
  EXPECT_EQ(w.file, "linked.exe");
  EXPECT_EQ(w.offset, 301u);
  EXPECT_TRUE(w.linked);
  ASSERT_TRUE(FindProgram({}, "linked.exe", none, w));
  EXPECT_TRUE(w.linked);
  // The runtime as shipped asks; cancelling is refused.
  EXPECT_FALSE(FindProgram({}, "runtime.exe", none, w));
  ASSERT_TRUE(FindProgram({}, "runtime.exe", pick, w));
  EXPECT_EQ(w.file, "chosen.kvc");
  // A name without a dot in its last component gets .KVC.
  ASSERT_TRUE(FindProgram({"demo"}, "runtime.exe", none, w));
  EXPECT_EQ(w.file, "demo.KVC");
  ASSERT_TRUE(FindProgram({"a.b/demo"}, "runtime.exe", none, w));
  EXPECT_EQ(w.file, "a.b/demo.KVC");
  ASSERT_TRUE(FindProgram({"plain.txt"}, "runtime.exe", none, w));
  EXPECT_EQ(w.file, "plain.txt");
  EXPECT_EQ(LinkedProgramOffset("missing.exe"), 0u);
}

TEST_F(ToolchainTest, MapFileNamesTheSourceOfDebugLines) {
  EXPECT_EQ(MapFileName("prog.kvc"), "prog.mapdatei");
  EXPECT_EQ(MapFileName("C:\\x.y\\prog.exe"), "C:\\x.y\\prog.mapdatei");
  EXPECT_EQ(MapFileName("a.b/prog"), "a.b/prog.mapdatei");
  EXPECT_FALSE(LoadSourceMap("none.mapdatei"));
  EXPECT_EQ(SourcePositionNote("ERROR:\t1\t201:Division durch 0!"), "");
  Write("prog.mapdatei", "1=prog.krv (     1)\r\n2=prog.krv (     4)\r\n3=prog.krv (     4)\r\n"
                          "12=lib (2).krv (   120)\r\nbroken\r\nx=prog.krv (     5)\r\n");
  ASSERT_TRUE(LoadSourceMap("prog.mapdatei"));
  EXPECT_EQ(SourcePositionNote("ERROR:\t3\t201:Division durch 0!"), " [prog.krv (4)]");
  EXPECT_EQ(SourcePositionNote("WARN:\t12\t215\tVariable nicht declariert: Q%"), " [lib (2).krv (120)]");
  EXPECT_EQ(SourcePositionNote("ERROR:\t99\t201:Division durch 0!"), "");  // no such statement
  EXPECT_EQ(SourcePositionNote("ERROR:\tprog.krv (4) 201:Division durch 0!"), "");  // the interpreter's form
  EXPECT_EQ(SourcePositionNote("TRACE:\t3\tx"), "");
}

}  // namespace
}  // namespace korv
