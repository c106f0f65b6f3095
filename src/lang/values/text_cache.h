// What is worked out once per argument or statement text and kept for the
// next run of the same text: one table for source text and one for compiled
// text (whose operators and calls are tokens). A table that grows beyond its
// limit starts again empty.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/text.h"

namespace korv {

// Where a statement whose text never changes found its entry last time: the
// table, the entry and the table's generation then (a table that starts
// again empty has a new one).
struct TextCacheMemo {
  const void* table = nullptr;
  void* entry = nullptr;
  uint32_t generation = 0;
};

template <class Entry>
class TextCache {
 public:
  // The same for a text that stays as it is wherever memo is kept (a
  // statement of a loaded program): found again without a look at the
  // text. memo may be null.
  template <class Make>
  Entry& Of(std::string_view text, Make make, TextCacheMemo* memo) {
    if (memo == nullptr) return Of(text, make);
    const auto* table = &byText_[gCompiledText ? 1 : 0];
    if (memo->table == table && memo->generation == generation_) return *static_cast<Entry*>(memo->entry);
    Entry& e = Of(text, make);
    *memo = TextCacheMemo{&byText_[gCompiledText ? 1 : 0], &e, generation_};
    return e;
  }

  // The entry of text, made by make(Entry&) on its first use. make may use
  // the same cache (an entry is added only after it is made), so entries
  // are returned by reference only until the next call.
  template <class Make>
  Entry& Of(std::string_view text, Make make) {
    const size_t which = gCompiledText ? 1 : 0;
    // The texts of a loop are asked for again and again from the same
    // place (a statement's own text, the evaluator's buffer): a recent
    // entry found by that place (and a glance at the text) is taken when
    // its text is the same, which spares hashing the text.
    Recent& recent = recent_[which][Place(text)];
    // (An empty view may have no data at all: memcmp must not see it.)
    if (recent.entry != nullptr && recent.key.size() == text.size() &&
        (text.empty() || std::memcmp(recent.key.data(), text.data(), text.size()) == 0))
      return *recent.entry;
    auto& table = byText_[which];
    auto it = table.find(text);
    if (it == table.end()) {
      Entry e{};
      make(e);
      if (table.size() >= kMaxEntries) {
        table.clear();
        ++generation_;
        recent_[which].fill(Recent());
      }
      it = table.emplace(std::string(text), std::move(e)).first;
    }
    // The node of an unordered map stays where it is until it is erased.
    recent.key = it->first;
    recent.entry = &it->second;
    return it->second;
  }

 private:
  static constexpr size_t kMaxEntries = 8192;
  static constexpr size_t kRecentPlaces = 64;
  struct Recent {
    std::string_view key;  // the table's own key
    Entry* entry = nullptr;
  };
  // The place, mixed with the size and the two end bytes: the evaluator's
  // one buffer holds the texts of many statements in turn.
  static size_t Place(std::string_view text) {
    const auto at = reinterpret_cast<uintptr_t>(text.data());
    size_t mix = (at >> 3) ^ (at >> 9) ^ text.size();
    if (!text.empty())
      mix ^= static_cast<unsigned char>(text.front()) * 7u ^ static_cast<unsigned char>(text.back()) * 13u;
    return mix % kRecentPlaces;
  }
  std::unordered_map<std::string, Entry, TextHash, std::equal_to<>> byText_[2];
  std::array<Recent, kRecentPlaces> recent_[2]{};
  uint32_t generation_ = 1;  // a memo of 0 is never taken
};

}  // namespace korv
