#include "values/value_commands.h"

#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "values/composite.h"
#include "values/evaluator.h"
#include "values/stores.h"

namespace korv {

namespace {

bool ValidScalarName(const std::string& n) {
  if (n.empty() || StoreOfSuffix(n.back()) < 0) return false;
  for (char c : n)
    if (IsBlankChar(c)) return false;
  return true;
}

void SkipBlanks() {
  while (!gEval.RestEmpty() && IsBlankChar(gEval.text[gEval.pos])) ++gEval.pos;
}

// A joined text longer than a string may be: 219, the statement ends with
// an empty result.
std::string RefuseJoined() {
  gEval.pos = gEval.text.size();
  RaiseError(219);
  gEval.failed = true;
  gRes.Reset();
  return std::string();
}

}  // namespace

std::string JoinedList(TParStack& ps) {
  std::string joined;
  for (;;) {
    size_t before = gEval.pos;
    Evaluate(ps, 'p', 0);
    if (gRes.StrValue.size() > kMaxStringLength - joined.size()) return RefuseJoined();
    joined += gRes.StrValue;
    SkipBlanks();
    if (gEval.RestEmpty() || gEval.pos == before) break;
    if (gEval.lastSep == ',') {
      if (joined.size() == kMaxStringLength) return RefuseJoined();
      joined.push_back(' ');
    } else if (gEval.lastSep != ';') {
      break;  // text that is no further part
    }
  }
  return joined;
}

void CmdDeclare(TParStack& ps) {
  std::string list = gEval.Rest();
  gEval.pos = gEval.text.size();
  size_t start = 0;
  for (;;) {
    size_t comma = FindTopLevel(list, ',', false, start);
    std::string name =
        NormalizeName(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (name.empty()) {
      if (comma == std::string::npos) return;  // nothing after the last comma
      RaiseError(122, name);
      return;
    }
    bool ok = name.find('[') != std::string::npos ? DeclareArray(name, ps) : Declare(name) != 0;
    if (!ok || comma == std::string::npos) return;  // a failure declares nothing further
    start = comma + 1;
  }
}

void CmdVar(TParStack& ps) {
  std::string text = gEval.Rest();
  size_t eq = text.find('=');
  if (eq == std::string::npos) {
    gEval.pos = gEval.text.size();
    RaiseError(212);
    return;
  }
  std::string name = NormalizeName(text.substr(0, eq));
  gEval.pos += eq + 1;
  if ((!name.empty() && name.back() == ']') || name.find("#.") != std::string::npos ||
      name.find("].") != std::string::npos) {
    RaiseError(145, name);
    return;
  }
  if (!name.empty() && name.front() == '.') {
    RaiseError(0, name);
    return;
  }
  if (!ValidScalarName(name)) {
    RaiseError(122, name);
    return;
  }
  Evaluate(ps, ' ', 0);
  if (name.back() == '#') {
    if (gRes.AreaKind != 'n') {
      RaiseError(146, name);
      return;
    }
    int32_t idx = Declare(name);
    if (idx) InstantiateNew(gStores.ptrs[idx], ps);
    return;
  }
  int32_t idx = Declare(name);
  if (idx == 0) return;
  switch (name.back()) {
    case '%': gStores.ints[idx].Value = gRes.IntValue; break;
    case '&': gStores.lngs[idx].Value = gRes.IntValue; break;
    case '!': gStores.sngs[idx].Value = gRes.FloatValue; break;
    case '$': gStores.strs[idx].Value = gRes.StrValue; break;
    default: break;
  }
}

void CmdLet(TParStack& ps) {
  std::string text = gEval.Rest();
  size_t eq = FindTopLevel(text, '=');
  if (eq == std::string::npos) {
    gEval.pos = gEval.text.size();
    RaiseError(212);
    return;
  }
  std::string target = NormalizeName(text.substr(0, eq));
  gEval.pos += eq + 1;
  if (!target.empty() && (target.back() == ']' || target.back() == '#' || IsMemberForm(target))) {
    AssignComposite(target, ps);
    return;
  }
  if (!target.empty() && target.back() == '$') {
    std::string joined = JoinedList(ps);
    gRes.Reset();
    gRes.StrValue = std::move(joined);
    gRes.ResultKind = kind::kString;
  } else {
    Evaluate(ps, ' ', 0);
  }
  Store(target);
}

void CmdInc(TParStack& ps) {
  std::string name = gEval.Rest();
  gEval.pos = gEval.text.size();
  IncDec(name, 1);
}

void CmdDec(TParStack& ps) {
  std::string name = gEval.Rest();
  gEval.pos = gEval.text.size();
  IncDec(name, -1);
}

void RegisterValueCommands() {
#define KORV_UNIT_variables 1
#include "base/bind_unit.h"
#undef KORV_UNIT_variables
}

}  // namespace korv
