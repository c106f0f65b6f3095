// Memory areas: the block registry, memory probes, area resolution, DIM and
// DISPOSE of one area, and the area assignment.
#include "values/areas.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>

#include "base/text.h"
#include "base/errors.h"
#include "base/host.h"
#include "values/arrays.h"
#include "values/composite.h"
#include "values/evaluator.h"
#include "values/structures.h"

namespace korv {

namespace {

// Blocks larger than this are refused like a failed allocation: a 32-bit
// process cannot hold them next to the program anyway.
constexpr int32_t kMaxBlockSize = 0x40000000;

std::map<uintptr_t, size_t> gBlockMap;  // base -> bytes allocated (at least 1)
// Blocks freed while the program runs: a plain address that still points
// there must not write into memory the heap may have handed to someone else.
std::map<uintptr_t, size_t> gFreedMap;
constexpr size_t kMaxFreedRanges = 4096;
bool gShutdownArmed = false;
MemoryProbe gReadProbe = nullptr;
MemoryProbe gWriteProbe = nullptr;
std::string gNewArguments;

void ArmShutdown() {
  if (gShutdownArmed) return;
  gShutdownArmed = true;
  AtShutdown([] {
    gShutdownArmed = false;
    FreeAllBlocks();
  });
}

void RememberFreed(uintptr_t base, size_t bytes) {
  if (gFreedMap.size() >= kMaxFreedRanges) gFreedMap.erase(gFreedMap.begin());
  gFreedMap[base] = bytes;
}

// A new block takes over whatever freed ranges it covers.
void ForgetFreed(uintptr_t base, size_t bytes) {
  auto it = gFreedMap.lower_bound(base);
  if (it != gFreedMap.begin()) {
    auto prev = std::prev(it);
    if (prev->first + prev->second > base) it = prev;
  }
  while (it != gFreedMap.end() && it->first < base + bytes) it = gFreedMap.erase(it);
}

bool InFreedRange(uintptr_t a, size_t len) {
  auto it = gFreedMap.upper_bound(a);
  if (it != gFreedMap.end() && it->first < a + len) return true;
  if (it == gFreedMap.begin()) return false;
  --it;
  return a < it->first + it->second;
}

size_t BlockExtent(const void* base) {
  auto it = gBlockMap.find(reinterpret_cast<uintptr_t>(base));
  return it == gBlockMap.end() ? 0 : it->second;
}

// Where a range stands towards the registered blocks.
enum class BlockFit { Inside, Outside, Straddles };

BlockFit FitInBlocks(uintptr_t a, size_t len) {
  uintptr_t end = a + len;
  auto it = gBlockMap.upper_bound(a);  // first block starting after a
  if (it != gBlockMap.end() && it->first < end) return BlockFit::Straddles;
  if (it == gBlockMap.begin()) return BlockFit::Outside;
  --it;
  uintptr_t blockEnd = it->first + it->second;
  if (a >= blockEnd) return BlockFit::Outside;
  return end <= blockEnd ? BlockFit::Inside : BlockFit::Straddles;
}

bool InVector(uintptr_t a, size_t len, const void* data, size_t bytes) {
  if (data == nullptr) return false;
  uintptr_t b = reinterpret_cast<uintptr_t>(data);
  return a >= b && a + len <= b + bytes;
}

// The value field of a live integer, long or float variable.
template <typename Record, typename Field>
bool InStoreValues(uintptr_t a, size_t len, const Record* records, int32_t count,
                   Field Record::*field) {
  uintptr_t base = reinterpret_cast<uintptr_t>(records);
  if (a < base) return false;
  size_t index = (a - base) / sizeof(Record);
  if (index < 1 || index > static_cast<size_t>(count)) return false;
  uintptr_t f = reinterpret_cast<uintptr_t>(&(records[index].*field));
  return a >= f && a + len <= f + sizeof(Field);
}

// The characters of a live string variable.
bool InStringValues(uintptr_t a, size_t len) {
  for (int32_t i = 1; i <= gStores.counts.count[kStoreStr]; ++i) {
    const std::string& s = gStores.strs[i].Value;
    if (InVector(a, len, s.data(), s.size())) return true;
  }
  return false;
}

// True when the range lies in memory this core owns and may be read and
// written as plain bytes; straddling a block boundary is refused outright.
bool OwnedMemory(uintptr_t a, size_t len, bool& refused) {
  refused = false;
  switch (FitInBlocks(a, len)) {
    case BlockFit::Inside: return true;
    case BlockFit::Straddles: refused = true; return false;
    case BlockFit::Outside: break;
  }
  if (InVector(a, len, gPools.ints.data(), gPools.ints.size() * sizeof(int32_t)) ||
      InVector(a, len, gPools.lngs.data(), gPools.lngs.size() * sizeof(int32_t)) ||
      InVector(a, len, gPools.sngs.data(), gPools.sngs.size() * sizeof(double)))
    return true;
  if (InStoreValues(a, len, gStores.ints.data(), gStores.counts.count[kStoreInt], &TVarInt::Value) ||
      InStoreValues(a, len, gStores.lngs.data(), gStores.counts.count[kStoreLng], &TVarLng::Value) ||
      InStoreValues(a, len, gStores.sngs.data(), gStores.counts.count[kStoreSng], &TVarSng::Value))
    return true;
  return InStringValues(a, len);
}

bool Accessible(const void* p, size_t len, bool write) {
  if (len == 0) return true;
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  if (a == 0 || a + len < a) return false;
  bool refused;
  if (OwnedMemory(a, len, refused)) return true;
  if (refused || InFreedRange(a, len)) return false;
  MemoryProbe probe = write ? gWriteProbe : gReadProbe;
  return probe != nullptr && probe(p, len);
}

bool AddressInside(const void* address, const void* base, size_t extent) {
  uintptr_t a = reinterpret_cast<uintptr_t>(address), b = reinterpret_cast<uintptr_t>(base);
  return a >= b && (a < b + extent || a == b);
}

}  // namespace

// ---------------------------------------------------------------------------
// Helpers shared by the composite files

int32_t AddressToInt(const void* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)));
}

void* IntToAddress(int32_t v) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(v)));
}

void SetMemoryProbes(MemoryProbe readable, MemoryProbe writable) {
  gReadProbe = readable;
  gWriteProbe = writable;
}

bool IsReadable(const void* address, size_t length) { return Accessible(address, length, false); }
bool IsWritable(const void* address, size_t length) { return Accessible(address, length, true); }

// ---------------------------------------------------------------------------
// Blocks

void* AllocateBlock(int32_t size) {
  if (size < 0 || size > kMaxBlockSize) return nullptr;
  size_t n = size == 0 ? 1 : static_cast<size_t>(size);
  void* p = std::calloc(n, 1);
  if (p == nullptr) return nullptr;
  gBlockMap[reinterpret_cast<uintptr_t>(p)] = n;
  ForgetFreed(reinterpret_cast<uintptr_t>(p), n);
  ArmShutdown();
  return p;
}

void* ResizeBlock(void* base, int32_t newSize) {
  auto it = gBlockMap.find(reinterpret_cast<uintptr_t>(base));
  if (it == gBlockMap.end() || newSize < 0 || newSize > kMaxBlockSize) return nullptr;
  size_t oldBytes = it->second;
  size_t n = newSize == 0 ? 1 : static_cast<size_t>(newSize);
  void* p = std::realloc(base, n);
  if (p == nullptr) return nullptr;
  gBlockMap.erase(it);
  if (p != base) RememberFreed(reinterpret_cast<uintptr_t>(base), oldBytes);
  gBlockMap[reinterpret_cast<uintptr_t>(p)] = n;
  ForgetFreed(reinterpret_cast<uintptr_t>(p), n);
  if (n > oldBytes) std::memset(static_cast<char*>(p) + oldBytes, 0, n - oldBytes);
  return p;
}

void FreeBlock(void* base) {
  auto it = gBlockMap.find(reinterpret_cast<uintptr_t>(base));
  if (it == gBlockMap.end()) return;  // never free what was not allocated here
  RememberFreed(it->first, it->second);
  gBlockMap.erase(it);
  std::free(base);
}

void FreeAllBlocks() {
  for (auto& [base, bytes] : gBlockMap) std::free(reinterpret_cast<void*>(base));
  gBlockMap.clear();
  gFreedMap.clear();  // a new run starts with no addresses of its own
}

int32_t LiveBlockCount() { return static_cast<int32_t>(gBlockMap.size()); }

void RelocateAreasInto(const TAreaFields* owner, void* oldBase, int32_t oldSize, void* newBase,
                       int32_t newSize) {
  size_t extent = oldSize > 0 ? static_cast<size_t>(oldSize) : 0;
  auto follow = [&](TAreaFields& x) {
    if (&x == owner || x.Address == nullptr || !AddressInside(x.Address, oldBase, extent)) return;
    uintptr_t offset = reinterpret_cast<uintptr_t>(x.Address) - reinterpret_cast<uintptr_t>(oldBase);
    if (newBase == nullptr || offset > static_cast<uintptr_t>(newSize)) {
      // The memory is gone: an owner looks at its own block again, an alias
      // is left without address.
      if (x.Base != nullptr) {
        x.Address = x.Base;
      } else {
        x.Address = nullptr;
        x.Size = 0;
      }
      return;
    }
    x.Address = static_cast<char*>(newBase) + offset;
    int32_t room = newSize - static_cast<int32_t>(offset);
    if (x.Base == nullptr && x.Size > room) x.Size = room;
  };
  for (int32_t i = 1; i <= gStores.counts.count[kStorePtr]; ++i) follow(gStores.ptrs[i]);
  if (!gPools.ptrs.empty())
    for (int32_t i = 1; i <= gPools.used[kPoolPtr]; ++i) follow(gPools.ptrs[i]);
}

void DisposeArea(TAreaFields& a) {
  if (a.Base != nullptr) {
    void* old = a.Base;
    size_t extent = BlockExtent(old);
    FreeBlock(old);
    a.Address = nullptr;
    a.Base = nullptr;
    a.Size = 0;
    RelocateAreasInto(&a, old, static_cast<int32_t>(extent), nullptr, 0);
    return;
  }
  // An alias or a window onto foreign memory owns nothing: it only lets go.
  a.Address = nullptr;
  a.Size = 0;
}

void ResetArea(TAreaFields& a) {
  DisposeArea(a);
  a = TAreaFields();
}

bool DimensionArea(TAreaFields& a, int32_t size, char kind, int32_t structIndex) {
  if (size < 0 || size > kMaxBlockSize) {
    ResetArea(a);
    return false;
  }
  void* block;
  if (a.Base != nullptr) {
    void* old = a.Base;
    size_t extent = BlockExtent(old);
    block = ResizeBlock(old, size);
    if (block == nullptr) {
      ResetArea(a);
      return false;
    }
    RelocateAreasInto(&a, old, static_cast<int32_t>(extent), block, size);
  } else {
    block = AllocateBlock(size);
    if (block == nullptr) {
      ResetArea(a);
      return false;
    }
    // A byte area that looked at memory it did not own keeps what it saw.
    size_t keep = static_cast<size_t>(a.Size < size ? a.Size : size);
    if (a.Address != nullptr && keep > 0 && IsReadable(a.Address, keep))
      std::memcpy(block, a.Address, keep);
  }
  a.Address = block;
  a.Base = block;
  a.Size = size;
  a.AreaKind = kind;
  a.StructIndex = structIndex;
  return true;
}

// ---------------------------------------------------------------------------
// Resolution

bool IsAreaName(const std::string& u) {
  if (u.empty()) return false;
  if (u.back() == '#') return u.find('.') == std::string::npos && u.find('[') == std::string::npos;
  if (u.back() != ']') return false;
  size_t open = u.find('[');
  if (open == std::string::npos || open == 0 || u[open - 1] != '#') return false;
  return u.find("].") == std::string::npos && u.find("#.") == std::string::npos;
}

AreaLookup ResolveArea(const std::string& u, TParStack& ps, AreaRef& out) {
  out = AreaRef();
  if (!IsAreaName(u)) return AreaLookup::NotArea;
  if (u.back() == '#') {
    int32_t i = Find(u);
    if (i == 0) return AreaLookup::Unknown;
    out.area = &gStores.ptrs[i];
    return AreaLookup::Ok;
  }
  ElementRef e;
  switch (ResolveElement(u, ps, e)) {
    case Resolve::Unknown: return AreaLookup::Unknown;
    case Resolve::Failed: return AreaLookup::Failed;
    case Resolve::Ok: break;
  }
  if (e.kind != '#') return AreaLookup::NotArea;
  out.area = &AreaElement(e.element);
  out.element = true;
  return AreaLookup::Ok;
}

// ---------------------------------------------------------------------------
// Checked access

bool CheckRange(const void* address, int64_t offset, int64_t length, int64_t limit, bool write,
                const std::string& name) {
  if (offset < 0 || length < 0 || (limit >= 0 && offset + length > limit)) {
    RaiseError(207, name);
    return false;
  }
  if (length == 0) return true;
  uintptr_t a = reinterpret_cast<uintptr_t>(address);
  if (a == 0 || offset > static_cast<int64_t>(UINT32_MAX)) {
    RaiseError(207, name);
    return false;
  }
  const void* p = reinterpret_cast<const void*>(a + static_cast<uintptr_t>(offset));
  if (!(write ? IsWritable(p, static_cast<size_t>(length)) : IsReadable(p, static_cast<size_t>(length)))) {
    RaiseError(207, name);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Assignment

const std::string& PendingNewArguments() { return gNewArguments; }
void SetPendingNewArguments(std::string text) { gNewArguments = std::move(text); }

namespace {

// A NEW value into an area without block: the instance and its constructor.
bool Instantiate(TAreaFields& target, const std::string& name, int32_t structIndex, TParStack& ps) {
  if (structIndex < 1 || structIndex > gStructs.structCount) {
    RaiseError(135, name);
    return false;
  }
  const TStruktur s = gStructs.structs[structIndex];
  std::string args = PendingNewArguments();
  if (!DimensionArea(target, s.Size, s.Kind, structIndex)) {
    RaiseError(240);
    return false;
  }
  if (s.Kind == 'o') return RunConstructor(structIndex, name, args, ps);
  return true;
}

// Copies count bytes from a value's address into the target.
bool CopyInto(TAreaFields& target, const TEvalResult& v, const std::string& name) {
  int32_t count = v.AreaSize;
  if (count <= 0) return true;
  const void* from = IntToAddress(v.IntValue);
  if (!CheckRange(from, 0, count, -1, false, name)) return false;
  if (!CheckRange(target.Address, 0, count, target.Size, true, name)) return false;
  std::memmove(target.Address, from, static_cast<size_t>(count));
  return true;
}

}  // namespace

bool AssignArea(TAreaFields& target, const std::string& name, bool element, TParStack& ps) {
  Evaluate(ps, ' ', kind::kObject);
  // A failed evaluation, or a NEW that found no class, assigns nothing.
  if (gEval.failed || gRes.ResultKind == kind::kNone) return false;
  const TEvalResult v = gRes;
  if (v.AreaKind == 'n') {
    if (target.Address != nullptr) {
      RaiseError(278, name);
      return false;
    }
    return Instantiate(target, name, v.IntValue, ps);
  }
  if (target.AreaKind == 'o') {
    if (v.AreaKind == 'o' && v.AreaStruct == target.StructIndex) {
      if (target.Address == nullptr) {
        RaiseError(243);
        return false;
      }
      return CopyInto(target, v, name);
    }
    if (!element && v.AreaKind == ' ') {
      target.Address = IntToAddress(v.IntValue);
      return true;
    }
    RaiseError(275, name);
    return false;
  }
  if (v.AreaKind == 'o') {
    RaiseError(272, name);
    return false;
  }
  if (v.AreaKind != 'b' && v.AreaKind != 's') {
    target.Address = IntToAddress(v.IntValue);  // a window onto any address
    return true;
  }
  if (target.Size < v.AreaSize) {
    RaiseError(276, name);
    return false;
  }
  return CopyInto(target, v, name);
}

bool InstantiateNew(TVarPtr& entry, TParStack& ps) {
  return Instantiate(entry, entry.Name, gRes.IntValue, ps);
}

}  // namespace korv
