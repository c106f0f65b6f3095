// OGL sub-commands of the model table (LOADTMGL, LOADTMGLDATA,
// SAVETMGLDATA, CREATETMGL, USETMGL, DRAWTMGL and the queries) and of
// sprites (DRAW).
#include <algorithm>
#include <cstring>
#include <fstream>

#include "base/errors.h"
#include "base/host.h"
#include "base/text.h"
#include "opengl/ogl_internal.h"
#include "opengl/ogl_shapes.h"
#include "opengl/opengl.h"
#include "opengl/sprite.h"
#include "opengl/tmgl_model.h"
#include "values/areas.h"
#include "values/composite.h"

namespace korv {

namespace {

// Takes the next model number; 0 after error 409.
int32_t NewModelNumber() {
  if (gTmgl.counter + 1 >= kTmglSlots) {
    FailInt(409);
    return 0;
  }
  return ++gTmgl.counter;
}

// A model number that must name a model (408 otherwise).
const TmglModel* ModelOrFail(int32_t number) {
  const TmglModel* m = TmglFind(number);
  if (!m) FailInt(408);
  return m;
}

struct ArrayUse {
  char letter;
  int components;
  const double* TmglModel::*array;
};
const ArrayUse kArrays[] = {{'V', kTmglPosition, &TmglModel::positions},
                            {'C', kTmglColour, &TmglModel::colours},
                            {'T', kTmglTexCoord, &TmglModel::texCoords},
                            {'N', kTmglNormal, &TmglModel::normals}};

// The arrays a model draws from must be readable for all its vertices.
// Loaded models own their arrays, sized by the loader; created models draw
// from the program's memory, which is checked against its areas.
bool ArraysReadable(const TmglModel& m) {
  for (size_t k = 0; k < std::size(kArrays); ++k) {
    const ArrayUse& u = kArrays[k];
    if (!m.HasLetter(u.letter)) continue;
    const int64_t bytes = int64_t{m.count} * u.components * 8;
    const std::vector<double>& own = m.own[k];
    const bool owned = !own.empty() && m.*u.array == own.data();
    if (owned ? int64_t(own.size()) * 8 >= bytes : CheckRange(m.*u.array, 0, bytes, -1, false, "TMGL")) continue;
    if (owned) RaiseError(207, "TMGL");
    return false;
  }
  return true;
}

}  // namespace

void OglLoadTmgl(const OglArgs& a) {
  const std::string& name = a.s[0];
  const int32_t number = NewModelNumber();
  if (number == 0) return;
  std::string text;
  if (!ReadWholeFile(name, text)) return FailInt(300, name);
  TmglModel model;
  int32_t line = 0;
  if (ParseTmglText(text, model, line) != TmglTextStatus::Ok)
    return FailInt(407, name + "(" + std::to_string(line) + ")");
  gTmgl.models[number] = std::move(model);
  gTmgl.models[number].UseOwnArrays();
  ResultInt(number);
}

void OglLoadTmglData(const OglArgs& a) {
  const std::string& name = a.s[0];
  const int32_t number = NewModelNumber();
  if (number == 0) return;
  std::string file;
  if (!ReadWholeFile(name, file)) return FailInt(300, name);
  TmglModel model;
  if (!ParseTmglBinary(file, model)) return FailInt(407, name);
  gTmgl.models[number] = std::move(model);
  gTmgl.models[number].UseOwnArrays();
  ResultInt(number);
}

void OglSaveTmglData(const OglArgs& a) {
  const int32_t number = a.i[0];
  const std::string& name = a.s[1];
  if (number < 1 || number > gTmgl.counter) return FailInt(412);
  const TmglModel* m = ModelOrFail(number);
  if (!m || !ArraysReadable(*m)) return;
  const std::string bytes = WriteTmglBinary(*m);
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  if (!out) return FailInt(301, name);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return FailInt(301, name);
  ResultInt(static_cast<int32_t>(bytes.size()));
}

void OglCreateTmgl(const OglArgs& a) {
  const int32_t number = NewModelNumber();
  if (number == 0) return;
  const std::string type = Upper(a.s[0]);
  if (!FindTmglType(type)) return FailInt(410, type);
  const int32_t count = a.i[2];
  if (count < 0 || count > kTmglMaxVertices) return FailInt(200);
  TmglModel m;
  m.type = type;
  m.format = a.s[1].substr(0, 4);
  m.count = count;
  // Argument order: positions, colours, texture coordinates, normals.
  for (int k = 0; k < 4; ++k) {
    const ArrayUse& u = kArrays[k];
    if (!m.HasLetter(u.letter)) continue;
    if (a.i[3 + k] == 0) return FailInt(200);
    m.*u.array = static_cast<const double*>(IntToAddress(a.i[3 + k]));
  }
  if (!ArraysReadable(m)) return;
  gTmgl.models[number] = std::move(m);
  ResultInt(number);
}

void OglUseTmgl(const OglArgs& a) {
  const TmglModel* m = ModelOrFail(a.i[0]);
  if (!m || !ArraysReadable(*m)) return;
  GlDevice& d = Gl();
  const uint32_t states[] = {gl::kVertexArray, gl::kColorArray, gl::kTextureCoordArray,
                             gl::kNormalArray};
  for (int k = 0; k < 4; ++k) {
    const ArrayUse& u = kArrays[k];
    // Arrays of an earlier model must not stay on: they may hold fewer
    // vertices than this one draws.
    if (!m->HasLetter(u.letter)) {
      d.Call(GlOp::DisableClientState, {static_cast<double>(states[k])});
      continue;
    }
    const double* p = m->*u.array;
    switch (u.letter) {
      case 'V': d.VertexPointer(p); break;
      case 'C': d.ColorPointer(p); break;
      case 'T': d.TexCoordPointer(p); break;
      default: d.NormalPointer(p); break;
    }
    d.Call(GlOp::EnableClientState, {static_cast<double>(states[k])});
  }
  gTmgl.current = a.i[0];
  ResultInt(1);
}

void OglDrawTmgl(const OglArgs& a) {
  const TmglModel* m = ModelOrFail(gTmgl.current);
  // The memory of a created model may have been given back since USETMGL.
  if (!m || !ArraysReadable(*m)) return;
  const TmglType* t = FindTmglType(m->type);
  if (!t) return FailInt(410, m->type);
  // Only vertices the model has are drawn.
  const int32_t first = std::clamp(a.i[0], 0, m->count);
  const int32_t count = std::clamp(a.i[1], 0, m->count - first);
  Gl().Call(GlOp::DrawArrays, {static_cast<double>(t->glMode), static_cast<double>(first),
                               static_cast<double>(count)});
  ResultInt(1);
}

void OglTmglCount(const OglArgs& a) {
  if (const TmglModel* m = ModelOrFail(a.i[0])) ResultInt(m->count);
}
void OglTmglType(const OglArgs& a) {
  if (const TmglModel* m = ModelOrFail(a.i[0])) ResultString(m->format);
}
void OglTmglObjType(const OglArgs& a) {
  if (const TmglModel* m = ModelOrFail(a.i[0])) ResultString(m->type);
}

// --- Sprites -----------------------------------------------------------------

namespace {

// Pivot height of a shape standing on y = 0.
double PivotHeight(const std::string& shape, const SpriteRecord& s) {
  if (shape == "SPHERE") return s.x;
  if (shape == "DISK" || shape == "PARTIALDISK") return s.y;
  return s.y / 2;
}

// Draws the shape; false for a name outside the table.
bool DrawSpriteShape(GlDevice& d, const std::string& shape, const SpriteRecord& s) {
  if (shape == "CUBOID") DrawCuboid(d, s.x, s.y, s.z);
  else if (shape == "PYRAMID") DrawPyramid(d, s.x, s.y, s.z);
  else if (shape == "QUAD") DrawQuad(d, s.x, s.y);
  else if (shape == "TRIANGLE") DrawTriangle(d, s.x, s.y);
  else if (shape == "CYLINDER") DrawCylinder(d, s.x, s.y, s.z, RoundToInt(s.b));
  else if (shape == "TUBE") DrawTube(d, s.x, s.y, s.z, RoundToInt(s.b));
  else if (shape == "DISK") DrawDisk(d, s.x, s.y, RoundToInt(s.b));
  else if (shape == "PARTIALDISK") DrawPartialDisk(d, s.x, s.y, RoundToInt(s.b), s.z, s.a);
  else if (shape == "SPHERE") DrawSphere(d, s.x, RoundToInt(s.a), RoundToInt(s.b));
  else if (shape == "LIST") d.Call(GlOp::CallList, {static_cast<double>(static_cast<uint32_t>(RoundToInt(s.a)))});
  else return false;
  return true;
}

}  // namespace

void OglDrawSprite(const OglArgs& a) {
  if (a.areaSize[0] < kSpriteSize) return FailInt(200);
  void* address = IntToAddress(a.i[0]);
  if (!CheckRange(address, 0, kSpriteSize, -1, true, "DRAW")) return;
  uint8_t bytes[kSpriteSize];
  std::memcpy(bytes, address, kSpriteSize);
  SpriteRecord s = UnpackSprite(bytes);
  GlDevice& d = Gl();
  d.Call(GlOp::PushAttrib, {gl::kAllAttribBits});
  d.Call(GlOp::PushMatrix);
  const std::string shape = Upper(s.typ);
  d.Call(GlOp::Translated, {s.pos[0], s.pos[1], s.pos[2]});
  const double pivot = PivotHeight(shape, s);
  if (gOgl.positionMode) d.Call(GlOp::Translated, {0, pivot, 0});
  d.Call(GlOp::Rotated, {s.rot[0], 1, 0, 0});
  d.Call(GlOp::Rotated, {s.rot[1], 0, 1, 0});
  d.Call(GlOp::Rotated, {s.rot[2], 0, 0, 1});
  if (gOgl.positionMode) d.Call(GlOp::Translated, {0, -pivot, 0});
  d.Call(GlOp::Color4f, {s.colour[0], s.colour[1], s.colour[2], s.colour[3]});
  SelectTexture(d, static_cast<uint32_t>(s.texture), s.textureRepeat);
  const bool drawn = DrawSpriteShape(d, shape, s);
  d.Call(GlOp::PopMatrix);
  d.Call(GlOp::PopAttrib);
  if (!drawn) return FailInt(411, shape);
  StepSprite(s, host().TickCount());
  PackSprite(s, bytes);
  std::memcpy(address, bytes, kSpriteSize);
  ResultInt(1);
}

}  // namespace korv
