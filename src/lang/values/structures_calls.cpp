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

namespace {

// " AND ", " OR ", " MOD " with the word starting at s[i] (the blank before
// it already seen): the length of the word, else 0.
size_t WordOperatorAt(std::string_view s, size_t i) {
  for (std::string_view w : {std::string_view("AND"), std::string_view("OR"), std::string_view("MOD")}) {
    if (i + w.size() < s.size() && EqualsNoCase(s.substr(i, w.size()), w) && s[i + w.size()] == ' ')
      return w.size();
  }
  return 0;
}

}  // namespace

std::string ReplaceSelfReferences(std::string_view s, std::string_view object, bool compiled) {
  std::string r;
  r.reserve(s.size() + object.size());
  bool operandStart = true;  // nothing but blanks since the last separator or operator
  bool afterBlank = true;
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (c == '"') {
      size_t close = s.find('"', i + 1);
      size_t end = close == std::string_view::npos ? s.size() : close + 1;
      r.append(s.substr(i, end - i));
      i = end;
      operandStart = afterBlank = false;
      continue;
    }
    if (compiled) {
      if (size_t token = CompiledTokenLength(s, i); token > 0) {
        r.append(s.substr(i, token));
        // An operator token is followed by an operand; a function token by
        // its argument list; a variable or system variable ends an operand.
        operandStart = static_cast<unsigned char>(c) == 0x15 || c == '@';
        afterBlank = false;
        i += token;
        continue;
      }
      const unsigned char u = static_cast<unsigned char>(c);
      if (u == 0xFF || u == 0xFE || u == 0x14) {  // a lead byte and 4 slot bytes
        const size_t end = i + 5 < s.size() ? i + 5 : s.size();
        r.append(s.substr(i, end - i));
        i = end;
        operandStart = afterBlank = false;
        continue;
      }
    }
    if (c == '*' && operandStart && i + 1 < s.size() && s[i + 1] == '.') {
      r.append(object);
      r.push_back('.');
      i += 2;
      operandStart = afterBlank = false;
      continue;
    }
    if (IsBlankChar(c)) {
      r.push_back(c);
      afterBlank = true;
      ++i;
      continue;
    }
    if (afterBlank && !operandStart) {
      if (size_t w = WordOperatorAt(s, i); w > 0) {
        r.append(s.substr(i, w));
        i += w;
        operandStart = true;
        continue;
      }
    }
    switch (c) {
      case '(': case '[': case ',': case ';': case '+': case '-': case '*': case '/': case '\\':
      case '^': case '=': case '<': case '>': case '&': case '|':
        operandStart = true;
        break;
      default:
        operandStart = false;
        break;
    }
    afterBlank = false;
    r.push_back(c);
    ++i;
  }
  return r;
}

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
    // "*." at the start of an argument's operand names the caller's
    // current object.
    gEval.text = gEval.text.substr(0, gEval.pos) +
                 ReplaceSelfReferences(gEval.Rest(), gProc.currentObject, gCompiledText);
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
