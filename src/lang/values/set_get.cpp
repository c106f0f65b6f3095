// SET and GET: the interpreter's switches, with the old value as result,
// and the hand-over of unknown names to SUBPROC SET.name / GET.name.
#include <functional>
#include <unordered_map>

#include "base/text.h"
#include "base/errors.h"
#include "engine/procedures.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/set_get.h"
#include "values/settings.h"

namespace korv {

TSwitches gSwitches;

namespace {

struct Setting {
  bool isString = false;
  int valueKind = 0;  // expected kind of SET's value argument
  std::function<TEvalResult()> get;
  std::function<void(const TEvalResult&)> set;
};

TEvalResult IntResult(int32_t v) {
  TEvalResult r;
  r.IntValue = v;
  r.FloatValue = v;
  r.StrValue = IntToText(v);
  r.ResultKind = kind::kInt;
  return r;
}

TEvalResult StrResult(const std::string& s) {
  TEvalResult r;
  r.StrValue = s;
  TextToNumbers(s, r.IntValue, r.FloatValue);
  r.ResultKind = kind::kString;
  return r;
}

Setting IntSetting(int32_t* target, int valueKind = 0) {
  return {false, valueKind, [target] { return IntResult(*target); },
          [target](const TEvalResult& v) { *target = v.IntValue; }};
}

const std::unordered_map<std::string, Setting>& Settings() {
  static const std::unordered_map<std::string, Setting> table = {
      {"MESSAGEMODE", IntSetting(&gSwitches.MessageMode)},
      {"RANDSEED", IntSetting(&gSwitches.RandSeed)},
      {"ERRORLEVEL", IntSetting(&gErr.Level)},
      {"LOGFILE",
       {true, 1, [] { return StrResult(gErr.LogFileName); },
        [](const TEvalResult& v) { SetLogFile(v.StrValue); }}},
      {"DECIMALS",
       {false, 2, [] { return IntResult(gSettings.Decimals); },
        [](const TEvalResult& v) { SetDecimals(v.IntValue); }}},
      {"NUMWIDTH",
       {false, 2, [] { return IntResult(gSettings.NumWidth); },
        [](const TEvalResult& v) { SetNumWidth(v.IntValue); }}},
      {"STRWIDTH",
       {false, 2, [] { return IntResult(gSettings.StrWidth); },
        [](const TEvalResult& v) { SetStrWidth(v.IntValue); }}},
      {"FILEMODE",
       {false, 2, [] { return IntResult(gSwitches.FileMode); },
        [](const TEvalResult& v) { gSwitches.FileMode = v.IntValue & 0xFF; }}},
      {"LISTDEL",
       {true, 0, [] { return StrResult(gSwitches.ListDel); },
        [](const TEvalResult& v) { gSwitches.ListDel = v.StrValue; }}},
      {"ONERROR",
       {false, 0, [] { return IntResult(gErr.OnError ? 1 : 0); },
        [](const TEvalResult& v) { gErr.OnError = v.IntValue != 0; }}},
      {"CHARSET",
       {false, 0,
        [] {
          int32_t c = gSwitches.CharSet;
          return IntResult(c == 1 ? -1 : c == 255 ? 1 : c);
        },
        [](const TEvalResult& v) {
          gSwitches.CharSet = v.IntValue == -1 ? 1 : v.IntValue == 1 ? 255 : v.IntValue;
        }}},
      {"OGLDEPTH", IntSetting(&gSwitches.OglDepth)},
  };
  return table;
}

// Hands an unknown name to the program's SUBPROC family+"."+name.
void Delegate(const char* family, const std::string& name, TParStack& ps) {
  if (Trim(gEval.Rest()) == ")") gEval.pos = gEval.text.size();
  if (!CallSubproc(std::string(family) + "." + name, ps)) {
    gRes.Reset();
    gRes.ResultKind = kind::kInt;
    RaiseError(262, name);
  }
}

// A name or value argument that ended in a report: no setting changes.
void Refused(uint8_t resultKind) {
  gRes.Reset();
  gRes.ResultKind = resultKind;
}

void FnSet(TParStack& ps) {
  Evaluate(ps, ',', 1);
  if (gEval.failed) return Refused(kind::kInt);
  std::string name = Upper(gRes.StrValue);
  auto it = Settings().find(name);
  if (it == Settings().end()) {
    Delegate("SET", name, ps);
    return;
  }
  Evaluate(ps, ')', it->second.valueKind);
  if (gEval.failed) return Refused(it->second.isString ? kind::kString : kind::kInt);
  TEvalResult value = gRes;
  TEvalResult old = it->second.get();
  it->second.set(value);
  gRes = old;
}

void FnGet(TParStack& ps) {
  Evaluate(ps, ')', 1);
  if (gEval.failed) return Refused(kind::kInt);
  std::string name = Upper(gRes.StrValue);
  auto it = Settings().find(name);
  if (it == Settings().end()) {
    Delegate("GET", name, ps);
    return;
  }
  gRes = it->second.get();
}

// The error record as system variables.
void VarErrNumber(TEvalResult& r) {
  r = IntResult(gErr.Code);
  gErr.Code = 0;
}
void VarError(TEvalResult& r) {
  r = StrResult(ToDecimal(gErr.ReportKind));
  gErr.ReportKind = 0;
}
void VarErrStr(TEvalResult& r) { r = StrResult(gErr.Detail); }
void VarErrLine(TEvalResult& r) { r = IntResult(gErr.Line); }
void VarErrFile(TEvalResult& r) { r = StrResult(gErr.FileName); }
void VarErrorLevel(TEvalResult& r) { r = IntResult(gErr.Level); }
void VarPCount(TEvalResult& r) { r = IntResult(gProc.pcount); }

}  // namespace

void ResetSwitches() { gSwitches = TSwitches(); }

void RegisterSetGet() {
#define KORV_UNIT_settings 1
#include "base/bind_unit.h"
#undef KORV_UNIT_settings
}

}  // namespace korv
