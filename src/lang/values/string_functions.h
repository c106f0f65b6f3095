// What the string functions compute from their arguments once these are
// read: shared by the functions' handlers and the precompiled string
// arguments, which must give the same results.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace korv {

// MID$: count characters from position from (1-based); "" outside s.
std::string_view MidPart(std::string_view s, int32_t from, int32_t count);
// LEFT$ and RIGHT$: n characters from either end; "" for n < 1 (RIGHT$:
// also for n longer than s).
std::string_view LeftPart(std::string_view s, int32_t n);
std::string_view RightPart(std::string_view s, int32_t n);
// LOWER$: lower case as the ANSI code page (Windows-1252) makes it.
void LowerInPlace(std::string& s);
// INSTR: the position of t in s searched from position from (below 1: from
// the start), 0 where it is not found or t is empty.
int32_t InstrPosition(std::string_view t, std::string_view s, int32_t from);
// ORD: the code of the first character, 0 for "".
int32_t OrdOf(std::string_view s);
// VAL: the number a text begins with (blanks around it left out): "$", "&"
// and "%" read hexadecimal, octal and binary integers; otherwise i is the
// decimal integer at the front and f the real number at the front.
void ValueOfText(std::string_view text, int32_t& i, double& f);

}  // namespace korv
