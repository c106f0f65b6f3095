// The six variable stores: fixed tables of 2000 entries (1..1999 usable)
// for integers, long integers, floats, strings, memory areas and arrays.
// Entries are appended on declaration and removed only by Truncate, so each
// store is a stack of procedure scopes; lookups find the newest entry first.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "values/value.h"

namespace korv {

constexpr int32_t kStoreSize = 2000;
constexpr int32_t kStoreLast = kStoreSize - 1;  // highest usable index

struct TVarInt {
  std::string Name;
  int32_t Value = 0;
};
struct TVarLng {
  std::string Name;
  int32_t Value = 0;
};
struct TVarSng {
  std::string Name;
  double Value = 0.0;
};
struct TVarStr {
  std::string Name;
  std::string Value;
};
// The fields of a memory area; an element of an area array is exactly this,
// an area variable adds its name.
struct TAreaFields {
  char AreaKind = ' ';  // ' ' declared, 'b' DIM area, 's' structure, 'o' object
  void* Address = nullptr;
  void* Base = nullptr;  // the block as allocated, or nullptr
  int32_t Size = 0;
  int32_t StructIndex = 0;  // 0 declared, -1 byte area, else structure index
};
struct TVarPtr : TAreaFields {
  std::string Name;
};
struct TVarArr {
  char ElemKind = ' ';
  std::string Name;
  int32_t Bound1 = 0, Bound2 = 0, Bound3 = 0;
  int32_t Count = 0;
  int32_t First = 0;
};

enum StoreId : int { kStoreInt = 0, kStoreLng, kStoreSng, kStoreStr, kStorePtr, kStoreArr, kStoreCount };

// The six store counters at one moment (a procedure frame's marks).
struct StoreMarks {
  std::array<int32_t, kStoreCount> count{};
  bool operator==(const StoreMarks&) const = default;
};

// Name index of one store. Every name gets a number once, on its first
// declaration or kept lookup; per number the indices of its live entries,
// oldest first, so the newest is at the back. A lookup by number is two
// loads, whatever was declared or left since (the entries of the language's
// dynamic scoping are pushed and popped per name); a lookup by name hashes
// once. Each entry keeps its name's number, so leaving a scope hashes
// nothing.
class NameIndex {
 public:
  int32_t Newest(const std::string& name) const;
  // The number of name, given now if it has none.
  int32_t Number(const std::string& name);
  int32_t Top(int32_t number) const {
    const std::vector<int32_t>& s = stacks_[static_cast<size_t>(number)];
    return s.empty() ? 0 : s.back();
  }
  void Push(int32_t number, int32_t index);  // index: the store's newest entry
  void Remove(int32_t index);  // index must be the newest of its name
  void Clear();  // no live entries (the numbers stay)

 private:
  // Past this many names, those without a live entry lose their numbers
  // (the live ones, at most one store full, are numbered anew).
  static constexpr size_t kMaxNames = 8192;
  void Renumber();
  // (The standard string hash lets a small table compare names without
  // hashing them.)
  std::unordered_map<std::string, int32_t> numbers_;
  std::vector<std::vector<int32_t>> stacks_;
  std::vector<int32_t> numberOf_;  // per entry index, the number of its name
};

// Changes whenever names lose their numbers: a kept number is valid while
// this is unchanged.
extern uint64_t gNameEpoch;

struct TStores {
  std::array<TVarInt, kStoreSize> ints;
  std::array<TVarLng, kStoreSize> lngs;
  std::array<TVarSng, kStoreSize> sngs;
  std::array<TVarStr, kStoreSize> strs;
  std::array<TVarPtr, kStoreSize> ptrs;
  std::array<TVarArr, kStoreSize> arrs;
  StoreMarks counts;  // live entries 1..count of each store
  std::array<NameIndex, kStoreCount> index;
  StoreMarks levelMarks;               // where the current level's entries begin
  std::vector<StoreMarks> outerLevels;  // marks of the suspended levels
};

extern TStores gStores;

// Empties every store (program start).
void ResetStores();

// The store of a user variable name by its suffix; -1 for no suffix.
// Array names ("A%[...]") are not scalars: use the array functions.
int StoreOfSuffix(char suffix);

// Scope marks.
StoreMarks CurrentMarks();
void Truncate(const StoreMarks& marks);
// The procedure subsystem enters a level when a procedure starts (the
// duplicate check of declarations then sees only the new level's entries)
// and leaves it when the procedure returns (its entries are removed).
void PushScope();
void PopScope();
const StoreMarks& LevelMarks();
int ScopeDepth();

// Name normalisation: trimmed and upper-cased.
std::string NormalizeName(const std::string& name);

// Declares one scalar variable (suffix ! # $ % &) with a zero value and
// returns its index in its store, or 0 after a reported failure (122, 147,
// or the store's capacity error).
int32_t Declare(const std::string& name);

// Declares an array descriptor; returns its index or 0 (122, 147, 253).
int32_t DeclareArrayEntry(const std::string& upperName, char elemKind);

// Newest entry with this (normalised) name in the store of its suffix, or 0.
int32_t Find(const std::string& upperName);
int32_t FindArray(const std::string& upperName);

// A lookup kept by the code that repeats it (a precompiled operand): the
// store and number of its name, found once; each use reads the newest
// entry of that number, so it stays exact under declarations, procedure
// frames and their ends.
struct CachedFind {
  uint64_t epoch = 0;  // 0: not found yet
  int32_t number = 0;
  int store = -1;      // -1: a name no store holds
};
int32_t FindAndKeep(const std::string& upperName, CachedFind& cache, bool array);
inline int32_t FindCached(const std::string& upperName, CachedFind& cache, bool array = false) {
  if (cache.epoch != gNameEpoch) return FindAndKeep(upperName, cache, array);
  return cache.store < 0 ? 0 : gStores.index[static_cast<size_t>(cache.store)].Top(cache.number);
}

// Declare for a name already normalised (upper case, trimmed) whose
// statement declares it again and again: its number is kept in cache as
// FindCached keeps it. The same checks and reports as Declare.
int32_t DeclareKept(const std::string& upperName, CachedFind& cache);

// Reads the variable into gRes (see Load rules); requestedKind 11 asks for
// the address of a % or & variable. Unknown names leave gRes as it is and
// give warning 215 (silent while DECLARE or PARAMETERS runs). Returns false
// after an error report (243: a declared area without a block).
bool Load(const std::string& upperName, int requestedKind = 0);

// Writes gRes into the variable; false after error 215 (not declared).
// Memory areas are not handled here.
bool Store(const std::string& upperName);
// The same for the entry i of the store of suffix (% & ! $), found before.
bool StoreAt(char suffix, int32_t i);

// INC / DEC: adds delta with 32-bit wrap-around (103, 215).
void IncDec(const std::string& name, int32_t delta);

}  // namespace korv
