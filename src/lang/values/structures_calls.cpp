// Methods and constructors: calls of the procedures that implement a class's
// "@" members, run through the procedure subsystem like a procedure called
// from an expression, with the object as current object and method object.
#include "base/text.h"
#include "base/errors.h"
#include "engine/procedures.h"
#include "values/areas.h"
#include "values/composite.h"
#include "values/evaluator.h"
#include "values/structures.h"

namespace korv {

bool CallMethod(const std::string& u, TParStack& ps) {
  MemberForm form;
  if (!ParseMemberForm(u, form)) {
    RaiseError(101, u);
    return false;
  }
  AreaRef ref;
  switch (ResolveArea(form.areaPart, ps, ref)) {
    case AreaLookup::Ok: break;
    case AreaLookup::Failed: return false;
    case AreaLookup::Unknown:
    case AreaLookup::NotArea:
      RaiseError(215, form.areaPart.empty() ? u : form.areaPart);
      return false;
  }
  const TAreaFields& a = *ref.area;
  if (a.Address == nullptr) {
    RaiseError(243);
    return false;
  }
  int32_t m = FindMember(a.StructIndex, form.member + "@", form.super);
  if (m == 0) {
    RaiseError(a.AreaKind == 'o' ? 274 : 273, form.member);
    return false;
  }
  const TStruktVar& method = gStructs.members[m];
  if (method.Visibility != '+' && gProc.methodObject != form.areaPart) {
    RaiseError(270, form.member);
    return false;
  }
  if (method.MethodLine < 1) {
    RaiseError(274, form.member);
    return false;
  }
  if (!gProc.currentObject.empty()) {
    // "*." in the arguments names the caller's current object.
    gEval.text = gEval.text.substr(0, gEval.pos) +
                 ReplaceOutsideQuotes(gEval.Rest(), "*.", gProc.currentObject + ".");
  }
  CallProcedureAt(method.MethodLine, ps, form.areaPart);
  return true;
}

bool RunConstructor(int32_t structIndex, const std::string& object, const std::string& args,
                    TParStack& ps) {
  if (structIndex < 1 || structIndex > gStructs.structCount) return true;
  int32_t m = FindMember(structIndex, gStructs.structs[structIndex].Name + "@");
  if (m == 0) return true;  // a class needs no constructor
  int32_t header = gStructs.members[m].MethodLine;
  if (header < 1) return true;
  // The kept argument text of NEW is read as the call's arguments.
  const std::string text = gEval.text;
  const size_t pos = gEval.pos;
  const bool endOfArgs = gEval.endOfArgs;
  const char lastSep = gEval.lastSep;
  gEval.SetText(args);
  CallProcedureAt(header, ps, object);
  gEval.text = text;
  gEval.pos = pos;
  gEval.endOfArgs = endOfArgs;
  gEval.lastSep = lastSep;
  return true;
}

}  // namespace korv
