// Element pools, array declarations and element access.
#include "values/arrays.h"

#include <cstring>
#include <new>

#include "base/text.h"
#include "base/errors.h"
#include "values/areas.h"
#include "values/evaluator.h"

namespace korv {

TPools gPools;

namespace {

constexpr size_t npos = std::string::npos;

bool HasBlank(const std::string& s) {
  for (char c : s)
    if (IsBlankChar(c)) return true;
  return false;
}

// Allocates the pool of a kind on first need; false when memory is short.
bool EnsurePool(int pool) {
  try {
    switch (pool) {
      case kPoolInt:
        if (gPools.ints.empty()) gPools.ints.assign(kPoolSize, 0);
        break;
      case kPoolLng:
        if (gPools.lngs.empty()) gPools.lngs.assign(kPoolSize, 0);
        break;
      case kPoolStr:
        if (gPools.strs.empty()) gPools.strs.resize(kPoolSize);
        break;
      case kPoolSng:
        if (gPools.sngs.empty()) gPools.sngs.assign(kPoolSize, 0.0);
        break;
      case kPoolPtr:
        if (gPools.ptrs.empty()) gPools.ptrs.resize(kPoolSize);
        break;
      default: return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Empties the elements first..last of a pool (an allocated pool only).
void ClearElements(int pool, int32_t first, int32_t last) {
  if (first < 1) first = 1;
  for (int32_t i = first; i <= last; ++i) {
    switch (pool) {
      case kPoolInt: gPools.ints[i] = 0; break;
      case kPoolLng: gPools.lngs[i] = 0; break;
      case kPoolStr: std::string().swap(gPools.strs[i]); break;  // releases the text
      case kPoolSng: gPools.sngs[i] = 0.0; break;
      default: gPools.ptrs[i] = TAreaFields(); break;
    }
  }
}

bool PoolAllocated(int pool) {
  switch (pool) {
    case kPoolInt: return !gPools.ints.empty();
    case kPoolLng: return !gPools.lngs.empty();
    case kPoolStr: return !gPools.strs.empty();
    case kPoolSng: return !gPools.sngs.empty();
    case kPoolPtr: return !gPools.ptrs.empty();
    default: return false;
  }
}

// Splits the text in brackets at top-level commas and evaluates up to three
// integers; 254 for a fourth.
bool EvalIndexList(const std::string& inside, TParStack& ps, int32_t (&values)[3], int& count) {
  values[0] = values[1] = values[2] = 0;
  count = 0;
  size_t start = 0;
  for (;;) {
    size_t comma = FindTopLevel(inside, ',', false, start);
    std::string part = inside.substr(start, comma == npos ? npos : comma - start);
    if (count == 3) {
      RaiseError(254);
      return false;
    }
    if (!EvalText(part, ps, kind::kInt)) return false;
    values[count++] = gRes.IntValue;
    if (comma == npos) break;
    start = comma + 1;
  }
  return true;
}

void LoadInteger(int32_t v, uint8_t k) {
  gRes.IntValue = v;
  gRes.FloatValue = v;
  gRes.StrValue = IntToText(v);
  gRes.ResultKind = k;
}

// A text as a float for MOVELISTTOARR: an optional sign and a real number;
// anything unreadable gives 0.
double TextToFloat(const std::string& raw) {
  std::string t = Trim(raw);
  bool negative = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    t.erase(0, 1);
  }
  double v = 0.0;
  if (!ParseRealText(t, v)) return 0.0;
  return negative ? -v : v;
}

}  // namespace

int PoolOfKind(char elemKind) {
  switch (elemKind) {
    case '%': return kPoolInt;
    case '&': return kPoolLng;
    case '$': return kPoolStr;
    case '!': return kPoolSng;
    case '#': return kPoolPtr;
    default: return -1;
  }
}

PoolMarks CurrentPoolMarks() { return gPools.used; }

void TruncatePools(const PoolMarks& marks) {
  for (int p = 0; p < kPoolCount; ++p) {
    int32_t target = marks[p];
    if (target < 0) target = 0;
    int32_t& used = gPools.used[p];
    if (target >= used) continue;
    if (PoolAllocated(p)) ClearElements(p, target + 1, used);
    used = target;
  }
}

void ResetPools() {
  for (int p = 0; p < kPoolCount; ++p) {
    if (PoolAllocated(p)) ClearElements(p, 1, gPools.used[p]);
    gPools.used[p] = 0;
  }
}

bool SplitIndexed(const std::string& u, std::string& name, std::string& inside) {
  size_t open = u.find('[');
  if (open == npos || open == 0) return false;
  int depth = 0;
  size_t close = npos;
  for (size_t i = open; i < u.size(); ++i) {
    char c = u[i];
    if (c == '"') {
      size_t q = u.find('"', i + 1);
      if (q == npos) return false;
      i = q;
      continue;
    }
    if (c == '[') ++depth;
    if (c == ']' && --depth == 0) {
      close = i;
      break;
    }
  }
  if (close != u.size() - 1) return false;
  name = Trim(std::string_view(u).substr(0, open));
  inside = u.substr(open + 1, close - open - 1);
  return true;
}

bool DeclareArray(const std::string& decl, TParStack& ps) {
  std::string name, inside;
  if (!SplitIndexed(decl, name, inside) || name.empty()) {
    RaiseError(122, decl);
    return false;
  }
  const char elemKind = name.back();
  const int pool = PoolOfKind(elemKind);
  if (pool < 0 || HasBlank(name)) {
    RaiseError(122, name);
    return false;
  }
  int32_t bounds[3];
  int count = 0;
  if (!EvalIndexList(inside, ps, bounds, count)) return false;
  // The checks of the store come before the element count, as declaring
  // the name would make them.
  if (gStores.index[kStoreArr].Newest(name) > LevelMarks().count[kStoreArr]) {
    RaiseError(147, name);
    return false;
  }
  if (gStores.counts.count[kStoreArr] >= kStoreLast) {
    RaiseError(253);
    return false;
  }
  // Every bound must be 0 or more; the count is formed without overflow.
  uint64_t elements = 1;
  for (int32_t b : bounds) {
    if (b < 0) {
      RaiseError(232, decl);
      return false;
    }
    elements *= static_cast<uint64_t>(b) + 1;
    if (elements > static_cast<uint64_t>(kPoolLast)) break;
  }
  const int32_t used = gPools.used[pool];
  if (elements > static_cast<uint64_t>(kPoolLast - used) || !EnsurePool(pool)) {
    RaiseError(232, decl);
    return false;
  }
  int32_t idx = DeclareArrayEntry(name, elemKind);
  if (idx == 0) return false;
  TVarArr& a = gStores.arrs[idx];
  a.Bound1 = bounds[0];
  a.Bound2 = bounds[1];
  a.Bound3 = bounds[2];
  a.Count = static_cast<int32_t>(elements);
  a.First = used + 1;
  ClearElements(pool, a.First, used + a.Count);
  gPools.used[pool] = used + a.Count;
  return true;
}

Resolve ResolveElement(const std::string& u, TParStack& ps, ElementRef& out) {
  std::string name, inside;
  if (!SplitIndexed(u, name, inside) || name.empty()) {
    RaiseError(233);
    return Resolve::Failed;
  }
  gEval.lastVarName = name;
  int32_t idx[3];
  int count = 0;
  if (!EvalIndexList(inside, ps, idx, count)) return Resolve::Failed;
  gEval.lastVarName = name;
  int32_t a = FindArray(name);
  if (a == 0) return Resolve::Unknown;
  const TVarArr& arr = gStores.arrs[a];
  const int pool = PoolOfKind(arr.ElemKind);
  if (idx[0] < 0 || idx[0] > arr.Bound1 || idx[1] < 0 || idx[1] > arr.Bound2 || idx[2] < 0 ||
      idx[2] > arr.Bound3 || arr.Count <= 0 || pool < 0 || !PoolAllocated(pool)) {
    RaiseError(233);
    return Resolve::Failed;
  }
  int64_t offset = idx[0] + (static_cast<int64_t>(arr.Bound1) + 1) *
                               (idx[1] + static_cast<int64_t>(idx[2]) * (static_cast<int64_t>(arr.Bound2) + 1));
  if (offset < 0 || offset >= arr.Count) {
    RaiseError(233);
    return Resolve::Failed;
  }
  out.array = a;
  out.element = arr.First + static_cast<int32_t>(offset);
  out.kind = arr.ElemKind;
  return Resolve::Ok;
}

TAreaFields& AreaElement(int32_t element) { return gPools.ptrs[element]; }

bool LoadElement(const ElementRef& e, int expectedKind) {
  switch (e.kind) {
    case '%':
    case '&': {
      int32_t& v = e.kind == '%' ? gPools.ints[e.element] : gPools.lngs[e.element];
      if (expectedKind == kind::kAddress) LoadInteger(AddressToInt(&v), kind::kAddress);
      else LoadInteger(v, e.kind == '%' ? kind::kInt : kind::kLong);
      return true;
    }
    case '!': {
      double v = gPools.sngs[e.element];
      gRes.FloatValue = v;
      gRes.IntValue = TruncToInt32(v);
      gRes.StrValue = FloatToText(v);
      gRes.ResultKind = kind::kFloat;
      return true;
    }
    case '$':
      gRes.StrValue = gPools.strs[e.element];
      gRes.ResultKind = kind::kString;
      TextToNumbers(gRes.StrValue, gRes.IntValue, gRes.FloatValue);
      return true;
    case '#': {
      const TAreaFields& a = gPools.ptrs[e.element];
      if (a.Address == nullptr) {
        RaiseError(243);
        return false;
      }
      LoadInteger(AddressToInt(a.Address), a.AreaKind == 'o' ? kind::kObject : kind::kLong);
      gRes.AreaKind = a.AreaKind;
      gRes.AreaSize = a.Size;
      gRes.AreaStruct = a.StructIndex;
      return true;
    }
    default: return false;
  }
}

void StoreElement(const ElementRef& e) {
  switch (e.kind) {
    case '%': gPools.ints[e.element] = gRes.IntValue; break;
    case '&': gPools.lngs[e.element] = gRes.IntValue; break;
    case '!': gPools.sngs[e.element] = gRes.FloatValue; break;
    case '$': gPools.strs[e.element] = gRes.StrValue; break;
    default: break;
  }
}

int32_t ElementAddress(const ElementRef& e) {
  switch (e.kind) {
    case '%': return AddressToInt(&gPools.ints[e.element]);
    case '&': return AddressToInt(&gPools.lngs[e.element]);
    case '!': return AddressToInt(&gPools.sngs[e.element]);
    case '$': return AddressToInt(gPools.strs[e.element].c_str());
    default: return AddressToInt(gPools.ptrs[e.element].Address);
  }
}

bool ReadArrayOperand(const std::string& u, int expectedKind, TParStack& ps) {
  if (const size_t open = EmptyIndexAt(u); open != std::string::npos && open > 0) {
    std::string name = Trim(std::string_view(u).substr(0, open));
    gEval.lastVarName = name;
    int32_t i = FindArray(name);
    if (i == 0) {
      RaiseWarning(215, name);
      return true;
    }
    LoadInteger(i, kind::kArray);
    return true;
  }
  ElementRef e;
  switch (ResolveElement(u, ps, e)) {
    case Resolve::Failed: return false;
    case Resolve::Unknown: {
      // An unknown array reads as 0 of its kind, like an unknown variable.
      std::string name = gEval.lastVarName;
      gRes.Reset();
      char k = name.empty() ? '%' : name.back();
      gRes.ResultKind = k == '$' ? kind::kString : k == '!' ? kind::kFloat
                        : k == '%' ? kind::kInt : kind::kLong;
      RaiseWarning(215, name);
      return true;
    }
    case Resolve::Ok: break;
  }
  gEval.lastVarName = u;
  return LoadElement(e, expectedKind);
}

bool ClearArray(int32_t arrayIndex) {
  const TVarArr& arr = gStores.arrs[arrayIndex];
  const int pool = PoolOfKind(arr.ElemKind);
  if (pool < 0 || arr.Count <= 0 || !PoolAllocated(pool)) return true;
  const int32_t last = arr.First + arr.Count - 1;
  if (pool != kPoolPtr) {
    ClearElements(pool, arr.First, last);
    return true;
  }
  for (int32_t i = arr.First; i <= last; ++i) {
    TAreaFields& a = gPools.ptrs[i];
    if (a.AreaKind == 'o') {
      RaiseError(272, arr.Name);
      return false;
    }
    if (a.Address == nullptr) {
      RaiseError(243);
      return false;
    }
    if (!CheckRange(a.Address, 0, a.Size, a.Size, true, arr.Name)) return false;
    if (a.Size > 0) std::memset(a.Address, 0, static_cast<size_t>(a.Size));
  }
  return true;
}

std::string ElementText(int32_t arrayIndex, int32_t element) {
  switch (gStores.arrs[arrayIndex].ElemKind) {
    case '%': return IntToText(gPools.ints[element]);
    case '&': return IntToText(gPools.lngs[element]);
    case '!': return FloatToText(gPools.sngs[element]);
    case '$': return gPools.strs[element];
    default: return IntToText(AddressToInt(gPools.ptrs[element].Address));
  }
}

void SetElementFromText(int32_t arrayIndex, int32_t element, const std::string& text) {
  int32_t i = 0;
  double f = 0.0;
  switch (gStores.arrs[arrayIndex].ElemKind) {
    case '%':
    case '&':
      TextToNumbers(Trim(text), i, f);
      (gStores.arrs[arrayIndex].ElemKind == '%' ? gPools.ints : gPools.lngs)[element] = i;
      break;
    case '!': gPools.sngs[element] = TextToFloat(text); break;
    case '$': gPools.strs[element] = text; break;
    default: break;
  }
}

}  // namespace korv
