#include "system/key_string.h"

#include <cstdlib>

#include "base/text.h"

namespace korv::keys {

int32_t KeyNameCode(const std::string& name) {
  struct Entry {
    const char* name;
    int32_t vk;
  };
  static const Entry kNames[] = {
      {"BS", 8},        {"BACKSPACE", 8},  {"BKSP", 8},     {"BREAK", 19},   {"CAPSLOCK", 20},
      {"CLEAR", 12},    {"DEL", 46},       {"DELETE", 46},  {"DOWN", 40},    {"END", 35},
      {"ENTER", 13},    {"ESC", 27},       {"ESCAPE", 27},  {"HELP", 47},    {"HOME", 36},
      {"INSERT", 45},   {"LEFT", 37},      {"NUMLOCK", 144}, {"PGDN", 34},   {"PGUP", 33},
      {"PRTSC", 44},    {"RIGHT", 39},     {"SCROLLLOCK", 145}, {"TAB", 9},  {"UP", 38}};
  std::string u = Upper(name);
  for (const Entry& e : kNames)
    if (u == e.name) return e.vk;
  if (u.size() >= 2 && u.size() <= 3 && u[0] == 'F') {
    int n = 0;
    for (size_t i = 1; i < u.size(); ++i) {
      if (u[i] < '0' || u[i] > '9') return 0;
      n = n * 10 + (u[i] - '0');
    }
    if (n >= 1 && n <= 24) return 111 + n;
  }
  return 0;
}

std::vector<KeyStroke> ParseKeyString(const std::string& text) {
  std::vector<KeyStroke> out;
  bool shift = false, ctrl = false, alt = false;  // pending for the next key
  bool group = false;                            // inside "( ... )" after a modifier
  bool gShift = false, gCtrl = false, gAlt = false;
  auto emit = [&](KeyStroke k) {
    k.shift = shift || (group && gShift);
    k.ctrl = ctrl || (group && gCtrl);
    k.alt = alt || (group && gAlt);
    out.push_back(k);
  };
  auto clearPending = [&] { shift = ctrl = alt = false; };
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '+' || c == '^' || c == '%') {
      (c == '+' ? shift : c == '^' ? ctrl : alt) = true;
      ++i;
      if (i < text.size() && text[i] == '(' && text.find(')', i) != std::string::npos) {
        group = true;
        gShift = shift;
        gCtrl = ctrl;
        gAlt = alt;
        clearPending();
        ++i;
      }
      continue;
    }
    if (c == ')' && group) {
      group = false;
      ++i;
      continue;
    }
    if (c == '~') {
      KeyStroke k;
      k.vk = 19;
      emit(k);
      clearPending();
      ++i;
      continue;
    }
    if (c == '{') {
      // "{}}" names the brace itself; an unclosed brace is plain text.
      size_t close = text.find('}', i + 1);
      if (close == i + 1 && i + 2 < text.size() && text[i + 2] == '}') close = i + 2;
      if (close == std::string::npos || close == i + 1) {
        KeyStroke k;
        k.isChar = true;
        k.ch = '{';
        emit(k);
        clearPending();
        ++i;
        continue;
      }
      std::string body = text.substr(i + 1, close - i - 1);
      i = close + 1;
      int32_t count = 1;
      size_t blank = body.find(' ');
      if (blank != std::string::npos && blank > 0) {
        std::string num = Trim(std::string_view(body).substr(blank + 1));
        bool digits = !num.empty();
        for (char d : num) digits = digits && d >= '0' && d <= '9';
        if (digits) {
          count = num.size() > 4 ? kMaxRepeat : std::atoi(num.c_str());
          if (count > kMaxRepeat) count = kMaxRepeat;
          body = body.substr(0, blank);
        }
      }
      KeyStroke k;
      k.vk = KeyNameCode(body);
      if (k.vk == 0) {
        k.isChar = true;
        k.ch = body.empty() ? ' ' : body[0];
      }
      for (int32_t n = 0; n < count; ++n) emit(k);
      clearPending();
      continue;
    }
    KeyStroke k;
    k.isChar = true;
    k.ch = c;
    emit(k);
    clearPending();
    ++i;
  }
  return out;
}

}  // namespace korv::keys
