#include "opengl/tmgl_model.h"

#include <cstring>

#include "base/text.h"
#include "opengl/gl_device.h"
#include "values/functions_support.h"

namespace korv {

TTmglTable gTmgl;

namespace {

const TmglType kTypes[] = {
    {"P", gl::kPoints, 1},         {"L", gl::kLines, 2},          {"LS", gl::kLineStrip, 1},
    {"LL", gl::kLineLoop, 1},      {"T", gl::kTriangles, 3},      {"TS", gl::kTriangleStrip, 1},
    {"TF", gl::kTriangleFan, 1},   {"Q", gl::kQuads, 4},          {"QS", gl::kQuadStrip, 1},
    {"PY", gl::kPolygon, 1},
};

constexpr size_t kHeaderSize = 32;

// Letter -> index into TmglModel::own and components per vertex.
struct Block {
  char letter;
  int slot;
  int components;
};
// In file order: positions, texture coordinates, colours, normals.
const Block kBlocks[] = {{'V', 0, kTmglPosition}, {'T', 2, kTmglTexCoord}, {'C', 1, kTmglColour},
                         {'N', 3, kTmglNormal}};

const Block* BlockOf(char letter) {
  for (const Block& b : kBlocks)
    if (b.letter == letter) return &b;
  return nullptr;
}

uint32_t U32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}
void PutU32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string Padded(const std::string& s, size_t width) {
  std::string r = s.substr(0, width);
  r.resize(width, ' ');
  return r;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t p = s.find(sep, start);
    parts.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) return parts;
    start = p + 1;
  }
}

// Numbers of a field as VAL reads them ("." as the point).
double Number(const std::string& s) { return fn::LeadingReal(s); }

// Fills n components from a field "a,b,c" (missing ones stay 0).
void FillComponents(const std::string& field, double* dst, int n) {
  std::vector<std::string> parts = Split(field, ',');
  for (int i = 0; i < n && i < static_cast<int>(parts.size()); ++i) dst[i] = Number(parts[i]);
}

// Reads the lines of a text one at a time, counting every line read.
class LineReader {
 public:
  explicit LineReader(const std::string& text) : text_(text) {}
  // The next line that is not empty or a comment, blanks removed.
  bool NextDataLine(std::string& line) {
    while (pos_ < text_.size()) {
      size_t end = text_.find('\n', pos_);
      if (end == std::string::npos) end = text_.size();
      line.clear();
      for (size_t i = pos_; i < end; ++i)
        if (text_[i] != ' ' && text_[i] != '\r' && text_[i] != '\t') line.push_back(text_[i]);
      pos_ = end + 1;
      ++number_;
      if (!line.empty() && line[0] != '/') return true;
    }
    return false;
  }
  int32_t number() const { return number_; }

 private:
  const std::string& text_;
  size_t pos_ = 0;
  int32_t number_ = 0;
};

bool AllDigits(const std::string& s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

const TmglType* FindTmglType(const std::string& upperName) {
  for (const TmglType& t : kTypes)
    if (upperName == t.name) return &t;
  return nullptr;
}

void TmglModel::UseOwnArrays() {
  positions = own[0].empty() ? nullptr : own[0].data();
  colours = own[1].empty() ? nullptr : own[1].data();
  texCoords = own[2].empty() ? nullptr : own[2].data();
  normals = own[3].empty() ? nullptr : own[3].data();
}

TmglTextStatus ParseTmglText(const std::string& text, TmglModel& out, int32_t& errorLine) {
  out = TmglModel{};
  errorLine = 0;
  LineReader reader(text);
  std::string line;
  if (!reader.NextDataLine(line)) {
    errorLine = reader.number();
    return TmglTextStatus::MissingLines;
  }
  errorLine = reader.number();
  std::vector<std::string> header = Split(line, ';');
  std::string type = Upper(header[0]);
  const TmglType* t = FindTmglType(type);
  constexpr size_t kMaxFormatLetters = 4;
  if (header.size() < 3 || !t || header[1].size() > kMaxFormatLetters || !AllDigits(header[2]))
    return TmglTextStatus::BadHeader;
  const int64_t elements = std::stoll(header[2]);
  const int64_t vertices = elements * t->verticesPerElement;
  if (elements <= 0 || vertices > kTmglMaxVertices) return TmglTextStatus::BadHeader;
  double centre[3] = {0, 0, 0}, len = 1;
  if (header.size() > 3 && !header[3].empty()) {
    double c[4] = {0, 0, 0, 1};
    FillComponents(header[3], c, 4);
    centre[0] = c[0], centre[1] = c[1], centre[2] = c[2], len = c[3];
  }
  out.type = type;
  out.format = header[1];
  out.count = static_cast<int32_t>(vertices);
  for (char letter : out.format) {
    const Block* b = BlockOf(letter);
    if (!b) continue;  // reported with the first data line
    out.own[b->slot].assign(static_cast<size_t>(vertices) * b->components, 0.0);
  }
  for (int32_t v = 0; v < vertices; ++v) {
    if (!reader.NextDataLine(line)) {
      errorLine = reader.number();
      return TmglTextStatus::MissingLines;
    }
    errorLine = reader.number();
    std::vector<std::string> fields = Split(line, ';');
    for (size_t i = 0; i < out.format.size(); ++i) {
      const Block* b = BlockOf(out.format[i]);
      if (!b) return TmglTextStatus::BadData;
      const std::string field = i < fields.size() ? fields[i] : std::string();
      double* dst = out.own[b->slot].data() + static_cast<size_t>(v) * b->components;
      if (!field.empty()) {
        FillComponents(field, dst, b->components);
      } else if (b->letter == 'N') {
        const double* pos = out.own[0].empty() ? nullptr : out.own[0].data() + v * 3;
        for (int k = 0; k < 3; ++k) dst[k] = pos && pos[k] > centre[k] ? len : -len;
      } else {
        return TmglTextStatus::BadData;
      }
    }
  }
  out.UseOwnArrays();
  return TmglTextStatus::Ok;
}

bool ParseTmglBinary(const std::string& file, TmglModel& out) {
  out = TmglModel{};
  if (file.size() < kHeaderSize || file.compare(0, 4, "TMGL") != 0) return false;
  out.type = Trim(file.substr(6, 2));
  out.format = Trim(file.substr(8, 4));
  const int32_t count = static_cast<int32_t>(U32(file, 12));
  if (count < 0 || count > kTmglMaxVertices) return false;
  out.count = count;
  const uint32_t offsets[4] = {U32(file, 16), U32(file, 20), U32(file, 24), U32(file, 28)};
  for (char letter : out.format) {
    const Block* b = BlockOf(letter);
    if (!b) continue;
    const size_t index = static_cast<size_t>(b - kBlocks);
    const int64_t bytes = int64_t{count} * b->components * 8;
    if (int64_t{offsets[index]} + bytes > static_cast<int64_t>(file.size())) return false;
    std::vector<double>& dst = out.own[b->slot];
    dst.resize(static_cast<size_t>(count) * b->components);
    if (bytes > 0) std::memcpy(dst.data(), file.data() + offsets[index], static_cast<size_t>(bytes));
  }
  out.UseOwnArrays();
  return true;
}

int64_t TmglBinarySize(const TmglModel& m) {
  int64_t size = kHeaderSize;
  for (const Block& b : kBlocks)
    if (m.HasLetter(b.letter)) size += int64_t{m.count} * b.components * 8;
  return size;
}

std::string WriteTmglBinary(const TmglModel& m) {
  std::string out = "TMGL";
  out.push_back('\x01');
  out.push_back('\x00');
  out += Padded(m.type, 2) + Padded(m.format, 4);
  PutU32(out, static_cast<uint32_t>(m.count));
  const double* arrays[4] = {m.positions, m.texCoords, m.colours, m.normals};  // file order
  uint32_t offset = kHeaderSize;
  for (const Block& b : kBlocks) {
    PutU32(out, offset);
    if (m.HasLetter(b.letter)) offset += static_cast<uint32_t>(m.count) * b.components * 8;
  }
  for (size_t i = 0; i < 4; ++i) {
    const Block& b = kBlocks[i];
    if (!m.HasLetter(b.letter) || !arrays[i]) continue;
    out.append(reinterpret_cast<const char*>(arrays[i]), static_cast<size_t>(m.count) * b.components * 8);
  }
  return out;
}

void ResetTmgl() { gTmgl = TTmglTable{}; }

const TmglModel* TmglFind(int32_t number) {
  if (number < 1 || number >= kTmglSlots) return nullptr;
  const TmglModel& m = gTmgl.models[number];
  return m.format.empty() ? nullptr : &m;
}

}  // namespace korv
