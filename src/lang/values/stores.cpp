#include "values/stores.h"

#include "base/text.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "values/evaluator.h"

namespace korv {

TStores gStores;

// ---------------------------------------------------------------------------
// Name index

uint64_t gNameEpoch = 1;

int32_t NameIndex::Newest(const std::string& name) const {
  auto it = numbers_.find(name);
  return it == numbers_.end() ? 0 : Top(it->second);
}

int32_t NameIndex::Number(const std::string& name) {
  if (auto it = numbers_.find(name); it != numbers_.end()) return it->second;
  if (numbers_.size() >= kMaxNames) Renumber();
  const auto number = static_cast<int32_t>(stacks_.size());
  numbers_.emplace(name, number);
  stacks_.emplace_back();
  return number;
}

void NameIndex::Push(int32_t number, int32_t index) {
  stacks_[static_cast<size_t>(number)].push_back(index);
  if (numberOf_.size() <= static_cast<size_t>(index)) numberOf_.resize(static_cast<size_t>(index) + 1);
  numberOf_[static_cast<size_t>(index)] = number;
}

void NameIndex::Remove(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= numberOf_.size()) return;
  std::vector<int32_t>& s = stacks_[static_cast<size_t>(numberOf_[static_cast<size_t>(index)])];
  if (!s.empty() && s.back() == index) s.pop_back();
}

void NameIndex::Clear() {
  for (std::vector<int32_t>& s : stacks_) s.clear();
}

// Keeps the names that have live entries, numbered anew; every kept number
// elsewhere becomes invalid with the epoch.
void NameIndex::Renumber() {
  std::unordered_map<std::string, int32_t> numbers;
  std::vector<std::vector<int32_t>> stacks;
  for (auto& [name, number] : numbers_) {
    std::vector<int32_t>& s = stacks_[static_cast<size_t>(number)];
    if (s.empty()) continue;
    const auto renumbered = static_cast<int32_t>(stacks.size());
    for (int32_t index : s) numberOf_[static_cast<size_t>(index)] = renumbered;
    numbers.emplace(name, renumbered);
    stacks.push_back(std::move(s));
  }
  numbers_ = std::move(numbers);
  stacks_ = std::move(stacks);
  ++gNameEpoch;
}

// ---------------------------------------------------------------------------
// Stores and scopes

namespace {

constexpr int32_t kFullError[kStoreCount] = {217, 218, 220, 219, 239, 253};

// Empties an entry. A number entry keeps its name's buffer (every call of a
// procedure declares its locals anew); a string value is released at once.
template <class Entry>
void ClearNumber(Entry& e) {
  e.Name.clear();
  e.Value = 0;
}

void ClearEntry(int store, int32_t i) {
  switch (store) {
    case kStoreInt: ClearNumber(gStores.ints[i]); break;
    case kStoreLng: ClearNumber(gStores.lngs[i]); break;
    case kStoreSng: ClearNumber(gStores.sngs[i]); break;
    case kStoreStr:
      gStores.strs[i].Name.clear();
      std::string().swap(gStores.strs[i].Value);
      break;
    case kStorePtr: gStores.ptrs[i] = TVarPtr(); break;
    default: gStores.arrs[i] = TVarArr(); break;
  }
}

// Appends an entry named upperName to a store after the duplicate and
// capacity checks; returns its index or 0 after a report.
int32_t AppendNumbered(int store, int32_t number, const std::string& upperName) {
  int32_t& count = gStores.counts.count[store];
  NameIndex& names = gStores.index[store];
  if (names.Top(number) > gStores.levelMarks.count[store]) {
    RaiseError(147, upperName);
    return 0;
  }
  if (count >= kStoreLast) {
    RaiseError(kFullError[store]);
    return 0;
  }
  int32_t i = ++count;
  ClearEntry(store, i);
  switch (store) {
    case kStoreInt: gStores.ints[i].Name = upperName; break;
    case kStoreLng: gStores.lngs[i].Name = upperName; break;
    case kStoreSng: gStores.sngs[i].Name = upperName; break;
    case kStoreStr: gStores.strs[i].Name = upperName; break;
    case kStorePtr: gStores.ptrs[i].Name = upperName; break;
    default: gStores.arrs[i].Name = upperName; break;
  }
  names.Push(number, i);
  return i;
}

int32_t Append(int store, const std::string& upperName) {
  return AppendNumbered(store, gStores.index[store].Number(upperName), upperName);
}

bool HasBlank(const std::string& s) {
  for (char c : s)
    if (IsBlankChar(c)) return true;
  return false;
}

// A normalised name a store can hold: a kind suffix and no blank.
bool DeclarableName(const std::string& upperName) {
  return !upperName.empty() && StoreOfSuffix(upperName.back()) >= 0 && !HasBlank(upperName);
}

}  // namespace

void ResetStores() {
  for (int s = 0; s < kStoreCount; ++s) {
    for (int32_t i = 1; i <= gStores.counts.count[s]; ++i) ClearEntry(s, i);
    gStores.index[s].Clear();
  }
  gStores.counts = StoreMarks();
  gStores.levelMarks = StoreMarks();
  gStores.outerLevels.clear();
}

int StoreOfSuffix(char suffix) {
  switch (suffix) {
    case '%': return kStoreInt;
    case '&': return kStoreLng;
    case '!': return kStoreSng;
    case '$': return kStoreStr;
    case '#': return kStorePtr;
    default: return -1;
  }
}

StoreMarks CurrentMarks() { return gStores.counts; }

void Truncate(const StoreMarks& marks) {
  for (int s = 0; s < kStoreCount; ++s) {
    int32_t target = marks.count[s];
    if (target < 0) target = 0;
    int32_t& count = gStores.counts.count[s];
    while (count > target) {
      gStores.index[s].Remove(count);
      ClearEntry(s, count);  // releases the string value at once
      --count;
    }
  }
}

void PushScope() {
  gStores.outerLevels.push_back(gStores.levelMarks);
  gStores.levelMarks = gStores.counts;
}

void PopScope() {
  Truncate(gStores.levelMarks);
  if (gStores.outerLevels.empty()) {
    gStores.levelMarks = StoreMarks();
    return;
  }
  gStores.levelMarks = gStores.outerLevels.back();
  gStores.outerLevels.pop_back();
}

const StoreMarks& LevelMarks() { return gStores.levelMarks; }
int ScopeDepth() { return static_cast<int>(gStores.outerLevels.size()); }

std::string NormalizeName(const std::string& name) { return Upper(Trim(name)); }

int32_t Declare(const std::string& name) {
  std::string n = NormalizeName(name);
  int store = n.empty() ? -1 : StoreOfSuffix(n.back());
  if (store < 0 || HasBlank(n)) {
    RaiseError(122, n);
    return 0;
  }
  return Append(store, n);
}

int32_t DeclareKept(const std::string& upperName, CachedFind& cache) {
  if (cache.epoch != gNameEpoch) {
    if (!DeclarableName(upperName)) return Declare(upperName);
    FindAndKeep(upperName, cache, false);
  }
  return AppendNumbered(cache.store, cache.number, upperName);
}

int32_t DeclareArrayEntry(const std::string& upperName, char elemKind) {
  if (!DeclarableName(upperName)) {
    RaiseError(122, upperName);
    return 0;
  }
  int32_t i = Append(kStoreArr, upperName);
  if (i) gStores.arrs[i].ElemKind = elemKind;
  return i;
}

int32_t Find(const std::string& upperName) {
  if (upperName.empty()) return 0;
  int store = StoreOfSuffix(upperName.back());
  if (store < 0) return 0;
  return gStores.index[store].Newest(upperName);
}

int32_t FindArray(const std::string& upperName) {
  return gStores.index[kStoreArr].Newest(upperName);
}

int32_t FindAndKeep(const std::string& upperName, CachedFind& cache, bool array) {
  cache.store = array ? kStoreArr : upperName.empty() ? -1 : StoreOfSuffix(upperName.back());
  // Numbering a name may renumber the others: the epoch is read after it.
  if (cache.store >= 0) cache.number = gStores.index[static_cast<size_t>(cache.store)].Number(upperName);
  cache.epoch = gNameEpoch;
  return cache.store < 0 ? 0 : gStores.index[static_cast<size_t>(cache.store)].Top(cache.number);
}

namespace {

int32_t AddressOf(const void* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)));
}

void LoadInteger(int32_t v, uint8_t k) {
  gRes.IntValue = v;
  gRes.FloatValue = v;
  gRes.StrValue.clear();
  gRes.PendingText = TEvalResult::kTextFromInt;
  gRes.ResultKind = k;
}

bool SilentUnknownReads() {
  const std::string_view command = CurrentCommand();
  return command == "DECLARE" || command == "PARAMETERS";
}

}  // namespace

bool Load(const std::string& upperName, int requestedKind) {
  gEval.lastVarName = upperName;
  int32_t i = Find(upperName);
  if (i == 0) {
    if (!SilentUnknownReads()) RaiseWarning(215, upperName);
    return true;
  }
  switch (upperName.back()) {
    case '%':
    case '&': {
      int32_t& v = upperName.back() == '%' ? gStores.ints[i].Value : gStores.lngs[i].Value;
      if (requestedKind == kind::kAddress) {
        LoadInteger(AddressOf(&v), kind::kAddress);
      } else {
        LoadInteger(v, upperName.back() == '%' ? kind::kInt : kind::kLong);
      }
      break;
    }
    case '!': {
      double v = gStores.sngs[i].Value;
      gRes.FloatValue = v;
      gRes.IntValue = TruncToInt32(v);
      gRes.StrValue.clear();
      gRes.PendingText = TEvalResult::kTextFromFloat;
      gRes.ResultKind = kind::kFloat;
      break;
    }
    case '$':
      gRes.StrValue = gStores.strs[i].Value;
      gRes.ResultKind = kind::kString;
      TextToNumbers(gRes.StrValue, gRes.IntValue, gRes.FloatValue);
      break;
    case '#': {
      const TVarPtr& a = gStores.ptrs[i];
      if (a.Address == nullptr) {
        RaiseError(243);
        return false;
      }
      LoadInteger(AddressOf(a.Address), a.AreaKind == 'o' ? kind::kObject : kind::kLong);
      gRes.AreaKind = a.AreaKind;
      gRes.AreaSize = a.Size;
      gRes.AreaStruct = a.StructIndex;
      break;
    }
    default: break;
  }
  return true;
}

bool Store(const std::string& upperName) {
  int32_t i = Find(upperName);
  if (i == 0) {
    RaiseError(215, upperName);
    return false;
  }
  return StoreAt(upperName.back(), i);
}

bool StoreAt(char suffix, int32_t i) {
  switch (suffix) {
    case '%': gStores.ints[i].Value = gRes.IntValue; break;
    case '&': gStores.lngs[i].Value = gRes.IntValue; break;
    case '!': gStores.sngs[i].Value = gRes.FloatValue; break;
    case '$': gStores.strs[i].Value = gRes.StrValue; break;
    default: return false;
  }
  return true;
}

void IncDec(const std::string& name, int32_t delta) {
  std::string n = NormalizeName(name);
  if (n.empty() || (n.back() != '%' && n.back() != '&')) {
    RaiseError(103);
    return;
  }
  int32_t i = Find(n);
  if (i == 0) {
    RaiseError(215, n);
    return;
  }
  int32_t& v = n.back() == '%' ? gStores.ints[i].Value : gStores.lngs[i].Value;
  v = WrapAdd(v, delta);
}

}  // namespace korv
