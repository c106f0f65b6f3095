#include "values/text_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korv::testing {
namespace {

// An entry records the text it was made for.
TextCache<std::string>& Cache() {
  static TextCache<std::string> cache;
  return cache;
}

int gMade = 0;
std::string& Lookup(std::string_view text) {
  return Cache().Of(text, [text](std::string& e) {
    ++gMade;
    e = std::string(text);
  });
}

// One buffer whose text changes in place, as the evaluator's does: each
// lookup must give the entry of the text it holds now, never the one last
// found at that place.
TEST(TextCacheTest, TheSamePlaceWithAnotherTextFindsThatText) {
  std::string buffer;
  buffer.reserve(64);
  for (int round = 0; round < 3; ++round) {
    for (const char* t : {"a% + 1", "a% + 2", "b% * 3", "a% + 1x", "a% + 1"}) {
      buffer.assign(t);
      EXPECT_EQ(Lookup(buffer), t);
      EXPECT_EQ(Lookup(std::string(t)), t);  // another place, the same entry
    }
  }
  gCompiledText = true;
  buffer.assign("a% + 1");
  EXPECT_EQ(Lookup(buffer), "a% + 1");  // the compiled table has its own entries
  gCompiledText = false;
}

// An empty view may have no data pointer at all (a default view, the rest
// of a text read to its end): it is the empty text's entry, found again
// without reading any byte.
TEST(TextCacheTest, EmptyViewsWithoutDataAreTheEmptyText) {
  EXPECT_EQ(Lookup(std::string_view()), "");
  const int before = gMade;
  EXPECT_EQ(Lookup(std::string_view()), "");
  EXPECT_EQ(Lookup(std::string()), "");
  EXPECT_EQ(gMade, before);
}

// A table that overflows starts again: the recent entries go with it.
TEST(TextCacheTest, OverflowForgetsTheRecentEntries) {
  const std::string kept = "kept text";
  Lookup(kept);
  const int before = gMade;
  Lookup(kept);
  EXPECT_EQ(gMade, before);  // found again, not made again
  std::vector<std::string> many;
  for (int i = 0; i < 9000; ++i) many.push_back("t" + std::to_string(i));
  for (const std::string& t : many) ASSERT_EQ(Lookup(t), t);
  const int afterMany = gMade;
  EXPECT_EQ(Lookup(kept), kept);
  EXPECT_EQ(gMade, afterMany + 1);  // made anew after the table started again
}

// A memo finds its statement's entry again without the text, in the table
// of the text kind it was found for; a table that starts again empty makes
// every memo stale (its entry is gone), and the text's entry is made anew.
TEST(TextCacheTest, MemosLastUntilTheirTableStartsAgain) {
  auto lookup = [](std::string_view text, TextCacheMemo& memo) -> std::string& {
    return Cache().Of(text, [text](std::string& e) {
      ++gMade;
      e = std::string(text);
    }, &memo);
  };
  TextCacheMemo memo;
  const std::string text = "memo text";
  std::string& first = lookup(text, memo);
  EXPECT_EQ(first, text);
  // Another text with the same memo: the memo's entry (the statement's
  // text never changes where a memo is kept).
  EXPECT_EQ(&lookup("other", memo), &first);
  gCompiledText = true;
  EXPECT_EQ(lookup(text, memo), text);  // the compiled table's own entry
  EXPECT_NE(&lookup(text, memo), &first);
  gCompiledText = false;
  TextCacheMemo plain;
  EXPECT_EQ(&lookup(text, plain), &first);
  for (int i = 0; i < 9000; ++i) Lookup("m" + std::to_string(i));
  const int before = gMade;
  EXPECT_EQ(lookup(text, plain), text);
  EXPECT_EQ(gMade, before + 1);
}

}  // namespace
}  // namespace korv::testing
