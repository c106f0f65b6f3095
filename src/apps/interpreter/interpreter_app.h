#pragma once
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace korv {
#ifdef _WIN32
// Registers the window classes and platform subsystems of the interpreter.
void InitInterpreterPlatform(HINSTANCE instance);
#endif
// Loads and runs a program; returns the exit code of a normal end.
int RunInterpreter(const std::string& file, const std::vector<std::string>& args);
}  // namespace korv
