// Binds the handlers of one unit from the name lists. A unit includes this
// inside its registration function, in the file that defines its handlers
// (so they may stay file-local), with KORV_UNIT_<unit> defined as 1:
//
//   void RegisterFileCommands() {
//   #define KORV_UNIT_files 1
//   #include "base/bind_unit.h"
//   #undef KORV_UNIT_files
//   }
//
// The lines of other units are dropped by the preprocessor, so their
// handlers are never named here. No include guard: included once per unit.
#include "base/names.h"

#ifndef KORV_BIND_UNIT_MACROS
#define KORV_BIND_UNIT_MACROS
// KORV_IS_UNIT(u) is 1 when KORV_UNIT_u is defined as 1, else 0.
#define KORV_CAT(a, b) KORV_CAT_(a, b)
#define KORV_CAT_(a, b) a##b
#define KORV_SECOND(a, b, ...) b
#define KORV_CHECK(...) KORV_SECOND(__VA_ARGS__, 0, ~)
#define KORV_PROBE_1 ~, 1
#define KORV_IS_UNIT(unit) KORV_CHECK(KORV_CAT(KORV_PROBE_, KORV_CAT(KORV_UNIT_, unit)))
#define KORV_WHEN_0(...)
#define KORV_WHEN_1(...) __VA_ARGS__
#define KORV_WHEN_UNIT(unit) KORV_CAT(KORV_WHEN_, KORV_IS_UNIT(unit))
#endif

#define KORV_COMMAND(code, name, unit, handler, traits) KORV_WHEN_UNIT(unit)(::korv::BindCommand(name, handler);)
#define KORV_STATEMENT(code, name, unit, handler, traits) KORV_WHEN_UNIT(unit)(::korv::BindStatement(name, handler);)
#define KORV_FUNCTION(code, name, unit, handler, traits) KORV_WHEN_UNIT(unit)(::korv::BindFunction(name, handler);)
#define KORV_SYSVAR(code, name, unit, handler, traits) KORV_WHEN_UNIT(unit)(::korv::BindSysVar(name, handler);)
#include "base/command_list.h"
#include "base/function_list.h"
#include "base/sysvar_list.h"
#undef KORV_COMMAND
#undef KORV_STATEMENT
#undef KORV_FUNCTION
#undef KORV_SYSVAR
