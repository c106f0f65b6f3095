// STRUCT and CLASS definitions, member layout, member reads and writes,
// NEW, WITH/ENDWITH, TYPEOF and CLASSOF.
#include "values/structures.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "engine/procedures.h"
#include "values/areas.h"
#include "values/composite.h"
#include "values/functions_support.h"
#include "values/evaluator.h"
#include "values/value_commands.h"

namespace korv {

TStructTables gStructs;

namespace {

constexpr size_t npos = std::string::npos;
constexpr int32_t kMaxWithLevels = 99;

// The built-in structure of the sprites.
constexpr const char* kSpriteDefinition =
    "OGLSPRITE=typ$(32),posx!,posy!,posz!,posdx!,posdy!,posdz!,maxx!,maxy!,maxz!,minx!,miny!,"
    "minz!,rotx!,roty!,rotz!,rotdx!,rotdy!,rotdz!,colorr!,colorg!,colorb!,alpha!,lasttick&,"
    "dtick&,mode&,textur&,texturm!,x!,y!,z!,a!,b!,pathdata&";

std::vector<std::string> gWithStack;  // the prefixes saved by open WITH levels
WindowClassNameHook gClassNameHook = nullptr;

bool HasBlank(std::string_view s) {
  for (char c : s)
    if (IsBlankChar(c)) return true;
  return false;
}

bool IsTypeChar(char c) {
  return c == '!' || c == '#' || c == '$' || c == '%' || c == '&' || c == '@';
}

void EnsureTables() {
  if (gStructs.structs.empty()) gStructs.structs.resize(kStructTableSize);
  if (gStructs.members.empty()) gStructs.members.resize(kMemberTableSize);
}

// Appends a member to the table (256 when full).
bool AddMember(const std::string& structName, const TStruktVar& m) {
  if (gStructs.memberCount >= kMemberTableSize - 1) {
    RaiseError(256, structName);
    return false;
  }
  gStructs.members[++gStructs.memberCount] = m;
  return true;
}

bool NameTaken(int32_t first, const std::string& name) {
  for (int32_t i = first; i <= gStructs.memberCount; ++i)
    if (gStructs.members[i].Name == name) return true;
  return false;
}

// Takes a size "(n)" off a member; false after a report.
bool TakeSize(std::string& member, int32_t& size, bool& hasSize) {
  size = 0;
  hasSize = false;
  if (member.empty() || member.back() != ')') return true;
  size_t open = member.find('(');
  if (open == npos) return true;
  std::string inside = member.substr(open + 1, member.size() - open - 2);
  member = Trim(std::string_view(member).substr(0, open));
  TParStack ps;
  if (!EvalText(inside, ps, kind::kInt)) return false;
  size = gRes.IntValue;
  hasSize = size > 0;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Tables

void ResetStructures() {
  EnsureTables();
  for (int32_t i = 1; i <= gStructs.structCount; ++i) gStructs.structs[i] = TStruktur();
  for (int32_t i = 1; i <= gStructs.memberCount; ++i) gStructs.members[i] = TStruktVar();
  gStructs.structCount = 0;
  gStructs.memberCount = 0;
  DefineStructure(kSpriteDefinition, 's');
}

int32_t FindStructureNewest(const std::string& upperName) {
  for (int32_t i = gStructs.structCount; i >= 1; --i)
    if (gStructs.structs[i].Name == upperName) return i;
  return 0;
}

int32_t FindStructureOldest(const std::string& upperName) {
  for (int32_t i = 1; i <= gStructs.structCount; ++i)
    if (gStructs.structs[i].Name == upperName) return i;
  return 0;
}

int32_t FindMember(int32_t structIndex, const std::string& upperMember, bool skipFirst) {
  if (structIndex < 1 || structIndex > gStructs.structCount) return 0;
  const TStruktur& s = gStructs.structs[structIndex];
  for (int32_t i = s.LastMember; i >= s.FirstMember && i >= 1; --i) {
    if (gStructs.members[i].Name != upperMember) continue;
    if (skipFirst) {
      skipFirst = false;
      continue;
    }
    return i;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Definitions

bool SplitDefinition(std::string_view text, std::string& name, std::string& memberList) {
  size_t eq = FindTopLevel(text, '=');
  if (eq == npos) return false;
  name = Upper(Trim(text.substr(0, eq)));
  memberList = std::string(text.substr(eq + 1));
  return true;
}

std::vector<std::string> SplitMembers(std::string_view list, bool compiled) {
  // In compiled text "@" ends a method member and must not open a bracket,
  // so the search is the plain one in both cases.
  (void)compiled;
  std::vector<std::string> members;
  size_t start = 0;
  for (;;) {
    size_t comma = FindTopLevel(list, ',', false, start);
    members.push_back(Upper(Trim(list.substr(start, comma == npos ? npos : comma - start))));
    if (comma == npos) break;
    start = comma + 1;
  }
  return members;
}

bool SplitCompiledMethod(const std::string& member, std::string& name, int32_t& line) {
  if (member.size() < 3 || member.back() != '@') return false;
  size_t us = member.rfind('_');
  if (us == npos || us == 0 || us + 1 >= member.size() - 1) return false;
  int64_t v = 0;
  for (size_t i = us + 1; i + 1 < member.size(); ++i) {
    char c = member[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > std::numeric_limits<int32_t>::max()) return false;
  }
  name = member.substr(0, us) + "@";
  line = static_cast<int32_t>(v);
  return true;
}

bool DefineStructure(const std::string& text, char kind) {
  EnsureTables();
  std::string name, list;
  if (!SplitDefinition(text, name, list)) {
    RaiseError(128);
    return false;
  }
  if (name.empty() || HasBlank(name) || std::string("!#$%&").find(name.back()) != npos) {
    RaiseError(129, name);
    return false;
  }
  if (Trim(list).empty()) {
    RaiseError(131);
    return false;
  }
  if (gStructs.structCount >= kStructTableSize - 1) {
    RaiseError(258, name);
    return false;
  }
  const bool isClass = kind == 'o';
  const bool compiled = gExec.compiledMode;
  const int32_t self = ++gStructs.structCount;
  TStruktur& s = gStructs.structs[self];
  s = TStruktur();
  s.Name = name;
  s.Kind = kind;
  s.FirstMember = gStructs.memberCount + 1;
  s.LastMember = gStructs.memberCount;
  int64_t offset = 0;
  bool first = true;
  bool ok = true;
  for (std::string member : SplitMembers(list, compiled)) {
    if (gStructs.memberCount >= kMemberTableSize - 1) {
      RaiseError(256, name);
      ok = false;
      break;
    }
    TStruktVar m;
    if (isClass && !member.empty() && (member[0] == '+' || member[0] == '-' || member[0] == '#')) {
      m.Visibility = member[0];
      member = Trim(std::string_view(member).substr(1));
    }
    int32_t size = 0;
    bool hasSize = false;
    if (!TakeSize(member, size, hasSize)) {
      ok = false;
      break;
    }
    if (HasBlank(member)) {
      RaiseError(122, member);
      ok = false;
      break;
    }
    if (member.empty() || !IsTypeChar(member.back())) {
      // Inclusion of another definition, newest first.
      int32_t other = FindStructureNewest(member);
      if (other == 0 || other == self || hasSize) {
        RaiseError(257, member);
        ok = false;
        break;
      }
      const TStruktur base = gStructs.structs[other];
      if (isClass && !first) {
        RaiseError(266, member);
        ok = false;
        break;
      }
      if (!isClass && base.Kind == 'o') {
        RaiseError(271, member);
        ok = false;
        break;
      }
      for (int32_t i = base.FirstMember; i <= base.LastMember && ok; ++i) {
        TStruktVar copy = gStructs.members[i];
        if (copy.Visibility == '-') continue;
        if (!isClass && NameTaken(s.FirstMember, copy.Name)) {
          RaiseError(265, copy.Name);
          ok = false;
          break;
        }
        if (offset + copy.Size > std::numeric_limits<int32_t>::max()) {
          RaiseError(257, copy.Name);
          ok = false;
          break;
        }
        copy.Offset = static_cast<int32_t>(offset);
        offset += copy.Size;
        if (!AddMember(name, copy)) ok = false;
      }
      if (!ok) break;
      s.LastMember = gStructs.memberCount;
      first = false;
      continue;
    }
    m.MemberKind = member.back();
    if (hasSize) {
      // In 64 bits: a string member of n characters takes n + 1 bytes,
      // which for the largest n lies beyond the integer range.
      int64_t bytes = 0;
      if (m.MemberKind == '$') bytes = int64_t{size} + 1;
      else if (m.MemberKind == '#') bytes = size;
      else {
        RaiseError(257, member);
        ok = false;
        break;
      }
      if (bytes <= 0 || bytes > std::numeric_limits<int32_t>::max()) {
        RaiseError(257, member);
        ok = false;
        break;
      }
      m.Size = static_cast<int32_t>(bytes);
    } else {
      switch (m.MemberKind) {
        case '!': m.Size = 8; break;
        case '&': m.Size = 4; break;
        case '%': m.Size = 2; break;
        case '@':
          if (!isClass) {
            RaiseError(257, member);
            ok = false;
          }
          m.Size = 4;
          break;
        default:
          RaiseError(257, member);
          ok = false;
          break;
      }
      if (!ok) break;
    }
    m.Name = member;
    if (m.MemberKind == '@') {
      std::string methodName;
      int32_t line = 0;
      if (compiled && SplitCompiledMethod(member, methodName, line)) {
        m.Name = methodName;
        m.MethodLine = line;
      } else {
        std::string proc = name + "." + member.substr(0, member.size() - 1);
        m.MethodLine = FindProcedure(proc, false);
        if (m.MethodLine == 0) {
          RaiseError(267, proc);
          ok = false;
          break;
        }
      }
    }
    if (!isClass && NameTaken(s.FirstMember, m.Name)) {
      RaiseError(265, m.Name);
      ok = false;
      break;
    }
    if (offset + m.Size > std::numeric_limits<int32_t>::max()) {
      RaiseError(257, member);
      ok = false;
      break;
    }
    m.Offset = static_cast<int32_t>(offset);
    offset += m.Size;
    if (!AddMember(name, m)) {
      ok = false;
      break;
    }
    s.LastMember = gStructs.memberCount;
    first = false;
  }
  s.Size = static_cast<int32_t>(offset);
  s.LastMember = gStructs.memberCount;
  return ok;
}

// ---------------------------------------------------------------------------
// Member references

bool ParseMemberForm(const std::string& u, MemberForm& out) {
  out = MemberForm();
  std::string full = u;
  if (!u.empty() && u[0] == '.') {
    std::string rest = u.substr(1);
    if (StartsWith(rest, "SUPER.")) {
      out.super = true;
      rest = rest.substr(6);
    }
    out.areaPart = gProc.currentObject;
    out.member = Trim(rest);
    return true;
  }
  int depth = 0;
  for (size_t i = 0; i < full.size(); ++i) {
    char c = full[i];
    if (c == '"') {
      size_t q = full.find('"', i + 1);
      if (q == npos) return false;
      i = q;
      continue;
    }
    if (c == '[' || c == '(') ++depth;
    if (c == ']' || c == ')') --depth;
    if (depth != 0 || c != '#' || i + 1 >= full.size()) continue;
    if (full[i + 1] == '.') {
      out.areaPart = Trim(std::string_view(full).substr(0, i + 1));
      out.member = Trim(std::string_view(full).substr(i + 2));
      return true;
    }
    if (full[i + 1] == '[') {
      int d = 0;
      size_t j = i + 1;
      for (; j < full.size(); ++j) {
        if (full[j] == '[') ++d;
        if (full[j] == ']' && --d == 0) break;
      }
      if (j >= full.size()) return false;
      if (j + 1 < full.size() && full[j + 1] == '.') {
        out.areaPart = Trim(std::string_view(full).substr(0, j + 1));
        out.member = Trim(std::string_view(full).substr(j + 2));
        return true;
      }
      i = j;
    }
  }
  return false;
}

namespace {

struct MemberTarget {
  TAreaFields* area = nullptr;
  const TStruktVar* member = nullptr;
};

enum class MemberLookup { Ok, UnknownArea, Failed };

// Steps 1 to 3 of a member reference: the area, the member, visibility.
MemberLookup LocateMember(const std::string& u, TParStack& ps, MemberForm& form, MemberTarget& t,
                          bool write) {
  if (!ParseMemberForm(u, form)) {
    RaiseError(write ? 215 : 273, u);
    return MemberLookup::Failed;
  }
  AreaRef ref;
  switch (ResolveArea(form.areaPart, ps, ref)) {
    case AreaLookup::Ok: break;
    case AreaLookup::Failed: return MemberLookup::Failed;
    case AreaLookup::Unknown:
    case AreaLookup::NotArea: return MemberLookup::UnknownArea;
  }
  TAreaFields& a = *ref.area;
  if (a.Address == nullptr) {
    RaiseError(243);
    return MemberLookup::Failed;
  }
  int32_t m = FindMember(a.StructIndex, form.member, false);
  if (m == 0) {
    if (write) RaiseError(215, u);
    else RaiseError(a.AreaKind == 'o' ? 274 : 273, form.member);
    return MemberLookup::Failed;
  }
  const TStruktVar& mv = gStructs.members[m];
  if (mv.Visibility != '+' && gProc.methodObject != form.areaPart) {
    RaiseError(270, form.member);
    return MemberLookup::Failed;
  }
  if (mv.MemberKind != '@' &&
      !CheckRange(a.Address, mv.Offset, mv.Size, a.Size, write, form.areaPart)) {
    return MemberLookup::Failed;
  }
  t.area = &a;
  t.member = &mv;
  return MemberLookup::Ok;
}

uint8_t KindOfSuffix(char c) {
  switch (c) {
    case '$': case '#': return kind::kString;
    case '!': return kind::kFloat;
    case '&': return kind::kLong;
    default: return kind::kInt;
  }
}

}  // namespace

bool ReadMember(const std::string& u, int expectedKind, TParStack& ps) {
  gEval.lastVarName = u;
  MemberForm form;
  MemberTarget t;
  switch (LocateMember(u, ps, form, t, false)) {
    case MemberLookup::Failed: return false;
    case MemberLookup::UnknownArea:
      // An unknown area reads as nothing, like an unknown variable.
      gRes.Reset();
      gRes.ResultKind = KindOfSuffix(u.empty() ? '%' : u.back());
      RaiseWarning(215, form.areaPart.empty() ? u : form.areaPart);
      return true;
    case MemberLookup::Ok: break;
  }
  gEval.lastVarName = u;
  const TStruktVar& m = *t.member;
  const char* p = static_cast<const char*>(t.area->Address) + m.Offset;
  gRes.Reset();
  switch (m.MemberKind) {
    case '!': {
      double v;
      std::memcpy(&v, p, sizeof v);
      gRes.FloatValue = v;
      gRes.IntValue = TruncToInt32(v);
      gRes.StrValue = FloatToText(v);
      gRes.ResultKind = kind::kFloat;
      break;
    }
    case '&': {
      int32_t v;
      std::memcpy(&v, p, sizeof v);
      if (expectedKind == kind::kAddress) v = AddressToInt(p);
      gRes.IntValue = v;
      gRes.FloatValue = v;
      gRes.StrValue = IntToText(v);
      gRes.ResultKind = expectedKind == kind::kAddress ? kind::kAddress : kind::kLong;
      break;
    }
    case '%': {
      uint16_t v;
      std::memcpy(&v, p, sizeof v);
      gRes.IntValue = v;
      gRes.FloatValue = v;
      gRes.StrValue = IntToText(v);
      gRes.ResultKind = kind::kInt;
      break;
    }
    case '$':
    case '#': {
      const void* zero = std::memchr(p, 0, static_cast<size_t>(m.Size));
      size_t n = zero ? static_cast<size_t>(static_cast<const char*>(zero) - p) : static_cast<size_t>(m.Size);
      gRes.StrValue.assign(p, n);
      gRes.ResultKind = kind::kString;
      TextToNumbers(gRes.StrValue, gRes.IntValue, gRes.FloatValue);
      break;
    }
    default:  // a method slot: its line and the object
      gRes.IntValue = m.MethodLine;
      gRes.FloatValue = m.MethodLine;
      gRes.StrValue = form.areaPart;
      gRes.ResultKind = kind::kInt;
      break;
  }
  return true;
}

bool WriteMember(const std::string& u, TParStack& ps) {
  MemberForm form;
  MemberTarget t;
  switch (LocateMember(u, ps, form, t, true)) {
    case MemberLookup::Failed: return false;
    case MemberLookup::UnknownArea:
      RaiseError(215, form.areaPart.empty() ? u : form.areaPart);
      return false;
    case MemberLookup::Ok: break;
  }
  const TStruktVar m = *t.member;
  TAreaFields* area = t.area;
  if (m.MemberKind == '@') return true;  // method slots are not written
  std::string text;
  if (m.MemberKind == '$') {
    text = JoinedList(ps);
  } else {
    Evaluate(ps, ' ', 0);
    if (gEval.failed) return false;
    text = gRes.StrValue;
  }
  // The right side may have run a procedure: the area is checked again.
  if (area->Address == nullptr) {
    RaiseError(243);
    return false;
  }
  if (!CheckRange(area->Address, m.Offset, m.Size, area->Size, true, form.areaPart)) return false;
  char* p = static_cast<char*>(area->Address) + m.Offset;
  switch (m.MemberKind) {
    case '!': {
      double v = gRes.FloatValue;
      std::memcpy(p, &v, sizeof v);
      break;
    }
    case '&': {
      int32_t v = gRes.IntValue;
      std::memcpy(p, &v, sizeof v);
      break;
    }
    case '%': {
      uint16_t v = static_cast<uint16_t>(gRes.IntValue);
      std::memcpy(p, &v, sizeof v);
      break;
    }
    case '$': {
      size_t n = std::min(text.size(), static_cast<size_t>(m.Size - 1));
      std::memcpy(p, text.data(), n);
      p[n] = 0;
      break;
    }
    default: {  // '#': raw bytes, no terminator
      size_t n = std::min(text.size(), static_cast<size_t>(m.Size));
      std::memcpy(p, text.data(), n);
      break;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// WITH levels

void ResetWith() { gWithStack.clear(); }
int32_t WithDepth() { return static_cast<int32_t>(gWithStack.size()); }

void SetWindowClassNameHook(WindowClassNameHook hook) { gClassNameHook = hook; }

namespace {

void CmdStruct(TParStack&) {
  std::string text = gEval.Rest();
  gEval.pos = gEval.text.size();
  DefineStructure(text, 's');
}

void CmdClass(TParStack&) {
  std::string text = gEval.Rest();
  gEval.pos = gEval.text.size();
  DefineStructure(text, 'o');
}

void CmdWith(TParStack&) {
  std::string name = Upper(Trim(gEval.Rest()));
  gEval.pos = gEval.text.size();
  if (name.empty() || (name.back() != '#' && name.find("#[") == npos)) {
    RaiseError(129, name);
    return;
  }
  if (WithDepth() >= kMaxWithLevels) {
    RaiseError(132);
    return;
  }
  gWithStack.push_back(gProc.currentObject);
  gProc.currentObject = name;
}

void CmdEndWith(TParStack&) {
  gEval.pos = gEval.text.size();
  if (gWithStack.empty()) {
    RaiseError(133);
    return;
  }
  gProc.currentObject = gWithStack.back();
  gWithStack.pop_back();
}

// NEW(name, arguments): a creation request for the assignment.
void FnNew(TParStack&) {
  std::string rest = gEval.Rest();
  gEval.pos = gEval.text.size();
  gEval.endOfArgs = true;
  size_t close = FindTopLevel(rest, ')');
  if (close != npos) rest.resize(close);
  size_t comma = FindTopLevel(rest, ',');
  std::string name = Upper(Trim(std::string_view(rest).substr(0, comma)));
  std::string args = comma == npos ? std::string() : Trim(std::string_view(rest).substr(comma + 1));
  int32_t s = FindStructureOldest(name);
  if (s == 0) {
    RaiseError(135, name);
    gRes.Reset();  // kind 0: no value an assignment could take
    return;
  }
  SetPendingNewArguments(args);
  gRes.Reset();
  gRes.IntValue = s;
  gRes.FloatValue = s;
  gRes.StrValue = name;
  gRes.ResultKind = kind::kObject;
  gRes.AreaKind = 'n';
  gRes.AreaStruct = s;
  gRes.AreaSize = gStructs.structs[s].Size;
}

// The area named by a function's argument, with reports held back; the
// code of a report that came up meanwhile goes to code.
AreaLookup QuietArea(const std::string& name, TParStack& ps, AreaRef& ref, int32_t& code) {
  QuietReports quiet;
  AreaLookup r = ResolveArea(name, ps, ref);
  code = quiet.Taken();
  return r;
}

void FnTypeOf(TParStack& ps) {
  char sep;
  std::string name = TakeRawArgument(sep);
  if (name.empty() || (name.back() != '#' && name.find("#[") == npos)) {
    RaiseError(131);
    fn::SetEmpty(kind::kString);
    return;
  }
  AreaRef ref;
  int32_t code = 0;
  AreaLookup r = QuietArea(name, ps, ref, code);
  if (r != AreaLookup::Ok) {
    if (code == 0) code = r == AreaLookup::Unknown ? 215 : 131;
    if (code != 243) RaiseError(code, name);
    fn::SetString(" ");
    return;
  }
  const TAreaFields& a = *ref.area;
  fn::SetString(a.Address == nullptr || a.AreaKind == ' ' ? std::string(" ")
                                                            : std::string(1, a.AreaKind));
}

void FnClassOf(TParStack& ps) {
  size_t start = gEval.pos;
  char sep;
  std::string name = TakeRawArgument(sep);
  if (IsAreaName(name)) {
    AreaRef ref;
    int32_t code = 0;
    AreaLookup r = QuietArea(name, ps, ref, code);
    if (r != AreaLookup::Ok) {
      if (code == 0) code = 215;
      if (code != 243) RaiseError(code, name);
      fn::SetString(std::string());
      return;
    }
    const TAreaFields& a = *ref.area;
    int32_t s = a.StructIndex;
    bool named = a.Address != nullptr && s >= 1 && s <= gStructs.structCount;
    fn::SetString(named ? gStructs.structs[s].Name : std::string());
    return;
  }
  gEval.pos = start;
  if (!fn::Arg(ps, true, 0)) {
    fn::SetEmpty(kind::kString);
    return;
  }
  int32_t handle = gRes.IntValue;
  fn::SetString(gClassNameHook != nullptr && handle != 0 ? gClassNameHook(handle) : std::string());
}

}  // namespace

void RegisterStructureCommands() {
#define KORV_UNIT_structures 1
#include "base/bind_unit.h"
#undef KORV_UNIT_structures
}

}  // namespace korv
