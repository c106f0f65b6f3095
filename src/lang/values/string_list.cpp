#include "values/string_list.h"

#include "base/errors.h"

namespace korv {

std::vector<std::string>& StringList() {
  static std::vector<std::string> list;
  return list;
}

bool AddToStringList(const std::string& text) {
  std::vector<std::string>& list = StringList();
  if (list.size() > static_cast<size_t>(kStringListLast)) {
    RaiseError(232);
    return false;
  }
  list.push_back(text);
  return true;
}

void ClearStringList() {
  std::vector<std::string>().swap(StringList());
}

}  // namespace korv
