// DEF constants: a line "DEF %LIMIT 100" makes the operand %LIMIT read as
// 100. The first DEF line of a name wins; the value is read by the name's
// kind character ($ a string, % and & an integer, ! a real number).
#include "values/def_constants.h"

#include <cstdint>
#include <unordered_map>

#include "core/line_store.h"
#include "base/text.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"

namespace korv {

namespace {

// Name -> first DEF line, rebuilt when another program is loaded.
struct DefIndex {
  uint32_t generation = UINT32_MAX;
  int32_t length = -1;
  std::unordered_map<std::string, int32_t> slots;

  void Refresh() {
    if (generation == gProgram.generation && length == gProgram.Length()) return;
    slots.clear();
    for (int32_t i = 1; i <= gProgram.Length(); ++i) {
      std::string name, value;
      if (SplitDefLine(gProgram.lines[static_cast<size_t>(i)], name, value)) slots.emplace(name, i);
    }
    generation = gProgram.generation;
    length = gProgram.Length();
  }
};
DefIndex gDefs;

bool Lookup(const std::string& upperName, TEvalResult& out) {
  int32_t slot = FindDefLine(upperName);
  return slot != 0 && ReadDefLine(slot, out);
}

}  // namespace

bool SplitDefLine(const std::string& line, std::string& upperName, std::string& valueText) {
  if (line.size() < 4 || Upper(std::string_view(line).substr(0, 4)) != "DEF ") return false;
  std::string rest = Trim(std::string_view(line).substr(4));
  size_t blank = rest.find(' ');
  upperName = Upper(rest.substr(0, blank));
  valueText = blank == std::string::npos ? std::string() : Trim(std::string_view(rest).substr(blank + 1));
  return !upperName.empty();
}

int32_t FindDefLine(const std::string& upperName) {
  gDefs.Refresh();
  auto it = gDefs.slots.find(upperName);
  return it == gDefs.slots.end() ? 0 : it->second;
}

void DefValue(char kindChar, const std::string& text, TEvalResult& out) {
  out.Reset();
  switch (kindChar) {
    case '$': {
      std::string v = text;
      if (!v.empty() && v[0] == '"') {
        size_t close = v.find('"', 1);
        v = v.substr(1, close == std::string::npos ? std::string::npos : close - 1);
      }
      out.StrValue = ProcessEscapes(v);
      TextToNumbers(out.StrValue, out.IntValue, out.FloatValue);
      out.ResultKind = kind::kString;
      break;
    }
    case '!': {
      double f = fn::LeadingReal(text);
      out.FloatValue = f;
      out.IntValue = TruncToInt32(f);
      out.StrValue = FloatToText(f);
      out.ResultKind = kind::kFloat;
      break;
    }
    default: {
      // A decimal integer; text without one reads as 0.
      size_t p = 0;
      bool neg = false;
      if (p < text.size() && (text[p] == '+' || text[p] == '-')) neg = text[p++] == '-';
      double whole = 0.0;
      for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) whole = whole * 10 + (text[p] - '0');
      out.IntValue = TruncToInt32(neg ? -whole : whole);
      out.FloatValue = out.IntValue;
      out.StrValue = IntToText(out.IntValue);
      out.ResultKind = kindChar == '&' ? kind::kLong : kind::kInt;
      break;
    }
  }
}

bool ReadDefLine(int32_t slot, TEvalResult& out) {
  if (slot < 1 || slot > gProgram.Length()) return false;
  std::string name, value;
  if (!SplitDefLine(gProgram.lines[static_cast<size_t>(slot)], name, value)) return false;
  DefValue(name[0], value, out);
  return true;
}

void RegisterDefConstants() { SetDefConstantLookup(Lookup); }

}  // namespace korv
