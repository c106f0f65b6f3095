// INI-file text: sections "[name]" with "key=value" lines. Names compare
// without regard to case and surrounding blanks; values are trimmed. Lines
// end in CR LF or LF; written text uses CR LF.
#pragma once
#include <string>

namespace korv::ini {

// The value of key in section; found tells whether the entry exists.
std::string ReadValue(const std::string& text, const std::string& section, const std::string& key,
                      bool* found = nullptr);
// The text with the entry set (added to the section, the section added at
// the end when missing). Other lines are kept as they are.
std::string WriteValue(const std::string& text, const std::string& section, const std::string& key,
                       const std::string& value);

}  // namespace korv::ini
