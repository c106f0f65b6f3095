// Variable name shortening (compiler option -V): every declared variable
// name in the line store is replaced by a short generated name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

struct RenameEntry {
  std::string source;       // upper case, with its type suffix
  std::string replacement;  // generated name, 0xA7, suffix
  int32_t number = 0;       // running number from 1
};

constexpr int32_t kMaxRenames = 32767;

// The successor of a generated name: "@" -> "A", "Z" -> "AA", "AZ" -> "BA".
std::string NextShortName(const std::string& name);

// True for the names that are never renamed (the fixed list and the members
// of the built-in OGLSPRITE structure).
bool IsProtectedName(const std::string& upperName);

// Shortens the names in gProgram. Returns false after an error report that
// returned; table receives the entries in replacement order.
bool ShortenNames(std::vector<RenameEntry>* table = nullptr);

}  // namespace korv
