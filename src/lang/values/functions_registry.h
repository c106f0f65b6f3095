// The built-in functions, system variables and commands of the value core
// (strings, numbers, bits, date and time, program parameters, settings).
// They register through the dispatch tables of values/dispatch.h, so the
// interpreter, the compiler and the runtime share one list of names and
// codes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

// Registers every neutral built-in function, system variable and command
// (RANDOMIZE, PASSWORD) and the DEF-constant reader.
void RegisterBuiltinFunctions();
// Per-run state back to its start values (before a program runs).
void ResetBuiltinState();

// Per-run state of the built-in functions that other subsystems also touch.
struct TBuiltinState {
  int32_t Button = 0;         // %BUTTON: answer of the last MESSAGEBOX / built-in dialog
  int32_t MciError = 0;       // %MCIERROR: error code of the last MCISEND$
  std::string PasswordKey;    // key table of PASSWORD (32767 bytes), empty = none
  int32_t LastKey = -1;       // the character GETKEY$ returned last (KEYIN), -1 none
  std::string StartDirectory; // current directory when the program was started
};
extern TBuiltinState gBuiltins;

// Reads the process's current directory; the Windows programs install one
// that asks the system in the ANSI code page.
using DirectoryReader = std::string (*)();
void SetCurrentDirectoryReader(DirectoryReader reader);

// The program's file name and arguments as its command line gave them
// (PAR$, %PARCOUNT).
extern std::vector<std::string> gProgramArgs;

// The loaded program's file with its full path, and its folder up to and
// including the last path separator ($PROGDIR).
std::string ProgramFilePath();
std::string ProgramDirectory();

// Date text in the order and with the separator of the system's short date
// format (DATE$(0)); "" for an invalid date. Two-digit years count from 1900.
std::string ShortDateText(int year, int month, int day);

// FORMAT$: x formatted by a picture (see functions_format.cpp).
std::string FormatPicture(const std::string& picture, double x);

// The parts of one file, registered by RegisterBuiltinFunctions.
void RegisterStringFunctions();
void RegisterNumberFunctions();
void RegisterFormatFunction();
void RegisterDateFunctions();
void RegisterProgramFunctions();
void RegisterDefConstants();
void RegisterInputFunctions();
void RegisterListFunctions();

}  // namespace korv
