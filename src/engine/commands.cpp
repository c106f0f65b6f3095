#include "engine/commands.h"

#include <deque>
#include <unordered_map>

#include "engine/pump_rhythm.h"

namespace korv {

namespace {

struct CommandTable {
  std::deque<CommandEntry> entries;  // stable addresses
  std::unordered_map<std::string, CommandEntry*> byName;
  std::unordered_map<int, CommandEntry*> byCode;
};

CommandTable& Commands() {
  static CommandTable t;
  return t;
}

}  // namespace

void RegisterCommand(std::string name, int code, CommandHandler handler) {
  CommandTable& t = Commands();
  CommandEntry* e;
  auto it = t.byName.find(name);
  if (it != t.byName.end()) {
    e = it->second;
    auto old = t.byCode.find(e->code);
    if (old != t.byCode.end() && old->second == e) t.byCode.erase(old);
    e->code = code;
    e->handler = handler;
  } else {
    t.entries.push_back(CommandEntry{name, code, handler});
    e = &t.entries.back();
    t.byName.emplace(std::move(name), e);
  }
  e->quiet = IsQuietCommand(e->name);
  // Two names may share a code (DRAWLIBICON, DRAWPROGICON): the first keeps it.
  if (code != 0) t.byCode.emplace(code, e);
}

const CommandEntry* FindCommand(std::string_view upperName) {
  const CommandTable& t = Commands();
  auto it = t.byName.find(std::string(upperName));
  return it == t.byName.end() ? nullptr : it->second;
}

const CommandEntry* CommandByCode(int code) {
  const CommandTable& t = Commands();
  auto it = t.byCode.find(code);
  return it == t.byCode.end() ? nullptr : it->second;
}

}  // namespace korv
