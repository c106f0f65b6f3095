#include "core/statement_split.h"

#include "base/errors.h"
#include "base/text.h"

namespace korv {

bool HasFunctionCallForm(const std::string& text) {
  size_t paren = text.find('(');
  if (paren == std::string::npos || paren == 0) return false;
  // Index parts of member chains ("#[" ... "].") do not count.
  std::string head = text.substr(0, paren);
  for (size_t open = head.find("#["); open != std::string::npos; open = head.find("#[")) {
    size_t close = head.find("].", open);
    if (close == std::string::npos) break;
    head.erase(open + 1, close + 1 - open);
  }
  for (char c : head)
    if (IsCallBreaker(static_cast<unsigned char>(c))) return false;
  return true;
}

void SplitStatement(const std::string& text, std::string& command, std::string& args) {
  if (StartsWith(text, "@") || HasFunctionCallForm(text)) {
    command = "@";
    args = text;
    return;
  }
  size_t blank = FindTopLevel(text, ' ');
  size_t eq = FindTopLevel(text, '=');
  if (blank != std::string::npos && (eq == std::string::npos || eq > blank)) {
    command = Upper(Trim(std::string_view(text).substr(0, blank)));
    args = Trim(std::string_view(text).substr(blank + 1));
  } else if (eq != std::string::npos) {
    command = "LET";
    args = Trim(text);
  } else {
    command = Upper(text);
    args.clear();
  }
  if (!args.empty() && args[0] == '=') {
    args = command + args;
    command = "LET";
  }
}

bool CheckArguments(const std::string& args) {
  int open = 0, close = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    char c = args[i];
    if (c == '\'') break;
    if (c == '"') {
      size_t end = args.find('"', i + 1);
      if (end == std::string::npos) {
        RaiseError(238);
        return false;
      }
      i = end;
    } else if (c == '(') {
      ++open;
    } else if (c == ')') {
      ++close;
    }
  }
  if (open != close) {
    RaiseError(255, args);
    return false;
  }
  return true;
}

}  // namespace korv
