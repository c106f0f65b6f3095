// A statement line as the executors and the compiler see it: a command word
// and an argument text, or a function call standing as a statement.
#pragma once
#include <string>

namespace korv {

// Splits a statement into command word and argument text.
void SplitStatement(const std::string& text, std::string& command, std::string& args);

// True when the text has the form of a function call ("NAME(" ...).
bool HasFunctionCallForm(const std::string& text);

// Checks quotes and brackets of an argument text (238, 255); false when a
// report was made.
bool CheckArguments(const std::string& args);

}  // namespace korv
