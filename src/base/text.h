// Text helpers shared by the loader, the executors and the evaluator.
// All text is Windows-1252 bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace korv {

// Removes every character with a code below 33 at both ends.
std::string Trim(std::string_view s);
std::string_view TrimView(std::string_view s);  // the same, in place
bool IsBlankChar(char c);  // code below 33 (the trim set)

// Upper case as the ANSI code page does it (Windows-1252 letters included).
char UpperChar(char c);
std::string Upper(std::string_view s);
void UpperInPlace(std::string& s);
bool StartsWith(std::string_view s, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Where the empty index that ends s begins ("[]", or "[ ]" with blanks or
// tabs inside: the compiled form drops them, so both spell the whole
// array), or npos when s does not end so.
size_t EmptyIndexAt(std::string_view s);

// True while the runtime runs compiled statements: the argument texts that
// handlers read are then tokenised, and the text helpers below apply the
// compiled rules to them whatever their callers pass.
extern bool gCompiledText;

// Top-level search: position of the first ch outside double quotes and at
// depth 0 of round and square brackets, or npos. In compiled text an "@"
// opens a bracket (the code byte after it is skipped, and with it the 4 slot
// bytes of a procedure token "@" 0x14), the 4 bytes after 0xFF, 0xFE or 0x14
// are skipped, and so are the 3 bytes of an operator token after 0x15.
size_t FindTopLevel(std::string_view s, char ch, bool compiled = false, size_t from = 0);
// The same for the first of several characters.
size_t FindTopLevelOf(std::string_view s, std::string_view chars, bool compiled = false, size_t from = 0);

// Length of the token that starts at s[i] in compiled text (the whole token,
// the lead byte included), or 0 when no token starts there: "@" with its code
// byte (and the slot of a procedure token), a sigil with 0xFE and its slot,
// a sigil with the code of a system variable of that sigil, an operator token.
size_t CompiledTokenLengthAt(std::string_view s, size_t i);
inline size_t CompiledTokenLength(std::string_view s, size_t i) {
  // Scanners ask at every byte; only these lead bytes can start a token.
  if (i >= s.size()) return 0;
  const char c = s[i];
  const bool lead = c == '@' || c == '%' || c == '&' || c == '$' || c == '!' || c == '\x15';
  return lead ? CompiledTokenLengthAt(s, i) : 0;
}

// Upper case of compiled text that leaves the bytes of tokens alone.
std::string UpperCompiled(std::string_view s);

// Replaces every occurrence outside double quotes.
std::string ReplaceOutsideQuotes(std::string_view s, std::string_view what, std::string_view with);

std::string ToDecimal(int64_t v);

// Characters that may not stand in the name before the "(" of a call.
bool IsCallBreaker(unsigned char c);

// Value of a radix literal; false when the text is none.
bool ParseRadixLiteral(std::string_view upperName, int32_t& value);

// Hashes std::string keys and string_view probes alike, so that a table
// keyed by std::string (with std::equal_to<>) is searched without a copy.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

}  // namespace korv
