#include "engine/pump_rhythm.h"

#include <algorithm>

#include "engine/host.h"

namespace korv {

PumpRhythm gPump;

void PumpBetweenStatements() {
  const uint32_t tick = host().TickCount();
  if (!gPump.touched && tick == gPump.lastTick) return;
  gPump.touched = false;
  gPump.lastTick = tick;
  host().PumpMessages();
}

void ResetPumpRhythm() { gPump = PumpRhythm(); }

namespace {

// Each list is sorted (checked once, see Contains).
constexpr std::string_view kQuietCommands[] = {
    "BYTE",   "CHAR",     "CLASS",   "CLEAR", "DEC",   "DECLARE",       "DIM",
    "DISPOSE",                  "END",      "ENDWITH", "FLOAT", "INC",   "LET",           "LONG",
    "PROGEND",                  "RANDOMIZE", "SETERRORLEVEL",   "STRING", "STRUCT", "VAR", "WITH",
    "WORD",
};

constexpr std::string_view kQuietFunctions[] = {
    "ABS", "ADDR",     "ARCTAN",  "BIN$",         "BYTE",   "CHAR$",   "CHR$",
    "CLASSOF",               "COS",      "COT",     "CTOD$",        "DATE$",  "DEL$",    "DOUBLE",
    "DTOC$",                 "EXP",      "FLOAT",   "FORMAT$",      "GETBVALUE", "GETGVALUE",
    "GETRVALUE",             "HEX$",     "HIWORD",  "IF",           "INS$",   "INSTR",   "INT",
    "LEFT$",                 "LEN",      "LG",      "LN",           "LONG",   "LOWER$",  "LOWORD",
    "MAKELONG",              "MEMPOS",   "MID$",    "MKSTR$",       "MOVEARRTOLIST", "MOVELISTTOARR",
    "MOVELISTTOMEM",         "MOVELISTTOSTR$",      "MOVESTRTOLIST", "NEW",   "NOT",     "OCT$",
    "ORD",                   "PAR$",     "PI",      "PTYPE$",       "RGB",    "RIGHT$",  "RND",
    "ROUND",                 "SETBIT",   "SIN",     "SINGLE",       "SIZEOF", "SPACE$",  "SQR",
    "SQRT",                  "STR$",     "STRING$", "SUBSTR$",      "TAN",    "TESTBIT", "TIME$",
    "TRANSLATE$",            "TRIM$",    "TYPEOF",  "UPPER$",       "VAL",    "WORD",    "XOR",
};

constexpr std::string_view kQuietSysVars[] = {
    "%ERRLINE", "%ERRNUMBER", "%ERROR", "%ERRORLEVEL", "%PARCOUNT", "%PCOUNT",
    "&LOOP",
};

template <size_t N>
bool Contains(const std::string_view (&list)[N], std::string_view name) {
  return std::binary_search(list, list + N, name);
}

}  // namespace

bool IsQuietCommand(std::string_view name) { return Contains(kQuietCommands, name); }
bool IsQuietFunction(std::string_view name) { return Contains(kQuietFunctions, name); }
bool IsQuietSysVar(std::string_view name) { return Contains(kQuietSysVars, name); }

}  // namespace korv
