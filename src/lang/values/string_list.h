// The interpreter's string list: the list of strings that the list
// functions, the list dialogs and ADDSTRING/ADDFILES/ADDWINDOWS/ADDFONTS fill
// and read. Indices run from 0; the last possible index is 262143.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

constexpr int32_t kStringListLast = 262143;

std::vector<std::string>& StringList();
// Appends one string; a full list reports 232 "Zu viele Elemente! " and
// returns false.
bool AddToStringList(const std::string& text);
void ClearStringList();

}  // namespace korv
