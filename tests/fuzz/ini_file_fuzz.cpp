// Fuzz target: the INI reader and writer. Any text, with a section and key
// taken from its first bytes, must read without fault, and a written entry
// must read back with the value written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "system/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t cut = size >= 1 ? data[0] % (size + 1) : 0;
  std::string section = korv::Trim(bytes.substr(0, std::min<size_t>(cut, 8)));
  std::string key = "k" + korv::Trim(bytes.substr(cut, std::min<size_t>(size - cut, 4)));
  // Names that hold line breaks, brackets or "=" cannot be written as an entry.
  if (section.find_first_of("[]\r\n=;") != std::string::npos ||
      key.find_first_of("[]\r\n=;") != std::string::npos)
    return 0;
  korv::ini::ReadValue(bytes, section, key);
  std::string written = korv::ini::WriteValue(bytes, section, key, "value");
  bool found = false;
  if (korv::ini::ReadValue(written, section, key, &found) != "value" || !found) std::abort();
  return 0;
}
