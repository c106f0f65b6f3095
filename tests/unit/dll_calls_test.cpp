// EXTERNAL, USEDLL and FREEDLL against a fake library platform: argument
// forms, the bounded argument block, the three-form result, 247/248, and
// that every library loaded is given back exactly once.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/dll_calls.h"
#include "apps/subsystems.h"
#include "test_support.h"
#include "value_test_support.h"

namespace korv {
namespace {

// Libraries "fake" and "other"; functions of "fake":
//   Sum      base 1000 + 1*a1 + 2*a2 + ...
//   Len      strlen of the text at a1
//   Scribble writes a2 bytes 'x' at a1 and returns the old strlen
//   Store    writes a2 as int at address a1
//   Fault    the callee faults
//   Neg      returns 0xFFFFFFFF
class FakeDll : public DllPlatform {
 public:
  std::uintptr_t Load(const std::string& name) override {
    std::uintptr_t h = name == "fake" ? 0x1000 : name == "other" ? 0x2000 : 0;
    if (h) {
      ++refs[h];
      ++loadCalls;  // successful loads
    }
    return h;
  }
  std::uintptr_t Lookup(std::uintptr_t library, const std::string& name) override {
    if (library != 0x1000) return 0;
    static const std::map<std::string, std::uintptr_t> exports = {
        {"Sum", 1}, {"Len", 2}, {"Scribble", 3}, {"Store", 4}, {"Fault", 5}, {"Neg", 6}};
    auto it = exports.find(name);
    return it == exports.end() ? 0 : it->second;
  }
  void Free(std::uintptr_t library) override {
    ++freeCalls;
    --refs[library];  // below zero: freed more often than loaded
  }
  bool Call(std::uintptr_t fn, const std::uint32_t* args, int count, std::uint32_t& result) override {
    lastArgs.assign(args, args + count);
    ++calls;
    auto text = [&](int i) { return reinterpret_cast<char*>(static_cast<std::uintptr_t>(args[i])); };
    switch (fn) {
      case 1: {
        std::uint32_t sum = 1000;
        for (int i = 0; i < count; ++i) sum += static_cast<std::uint32_t>(i + 1) * args[i];
        result = sum;
        return true;
      }
      case 2:
        seenText = text(0);
        result = static_cast<std::uint32_t>(std::strlen(text(0)));
        return true;
      case 3: {
        result = static_cast<std::uint32_t>(std::strlen(text(0)));
        std::memset(text(0), 'x', args[1]);
        return true;
      }
      case 4:
        std::memcpy(text(0), &args[1], 4);
        result = 1;
        return true;
      case 5: result = 0; return false;
      default: result = 0xFFFFFFFFu; return true;
    }
  }

  int Balance() const {
    int n = 0;
    for (const auto& e : refs) n += e.second;
    return n;
  }

  std::map<std::uintptr_t, int> refs;
  int loadCalls = 0, freeCalls = 0, calls = 0;
  std::vector<std::uint32_t> lastArgs;
  std::string seenText;
};

class DllCallTest : public testing::ValueTest {
 protected:
  void SetUp() override {
    ValueTest::SetUp();
    InstallNeutralSubsystems();
    ResetDllCalls();
    SetDllPlatform(&fake_);
  }
  void TearDown() override {
    SetDllPlatform(nullptr);
    ResetDllCalls();
    ValueTest::TearDown();
  }
  FakeDll fake_;
};

TEST_F(DllCallTest, ArgumentFormsArriveAsThirtyTwoBitValuesInOrder) {
  TEvalResult r = Eval("@EXTERNAL(\"fake\", \"Sum\")");
  EXPECT_EQ(r.IntValue, 1000);
  EXPECT_TRUE(fake_.lastArgs.empty());

  ASSERT_NE(Declare("S$"), 0);
  gStores.strs[Find("S$")].Value = "123abc";
  ASSERT_NE(Declare("N%"), 0);
  gStores.ints[Find("N%")].Value = -7;
  r = Eval("@EXTERNAL(\"fake\", \"Sum\", 5, s$, n%, 2 * 3, (1 + 1))");
  // a string variable passes its integer form, not its text
  EXPECT_EQ(fake_.lastArgs, (std::vector<std::uint32_t>{5, 123, static_cast<std::uint32_t>(-7), 6, 2}));
  EXPECT_EQ(r.IntValue, 1000 + 5 + 2 * 123 - 3 * 7 + 4 * 6 + 5 * 2);
  EXPECT_TRUE(NoReport());

  // A quoted literal passes the address of a zero-terminated private copy
  // (escapes processed); the callee's changes do not reach the program.
  r = Eval("@EXTERNAL(\"fake\", \"Len\", \"Tab\\there\")");
  EXPECT_EQ(fake_.seenText, "Tab\there");
  EXPECT_EQ(r.IntValue, 8);
  r = Eval("@EXTERNAL(\"fake\", \"Len\", \"\")");
  EXPECT_EQ(r.IntValue, 0);

  // A memory area passes its address.
  ASSERT_NE(Declare("A#"), 0);
  alignas(4) char block[8] = {};
  TVarPtr& area = gStores.ptrs[Find("A#")];
  area.Address = block;
  area.AreaKind = 'b';
  area.Size = 8;
  r = Eval("@EXTERNAL(\"fake\", \"Store\", a#, 4711)");
  int32_t stored;
  std::memcpy(&stored, block, 4);
  EXPECT_EQ(stored, 4711);
  EXPECT_EQ(fake_.Balance(), 0);
}

TEST_F(DllCallTest, CalleeMayWriteIntoTheSlackOfALiteralCopy) {
  ASSERT_NE(Declare("T$"), 0);
  gStores.strs[Find("T$")].Value = "keep";
  std::string call = "@EXTERNAL(\"fake\", \"Scribble\", \"abc\", " +
                     std::to_string(3 + 1 + kLiteralSlack) + ")";
  TEvalResult r = Eval(call);  // the sanitizer catches a write past the copy
  EXPECT_EQ(r.IntValue, 3);
  EXPECT_EQ(gStores.strs[Find("T$")].Value, "keep");
}

TEST_F(DllCallTest, FifteenArgumentsAreCalledSixteenOrMoreGiveTheBox) {
  std::string fifteen;
  std::uint32_t want = 1000;
  for (int i = 1; i <= 15; ++i) {
    fifteen += ", " + std::to_string(i);
    want += static_cast<std::uint32_t>(i * i);
  }
  TEvalResult r = Eval("@EXTERNAL(\"fake\", \"Sum\"" + fifteen + ")");
  EXPECT_EQ(r.IntValue, static_cast<int32_t>(want));
  EXPECT_EQ(fake_.lastArgs.size(), 15u);
  EXPECT_TRUE(host_.boxes.empty());

  fake_.calls = 0;
  r = Eval("@EXTERNAL(\"fake\", \"Sum\"" + fifteen + ", 16)");
  EXPECT_EQ(fake_.calls, 0);
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(r.StrValue, IntToText(0));
  EXPECT_EQ(r.ResultKind, kind::kInt);
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].caption, "Fehler");
  EXPECT_EQ(host_.boxes[0].text, "Mehr als 15 Parameter!");
  EXPECT_EQ(host_.boxes[0].style, mb::kOk | mb::kIconInfo);
  EXPECT_TRUE(NoReport());  // no error number is recorded

  // Reading stops after the 16th argument: the 17th (an undeclared
  // variable, which would warn) is never evaluated.
  r = Eval("@EXTERNAL(\"fake\", \"Sum\"" + fifteen + ", 16, nobody%, 18)");
  EXPECT_EQ(fake_.calls, 0);
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(host_.boxes.size(), 2u);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(fake_.Balance(), 0);
}

TEST_F(DllCallTest, ResultInThreeFormsWithTheNumberWidth) {
  SetNumWidth(6);
  TEvalResult r = Eval("@EXTERNAL(\"fake\", \"Sum\", 1)");
  EXPECT_EQ(r.IntValue, 1001);
  EXPECT_EQ(r.FloatValue, 1001.0);
  EXPECT_EQ(r.StrValue, "  1001");
  EXPECT_EQ(r.ResultKind, kind::kInt);
  r = Eval("@EXTERNAL(\"fake\", \"Neg\")");  // the 32 bits are signed
  EXPECT_EQ(r.IntValue, -1);
  EXPECT_EQ(r.FloatValue, -1.0);
  EXPECT_EQ(r.StrValue, "    -1");
  // The result takes part in the expression like any integer.
  r = Eval("@EXTERNAL(\"fake\", \"Sum\", @EXTERNAL(\"fake\", \"Sum\", 2)) + 1");
  EXPECT_EQ(r.IntValue, 1000 + 1002 + 1);
  EXPECT_EQ(fake_.Balance(), 0);
}

TEST_F(DllCallTest, FailuresGiveZeroAndGiveTheLibraryBack) {
  // 247: nothing loaded, nothing called
  TEvalResult r = Eval("@EXTERNAL(\"missing\", \"Sum\", 1)");
  EXPECT_EQ(Code(), 247);
  EXPECT_EQ(gErr.Detail, "missing");
  EXPECT_TRUE(WasError());
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(r.ResultKind, kind::kInt);
  EXPECT_EQ(fake_.calls, 0);

  // 248: the library is freed again
  r = Eval("@EXTERNAL(\"fake\", \"Nope\", 1, 2)");
  EXPECT_EQ(Code(), 248);
  EXPECT_EQ(gErr.Detail, "Nope");
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(fake_.calls, 0);
  EXPECT_EQ(fake_.Balance(), 0);

  // an argument that fails: no call, library freed, result 0
  r = Eval("@EXTERNAL(\"fake\", \"Sum\", 1, 1 / 0, 3)");
  EXPECT_EQ(Code(), 201);
  EXPECT_EQ(fake_.calls, 0);
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(fake_.Balance(), 0);

  // a library name only: the function name is missing
  r = Eval("@EXTERNAL(\"fake\")");
  EXPECT_TRUE(WasError());
  EXPECT_EQ(fake_.calls, 0);
  EXPECT_EQ(fake_.Balance(), 0);

  // a callee that faults: 200 with the function name, result 0
  r = Eval("@EXTERNAL(\"fake\", \"Fault\", 1) + 5");
  EXPECT_EQ(Code(), 200);
  EXPECT_EQ(gErr.Detail, "Fault");
  EXPECT_EQ(r.IntValue, 5);
  EXPECT_EQ(fake_.Balance(), 0);
  EXPECT_EQ(fake_.loadCalls, fake_.freeCalls);
}

TEST_F(DllCallTest, UseDllRemembersAndFreeDllForgets) {
  TEvalResult r = Eval("@USEDLL(\"fake\")");
  EXPECT_EQ(r.IntValue, 0x1000);
  EXPECT_EQ(RememberedDllHandle(), 0x1000u);
  r = Eval("@USEDLL(\"\")");  // the remembered handle, no new load
  EXPECT_EQ(r.IntValue, 0x1000);
  EXPECT_EQ(fake_.refs[0x1000], 1);

  // EXTERNAL loads and frees on top of the kept load
  Eval("@EXTERNAL(\"fake\", \"Sum\")");
  Eval("@EXTERNAL(\"fake\", \"Sum\")");
  EXPECT_EQ(fake_.refs[0x1000], 1);

  r = Eval("@USEDLL(\"missing\")");  // no error, handle 0
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_TRUE(NoReport());
  EXPECT_EQ(RememberedDllHandle(), 0u);
  r = Eval("@USEDLL(\"\")");
  EXPECT_EQ(r.IntValue, 0);
  EXPECT_EQ(KeptDllLoads(), 1);  // the first load is still kept
}

class DllProgramTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetDllPlatform(&fake_);
  }
  void TearDown() override {
    SetDllPlatform(nullptr);
    ProgramTest::TearDown();
  }
  FakeDll fake_;
};

TEST_F(DllProgramTest, EveryLoadIsGivenBackOnceByTheEndOfTheProgram) {
  // FREEDLL of the remembered handle: the end does not free it again.
  EXPECT_EQ(Run("DECLARE h%\n"
                "h% = @USEDLL(\"fake\")\n"
                "FREEDLL h%\n"),
            0);
  EXPECT_EQ(fake_.refs[0x1000], 0);
  EXPECT_EQ(fake_.freeCalls, 1);

  // Kept loads that FREEDLL did not give back are freed at the end, the
  // older ones too.
  fake_ = FakeDll();
  EXPECT_EQ(Run("DECLARE h%, k%, r%\n"
                "h% = @USEDLL(\"fake\")\n"
                "k% = @USEDLL(\"other\")\n"
                "r% = @USEDLL(\"fake\")\n"
                "FREEDLL k%\n"
                "FREEDLL 0\n"
                "r% = @EXTERNAL(\"fake\", \"Sum\", 1, 2)\n"),
            0);
  EXPECT_EQ(fake_.refs[0x1000], 0);
  EXPECT_EQ(fake_.refs[0x2000], 0);
  EXPECT_EQ(fake_.loadCalls, fake_.freeCalls);
  EXPECT_EQ(fake_.calls, 1);

  // A fatal 248 ends the program: the library is given back all the same.
  fake_ = FakeDll();
  EXPECT_EQ(Run("DECLARE r%\nr% = @EXTERNAL(\"fake\", \"Nope\")\n"), kExitFatal);
  EXPECT_EQ(fake_.refs[0x1000], 0);
  ASSERT_FALSE(host.boxes.empty());
  EXPECT_EQ(host.boxes.back().caption, "Funktion in DLL nicht vohanden: Nope");
}

}  // namespace
}  // namespace korv
