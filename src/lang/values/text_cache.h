// What is worked out once per argument or statement text and kept for the
// next run of the same text: one table for source text and one for compiled
// text (whose operators and calls are tokens). A table that grows beyond its
// limit starts again empty.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/text.h"

namespace korv {

template <class Entry>
class TextCache {
 public:
  // The entry of text, made by make(Entry&) on its first use. make may use
  // the same cache (an entry is added only after it is made), so entries
  // are returned by reference only until the next call.
  template <class Make>
  Entry& Of(std::string_view text, Make make) {
    auto& table = byText_[gCompiledText ? 1 : 0];
    if (auto it = table.find(text); it != table.end()) return it->second;
    Entry e{};
    make(e);
    if (table.size() >= kMaxEntries) table.clear();
    return table.emplace(std::string(text), std::move(e)).first->second;
  }

 private:
  static constexpr size_t kMaxEntries = 8192;
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, Entry, Hash, std::equal_to<>> byText_[2];
};

}  // namespace korv
