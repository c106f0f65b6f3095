// Operands, declarations and assignment targets of arrays, memory areas,
// structures and objects. The evaluator, DECLARE, VAR and the assignment
// route every such form through these functions. Each returns false after
// an error report (the caller then ends its operation with an empty result).
#pragma once
#include <string>

#include "values/stores.h"
#include "values/value.h"

namespace korv {

// True for an operand or target that addresses a member through an area or
// object: it begins with "." or contains "#." , "#[" or "].".
bool IsMemberForm(const std::string& upperName);

// "A%[2,3]" (an element) or "A%[]" (the whole array: IntValue is the array's
// store index, kind 20) into gRes.
bool ReadArrayOperand(const std::string& upperOperand, int expectedKind, TParStack& ps);

// A member read (".X%", "A#.X%", "A#[2].B#") into gRes.
bool ReadMemberOperand(const std::string& upperOperand, int expectedKind, TParStack& ps);

// A call whose name has a member chain ("A#.METHOD"); the evaluator has set
// the remaining text to the arguments.
bool CallMemberFunction(const std::string& upperName, TParStack& ps);

// DECLARE of a name with a bounds part ("A%[10,5]").
bool DeclareArray(const std::string& upperDeclaration, TParStack& ps);

// Assignment to an array element, a member or a memory area; the remaining
// text of the evaluator holds the right side.
bool AssignComposite(const std::string& upperTarget, TParStack& ps);

// VAR name# = NEW(...): gRes holds the NEW result (AreaKind 'n', IntValue
// the structure index); fills the area entry with a fresh instance.
bool InstantiateNew(TVarPtr& entry);

}  // namespace korv
