// Pass 1 reads the main file and its includes line by line into the line
// store (comments, continuations, includes, headers, macros, colon split);
// pass 2 applies the conditional-compilation directives slot by slot.
#include "core/preprocessor.h"

#include <fstream>
#include <sstream>

#include "core/line_store.h"
#include "base/text.h"
#include "base/errors.h"
#include "base/host.h"

namespace korv {

Program gProgram;
PreprocessorState gPre;

namespace {

constexpr char kMacroNameChars[] =
    "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";

#ifdef _WIN32
constexpr char kDirSep = '\\';
#else
constexpr char kDirSep = '/';
#endif

[[noreturn]] void LoadFailure(const std::string& caption, const std::string& text) {
  host().ShowMessageBox(caption, text, mb::kOk | mb::kIconError);
  RunShutdown();
  ExitWith(kExitLoadError);
}

bool ReadWholeFile(const std::string& name, std::string& content) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  content = ss.str();
  return true;
}

bool FileReadable(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return static_cast<bool>(in);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  char last = dir.back();
  if (last == '\\' || last == '/') return dir + name;
  return dir + kDirSep + name;
}

class Loader {
 public:
  Loader(const LoadOptions& options) : opt_(options) {}

  LoadResult Run(const std::string& mainFile) {
    std::string content;
    if (!Read(mainFile, content)) {
      // The front end opened the file before; a file that vanished since is
      // a plain load error.
      LoadFailure(opt_.caption, ErrorText(209) + mainFile);
    }
    chain_.push_back(Upper(mainFile));
    ReadFile(mainFile, content, /*include=*/false, std::string());
    return result_;
  }

 private:
  // Where a directive failure points: "Zeile  n: <directive line>".
  std::string DirectiveText(int line, const std::string& directive) const {
    return ErrorText(801) + " " + ToDecimal(line) + ": " + directive;
  }

  int32_t NextSlot() {
    if (gProgram.Length() >= kMaxSlots) {
      LoadFailure(opt_.caption, ErrorText(901));
    }
    gProgram.lines.emplace_back();
    gProgram.debug.emplace_back();
    return gProgram.Length();
  }

  void SetDebug(int32_t slot, int32_t fileIndex, int32_t line) {
    Tdebuginfo& d = gProgram.debug[slot];
    d.FileIndex = fileIndex;
    d.Line = line;
    d.Reserved = 0;
    d.ReservedByte = 0;
  }

  static std::string StripComment(const std::string& line) {
    size_t p = FindTopLevel(line, '\'');
    if (p == std::string::npos) return line;
    if (p == 0) return std::string();
    return Trim(std::string_view(line).substr(0, p));
  }

  bool Read(const std::string& name, std::string& content) const {
    return opt_.readFile ? opt_.readFile(name, &content) : ReadWholeFile(name, content);
  }

  bool Readable(const std::string& name) const {
    return opt_.readFile ? opt_.readFile(name, nullptr) : FileReadable(name);
  }

  static bool BeginsWithRem(const std::string& line) {
    return line.size() >= 4 && Upper(std::string_view(line).substr(0, 4)) == "REM ";
  }

  static void ReplaceTabs(std::string& s) {
    for (char& c : s)
      if (c == '\t') c = ' ';
  }

  // Name lookup for $I and $H: the current directory first, then the
  // include path, for names without a directory part.
  std::string FindFile(const std::string& name) const {
    if (name.find('\\') != std::string::npos || name.find('/') != std::string::npos) return name;
    if (Readable(name)) return name;
    for (const std::string& dir : opt_.includePath) {
      std::string full = JoinPath(dir, name);
      if (Readable(full)) return full;
    }
    return name;
  }

  void ReadFile(const std::string& fileName, const std::string& content, bool include,
                const std::string& prefix) {
    int32_t fileIndex = static_cast<int32_t>(gProgram.files.size());
    gProgram.files.push_back(fileName);
    std::vector<std::string> physical = SplitLines(content);
    int32_t lineNo = 0;
    for (size_t i = 0; i < physical.size(); ++i) {
      int32_t slot = NextSlot();
      ++lineNo;
      std::string line = StripComment(Trim(physical[i]));
      ReplaceTabs(line);
      // Continuation: the joined line lands in the slot of its last
      // physical line; every physical line keeps a slot and a number.
      // Each physical line is looked at once: only the appended part has
      // its tabs replaced, and a joined line that can no longer end within
      // the length limit is refused at once (a line beginning with "REM "
      // would be emptied, so it may grow).
      while (!line.empty() && line.back() == '\\') {
        line.pop_back();
        if (i + 1 >= physical.size()) break;  // continuation on the last line ends there
        ++i;
        ++lineNo;
        std::string next = Trim(StripComment(Trim(physical[i])));
        ReplaceTabs(next);
        line += next;
        SetDebug(slot, fileIndex, lineNo - 1);
        slot = NextSlot();
        const size_t least = line.size() - (!line.empty() && line.back() == '\\' ? 1 : 0);
        if (least > static_cast<size_t>(kMaxLineLength) && !BeginsWithRem(line)) {
          LoadFailure(opt_.caption, ErrorText(902));
        }
      }
      if (BeginsWithRem(line)) line.clear();
      if (static_cast<int32_t>(line.size()) > kMaxLineLength) {
        LoadFailure(opt_.caption, ErrorText(902));
      }
      ReplaceTabs(line);
      SetDebug(slot, fileIndex, lineNo);
      if (include) line = ReplaceOutsideQuotes(line, "?_", prefix);
      if (StartsWith(line, "$P+") || StartsWith(line, "$P-")) {
        if (opt_.compiler && !include) result_.protect = line[2] == '+';
        line.clear();
      }
      if (opt_.compiler && include && StartsWith(line, "$K")) line.clear();
      if (StartsWith(line, "$I ")) {
        IncludeDirective(line, lineNo);
        continue;
      }
      if (StartsWith(line, "$H ")) {
        HeaderDirective(line, lineNo);
        continue;
      }
      ExpandMacros(line);
      SplitIntoSlots(line, slot, fileIndex, lineNo);
    }
  }

  void IncludeDirective(const std::string& line, int32_t lineNo) {
    std::string rest = Trim(std::string_view(line).substr(3));
    std::string prefix;
    size_t eq = rest.find('=');
    if (eq != std::string::npos) {
      prefix = Trim(std::string_view(rest).substr(eq + 1));
      rest = Trim(std::string_view(rest).substr(0, eq));
    }
    std::string name = FindFile(rest);
    std::string content;
    if (!Read(name, content)) LoadFailure(ErrorText(903), DirectiveText(lineNo, line));
    // An include of a file that is still open, or a chain deeper than the
    // limit, would never end.
    std::string key = Upper(name);
    for (const std::string& open : chain_)
      if (open == key) LoadFailure(ErrorText(904), DirectiveText(lineNo, line));
    if (static_cast<int>(chain_.size()) > kMaxIncludeDepth)
      LoadFailure(ErrorText(904), DirectiveText(lineNo, line));
    chain_.push_back(key);
    ReadFile(name, content, /*include=*/true, prefix);
    chain_.pop_back();
  }

  void HeaderDirective(const std::string& line, int32_t lineNo) {
    std::string name = FindFile(Trim(std::string_view(line).substr(3)));
    std::string content;
    if (!Read(name, content)) LoadFailure(ErrorText(913), DirectiveText(lineNo, line));
    for (const std::string& raw : SplitLines(content)) {
      std::string h = Trim(raw);
      if (StartsWith(h, "$H ")) LoadFailure(ErrorText(914), DirectiveText(lineNo, line));
      if (h.empty() || h[0] == '\'' || h[0] == '{') continue;
      gPre.headerTable += HeaderEntry(h);
    }
  }

 public:
  // One header line as a table entry ("NAME=value;"); a line without a
  // semicolon is taken unchanged.
  static std::string HeaderEntry(const std::string& h) {
    size_t semi = h.rfind(';');
    if (semi == std::string::npos) return h;
    if (semi == 0) return std::string();
    std::string cut = h.substr(0, semi + 1);
    size_t eq1 = cut.find('=');
    if (eq1 == std::string::npos) return cut;
    std::string name = Upper(Trim(std::string_view(cut).substr(0, eq1)));
    size_t eq2 = cut.find('=', eq1 + 1);
    std::string value = Trim(std::string_view(cut).substr(
        eq1 + 1, eq2 == std::string::npos ? std::string::npos : eq2 - eq1 - 1));
    // A value cut at a second "=" gets its closing ";" so it cannot run
    // into the next entry.
    if (value.empty() || value.back() != ';') value += ';';
    return name + "=" + value;
  }

 private:
  // The first "~" outside double quotes at or after from, which must lie
  // outside quotes.
  static size_t FindMacroStart(const std::string& line, size_t from) {
    bool quoted = false;
    for (size_t i = from; i < line.size(); ++i) {
      if (line[i] == '"') quoted = !quoted;
      else if (line[i] == '~' && !quoted) return i;
    }
    return std::string::npos;
  }

  // Each expansion costs a pass over the line, so the line may not grow
  // beyond the length limit on the way: a line that does is refused with
  // 902 at once (expansions that shrink it again are not waited for).
  void ExpandMacros(std::string& line) {
    size_t from = 0;  // nothing before it is a macro
    for (int expansions = 0;; ++expansions) {
      size_t tilde = FindMacroStart(line, from);
      if (tilde == std::string::npos || tilde + 1 >= line.size()) return;
      size_t end = line.find_first_not_of(kMacroNameChars, tilde + 1);
      if (end == std::string::npos) end = line.size();
      std::string original = line.substr(tilde + 1, end - tilde - 1);
      if (end < line.size() && line[end] == '(') {
        original += '(';
        ++end;
      }
      std::string name = Upper(original);
      if (expansions >= kMaxMacroExpansions) LoadFailure(opt_.caption, ErrorText(260) + name);
      std::string key = ";" + name + "=";
      size_t at = gPre.headerTable.find(key);
      if (at == std::string::npos) LoadFailure(opt_.caption, ErrorText(260) + name);
      size_t vstart = at + key.size();
      size_t vend = gPre.headerTable.find(';', vstart);
      std::string value = gPre.headerTable.substr(
          vstart, vend == std::string::npos ? std::string::npos : vend - vstart);
      line.replace(tilde, end - tilde, value);
      from = tilde;
      if (line.find(",)") != std::string::npos) {
        const size_t before = line.size();
        line = ReplaceOutsideQuotes(line, ",)", ")");
        if (line.size() != before) from = 0;  // text before the value may have moved
      }
      CheckLength(line);
    }
  }

  void ReportAtSlot(int32_t code, int32_t slot, int32_t fileIndex, int32_t lineNo) {
    gPos.File = gProgram.files[fileIndex];
    gPos.FileSource = nullptr;
    gPos.SourceLine = lineNo;
    gPos.CompiledLine = slot;
    gPos.LocationForm = TPosition::Form::Text;
    gPos.Location = InterpreterLocation(lineNo, gPos.File, gProgram.lines[slot]);
    RaiseError(code);
  }

  void CheckLength(const std::string& text) {
    if (static_cast<int32_t>(text.size()) > kMaxLineLength) LoadFailure(opt_.caption, ErrorText(902));
  }

  void SplitIntoSlots(std::string line, int32_t slot, int32_t fileIndex, int32_t lineNo) {
    for (;;) {
      size_t colon = FindTopLevel(line, ':');
      if (colon == std::string::npos || colon + 1 == line.size()) break;
      std::string rest = Trim(std::string_view(line).substr(colon + 1));
      line.resize(colon);
      CheckLength(line);
      gProgram.lines[slot] = line;
      slot = NextSlot();
      SetDebug(slot, fileIndex, lineNo);
      line = rest;
      gProgram.lines[slot] = line;
      if (StartsWith(line, "$")) ReportAtSlot(136, slot, fileIndex, lineNo);
    }
    CheckLength(line);
    gProgram.lines[slot] = line;
  }

  const LoadOptions& opt_;
  LoadResult result_;
  std::vector<std::string> chain_;  // upper-cased names of the open files
};

bool HasSymbol(const std::string& name) {
  for (const std::string& s : gPre.symbols)
    if (EqualsNoCase(s, name)) return true;
  return false;
}

void ReportPass2(int32_t code, int32_t slot, const std::string& text) {
  gPos.File = gProgram.FileOf(slot);
  gPos.FileSource = nullptr;
  gPos.SourceLine = gProgram.LineOf(slot);
  gPos.CompiledLine = slot;
  gPos.LocationForm = TPosition::Form::Text;
  gPos.Location = InterpreterLocation(gPos.SourceLine, gPos.File, text);
  RaiseError(code);
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::string cur;
  for (size_t i = 0; i < content.size(); ++i) {
    char c = content[i];
    if (c == '\n' || c == '\r') {
      lines.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

std::vector<std::string> SplitPathList(const std::string& list) {
  std::vector<std::string> dirs;
  size_t start = 0;
  while (start <= list.size()) {
    size_t semi = list.find(';', start);
    std::string dir = Trim(std::string_view(list).substr(
        start, semi == std::string::npos ? std::string::npos : semi - start));
    if (!dir.empty()) dirs.push_back(dir);
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  return dirs;
}

namespace {

// Pass 2 on one slot: directives and lines in false conditional blocks
// become empty.
void ConditionalSlot(int32_t slot) {
  std::string& s = gProgram.lines[slot];
  s = Trim(s);
  if (StartsWith(s, "$TESTDEF ")) {
    s.clear();
  } else if (s == "$ELSE") {
    gPre.condition = !gPre.condition;
    if (gPre.depth >= 2) gPre.condition = gPre.condition && gPre.condStack[gPre.depth - 1];
    gPre.condStack[gPre.depth] = gPre.condition;
    s.clear();
  } else if (s == "$ENDIF") {
    std::string text = s;
    s.clear();
    if (gPre.depth == 0) {
      ReportPass2(138, slot, text);
    } else {
      --gPre.depth;
    }
    gPre.condition = gPre.depth == 0 ? true : gPre.condStack[gPre.depth];
  } else if (StartsWith(s, "$DEFINE ")) {
    gPre.symbols.push_back(Trim(std::string_view(s).substr(8)));
    s.clear();
  } else if (StartsWith(s, "$UNDEF ")) {
    std::string name = Trim(std::string_view(s).substr(7));
    for (auto it = gPre.symbols.begin(); it != gPre.symbols.end(); ++it) {
      if (EqualsNoCase(*it, name)) {
        gPre.symbols.erase(it);
        break;
      }
    }
    s.clear();
  } else if (StartsWith(s, "$IFDEF ") || StartsWith(s, "$IFNDEF ")) {
    bool negate = StartsWith(s, "$IFNDEF ");
    std::string name = Trim(std::string_view(s).substr(negate ? 8 : 7));
    bool defined = HasSymbol(name);
    gPre.condition = gPre.condition && (negate ? !defined : defined);
    std::string text = s;
    s.clear();
    if (gPre.depth >= 65535) {
      ReportPass2(139, slot, text);
    } else {
      ++gPre.depth;
    }
    gPre.condStack[gPre.depth] = gPre.condition;
  }
  if (!gPre.condition) s.clear();
}

}  // namespace

void ConditionalPass(const std::function<void(int32_t)>& afterSlot) {
  for (int32_t slot = 1; slot <= gProgram.Length(); ++slot) {
    ConditionalSlot(slot);
    if (afterSlot) afterSlot(slot);
  }
}

LoadResult LoadProgram(const std::string& mainFile, const LoadOptions& options) {
  gProgram.Clear();
  gPre.headerTable = options.headerTable;
  gPre.symbols = options.symbols;
  gPre.condition = true;
  gPre.depth = 0;
  std::fill(gPre.condStack.begin(), gPre.condStack.end(), false);
  Loader loader(options);
  LoadResult result = loader.Run(mainFile);
  if (options.conditionalPass) ConditionalPass();
  return result;
}

std::string HeaderEntryForTest(const std::string& line) { return Loader::HeaderEntry(line); }

}  // namespace korv
