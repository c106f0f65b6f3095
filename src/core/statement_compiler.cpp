// The statement compiler. Each slot becomes: the command code, a jump target
// for the block statements, and the arguments with operators, system
// variables, DEF names and calls replaced by tokens and blanks removed.
#include "core/statement_compiler.h"

#include <algorithm>

#include "base/code_tables.h"
#include "core/line_store.h"
#include "base/text.h"
#include "core/block_scan.h"
#include "base/errors.h"
#include "core/statement_split.h"

namespace korv {

namespace {

constexpr size_t npos = std::string::npos;

// The call test at position at. On failure, breakAt tells from where on the
// test can pass again (npos: nowhere, there is no "(" left).
bool CallTest(std::string_view t, size_t at, size_t& breakAt) {
  breakAt = at + 1;
  size_t paren = t.find('(', at);
  if (paren == npos) {
    breakAt = npos;
    return false;
  }
  if (paren == at) return false;
  std::string_view head = t.substr(0, paren);
  for (size_t i = at; i < paren; ++i) {
    unsigned char c = static_cast<unsigned char>(t[i]);
    if (c == '#' && i + 1 < paren && t[i + 1] == '[') {
      size_t close = head.find("].", i);
      if (close != npos) {
        i = close;  // the index part "[...]" does not count; the "." does
        continue;
      }
    }
    if (IsCallBreaker(c)) {
      breakAt = i + 1;
      return false;
    }
  }
  return true;
}

bool IsSigil(char c) { return c == '$' || c == '%' || c == '&' || c == '!'; }

// Characters of a system-variable or DEF name (Latin-1 umlauts included).
bool IsNameChar(unsigned char c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  switch (c) {
    case '_': case '.': case 0xC4: case 0xD6: case 0xDC: case 0xE4: case 0xF6: case 0xFC:
    case 0xDF:
      return true;
    default:
      return false;
  }
}

bool MatchNoCase(std::string_view t, size_t at, std::string_view word) {
  if (at + word.size() > t.size()) return false;
  for (size_t k = 0; k < word.size(); ++k)
    if (UpperChar(t[at + k]) != word[k]) return false;
  return true;
}

// Replaces every occurrence of word (found without regard to case) outside
// string literals.
std::string ReplaceWord(std::string_view s, std::string_view word, std::string_view with) {
  std::string r;
  r.reserve(s.size());
  bool quoted = false;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '"') quoted = !quoted;
    if (!quoted && MatchNoCase(s, i, word)) {
      r.append(with);
      i += word.size();
      continue;
    }
    r.push_back(s[i]);
    ++i;
  }
  return r;
}

// The name of a slot's PROC header ("" when the slot is none).
bool ProcHeaderName(std::string_view upperTrimmed, std::string& name) {
  if (!StartsWith(upperTrimmed, "PROC ")) return false;
  name = Trim(upperTrimmed.substr(5));
  return true;
}

bool DefName(std::string_view upperTrimmed, std::string& name) {
  if (!StartsWith(upperTrimmed, "DEF ")) return false;
  std::string rest = Trim(upperTrimmed.substr(4));
  size_t blank = rest.find(' ');
  name = rest.substr(0, blank);
  return !name.empty();
}

}  // namespace

bool CallFormAt(std::string_view text, size_t at) {
  size_t ignored;
  return CallTest(text, at, ignored);
}

void StatementCompiler::Begin() {
  counters_ = CompileCounters();
  ends_.reset();
  procs_.clear();
  defs_.clear();
  upper_.assign(1, std::string());
  last_ = gProgram.Length();
  for (int32_t slot = 1; slot <= gProgram.Length(); ++slot) {
    std::string cmd, args;
    std::string text = Trim(gProgram.lines[slot]);
    if (!text.empty()) SplitStatement(text, cmd, args);
    upper_.push_back(Upper(text));
    if (cmd == "PROGEND") {
      last_ = slot;
      break;
    }
  }
  for (int32_t slot = 1; slot <= last_; ++slot) {
    std::string name;
    if (ProcHeaderName(upper_[slot], name)) procs_.emplace(name, slot);
    if (DefName(upper_[slot], name)) defs_.emplace(name, slot);
  }
}

int32_t StatementCompiler::ProcSlot(const std::string& upperName) const {
  auto it = procs_.find(upperName);
  return it == procs_.end() ? 0 : it->second;
}

int32_t StatementCompiler::DefSlot(const std::string& upperName) const {
  auto it = defs_.find(upperName);
  return it == defs_.end() ? 0 : it->second;
}

void StatementCompiler::SetPosition(int32_t slot) const {
  if (slot < 1 || slot > gProgram.Length()) return;
  gPos.File = gProgram.files.empty() ? std::string() : gProgram.FileOf(slot);
  gPos.FileSource = nullptr;
  gPos.SourceLine = gProgram.LineOf(slot);
  gPos.CompiledLine = slot;
  gPos.LocationForm = TPosition::Form::Text;
  gPos.Location = InterpreterLocation(gPos.SourceLine, gPos.File, Trim(gProgram.lines[slot]));
}


// A scan from slot s ends at the first later slot that is no opener, is a
// closer or a stop, and has the depth before it that the scan started with
// (every opener on the way raised it, every closer lowered it again).
int32_t BlockEnds::Find(BlockScan scan, int32_t from) {
  Index& ix = index_[static_cast<size_t>(scan)];
  if (!ix.built) {
    ix.depthBefore.assign(static_cast<size_t>(last_) + 2, 0);
    int32_t depth = 0;
    for (int32_t j = 1; j <= last_; ++j) {
      ix.depthBefore[static_cast<size_t>(j)] = depth;
      switch (ClassifyScanLine(scan, upper_[static_cast<size_t>(j)])) {
        case ScanLine::Opener: ++depth; break;
        case ScanLine::Closer: ix.ends[depth].push_back(j); --depth; break;
        case ScanLine::Stop: ix.ends[depth].push_back(j); break;
        case ScanLine::Other: break;
      }
    }
    ix.depthBefore[static_cast<size_t>(last_) + 1] = depth;
    ix.built = true;
  }
  if (from < 0 || from >= last_) return 0;
  auto it = ix.ends.find(ix.depthBefore[static_cast<size_t>(from) + 1]);
  if (it == ix.ends.end()) return 0;
  auto pos = std::upper_bound(it->second.begin(), it->second.end(), from);
  return pos == it->second.end() ? 0 : *pos;
}

bool StatementCompiler::Jump(BlockScan scan, int32_t slot, int32_t& target) {
  if (!ends_) ends_ = std::make_unique<BlockEnds>(upper_, last_);
  int32_t end = ends_->Find(scan, slot);
  if (end == 0) {
    RaiseError(ScanMissingError(scan));
    return false;
  }
  target = ScanTarget(scan, end);
  return true;
}

bool StatementCompiler::Target(uint8_t c, int32_t slot, int32_t& target) {
  target = -1;
  switch (c) {
    case code::kIf:
    case code::kIfNot:
    case code::kElseIf:
      if (!Jump(BlockScan::FalseCondition, slot, target)) return false;
      if (c != code::kElseIf) ++counters_.ifs;
      return true;
    case code::kElse:
      return Jump(BlockScan::BranchDone, slot, target);
    case code::kEndIf:
      if (counters_.ifs < 1) {
        RaiseError(126);
        return false;
      }
      --counters_.ifs;
      return true;
    case code::kWhile:
    case code::kWhileNot:
    case code::kWhileLoop:
      if (!Jump(BlockScan::LoopEnd, slot, target)) return false;
      ++counters_.whiles;
      return true;
    case code::kEndWhile:
      if (--counters_.whiles < 0) {
        RaiseError(110);
        return false;
      }
      return true;
    case code::kBreak:
      if (counters_.whiles < 1) {
        RaiseError(110);
        return false;
      }
      return Jump(BlockScan::LeaveLoop, slot, target);
    case code::kContinue:
      if (counters_.whiles < 1) {
        RaiseError(110);
        return false;
      }
      return true;
    case code::kSelect:
      ++counters_.selects;
      return true;
    case code::kCaseOf:
    case code::kOtherwise:
      if (counters_.selects == 0) {
        RaiseError(140);
        return false;
      }
      return Jump(c == code::kCaseOf ? BlockScan::NoMatch : BlockScan::SelectionDone, slot, target);
    case code::kEndSelect:
      if (counters_.selects < 1) {
        RaiseError(140);
        return false;
      }
      --counters_.selects;
      return true;
    case code::kProc:
    case code::kSubproc:
    case code::kErrorProc:
      if (!Jump(BlockScan::SkipProcedure, slot, target)) return false;
      ++counters_.procs;
      return true;
    case code::kEndProc:
      if (--counters_.procs < 0) {
        RaiseError(112);
        return false;
      }
      return true;
    default:
      return true;
  }
}

std::string StatementCompiler::ReplaceOperators(std::string_view args) {
  std::string s(args);
  for (const auto& [word, token] : code::kOperatorSpellings) s = ReplaceWord(s, word, token);
  return s;
}

std::string StatementCompiler::ReplaceSystemVariables(std::string_view s) const {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char c = s[i];
    if (c == '"') {
      size_t end = s.find('"', i + 1);
      end = end == npos ? s.size() : end + 1;
      out.append(s.substr(i, end - i));
      i = end;
      continue;
    }
    if (IsSigil(c) && i + 1 < s.size() && IsNameChar(static_cast<unsigned char>(s[i + 1]))) {
      size_t end = i + 1;
      while (end < s.size() && IsNameChar(static_cast<unsigned char>(s[end]))) ++end;
      std::string_view original = s.substr(i, end - i);
      std::string name = Upper(original);
      int32_t radix;
      int sysvar = SysVarCode(name);
      if (sysvar >= 0) {
        out.push_back(c);
        out.push_back(static_cast<char>(sysvar));
      } else if (c == '$' && ParseRadixLiteral(name, radix)) {
        out.append(original);
      } else if (int32_t def = DefSlot(name); def != 0) {
        out.push_back(c);
        out.push_back(code::kDefToken);
        PutLe32(out, def);
      } else {
        out.append(original);
      }
      i = end;
      continue;
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

bool StatementCompiler::TokeniseCalls(std::string_view s, bool structOrClass, std::string& out) const {
  out.clear();
  out.reserve(s.size());
  size_t callAllowedFrom = 0;          // the call test cannot pass before this
  size_t memberFrom = npos, memberParen = npos;  // "#[...].name(" being copied
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    const unsigned char u = static_cast<unsigned char>(c);
    if (IsSigil(c) && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xFE &&
        i + 5 < s.size()) {
      out.append(s.substr(i, 6));
      i += 6;
      continue;
    }
    if (u == 0xA7 && i + 3 < s.size() && s[i + 3] == '|') {
      out.append(s.substr(i, 4));
      i += 4;
      continue;
    }
    if (c == ' ' || c == '\t') {
      ++i;
      continue;
    }
    if (c == '"') {
      size_t end = s.find('"', i + 1);
      end = end == npos ? s.size() : end + 1;
      out.append(s.substr(i, end - i));
      i = end;
      continue;
    }
    if (i == memberParen) {
      out.push_back(':');
      memberFrom = memberParen = npos;
      ++i;
      continue;
    }
    if (memberFrom != npos && i >= memberFrom) {
      out.push_back(c);  // the member name of an indexed method call
      ++i;
      continue;
    }
    bool call = false;
    if (!structOrClass) {
      if (c == '@') {
        call = true;
      } else if (callAllowedFrom != npos && i >= callAllowedFrom) {
        size_t again;
        call = CallTest(s, i, again);
        if (!call) callAllowedFrom = again;
      }
    }
    if (!call) {
      out.push_back(c);
      ++i;
      continue;
    }
    // The name runs up to the first "(" outside square brackets.
    size_t paren = npos;
    int square = 0;
    for (size_t k = i; k < s.size(); ++k) {
      if (s[k] == '"') {
        size_t q = s.find('"', k + 1);
        if (q == npos) break;
        k = q;
      } else if (s[k] == '[') {
        ++square;
      } else if (s[k] == ']') {
        --square;
      } else if (s[k] == '(' && square == 0) {
        paren = k;
        break;
      }
    }
    if (paren == npos) {
      RaiseError(213);
      return false;
    }
    std::string name = Upper(Trim(s.substr(i, paren - i)));
    if (!name.empty() && name[0] == '@') name = Trim(std::string_view(name).substr(1));
    int fn = FunctionCode(name);
    if (fn >= 0) {
      out.push_back('@');
      out.push_back(static_cast<char>(fn));
    } else if (int32_t proc = ProcSlot(name); proc != 0) {
      out.push_back('@');
      out.push_back(code::kProcToken);
      PutLe32(out, proc);
    } else if ((!name.empty() && name[0] == '.') || name.find("#.") != npos) {
      out.push_back('@');
      out.push_back(code::kMethodToken);
      out.append(name);
      out.push_back(':');
    } else if (name.find("].") != npos) {
      // "@", 0x13, the name up to its "#["; the index and the member name
      // follow from the source, and the "(" becomes ":".
      size_t open = s.find("#[", i);
      size_t nameOpen = name.find("#[");
      if (open == npos || open >= paren || nameOpen == npos) {
        RaiseError(101, name);
        return false;
      }
      out.push_back('@');
      out.push_back(code::kMethodToken);
      out.append(name.substr(0, nameOpen + 2));
      size_t lastMember = std::string_view(s.substr(0, paren)).rfind("].");
      memberFrom = lastMember + 1;  // the "." and the member name
      memberParen = paren;
      i = open + 2;
      continue;
    } else {
      RaiseError(101, name);
      return false;
    }
    i = paren + 1;
  }
  return true;
}

bool StatementCompiler::RewriteClass(const std::string& args, std::string& out) const {
  size_t eq = args.find('=');
  if (eq == npos || Trim(std::string_view(args).substr(eq + 1)).empty()) {
    RaiseError(257, args);
    return false;
  }
  std::string className = Upper(Trim(std::string_view(args).substr(0, eq)));
  std::string members = args.substr(eq + 1);
  out = className + "=";
  size_t start = 0;
  bool first = true;
  for (;;) {
    size_t comma = FindTopLevel(members, ',', false, start);
    std::string item = Upper(Trim(std::string_view(members).substr(
        start, comma == npos ? npos : comma - start)));
    if (!item.empty() && item.back() == '@') {
      std::string method = item.substr(0, item.size() - 1);
      if (!method.empty() && (method[0] == '#' || method[0] == '+' || method[0] == '-'))
        method.erase(0, 1);
      int32_t slot = ProcSlot(className + "." + method);
      if (slot == 0) {
        RaiseError(267, className + "." + method);
        return false;
      }
      item = method + "_" + ToDecimal(slot) + "@";
    }
    if (!first) out.push_back(',');
    out += item;
    first = false;
    if (comma == npos) break;
    start = comma + 1;
  }
  return true;
}

bool StatementCompiler::Compile(int32_t slot, std::string& out) {
  out.clear();
  SetPosition(slot);
  std::string text = Trim(gProgram.lines[slot]);
  std::string cmd, args;
  if (text.empty()) {
    cmd = "REM";
  } else {
    SplitStatement(text, cmd, args);
  }
  if (cmd == "$B" || cmd == "$D") cmd = "REM";

  // Labels, comments and the statements that lose their arguments.
  if (args.empty() && !cmd.empty() && cmd.back() == ':') {
    out.push_back(static_cast<char>(code::kLabel));
    out += cmd;
    return true;
  }
  if (cmd == "REM" || cmd == "TRACEON" || cmd == "TRACEOFF" || cmd == "SETLFN" || cmd[0] == '\'') {
    out.push_back(static_cast<char>(code::kNoOp));
    return true;
  }

  int c = cmd == "@" ? code::kExpression : CommandCode(cmd);
  int32_t procSlot = 0;
  if (c < 0) {
    procSlot = ProcSlot(cmd);
    if (procSlot != 0) {
      c = code::kUserProc;
    } else if (HasFunctionCallForm(cmd + args)) {
      args = cmd + args;
      c = code::kExpression;
    } else {
      RaiseError(102, cmd);
      return false;
    }
  }
  const uint8_t cb = static_cast<uint8_t>(c);
  if (cb == code::kEndIf || cb == code::kEndSelect || cb == code::kProc) args.clear();
  if (cb != code::kDef) {
    size_t apostrophe = FindTopLevel(args, '\'');
    if (apostrophe != npos) args = Trim(std::string_view(args).substr(0, apostrophe));
  }

  int32_t target = -1;
  if (!Target(cb, slot, target)) return false;

  out.push_back(static_cast<char>(cb));
  if (cb == code::kUserProc) PutLe32(out, procSlot);
  if (HasJumpTarget(cb)) PutLe32(out, target);

  if (!args.empty()) {
    if (!CheckArguments(args)) return false;
    if (cb == code::kDef) {
      out += args;  // read at run time exactly as the interpreter reads it
    } else {
      if (cb == code::kClass) {
        std::string rewritten;
        if (!RewriteClass(args, rewritten)) return false;
        args = rewritten;
      }
      std::string tokens;
      if (!TokeniseCalls(ReplaceSystemVariables(ReplaceOperators(args)),
                         cb == code::kStruct || cb == code::kClass, tokens))
        return false;
      out += tokens;
    }
  }
  if (out.size() > static_cast<size_t>(kMaxLineLength)) {
    RaiseError(902);
    return false;
  }
  return true;
}

bool StatementCompiler::Finish() {
  SetPosition(last_);
  if (counters_.ifs > 0) {
    RaiseError(107);
    return false;
  }
  if (counters_.selects > 0) {
    RaiseError(143);
    return false;
  }
  if (counters_.whiles > 0) {
    RaiseError(109);
    return false;
  }
  if (counters_.procs > 0) {
    RaiseError(115);
    return false;
  }
  return true;
}

bool CompileProgram(std::vector<std::string>& bodies) {
  bodies.clear();
  StatementCompiler sc;
  sc.Begin();
  for (int32_t slot = 1; slot <= sc.LastSlot(); ++slot) {
    std::string body;
    if (!sc.Compile(slot, body)) return false;
    bodies.push_back(std::move(body));
  }
  return sc.Finish();
}

}  // namespace korv
