// The string list as one text: MOVELISTTOSTR$, MOVESTRTOLIST and
// MOVELISTTOMEM.
#include <cstring>

#include "base/text.h"
#include "base/errors.h"
#include "values/string_list.h"
#include "values/areas.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"
#include "values/stores.h"

namespace korv {

namespace {

using namespace fn;

// Every entry followed by sep; false (after 200) when it would grow beyond
// any sensible size.
bool JoinList(const std::string& sep, std::string& out) {
  out.clear();
  for (const std::string& entry : StringList()) {
    if (out.size() + entry.size() + sep.size() > kMaxBuiltString) {
      RaiseError(200);
      return false;
    }
    out += entry;
    out += sep;
  }
  return true;
}

void FnMoveListToStr(TParStack& ps) {
  std::string sep, text;
  if (!StrArg(ps, true, sep)) return SetEmpty(kind::kString);
  if (!JoinList(sep, text)) return SetEmpty(kind::kString);
  SetString(std::move(text));
}

// MOVESTRTOLIST(s$, sep$): the pieces between the separators, the last one
// included, appended to the list; an empty separator makes s$ one piece.
void FnMoveStrToList(TParStack& ps) {
  std::string s, sep;
  if (!StrArg(ps, false, s) || !StrArg(ps, true, sep)) return SetEmpty(kind::kInt);
  int32_t pieces = 0;
  size_t start = 0;
  for (;;) {
    size_t at = sep.empty() ? std::string::npos : s.find(sep, start);
    if (!AddToStringList(s.substr(start, at == std::string::npos ? std::string::npos : at - start))) break;
    ++pieces;
    if (at == std::string::npos) break;
    start = at + sep.size();
  }
  SetInt(pieces);
}

// MOVELISTTOMEM(name, sep$): the joined list copied into a memory area (at
// most its size less the closing zero byte) or to the address a long
// integer variable holds. The result is the number of characters copied.
void FnMoveListToMem(TParStack& ps) {
  std::string rest = gEval.Rest();
  size_t comma = FindTopLevel(rest, ',');
  if (comma == std::string::npos) return Fail(212, kind::kInt);
  std::string name = NormalizeName(rest.substr(0, comma));
  gEval.pos += comma + 1;
  std::string sep, text;
  if (!StrArg(ps, true, sep)) return SetEmpty(kind::kInt);
  if (name.empty() || (name.back() != '#' && name.back() != ']' && name.back() != '&'))
    return Fail(121, kind::kInt, name);
  if (name.back() == '&') {
    int32_t index = Find(name);
    if (index == 0) return Fail(215, kind::kInt, name);
    void* address = reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(gStores.lngs[index].Value)));
    if (!JoinList(sep, text)) return SetEmpty(kind::kInt);
    if (!CheckRange(address, 0, static_cast<int64_t>(text.size()) + 1, -1, true, name)) return SetEmpty(kind::kInt);
    std::memcpy(address, text.c_str(), text.size() + 1);
    return SetInt(static_cast<int32_t>(text.size()));
  }
  AreaRef ref;
  switch (ResolveArea(name, ps, ref)) {
    case AreaLookup::Ok: break;
    case AreaLookup::Failed: return SetEmpty(kind::kInt);
    case AreaLookup::Unknown: return Fail(215, kind::kInt, name);
    case AreaLookup::NotArea: return Fail(121, kind::kInt, name);
  }
  TAreaFields& a = *ref.area;
  if (a.Address == nullptr) return Fail(243, kind::kInt);
  if (a.Size < 1) return SetInt(0);
  if (!JoinList(sep, text)) return SetEmpty(kind::kInt);
  size_t n = std::min(text.size(), static_cast<size_t>(a.Size) - 1);
  if (!CheckRange(a.Address, 0, static_cast<int64_t>(n) + 1, a.Size, true, name)) return SetEmpty(kind::kInt);
  std::memcpy(a.Address, text.data(), n);
  static_cast<char*>(a.Address)[n] = '\0';
  SetInt(static_cast<int32_t>(n));
}

}  // namespace

void RegisterListFunctions() {
#define KORV_UNIT_lists 1
#include "base/bind_unit.h"
#undef KORV_UNIT_lists
}

}  // namespace korv
