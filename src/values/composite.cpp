// Element pools, area operations and structure instances are not part of
// this build's value core: element and member forms are refused with
// "Das Element gibt es nicht!"; whole-array operands resolve to the array
// descriptor.
#include "values/composite.h"

#include "engine/errors.h"
#include "values/evaluator.h"

namespace korv {

bool IsMemberForm(const std::string& u) {
  return (!u.empty() && u[0] == '.') || u.find("#.") != std::string::npos ||
         u.find("#[") != std::string::npos || u.find("].") != std::string::npos;
}

bool ReadArrayOperand(const std::string& u, int expectedKind, TParStack& ps) {
  if (u.size() >= 3 && u.compare(u.size() - 2, 2, "[]") == 0) {
    std::string name = u.substr(0, u.size() - 2);
    gEval.lastVarName = name;
    int32_t i = FindArray(name);
    if (i == 0) {
      RaiseWarning(215, name);
      return true;
    }
    gRes.IntValue = i;
    gRes.FloatValue = i;
    gRes.StrValue = IntToText(i);
    gRes.ResultKind = kind::kArray;
    return true;
  }
  RaiseError(233);
  return false;
}

bool ReadMemberOperand(const std::string& u, int expectedKind, TParStack& ps) {
  RaiseError(233);
  return false;
}

bool CallMemberFunction(const std::string& upperName, TParStack& ps) {
  RaiseError(101, upperName);
  return false;
}

bool DeclareArray(const std::string& upperDeclaration, TParStack& ps) {
  RaiseError(233);
  return false;
}

bool AssignComposite(const std::string& upperTarget, TParStack& ps) {
  RaiseError(233);
  return false;
}

bool InstantiateNew(TVarPtr& entry) {
  RaiseError(240);
  return false;
}

}  // namespace korv
