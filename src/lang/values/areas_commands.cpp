// Statements and functions of memory areas: DIM, DISPOSE, CLEAR, the byte
// statements BYTE/WORD/LONG/FLOAT/STRING/CHAR, READTEXT, and the functions
// BYTE, WORD, LONG, FLOAT, STRING$, CHAR$, MEMPOS, SIZEOF and ADDR.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "values/areas.h"
#include "values/arrays.h"
#include "values/composite.h"
#include "values/functions_support.h"
#include "values/evaluator.h"
#include "values/structures.h"

namespace korv {

namespace {

constexpr size_t npos = std::string::npos;
constexpr size_t kMaxReadText = 32767;        // characters of one READTEXT line
constexpr size_t kMaxStringRead = size_t{64} << 20;  // STRING$ through a plain address

// Takes the whole remaining argument text of a statement.
std::string TakeStatementText() {
  std::string rest = gEval.Rest();
  gEval.pos = gEval.text.size();
  gEval.endOfArgs = true;
  return rest;
}

bool IsAreaValue(const TEvalResult& r) {
  return r.AreaKind == 'b' || r.AreaKind == 's' || r.AreaKind == 'o';
}

// "NAME#[]": every element of an area array.
bool IsWholeAreaArray(const std::string& u) {
  const size_t open = EmptyIndexAt(u);
  if (open == npos) return false;
  const std::string_view name = TrimView(std::string_view(u).substr(0, open));
  return !name.empty() && name.back() == '#';
}

// The array of "NAME#[]" / "NAME[...]" by the name before the bracket.
int32_t ArrayOfBracketName(const std::string& u, std::string& name) {
  name = Trim(std::string_view(u).substr(0, u.find('[')));
  return FindArray(name);
}

// ---------------------------------------------------------------------------
// DIM

void CmdDim(TParStack& ps) {
  std::string text = TakeStatementText();
  size_t comma = FindTopLevel(text, ',');
  std::string name = Upper(Trim(std::string_view(text).substr(0, comma)));
  const bool all = IsWholeAreaArray(name);
  if (!all && (name.empty() || name.back() != '#')) {
    RaiseError(121, name);
    return;
  }
  if (comma == npos) {
    RaiseError(212);
    return;
  }
  std::string sizeText = Trim(std::string_view(text).substr(comma + 1));
  char kind = 'b';
  int32_t structIndex = -1;
  int32_t size = 0;
  if (!sizeText.empty() && static_cast<unsigned char>(sizeText[0]) > 64) {
    int32_t s = FindStructureNewest(Upper(sizeText));
    if (s != 0) {
      size = gStructs.structs[s].Size;
      kind = gStructs.structs[s].Kind;
      structIndex = s;
    }
  }
  if (structIndex == -1) {
    if (!EvalText(sizeText, ps, kind::kInt)) return;
    size = gRes.IntValue;
  }
  if (!all) {
    int32_t i = Find(name);
    if (i == 0) {
      RaiseError(215, name);
      return;
    }
    TVarPtr& a = gStores.ptrs[i];
    if (a.Address != nullptr && kind != 'b') {
      RaiseError(241);
      return;
    }
    if (!DimensionArea(a, size, kind, structIndex)) RaiseError(240);
    return;
  }
  std::string arrayName;
  int32_t a = ArrayOfBracketName(name, arrayName);
  if (a == 0) {
    RaiseError(215, arrayName);
    return;
  }
  const TVarArr& arr = gStores.arrs[a];
  bool failed = false;
  for (int32_t i = 0; i < arr.Count; ++i)
    if (!DimensionArea(AreaElement(arr.First + i), size, kind, structIndex)) failed = true;
  if (failed) RaiseError(240);
}

// ---------------------------------------------------------------------------
// DISPOSE

// DISPOSE *: the block of the area value last evaluated, when an area owns
// it; that owner is reset.
void DisposeLastValue() {
  if (IsAreaValue(gRes)) {
    void* address = IntToAddress(gRes.IntValue);
    for (int32_t i = gStores.counts.count[kStorePtr]; i >= 1; --i) {
      if (gStores.ptrs[i].Base == address && address != nullptr) {
        DisposeArea(gStores.ptrs[i]);
        return;
      }
    }
    for (int32_t i = gPools.used[kPoolPtr]; i >= 1 && !gPools.ptrs.empty(); --i) {
      if (gPools.ptrs[i].Base == address && address != nullptr) {
        DisposeArea(gPools.ptrs[i]);
        return;
      }
    }
  }
  RaiseError(215, std::string());
}

void CmdDispose(TParStack&) {
  std::string name = Upper(Trim(TakeStatementText()));
  if (name == "*") {
    DisposeLastValue();
    return;
  }
  if (IsWholeAreaArray(name)) {
    std::string arrayName;
    int32_t a = ArrayOfBracketName(name, arrayName);
    if (a == 0) {
      RaiseError(215, arrayName);
      return;
    }
    const TVarArr& arr = gStores.arrs[a];
    for (int32_t i = 0; i < arr.Count; ++i) DisposeArea(AreaElement(arr.First + i));
    return;
  }
  if (name.empty() || name.back() != '#') {
    RaiseError(121, name);
    return;
  }
  int32_t i = Find(name);
  if (i == 0) {
    RaiseError(215, name);
    return;
  }
  DisposeArea(gStores.ptrs[i]);
}

// ---------------------------------------------------------------------------
// CLEAR

bool ClearOne(const std::string& name) {
  if (name.find('[') != npos) {
    std::string arrayName;
    int32_t a = ArrayOfBracketName(name, arrayName);
    if (a == 0) {
      RaiseError(215, arrayName);
      return false;
    }
    return ClearArray(a);
  }
  if (name.empty() || StoreOfSuffix(name.back()) < 0) {
    RaiseError(122, name);
    return false;
  }
  int32_t i = Find(name);
  if (i == 0) {
    RaiseError(215, name);
    return false;
  }
  switch (name.back()) {
    case '%': gStores.ints[i].Value = 0; break;
    case '&': gStores.lngs[i].Value = 0; break;
    case '!': gStores.sngs[i].Value = 0.0; break;
    case '$': gStores.strs[i].Value.clear(); break;
    default: {
      TVarPtr& a = gStores.ptrs[i];
      if (a.AreaKind == 'o') {
        RaiseError(272, name);
        return false;
      }
      if (a.Address == nullptr) {
        RaiseError(243);
        return false;
      }
      if (!CheckRange(a.Address, 0, a.Size, a.Size, true, name)) return false;
      if (a.Size > 0) std::memset(a.Address, 0, static_cast<size_t>(a.Size));
      break;
    }
  }
  return true;
}

void CmdClear(TParStack&) {
  std::string list = TakeStatementText();
  size_t start = 0;
  for (;;) {
    size_t comma = FindTopLevel(list, ',', false, start);
    std::string name = Upper(Trim(std::string_view(list).substr(start, comma == npos ? npos : comma - start)));
    if (!(name.empty() && comma == npos) && !ClearOne(name)) return;
    if (comma == npos) return;
    start = comma + 1;
  }
}

// ---------------------------------------------------------------------------
// BYTE, WORD, LONG, FLOAT, STRING, CHAR statements

enum class Width { Byte, Word, Long, Float, String, Char };

// The statement's first argument (up to its top-level comma), upper-cased.
// False after 121 (valid says no) or 212 (nothing follows); otherwise the
// cursor stands behind the comma.
bool TakeFirstArgument(std::string& first, bool (*valid)(const std::string&)) {
  std::string rest = gEval.Rest();
  size_t comma = FindTopLevel(rest, ',');
  first = Upper(Trim(std::string_view(rest).substr(0, comma)));
  if (!valid(first)) {
    gEval.pos = gEval.text.size();
    RaiseError(121, first);
    return false;
  }
  if (comma == npos) {
    gEval.pos = gEval.text.size();
    RaiseError(212);
    return false;
  }
  gEval.pos += comma + 1;
  return true;
}

// A target of BYTE, WORD, ...: an area, a number variable holding an
// address, or an element of an area array.
bool IsWriteTarget(const std::string& t) {
  return !t.empty() && (t.back() == '#' || t.back() == '&' || t.back() == '%' || t.find("#[") != npos);
}

void WriteValues(TParStack& ps, Width width) {
  std::string target;
  if (!TakeFirstArgument(target, IsWriteTarget)) return;
  if (!EvalText(target, ps, 0)) {
    gEval.pos = gEval.text.size();
    return;
  }
  const TEvalResult t = gRes;
  if (t.AreaKind == 'o') {
    gEval.pos = gEval.text.size();
    RaiseError(272, target);
    return;
  }
  // An area has its size as limit; an integer holding an address has none.
  const int64_t limit = IsAreaValue(t) ? t.AreaSize : -1;
  char* base = static_cast<char*>(IntToAddress(t.IntValue));
  Evaluate(ps, '=', kind::kInt);
  if (gEval.failed) return;
  if (gEval.lastSep != '=') {
    gEval.pos = gEval.text.size();
    RaiseError(212);
    return;
  }
  int64_t offset = gRes.IntValue;
  for (;;) {
    size_t before = gEval.pos;
    Evaluate(ps, 'p', 0);
    if (gEval.failed) return;
    std::string bytes;
    switch (width) {
      case Width::Byte: bytes.push_back(static_cast<char>(gRes.IntValue & 0xFF)); break;
      case Width::Word: {
        uint16_t v = static_cast<uint16_t>(gRes.IntValue);
        bytes.assign(reinterpret_cast<const char*>(&v), sizeof v);
        break;
      }
      case Width::Long: {
        int32_t v = gRes.IntValue;
        bytes.assign(reinterpret_cast<const char*>(&v), sizeof v);
        break;
      }
      case Width::Float: {
        double v = gRes.FloatValue;
        bytes.assign(reinterpret_cast<const char*>(&v), sizeof v);
        break;
      }
      case Width::String: bytes = gRes.StrValue + '\0'; break;
      case Width::Char: bytes = gRes.StrValue; break;
    }
    bool cut = false;
    if ((width == Width::String || width == Width::Char) && limit >= 0 && offset >= 0 &&
        offset + static_cast<int64_t>(bytes.size()) > limit) {
      // A string is cut to the room left, then the bound is reported.
      bytes.resize(static_cast<size_t>(std::max<int64_t>(0, limit - offset)));
      cut = true;
    }
    if (!CheckRange(base, offset, static_cast<int64_t>(bytes.size()), limit, true, target)) return;
    if (!bytes.empty()) std::memcpy(base + offset, bytes.data(), bytes.size());
    offset += static_cast<int64_t>(bytes.size());
    if (cut) {
      gEval.pos = gEval.text.size();
      RaiseError(207, target);
      return;
    }
    while (!gEval.RestEmpty() && IsBlankChar(gEval.text[gEval.pos])) ++gEval.pos;
    if (gEval.RestEmpty() || gEval.pos == before) break;
    if (gEval.lastSep != ',' && gEval.lastSep != ';') break;
  }
}

void CmdByte(TParStack& ps) { WriteValues(ps, Width::Byte); }
void CmdWord(TParStack& ps) { WriteValues(ps, Width::Word); }
void CmdLong(TParStack& ps) { WriteValues(ps, Width::Long); }
void CmdFloat(TParStack& ps) { WriteValues(ps, Width::Float); }
void CmdString(TParStack& ps) { WriteValues(ps, Width::String); }
void CmdChar(TParStack& ps) { WriteValues(ps, Width::Char); }

// ---------------------------------------------------------------------------
// READTEXT name#, file

void CmdReadText(TParStack& ps) {
  std::string name;
  if (!TakeFirstArgument(name, IsAreaName)) return;
  Evaluate(ps, ' ', 0);
  if (gEval.failed) return;
  std::string file = gRes.StrValue;
  AreaRef ref;
  switch (ResolveArea(name, ps, ref)) {
    case AreaLookup::Ok: break;
    case AreaLookup::Failed: return;
    case AreaLookup::Unknown: RaiseError(215, name); return;
    case AreaLookup::NotArea: RaiseError(121, name); return;
  }
  TAreaFields& a = *ref.area;
  if (a.Address == nullptr) {
    RaiseError(243);
    return;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    RaiseError(300, file);
    return;
  }
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    RaiseError(300, file);
    return;
  }
  std::string text;
  const int64_t room = static_cast<int64_t>(a.Size) - 3;
  bool full = false;
  size_t p = 0;
  while (p < data.size()) {
    size_t end = data.find_first_of("\r\n", p);
    size_t next;
    if (end == npos) {
      end = next = data.size();
    } else {
      next = end + 1;
      if (data[end] == '\r' && next < data.size() && data[next] == '\n') ++next;
    }
    std::string_view line = std::string_view(data).substr(p, std::min(end - p, kMaxReadText));
    p = next;
    if (static_cast<int64_t>(text.size() + line.size() + 2) >= room) {
      full = true;
      break;
    }
    text.append(line);
    text.append("\r\n");
  }
  text.push_back('\0');
  if (a.Size > 0) {
    size_t n = std::min(text.size(), static_cast<size_t>(a.Size));
    if (!CheckRange(a.Address, 0, static_cast<int64_t>(n), a.Size, true, name)) return;
    std::memcpy(a.Address, text.data(), n);
  }
  if (full) RaiseWarning(244);
}

// ---------------------------------------------------------------------------
// Memory-read functions

// The first argument of BYTE(...) and the others: its address and limit.
struct Source {
  char* base = nullptr;
  int64_t limit = -1;
  std::string name;
};

bool ReadSource(TParStack& ps, Source& s) {
  size_t comma = FindTopLevel(gEval.text, ',', false, gEval.pos);
  s.name = Upper(Trim(std::string_view(gEval.text).substr(gEval.pos, comma == npos ? npos : comma - gEval.pos)));
  if (!fn::Arg(ps, false, 0)) return false;
  s.base = static_cast<char*>(IntToAddress(gRes.IntValue));
  s.limit = IsAreaValue(gRes) ? gRes.AreaSize : -1;
  return true;
}

template <typename T>
bool ReadScalar(TParStack& ps, T& out) {
  Source s;
  if (!ReadSource(ps, s) || !fn::Arg(ps, true, kind::kInt)) return false;
  int64_t offset = gRes.IntValue;
  if (!CheckRange(s.base, offset, sizeof(T), s.limit, false, s.name)) return false;
  std::memcpy(&out, s.base + offset, sizeof(T));
  return true;
}

void FnByte(TParStack& ps) {
  uint8_t v = 0;
  if (ReadScalar(ps, v)) fn::SetInt(v, kind::kLong);
  else fn::SetEmpty(kind::kLong);
}

void FnWord(TParStack& ps) {
  uint16_t v = 0;
  if (ReadScalar(ps, v)) fn::SetInt(v, kind::kLong);
  else fn::SetEmpty(kind::kLong);
}

void FnLong(TParStack& ps) {
  int32_t v = 0;
  if (ReadScalar(ps, v)) fn::SetInt(v, kind::kLong);
  else fn::SetEmpty(kind::kLong);
}

void FnFloat(TParStack& ps) {
  double v = 0;
  if (ReadScalar(ps, v)) fn::SetFloat(v);
  else fn::SetEmpty(kind::kFloat);
}

// The readable bytes from p on, at most max (0 when p is not readable).
size_t ReadableRun(const char* p, size_t max) {
  constexpr size_t kPage = 4096;
  size_t n = 0;
  while (n < max) {
    uintptr_t at = reinterpret_cast<uintptr_t>(p + n);
    size_t chunk = std::min(max - n, kPage - (at % kPage));
    if (IsReadable(p + n, chunk)) {
      n += chunk;
      continue;
    }
    // The end of a block inside this page: find it byte by byte.
    while (n < max && IsReadable(p + n, 1)) ++n;
    break;
  }
  return n;
}

void FnStringS(TParStack& ps) {
  Source s;
  if (!ReadSource(ps, s) || !fn::Arg(ps, true, kind::kInt)) {
    fn::SetEmpty(kind::kString);
    return;
  }
  int64_t offset = gRes.IntValue;
  std::string out;
  if (s.limit >= 0) {
    int64_t n = s.limit - offset;
    if (!CheckRange(s.base, offset, std::max<int64_t>(n, 0), s.limit, false, s.name)) {
      fn::SetEmpty(kind::kString);
      return;
    }
    const char* p = s.base + offset;
    const void* zero = n > 0 ? std::memchr(p, 0, static_cast<size_t>(n)) : nullptr;
    const size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - p) : static_cast<size_t>(n);
    if (length > kMaxStringLength) return fn::Fail(219, kind::kString);
    out.assign(p, length);
  } else {
    if (!CheckRange(s.base, offset, 1, -1, false, s.name)) {
      fn::SetEmpty(kind::kString);
      return;
    }
    const char* p = s.base + offset;
    size_t n = ReadableRun(p, kMaxStringRead);
    const void* zero = std::memchr(p, 0, n);
    out.assign(p, zero ? static_cast<size_t>(static_cast<const char*>(zero) - p) : n);
  }
  fn::SetString(std::move(out));
}

void FnCharS(TParStack& ps) {
  Source s;
  if (!ReadSource(ps, s) || !fn::Arg(ps, false, kind::kInt)) {
    fn::SetEmpty(kind::kString);
    return;
  }
  int64_t offset = gRes.IntValue;
  if (!fn::Arg(ps, true, kind::kInt)) {
    fn::SetEmpty(kind::kString);
    return;
  }
  int64_t n = gRes.IntValue;
  if (n <= 0) {
    fn::SetString(std::string());
    return;
  }
  if (!CheckRange(s.base, offset, n, s.limit, false, s.name)) {
    fn::SetEmpty(kind::kString);
    return;
  }
  if (n > static_cast<int64_t>(kMaxStringLength)) return fn::Fail(219, kind::kString);
  fn::SetString(std::string(s.base + offset, static_cast<size_t>(n)));
}

// MEMPOS(name#, offset, text)
void FnMemPos(TParStack& ps) {
  char sep;
  std::string name = TakeRawArgument(sep);
  if (sep != ',') {
    RaiseError(212);
    fn::SetEmpty(kind::kInt);
    return;
  }
  AreaRef ref;
  switch (ResolveArea(name, ps, ref)) {
    case AreaLookup::Ok: break;
    case AreaLookup::Failed: fn::SetEmpty(kind::kInt); return;
    case AreaLookup::Unknown: RaiseError(215, name); fn::SetEmpty(kind::kInt); return;
    case AreaLookup::NotArea: RaiseError(121, name); fn::SetEmpty(kind::kInt); return;
  }
  if (!fn::Arg(ps, false, kind::kInt)) {
    fn::SetEmpty(kind::kInt);
    return;
  }
  int64_t offset = gRes.IntValue;
  if (!fn::Arg(ps, true, 0)) {
    fn::SetEmpty(kind::kInt);
    return;
  }
  std::string text = gRes.StrValue;
  const TAreaFields& a = *ref.area;
  if (a.Address == nullptr) {
    RaiseError(243);
    fn::SetEmpty(kind::kInt);
    return;
  }
  int64_t n = static_cast<int64_t>(a.Size) - offset;
  if (!CheckRange(a.Address, offset, std::max<int64_t>(n, 0), a.Size, false, name)) {
    fn::SetEmpty(kind::kInt);
    return;
  }
  std::string_view hay(static_cast<const char*>(a.Address) + offset, static_cast<size_t>(n));
  size_t at = hay.find(text);
  fn::SetInt(at == npos ? -1 : static_cast<int32_t>(at));
}

// SIZEOF(v)
void FnSizeOf(TParStack& ps) {
  char sep;
  std::string arg = TakeRawArgument(sep);
  if (const size_t open = EmptyIndexAt(arg); open != npos) {
    int32_t a = FindArray(Trim(std::string_view(arg).substr(0, open)));
    fn::SetInt(a == 0 ? -1 : gStores.arrs[a].Count);
    return;
  }
  if (IsAreaName(arg)) {
    AreaRef ref;
    int32_t code;
    AreaLookup r;
    {
      QuietReports quiet;
      r = ResolveArea(arg, ps, ref);
      code = quiet.Taken();
    }
    if (r == AreaLookup::Ok) {
      fn::SetInt(ref.area->Address == nullptr ? 0 : ref.area->Size);
      return;
    }
    if (r == AreaLookup::Unknown || code == 215) {
      fn::SetInt(-1);
      return;
    }
    if (code == 243) {
      fn::SetInt(0);
      return;
    }
    RaiseError(code == 0 ? 233 : code, arg);
    fn::SetEmpty(kind::kInt);
    return;
  }
  TEvalResult value;
  int32_t code;
  {
    QuietReports quiet;
    EvalText(arg, ps, 0);
    value = gRes;
    code = quiet.Taken();
  }
  if (code == 215) {
    fn::SetInt(-1);
    return;
  }
  if (code == 243) {
    fn::SetInt(0);
    return;
  }
  if (code != 0) {
    RaiseError(code, arg);
    fn::SetEmpty(kind::kInt);
    return;
  }
  int32_t size;
  if (IsAreaValue(value)) size = value.AreaSize;
  else if (value.ResultKind == kind::kString) size = static_cast<int32_t>(value.StrValue.size());
  else if (value.ResultKind == kind::kFloat) size = 8;
  else if (!arg.empty() && arg.back() == '%' && IsMemberForm(arg)) size = 2;  // a 16-bit member
  else size = 4;
  fn::SetInt(size);
}

// ADDR(v)
void FnAddr(TParStack& ps) {
  char sep;
  std::string arg = TakeRawArgument(sep);
  if (arg.find("].") != npos || arg.find("#.") != npos || (!arg.empty() && arg[0] == '.')) {
    RaiseError(200);
    fn::SetEmpty(kind::kLong);
    return;
  }
  int32_t address = 0;
  if (!arg.empty() && arg.back() == ']') {
    if (const size_t open = EmptyIndexAt(arg); open != npos) {
      std::string name = Trim(std::string_view(arg).substr(0, open));
      int32_t a = FindArray(name);
      if (a == 0) {
        RaiseError(215, name);
        fn::SetEmpty(kind::kLong);
        return;
      }
      const TVarArr& arr = gStores.arrs[a];
      if (arr.Count > 0) {
        ElementRef e;
        e.array = a;
        e.element = arr.First;
        e.kind = arr.ElemKind;
        address = ElementAddress(e);
      }
    } else {
      ElementRef e;
      switch (ResolveElement(arg, ps, e)) {
        case Resolve::Ok: address = ElementAddress(e); break;
        case Resolve::Unknown:
          RaiseError(215, gEval.lastVarName);
          fn::SetEmpty(kind::kLong);
          return;
        case Resolve::Failed: fn::SetEmpty(kind::kLong); return;
      }
    }
  } else {
    int32_t i = Find(arg);
    if (i == 0) {
      RaiseError(215, arg);
      fn::SetEmpty(kind::kLong);
      return;
    }
    switch (arg.back()) {
      case '%': address = AddressToInt(&gStores.ints[i].Value); break;
      case '&': address = AddressToInt(&gStores.lngs[i].Value); break;
      case '!': address = AddressToInt(&gStores.sngs[i].Value); break;
      case '$': address = AddressToInt(gStores.strs[i].Value.c_str()); break;
      default: address = AddressToInt(gStores.ptrs[i].Address); break;
    }
  }
  fn::SetInt(address, kind::kLong);
}

}  // namespace

void RegisterAreaCommands() {
#define KORV_UNIT_areas 1
#include "base/bind_unit.h"
#undef KORV_UNIT_areas
}

}  // namespace korv
