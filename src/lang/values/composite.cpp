// The seam between the value core and arrays, areas and structures: the
// evaluator, DECLARE, VAR and the assignment call these functions, which
// hand each form to the part that owns it.
#include "values/composite.h"

#include "base/text.h"
#include "base/errors.h"
#include "values/string_list.h"
#include "values/areas.h"
#include "values/arrays.h"
#include "values/evaluator.h"
#include "values/structures.h"
#include "values/value_commands.h"

namespace korv {

namespace {

constexpr size_t npos = std::string::npos;

// The text of a member name ending in "#" or another suffix is a member
// before the last character picks a store.
bool IsMemberTarget(const std::string& u) {
  MemberForm m;
  return ParseMemberForm(u, m);
}

}  // namespace

bool IsMemberForm(const std::string& u) {
  return (!u.empty() && u[0] == '.') || u.find("#.") != npos || u.find("#[") != npos ||
         u.find("].") != npos;
}

bool ReadMemberOperand(const std::string& u, int expectedKind, TParStack& ps) {
  if (!IsMemberTarget(u)) {
    // "A#[2]" with a further suffix character is no member: an element of
    // an area array is read as such.
    if (IsAreaName(u)) return ReadArrayOperand(u, expectedKind, ps);
    RaiseError(122, u);
    return false;
  }
  return ReadMember(u, expectedKind, ps);
}

bool CallMemberFunction(const std::string& upperName, TParStack& ps) {
  return CallMethod(upperName, ps);
}

bool AssignComposite(const std::string& u, TParStack& ps) {
  if (IsMemberTarget(u)) return WriteMember(u, ps);
  if (!u.empty() && u.back() == ']') {
    ElementRef e;
    switch (ResolveElement(u, ps, e)) {
      case Resolve::Failed: return false;
      case Resolve::Unknown: RaiseError(215, gEval.lastVarName); return false;
      case Resolve::Ok: break;
    }
    if (e.kind == '#') return AssignArea(AreaElement(e.element), u, true, ps);
    if (e.kind == '$') {
      std::string joined = JoinedList(ps);
      gRes.Reset();
      gRes.StrValue = std::move(joined);
      gRes.ResultKind = kind::kString;
    } else {
      // As for a variable: a failed expression stores 0, and only the
      // number forms of the value are made.
      EvaluateCondition(ps);
    }
    // The pools never move, and a procedure called by the right side
    // releases only elements above the ones that existed before it.
    StoreElement(e);
    return true;
  }
  if (!u.empty() && u.back() == '#') {
    int32_t i = Find(u);
    if (i == 0) {
      RaiseError(215, u);
      return false;
    }
    return AssignArea(gStores.ptrs[i], u, false, ps);
  }
  RaiseError(122, u);
  return false;
}

// ---------------------------------------------------------------------------
// Helpers

bool EvalText(const std::string& text, TParStack& ps, int expectedKind) {
  std::string saved;
  saved.swap(gEval.text);
  const size_t pos = gEval.pos;
  const bool endOfArgs = gEval.endOfArgs;
  const char lastSep = gEval.lastSep;
  gEval.SetText(text);
  Evaluate(ps, ' ', expectedKind);
  const bool ok = !gEval.failed;
  gEval.text.swap(saved);
  gEval.pos = pos;
  gEval.endOfArgs = endOfArgs;
  gEval.lastSep = lastSep;
  return ok;
}

QuietReports::QuietReports()
    : level_(gErr.Level), code_(gErr.Code), reportKind_(gErr.ReportKind), line_(gErr.Line),
      detail_(gErr.Detail), file_(gErr.FileName) {
  gErr.Level = -2;
  gErr.Code = 0;
}

QuietReports::~QuietReports() {
  gErr.Level = level_;
  gErr.Code = code_;
  gErr.ReportKind = reportKind_;
  gErr.Line = line_;
  gErr.Detail = detail_;
  gErr.FileName = file_;
}

int32_t QuietReports::Taken() const { return gErr.Code; }

std::string TakeRawArgument(char& sep) {
  std::string rest = gEval.Rest();
  size_t comma = FindTopLevel(rest, ','), close = FindTopLevel(rest, ')');
  size_t end;
  if (comma != npos && (close == npos || comma < close)) {
    end = comma;
    sep = ',';
  } else if (close != npos) {
    end = close;
    sep = ')';
  } else {
    end = rest.size();
    sep = 0;
  }
  gEval.pos += end < rest.size() ? end + 1 : end;
  if (gEval.RestEmpty()) gEval.endOfArgs = true;
  return Upper(Trim(std::string_view(rest).substr(0, end)));
}

// ---------------------------------------------------------------------------

void RegisterCompositeCommands() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterAreaCommands();
  RegisterArrayListFunctions();
  RegisterStructureCommands();
}

void ResetComposite() {
  ResetPools();
  FreeAllBlocks();
  SetPendingNewArguments(std::string());
  ResetWith();
  ResetStructures();
  ClearStringList();  // the list the array functions fill starts empty
}

}  // namespace korv
