// Tests for the compiler's built-in OpenGL/WGL/GLU header table.
#include "core/gl_header_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace korv {
namespace {

using Entry = std::pair<std::string, std::string>;

std::vector<Entry> ParseTable(const std::string& table) {
  std::vector<Entry> entries;
  size_t pos = 1;  // behind the leading ";"
  while (pos < table.size()) {
    size_t end = table.find(';', pos);
    if (end == std::string::npos) {
      ADD_FAILURE() << "entry without closing ';' at " << pos;
      break;
    }
    std::string item = table.substr(pos, end - pos);
    size_t eq = item.find('=');
    if (eq == std::string::npos) {
      ADD_FAILURE() << "entry without '=': " << item;
    } else {
      entries.emplace_back(item.substr(0, eq), item.substr(eq + 1));
    }
    pos = end + 1;
  }
  return entries;
}

bool Contains(const std::string& table, const std::string& entry) {
  return table.find(";" + entry + ";") != std::string::npos;
}

bool IsHexDigits(const std::string& s, size_t from, size_t count, bool upper_only) {
  if (s.size() != from + count) return false;
  for (size_t i = from; i < s.size(); ++i) {
    char c = s[i];
    bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') ||
              (!upper_only && c >= 'a' && c <= 'f');
    if (!ok) return false;
  }
  return true;
}

bool IsDecimal(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

const std::set<std::string> kDecimalGl = {
    "GL_FALSE", "GL_TRUE",     "GL_ZERO",             "GL_ONE",
    "GL_NONE",  "GL_NO_ERROR", "GL_EXT_vertex_array", "GL_WIN_swap_hint",
};

const std::map<std::string, std::string> kTessAliases = {
    {"GLU_TESS_MISSING_BEGIN_POLYGON", "GLU_TESS_ERROR1"},
    {"GLU_TESS_MISSING_BEGIN_CONTOUR", "GLU_TESS_ERROR2"},
    {"GLU_TESS_MISSING_END_POLYGON", "GLU_TESS_ERROR3"},
    {"GLU_TESS_MISSING_END_CONTOUR", "GLU_TESS_ERROR4"},
    {"GLU_TESS_COORD_TOO_LARGE", "GLU_TESS_ERROR5"},
    {"GLU_TESS_NEED_COMBINE_CALLBACK", "GLU_TESS_ERROR6"},
};

TEST(GlHeaderTable, StartsAndEndsAsExpected) {
  const std::string& t = GlHeaderTable();
  EXPECT_EQ(t.rfind(";GL_CURRENT_BIT=$00000001;GL_POINT_BIT=$00000002;", 0), 0u);
  const std::string tail = ";GLU_NURBS_ERROR37=100287;";
  ASSERT_GE(t.size(), tail.size());
  EXPECT_EQ(t.substr(t.size() - tail.size()), tail);
}

TEST(GlHeaderTable, Has562DistinctEntries) {
  const std::string& t = GlHeaderTable();
  auto entries = ParseTable(t);
  EXPECT_EQ(entries.size(), 562u);
  EXPECT_EQ(GlHeaderEntryCount(), 562);
  std::set<std::string> names;
  for (const auto& [name, value] : entries) {
    EXPECT_TRUE(names.insert(name).second) << "duplicate " << name;
    EXPECT_TRUE(IsIdentifier(name)) << name;
    EXPECT_FALSE(value.empty()) << name;
  }
  // Every entry is found by searching for ";NAME=".
  for (const auto& [name, value] : entries) {
    EXPECT_EQ(t.find(";" + name + "="), t.find(";" + name + "=" + value + ";")) << name;
  }
}

TEST(GlHeaderTable, KnownEntries) {
  const std::string& t = GlHeaderTable();
  EXPECT_TRUE(Contains(t, "GL_ALL_ATTRIB_BITS=$000fffff"));
  EXPECT_TRUE(Contains(t, "GL_TRIANGLES=$0004"));
  EXPECT_TRUE(Contains(t, "GL_TEXTURE_2D=$0DE1"));
  EXPECT_TRUE(Contains(t, "GL_FALSE=0"));
  EXPECT_TRUE(Contains(t, "GL_TRUE=1"));
  EXPECT_TRUE(Contains(t, "GL_NO_ERROR=0"));
  EXPECT_TRUE(Contains(t, "GL_BGRA=$80E1"));
  EXPECT_TRUE(Contains(t, "WGL_FONT_LINES=0"));
  EXPECT_TRUE(Contains(t, "WGL_FONT_POLYGONS=1"));
  EXPECT_TRUE(Contains(t, "GLU_SMOOTH=100000"));
  EXPECT_TRUE(Contains(t, "GLU_TESS_MAX_COORD=1.0e150"));
  EXPECT_TRUE(Contains(t, "GLU_TESS_MISSING_BEGIN_POLYGON=GLU_TESS_ERROR1"));
  EXPECT_TRUE(Contains(t, "GLU_TESS_NEED_COMBINE_CALLBACK=GLU_TESS_ERROR6"));
}

TEST(GlHeaderTable, MixedCaseNamesKept) {
  const std::string& t = GlHeaderTable();
  EXPECT_TRUE(Contains(t, "GL_EXT_vertex_array=1"));
  EXPECT_TRUE(Contains(t, "GL_WIN_swap_hint=1"));
  // Macro names are upper-cased before the search, so these never match.
  EXPECT_EQ(t.find(";GL_EXT_VERTEX_ARRAY="), std::string::npos);
  EXPECT_EQ(t.find(";GL_WIN_SWAP_HINT="), std::string::npos);
  for (const auto& [name, value] : ParseTable(t)) {
    if (name == "GL_EXT_vertex_array" || name == "GL_WIN_swap_hint") continue;
    for (char c : name) EXPECT_FALSE(c >= 'a' && c <= 'z') << name;
  }
}

TEST(GlHeaderTable, ValueFormats) {
  auto entries = ParseTable(GlHeaderTable());
  ASSERT_EQ(entries.size(), 562u);
  int gl = 0, wgl = 0, glu = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& [name, value] = entries[i];
    if (i < 21) {
      ASSERT_EQ(name.rfind("GL_", 0), 0u) << name;
      EXPECT_EQ(value[0], '$') << name;
      EXPECT_TRUE(IsHexDigits(value, 1, 8, name != "GL_ALL_ATTRIB_BITS")) << name << "=" << value;
      ++gl;
    } else if (name.rfind("GLU_", 0) == 0) {
      ++glu;
      if (name == "GLU_TESS_MAX_COORD") {
        EXPECT_EQ(value, "1.0e150");
      } else if (auto it = kTessAliases.find(name); it != kTessAliases.end()) {
        EXPECT_EQ(value, it->second);
      } else {
        EXPECT_TRUE(IsDecimal(value)) << name << "=" << value;
      }
    } else if (name.rfind("WGL_", 0) == 0) {
      ++wgl;
      EXPECT_TRUE(IsDecimal(value)) << name << "=" << value;
    } else {
      ASSERT_EQ(name.rfind("GL_", 0), 0u) << name;
      ++gl;
      if (kDecimalGl.count(name)) {
        EXPECT_TRUE(IsDecimal(value)) << name << "=" << value;
      } else {
        EXPECT_EQ(value[0], '$') << name;
        EXPECT_TRUE(IsHexDigits(value, 1, 4, true)) << name << "=" << value;
      }
    }
  }
  EXPECT_EQ(gl, 467);
  EXPECT_EQ(wgl, 2);
  EXPECT_EQ(glu, 93);
  // Groups come in the order GL, WGL, GLU.
  EXPECT_EQ(entries[466].first, "GL_EDGE_FLAG_ARRAY_POINTER_EXT");
  EXPECT_EQ(entries[467].first, "WGL_FONT_LINES");
  EXPECT_EQ(entries[469].first, "GLU_VERSION_1_1");
}

TEST(GlHeaderTable, AttributeBits) {
  auto entries = ParseTable(GlHeaderTable());
  ASSERT_GE(entries.size(), 21u);
  uint32_t all = 0;
  for (int i = 0; i < 20; ++i) {
    uint32_t v = static_cast<uint32_t>(std::stoul(entries[i].second.substr(1), nullptr, 16));
    EXPECT_EQ(v, 1u << i) << entries[i].first;
    all |= v;
  }
  EXPECT_EQ(entries[20].first, "GL_ALL_ATTRIB_BITS");
  EXPECT_EQ(std::stoul(entries[20].second.substr(1), nullptr, 16), all);
}

// ---- Comparison with the OpenGL headers found on this machine ----

using Defines = std::map<std::string, std::string>;

std::optional<std::filesystem::path> FindGlIncludeDir() {
  std::vector<std::filesystem::path> candidates;
  if (const char* env = std::getenv("KORV_GL_INCLUDE_DIR")) candidates.emplace_back(env);
#ifdef KORV_GL_INCLUDE_DIR
  candidates.emplace_back(KORV_GL_INCLUDE_DIR);
#endif
  // The Windows headers first: the table describes the Windows platform.
  candidates.emplace_back("/usr/share/mingw-w64/include");
  candidates.emplace_back("/usr/i686-w64-mingw32/include");
  candidates.emplace_back("/usr/include");
  for (const auto& dir : candidates) {
    std::error_code ec;
    if (std::filesystem::exists(dir / "GL" / "gl.h", ec) &&
        std::filesystem::exists(dir / "GL" / "glu.h", ec)) {
      return dir;
    }
  }
  return std::nullopt;
}

// Collects "#define NAME VALUE" lines; the first definition of a name wins.
void ReadDefines(const std::filesystem::path& path, Defines& defines) {
  std::ifstream in(path);
  if (!in) return;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first, name, value;
    if (!(words >> first)) continue;
    if (first == "#") {
      if (!(words >> first)) continue;
      first = "#" + first;
    }
    if (first != "#define" || !(words >> name >> value)) continue;
    if (!IsIdentifier(name)) continue;  // function-like macros
    defines.emplace(name, value);
  }
}

// Integer value of a macro, following macro-to-macro definitions.
std::optional<int64_t> ResolveMacro(const Defines& defines, const std::string& name, int depth = 0) {
  if (depth > 8) return std::nullopt;
  auto it = defines.find(name);
  if (it == defines.end()) return std::nullopt;
  std::string text = it->second;
  while (!text.empty() && (text.back() == 'u' || text.back() == 'U' || text.back() == 'l' ||
                           text.back() == 'L')) {
    text.pop_back();
  }
  if (IsIdentifier(text)) return ResolveMacro(defines, text, depth + 1);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      IsHexDigits(text, 2, text.size() - 2, false)) {
    return static_cast<int64_t>(std::stoull(text.substr(2), nullptr, 16));
  }
  if (IsDecimal(text)) return static_cast<int64_t>(std::stoll(text));
  return std::nullopt;
}

// Integer value of a table entry; an entry whose value names another entry
// takes that entry's value.
std::optional<int64_t> TableValue(const std::map<std::string, std::string>& table,
                                  const std::string& name, int depth = 0) {
  auto it = table.find(name);
  if (it == table.end() || depth > 8) return std::nullopt;
  const std::string& v = it->second;
  if (v.size() > 1 && v[0] == '$') return static_cast<int64_t>(std::stoull(v.substr(1), nullptr, 16));
  if (IsDecimal(v)) return static_cast<int64_t>(std::stoll(v));
  if (IsIdentifier(v)) return TableValue(table, v, depth + 1);
  return std::nullopt;
}

TEST(GlHeaderTable, ValuesMatchPlatformHeaders) {
  auto dir = FindGlIncludeDir();
  if (!dir) GTEST_SKIP() << "no GL/gl.h and GL/glu.h found";

  Defines defines;
  ReadDefines(*dir / "GL" / "gl.h", defines);
  ReadDefines(*dir / "GL" / "glext.h", defines);
  ReadDefines(*dir / "GL" / "glu.h", defines);
  ReadDefines(*dir / "wingdi.h", defines);
  ASSERT_FALSE(defines.empty());

  // Constants that not every header set defines (WGL lives in wingdi.h, the
  // extension flags are absent from some gl.h files).
  const std::map<std::string, int64_t> not_in_every_header = {
      {"GL_EXT_vertex_array", 1}, {"GL_WIN_swap_hint", 1},
      {"WGL_FONT_LINES", 0},      {"WGL_FONT_POLYGONS", 1},
  };

  auto entries = ParseTable(GlHeaderTable());
  std::map<std::string, std::string> table(entries.begin(), entries.end());
  int compared = 0;
  for (const auto& [name, value] : entries) {
    if (name == "GL_ALL_ATTRIB_BITS") {
      // Some header sets widen it to all 32 bits; the table keeps the 20
      // defined bits (see AttributeBits).
      continue;
    }
    if (name == "GLU_TESS_MAX_COORD") {
      auto it = defines.find(name);
      ASSERT_NE(it, defines.end());
      EXPECT_EQ(std::strtod(it->second.c_str(), nullptr), std::strtod(value.c_str(), nullptr));
      ++compared;
      continue;
    }
    std::optional<int64_t> expected = ResolveMacro(defines, name);
    if (!expected) expected = ResolveMacro(defines, name + "_EXT");  // GL_BGR, GL_BGRA
    if (!expected) {
      auto it = not_in_every_header.find(name);
      if (it != not_in_every_header.end()) expected = it->second;
    }
    ASSERT_TRUE(expected.has_value()) << name << " not found in " << dir->string();
    auto actual = TableValue(table, name);
    ASSERT_TRUE(actual.has_value()) << name << "=" << value;
    EXPECT_EQ(*actual, *expected) << name << "=" << value;
    ++compared;
  }
  EXPECT_EQ(compared, 561);
}

}  // namespace
}  // namespace korv
