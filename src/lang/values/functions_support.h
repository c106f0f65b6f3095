// Helpers for writing built-in functions: reading the arguments from the
// evaluator's remaining text and leaving a result in gRes. Every reader
// returns false when its argument ended in an error report; the function
// then stops at once and leaves an empty result (the reader has done that).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "values/value.h"

namespace korv::fn {

// Reads the next argument into gRes. last = true reads the final argument
// (terminator ")"), otherwise the argument ends at ",".
bool Arg(TParStack& ps, bool last, int expectedKind = 0);
bool IntArg(TParStack& ps, bool last, int32_t& out);
bool FloatArg(TParStack& ps, bool last, double& out);
// required: the argument must be a string (216 otherwise).
bool StrArg(TParStack& ps, bool last, std::string& out, bool required = false);
// StrArg for a first argument that is only read: a declared string variable
// followed by arguments that call nothing is viewed in place (no copy of a
// long text per call); anything else is evaluated into holder. The view
// stays valid until the statement changes a variable.
bool StrArgView(TParStack& ps, bool last, std::string_view& out, std::string& holder, bool required = false);

// Text that holds no call, bracket, area, quote or token byte that could
// hide one: evaluating it runs no user code and changes no variable.
bool CallFree(std::string_view text);
// A blank between the parts of an argument (in compiled text the byte that
// starts an operator token is none).
bool IsArgumentBlank(char c);
// A plain scalar string variable name ("A$", "NAME_2$").
bool IsStringVariableName(std::string_view text);

// True when another top-level "," follows in the remaining text, i.e. the
// call has a further argument after the next one.
bool HasFurtherArg();
// Moves past the next argument without evaluating it.
void SkipArg(bool last);
// A call without arguments: the remaining ")" is dropped.
void NoArgs();

// The longest real number at the front of s (sign, digits, point,
// exponent); 0 when s does not begin with one.
double LeadingReal(const std::string& s);

// Results. SetString keeps the integer form the last argument left (the
// float form follows it), as every string function does.
void SetInt(int32_t v, uint8_t resultKind = kind::kInt);
void SetFloat(double f);
void SetString(std::string s);
void SetStringNumber(std::string s, int32_t intForm);
// An empty result of the given kind (0 or "").
void SetEmpty(uint8_t resultKind);
// Reports code and leaves an empty result of resultKind.
void Fail(int32_t code, uint8_t resultKind, const std::string& detail = std::string());

// Longest string a function builds; a longer result is refused with 200
// instead of exhausting the memory of the process.
constexpr size_t kMaxBuiltString = kMaxStringLength;

}  // namespace korv::fn
