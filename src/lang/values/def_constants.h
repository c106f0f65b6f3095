// DEF constants of the loaded program. The interpreter finds them by name;
// the runtime reads the DEF line its compiled reference names.
#pragma once
#include <cstdint>
#include <string>

#include "values/value.h"

namespace korv {

// "DEF name value": the upper-cased name and the trimmed value text; false
// for a line that is no DEF line.
bool SplitDefLine(const std::string& line, std::string& upperName, std::string& valueText);
// The first DEF line of the name, 0 when there is none.
int32_t FindDefLine(const std::string& upperName);
// The value of the DEF line in that slot, read by its name's kind character.
bool ReadDefLine(int32_t slot, TEvalResult& out);
// A value text read by a kind character ($ string, % & integer, ! real).
void DefValue(char kindChar, const std::string& text, TEvalResult& out);

}  // namespace korv
