// Text helpers shared by the loader, the executors and the evaluator.
// All text is Windows-1252 bytes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace korv {

// Removes every character with a code below 33 at both ends.
std::string Trim(std::string_view s);
bool IsBlankChar(char c);  // code below 33 (the trim set)

// Upper case as the ANSI code page does it (Windows-1252 letters included).
char UpperChar(char c);
std::string Upper(std::string_view s);
void UpperInPlace(std::string& s);
bool StartsWith(std::string_view s, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Top-level search: position of the first ch outside double quotes and at
// depth 0 of round and square brackets, or npos. In compiled text an "@"
// opens a bracket (the byte after it is skipped) and the 4 bytes after
// 0xFF, 0xFE or 0x14 are skipped.
size_t FindTopLevel(std::string_view s, char ch, bool compiled = false, size_t from = 0);

// Replaces every occurrence outside double quotes.
std::string ReplaceOutsideQuotes(std::string_view s, std::string_view what, std::string_view with);

std::string ToDecimal(int64_t v);

}  // namespace korv
