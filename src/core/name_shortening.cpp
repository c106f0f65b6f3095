// Name shortening: collect the names of DECLARE, VAR, PARAMETERS, CLASS and
// STRUCT statements, give each a generated name per type suffix, and replace
// them in every slot, longest source name first.
#include "core/name_shortening.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "core/line_store.h"
#include "base/text.h"
#include "base/errors.h"
#include "core/statement_split.h"

namespace korv {

namespace {

constexpr char kMarker = '\xA7';
constexpr std::string_view kSuffixes = "#%&$!";

const char* const kProtectedList =
    "  DIM! DIM$ DIM% DIM& INPUT# LISTBOXITEM$ LIST! LIST$ LIST% LIST& PRINT# ANSITOOEM$ BIN$ "
    "CHAR$ CHOOSEDIR$ CHR$ CTOD$ DATE$ DEL$ DTOC$ EXTSTRING$ FILENAME$ FILESEARCH$ FILESTATUS$ "
    "FINDFIRST$ FINDNEXT$ FORMAT$ GETCHAR$ GETCLIP$ GETDIR$ GETENV$ GETFDATE$ GETFTIME$ GETKEY$ "
    "GETLINE$ GETSTRING$ GETTEXT$ HEX$ INKEY$ INPUT$ INS$ LEFT$ LISTBOX$ LOADFILE$ LONGNAME$ "
    "LOWER$ MATCH$ MCISEND$ MID$ MKSTR$ MOVELISTTOSTR$ OCT$ OEMTOANSI$ PAR$ PTYPE$ PWD$ READCOM$ "
    "READINI$ RIGHT$ SAVEFILE$ SHORTNAME$ SPACE$ STR$ STRING$ SUBSTR$ TIME$ TRANSLATE$ TRIM$ "
    "UPPER$ WINERROR$ ADD$ DIV& EQU$ GT$ LT$ NEQ$ ";

// The members of the structure the runtime defines before every program.
const char* const kSpriteMembers =
    " TYP$ POSX! POSY! POSZ! POSDX! POSDY! POSDZ! MAXX! MAXY! MAXZ! MINX! MINY! MINZ! ROTX! ROTY! "
    "ROTZ! ROTDX! ROTDY! ROTDZ! COLORR! COLORG! COLORB! ALPHA! LASTTICK& DTICK& MODE& TEXTUR& "
    "TEXTURM! X! Y! Z! A! B! PATHDATA& ";

bool IsSuffix(char c) { return kSuffixes.find(c) != std::string_view::npos; }

bool IsWordChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         c == 0xC4 || c == 0xD6 || c == 0xDC || c == 0xE4 || c == 0xF6 || c == 0xFC || c == 0xDF;
}

// Case-insensitive search from pos.
size_t FindNoCase(const std::string& text, const std::string& upperWord, size_t pos) {
  if (upperWord.empty()) return std::string::npos;
  for (size_t i = pos; i + upperWord.size() <= text.size(); ++i) {
    if (UpperChar(text[i]) != upperWord[0]) continue;
    size_t k = 1;
    while (k < upperWord.size() && UpperChar(text[i + k]) == upperWord[k]) ++k;
    if (k == upperWord.size()) return i;
  }
  return std::string::npos;
}

int32_t StoreErrorOf(char suffix) {
  switch (suffix) {
    case '%': return 217;
    case '&': return 218;
    case '$': return 219;
    case '!': return 220;
    default: return 239;
  }
}

void SetPosition(int32_t slot) {
  gPos.File = gProgram.files.empty() ? std::string() : gProgram.FileOf(slot);
  gPos.FileSource = nullptr;
  gPos.SourceLine = gProgram.LineOf(slot);
  gPos.CompiledLine = slot;
  gPos.LocationForm = TPosition::Form::Text;
  gPos.Location = InterpreterLocation(gPos.SourceLine, gPos.File, Trim(gProgram.lines[slot]));
}

// The declared items of one slot (upper case, visibility marks removed);
// false after an error report.
bool CollectSlot(int32_t slot, std::vector<std::string>& items, bool& marked) {
  marked = false;
  std::string text = Trim(gProgram.lines[slot]);
  if (text.empty()) return true;
  std::string cmd, args;
  SplitStatement(text, cmd, args);
  std::string list;
  if (cmd == "DECLARE" || cmd == "PARAMETERS") {
    list = args;
  } else if (cmd == "VAR") {
    size_t eq = FindTopLevel(args, '=');
    list = Trim(std::string_view(args).substr(0, eq));
  } else if (cmd == "CLASS" || cmd == "STRUCT") {
    size_t eq = FindTopLevel(args, '=');
    list = eq == std::string::npos ? std::string() : Trim(std::string_view(args).substr(eq + 1));
    std::string& line = gProgram.lines[slot];
    std::string withMarks;
    for (char c : line) {
      if (c == '(') {
        withMarks += ";(";
        marked = true;
      } else {
        withMarks.push_back(c);
      }
    }
    line = withMarks;
  } else {
    return true;
  }
  if (list.empty()) return true;
  if (list[0] == ',') {
    SetPosition(slot);
    RaiseError(122);
    return false;
  }
  size_t start = 0;
  for (;;) {
    size_t comma = FindTopLevel(list, ',', false, start);
    std::string item = Trim(std::string_view(list).substr(
        start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!item.empty() && item.back() == ']') {
      item = Trim(std::string_view(item).substr(0, item.find('[')));
    } else if (!item.empty() && item.back() == ')') {
      size_t open = item.find('(');
      if (open == std::string::npos) {
        SetPosition(slot);
        RaiseError(122, item);
        return false;
      }
      item = Trim(std::string_view(item).substr(0, open));
    }
    UpperInPlace(item);
    if (item.find(' ') != std::string::npos) {
      SetPosition(slot);
      RaiseError(122, item);
      return false;
    }
    if (!item.empty() && (item[0] == '#' || item[0] == '+' || item[0] == '-')) item.erase(0, 1);
    if (!item.empty()) items.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

// Every name with a type suffix that occurs in the program (upper case).
std::unordered_set<std::string> NamesInProgram() {
  std::unordered_set<std::string> names;
  for (int32_t slot = 1; slot <= gProgram.Length(); ++slot) {
    const std::string& s = gProgram.lines[slot];
    size_t i = 0;
    while (i < s.size()) {
      if (!IsWordChar(static_cast<unsigned char>(s[i]))) {
        ++i;
        continue;
      }
      size_t start = i;
      while (i < s.size() && IsWordChar(static_cast<unsigned char>(s[i]))) ++i;
      if (i < s.size() && IsSuffix(s[i])) names.insert(Upper(std::string_view(s).substr(start, i + 1 - start)));
    }
  }
  return names;
}

}  // namespace

std::string NextShortName(const std::string& name) {
  std::string n = name;
  size_t i = n.size();
  while (i > 0) {
    --i;
    if (n[i] == 'Z') {
      n[i] = 'A';
      continue;  // carry into the letter before
    }
    n[i] = n[i] == '@' ? 'A' : static_cast<char>(n[i] + 1);
    return n;
  }
  return "A" + n;
}

bool IsProtectedName(const std::string& upperName) {
  std::string key = " " + upperName + " ";
  return std::string_view(kProtectedList).find(key) != std::string_view::npos ||
         std::string_view(kSpriteMembers).find(key) != std::string_view::npos;
}

bool ShortenNames(std::vector<RenameEntry>* tableOut) {
  // Collecting.
  std::vector<std::pair<std::string, int32_t>> sources;  // name, slot
  std::unordered_set<std::string> seen;
  std::vector<bool> marked(static_cast<size_t>(gProgram.Length()) + 1, false);
  for (int32_t slot = 1; slot <= gProgram.Length(); ++slot) {
    std::vector<std::string> items;
    bool m = false;
    if (!CollectSlot(slot, items, m)) return false;
    marked[static_cast<size_t>(slot)] = m;
    for (std::string& item : items) {
      if (IsProtectedName(item) || !IsSuffix(item.back())) continue;
      if (!seen.insert(item).second) continue;  // a name declared again keeps its first name
      sources.emplace_back(item, slot);
    }
  }

  // Generated names avoid every name that stays as it is.
  std::unordered_set<std::string> taken = NamesInProgram();
  for (const auto& s : sources) taken.erase(s.first);
  std::array<std::string, 5> counters;
  counters.fill("@");
  std::vector<RenameEntry> table;
  for (const auto& [name, slot] : sources) {
    char suffix = name.back();
    if (static_cast<int32_t>(table.size()) >= kMaxRenames) {
      SetPosition(slot);
      RaiseError(StoreErrorOf(suffix), name);
      return false;
    }
    std::string& counter = counters[kSuffixes.find(suffix)];
    std::string candidate;
    do {
      counter = NextShortName(counter);
      candidate = counter + suffix;
    } while (taken.count(candidate) || IsProtectedName(candidate));
    RenameEntry e;
    e.source = name;
    e.replacement = counter + kMarker + suffix;
    e.number = static_cast<int32_t>(table.size()) + 1;
    table.push_back(std::move(e));
  }

  // Longest source names first, the first of equal lengths kept first.
  std::stable_sort(table.begin(), table.end(), [](const RenameEntry& a, const RenameEntry& b) {
    return a.source.size() > b.source.size();
  });

  // Replacing, then the clean-up in the slots that were changed.
  for (int32_t slot = 1; slot <= gProgram.Length(); ++slot) {
    std::string& s = gProgram.lines[slot];
    bool changed = false;
    for (const RenameEntry& e : table) {
      size_t pos = 0;
      while ((pos = FindNoCase(s, e.source, pos)) != std::string::npos) {
        size_t after = pos + e.source.size();
        std::string rest = Trim(std::string_view(s).substr(after));
        const std::string& with = (!rest.empty() && rest[0] == '(') ? e.source : e.replacement;
        s.replace(pos, e.source.size(), with);
        pos += with.size();
        changed = true;
      }
    }
    if (changed) {
      for (char suffix : std::string_view("%&!$#")) {
        std::string from{kMarker, suffix};
        std::string to{suffix};
        size_t p = 0;
        while ((p = s.find(from, p)) != std::string::npos) {
          s.replace(p, 2, to);
          p += 1;
        }
      }
    }
    if (marked[static_cast<size_t>(slot)]) {
      size_t p = 0;
      while ((p = s.find(";(", p)) != std::string::npos) {
        s.erase(p, 1);
        ++p;
      }
    }
  }
  if (tableOut) *tableOut = std::move(table);
  return true;
}

}  // namespace korv
