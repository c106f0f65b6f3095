// Structures and classes: the definition tables, member layout, member reads
// and writes, NEW, WITH, methods and constructors.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "values/stores.h"
#include "values/value.h"

namespace korv {

constexpr int32_t kStructTableSize = 2000;   // entries 1..1999
constexpr int32_t kMemberTableSize = 19991;  // entries 1..19990

struct TStruktur {
  std::string Name;  // upper case, no suffix
  char Kind = 's';   // 's' structure, 'o' class
  int32_t Size = 0;
  int32_t FirstMember = 0, LastMember = 0;
};

struct TStruktVar {
  std::string Name;       // upper case, with its type character ("M@" for a method)
  char MemberKind = ' ';  // ! # $ % & @
  char Visibility = '+';  // + public, # protected, - private
  int32_t MethodLine = 0;
  int32_t Size = 0;
  int32_t Offset = 0;
};

struct TStructTables {
  std::vector<TStruktur> structs;  // kStructTableSize records
  int32_t structCount = 0;
  std::vector<TStruktVar> members;  // kMemberTableSize records
  int32_t memberCount = 0;
};
extern TStructTables gStructs;

void ResetStructures();  // empty tables, then OGLSPRITE

// ---------------------------------------------------------------------------
// Definitions. The member splitting is shared with the compiler, which
// rewrites class members before the runtime sees them.

// "NAME = members": the name (trimmed, upper case) and the member list text;
// false when there is no top-level "=".
bool SplitDefinition(std::string_view text, std::string& name, std::string& memberList);
// The member list split at top-level commas, each member trimmed and upper
// case. compiled: the text is compiled code, where "@" ends a method member
// ("NAME_12@") instead of opening a bracket.
std::vector<std::string> SplitMembers(std::string_view memberList, bool compiled);
// A compiled method member "NAME_12@": the method name "NAME@" and its line.
bool SplitCompiledMethod(const std::string& member, std::string& name, int32_t& line);

// STRUCT (kind 's') and CLASS (kind 'o'); false after a report. A failed
// definition keeps the entries already made.
bool DefineStructure(const std::string& text, char kind);

// The structure named so: newest first (DIM, inclusion) or oldest first (NEW).
int32_t FindStructureNewest(const std::string& upperName);
int32_t FindStructureOldest(const std::string& upperName);

// A member of a structure by name, from the last member to the first; with
// skipFirst the first match is passed over (.SUPER.). 0 when none.
int32_t FindMember(int32_t structIndex, const std::string& upperMember, bool skipFirst = false);

// ---------------------------------------------------------------------------
// Member references "A#.X%", "A#[2].X%" and ".X%".
struct MemberForm {
  std::string areaPart;  // "A#" or "A#[2]"
  std::string member;    // "X%"
  bool super = false;    // ".SUPER." form
};
// Splits a member form; a leading "." refers to the current object. False
// when the text is no member form.
bool ParseMemberForm(const std::string& upperName, MemberForm& out);

bool ReadMember(const std::string& upperName, int expectedKind, TParStack& ps);
bool WriteMember(const std::string& upperName, TParStack& ps);

// ---------------------------------------------------------------------------
// Methods and constructors (structures_calls.cpp).
bool CallMethod(const std::string& upperName, TParStack& ps);
// The argument text of a method call with every "*." that begins an operand
// (at the start, after "(", "[", ",", ";" or an operator, blanks between)
// replaced by object + "."; a "*" that multiplies by a member (2*.f!) stays.
// Quoted text and, in compiled text, the bytes of tokens are left alone.
std::string ReplaceSelfReferences(std::string_view args, std::string_view object, bool compiled);
// Runs the constructor of the class structIndex for the object objectName
// with the argument text args (nothing when the class has none).
bool RunConstructor(int32_t structIndex, const std::string& objectName, const std::string& args,
                    TParStack& ps);

// WITH levels.
void ResetWith();
int32_t WithDepth();

void RegisterStructureCommands();

}  // namespace korv
