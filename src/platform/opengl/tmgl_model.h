// 3D models: vertex array sets drawn with glDrawArrays. The model table,
// the text form a person writes, and the binary form the system writes and
// reads. Parsing and writing work on whole file contents, so that they are
// tested and fuzzed without files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

// Components per vertex of each array: positions, texture coordinates,
// colours, normals.
constexpr int kTmglPosition = 3, kTmglTexCoord = 2, kTmglColour = 4, kTmglNormal = 3;
constexpr int32_t kTmglSlots = 2000;          // numbers 1..1999
constexpr int32_t kTmglMaxVertices = 1 << 22;  // refuses absurd counts before allocating

struct TmglType {
  const char* name;
  uint32_t glMode;
  int32_t verticesPerElement;
};
// The type with this (upper-case) name, or nullptr.
const TmglType* FindTmglType(const std::string& upperName);

struct TmglModel {
  std::string type;    // "T", "QS", ...
  std::string format;  // letters of V, T, C, N; empty: free slot
  int32_t count = 0;   // vertices
  // Arrays: owned by the model (loaded) or the program's memory (created).
  const double* positions = nullptr;
  const double* colours = nullptr;
  const double* texCoords = nullptr;
  const double* normals = nullptr;
  std::vector<double> own[4];  // positions, colours, texture coordinates, normals
  bool HasLetter(char c) const { return format.find(c) != std::string::npos; }
  // Points the array pointers at the owned vectors that are filled.
  void UseOwnArrays();
};

// Text form. On failure errorLine is the line number for the message
// (0 when the fault is not tied to a line).
enum class TmglTextStatus { Ok, BadHeader, BadData, MissingLines };
TmglTextStatus ParseTmglText(const std::string& text, TmglModel& out, int32_t& errorLine);

// Binary form: a 32-byte header and the blocks. False when the magic is
// wrong, the header is short, or the count or a block lies outside the file.
bool ParseTmglBinary(const std::string& file, TmglModel& out);
// The binary file of a model (its arrays must hold count vertices).
std::string WriteTmglBinary(const TmglModel& m);
// Size of the binary file WriteTmglBinary makes.
int64_t TmglBinarySize(const TmglModel& m);

// The table of the run.
struct TTmglTable {
  std::vector<TmglModel> models = std::vector<TmglModel>(kTmglSlots);
  int32_t counter = 0;  // highest number in use
  int32_t current = 0;  // last USETMGL
};
extern TTmglTable gTmgl;
void ResetTmgl();
// The model with this number, or nullptr when the number is out of range
// or the slot is free.
const TmglModel* TmglFind(int32_t number);

}  // namespace korv
