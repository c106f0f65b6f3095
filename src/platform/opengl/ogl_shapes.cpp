#include "opengl/ogl_shapes.h"

#include "opengl/gl_device.h"
#include "opengl/opengl.h"

namespace korv {

namespace {

// Normals of the flat shapes have length 0.5; lighting uses them unscaled.
constexpr double kN = 0.5;
constexpr double kSlope = 0.3;  // y part of the pyramid's side normals

struct Span {
  double bottom, top;
};
Span Vertical(double h) { return gOgl.positionMode ? Span{0, h} : Span{-h / 2, h / 2}; }

bool Textured() { return gOgl.currentTexture != 0; }

// One vertex with its texture coordinate (emitted only while textured).
void V(GlDevice& d, double x, double y, double z, double s, double t) {
  if (Textured()) d.Call(GlOp::TexCoord2d, {s, t});
  d.Call(GlOp::Vertex3d, {x, y, z});
}

void Normal(GlDevice& d, double x, double y, double z) { d.Call(GlOp::Normal3d, {x, y, z}); }

}  // namespace

void DrawTriangle(GlDevice& d, double w, double h) {
  const Span v = Vertical(h);
  const double t = gOgl.textureRepeat;
  d.Call(GlOp::Begin, {gl::kTriangles});
  Normal(d, 0, 0, kN);
  V(d, 0, v.top, 0, t / 2, t);
  V(d, -w / 2, v.bottom, 0, 0, 0);
  V(d, w / 2, v.bottom, 0, t, 0);
  d.Call(GlOp::End);
}

void DrawQuad(GlDevice& d, double w, double h) {
  const Span v = Vertical(h);
  const double t = gOgl.textureRepeat;
  d.Call(GlOp::Begin, {gl::kQuads});
  Normal(d, 0, 0, kN);
  V(d, -w / 2, v.bottom, 0, 0, 0);
  V(d, w / 2, v.bottom, 0, t, 0);
  V(d, w / 2, v.top, 0, t, t);
  V(d, -w / 2, v.top, 0, 0, t);
  d.Call(GlOp::End);
}

void DrawPyramid(GlDevice& d, double w, double h, double depth) {
  const Span v = Vertical(h);
  const double t = gOgl.textureRepeat, X = w / 2, Z = depth / 2, B = v.bottom;
  struct Side {
    double nx, nz, x1, z1, x2, z2;
  };
  // front, right, back, left: the two base corners of each side.
  const Side sides[] = {{0, kN, -X, Z, X, Z},
                        {kN, 0, X, Z, X, -Z},
                        {0, -kN, X, -Z, -X, -Z},
                        {-kN, 0, -X, -Z, -X, Z}};
  d.Call(GlOp::Begin, {gl::kTriangles});
  for (const Side& s : sides) {
    Normal(d, s.nx, kSlope, s.nz);
    V(d, 0, v.top, 0, t / 2, t);
    V(d, s.x1, B, s.z1, 0, 0);
    V(d, s.x2, B, s.z2, t, 0);
  }
  d.Call(GlOp::End);
  d.Call(GlOp::Begin, {gl::kQuads});
  Normal(d, 0, -kN, 0);
  V(d, X, B, Z, 0, 0);
  V(d, -X, B, Z, t, 0);
  V(d, -X, B, -Z, t, t);
  V(d, X, B, -Z, 0, t);
  d.Call(GlOp::End);
}

void DrawCuboid(GlDevice& d, double w, double h, double depth) {
  const Span v = Vertical(h);
  const double t = gOgl.textureRepeat, X = w / 2, Z = depth / 2, B = v.bottom, T = v.top;
  struct Face {
    double n[3];
    double p[4][5];  // x, y, z, s, t
  };
  const Face front = {{0, 0, kN}, {{-X, B, Z, 0, 0}, {X, B, Z, t, 0}, {X, T, Z, t, t}, {-X, T, Z, 0, t}}};
  const Face back = {{0, 0, -kN}, {{-X, B, -Z, t, 0}, {-X, T, -Z, t, t}, {X, T, -Z, 0, t}, {X, B, -Z, 0, 0}}};
  const Face top = {{0, kN, 0}, {{-X, T, -Z, 0, t}, {-X, T, Z, 0, 0}, {X, T, Z, t, 0}, {X, T, -Z, t, t}}};
  const Face bottom = {{0, -kN, 0}, {{-X, B, -Z, t, t}, {X, B, -Z, 0, t}, {X, B, Z, 0, 0}, {-X, B, Z, t, 0}}};
  const Face right = {{kN, 0, 0}, {{X, B, -Z, t, 0}, {X, T, -Z, t, t}, {X, T, Z, 0, t}, {X, B, Z, 0, 0}}};
  const Face left = {{-kN, 0, 0}, {{-X, B, -Z, 0, 0}, {-X, B, Z, t, 0}, {-X, T, Z, t, t}, {-X, T, -Z, 0, t}}};
  const Face* textured[] = {&front, &back, &top, &bottom, &right, &left};
  const Face* plain[] = {&top, &bottom, &front, &back, &left, &right};
  const Face* const* order = Textured() ? textured : plain;
  d.Call(GlOp::Begin, {gl::kQuads});
  for (int f = 0; f < 6; ++f) {
    const Face& face = *order[f];
    Normal(d, face.n[0], face.n[1], face.n[2]);
    for (const auto& p : face.p) V(d, p[0], p[1], p[2], p[3], p[4]);
  }
  d.Call(GlOp::End);
}

void DrawCylinder(GlDevice& d, double r1, double r2, double h, int32_t slices) {
  const bool centred = !gOgl.positionMode;
  d.Call(GlOp::Rotated, {-90, 1, 0, 0});
  if (centred) d.Call(GlOp::Translated, {0, 0, -h / 2});
  d.Call(GlOp::Cylinder, {r1, r2, h, static_cast<double>(slices), 1});
  d.Call(GlOp::Translated, {0, 0, h});
  d.Call(GlOp::Disk, {0, r2, static_cast<double>(slices), 1});
  d.Call(GlOp::Translated, {0, 0, -h});
  d.Call(GlOp::Rotated, {180, 1, 0, 0});
  d.Call(GlOp::Rotated, {180, 0, 0, 1});
  d.Call(GlOp::Disk, {0, r1, static_cast<double>(slices), 1});
  d.Call(GlOp::Rotated, {180, 0, 0, -1});
  // Still flipped about x: these two undo the lift and the first rotation.
  if (centred) d.Call(GlOp::Translated, {0, 0, -h / 2});
  d.Call(GlOp::Rotated, {-90, 1, 0, 0});
}

void DrawTube(GlDevice& d, double r1, double r2, double h, int32_t slices) {
  const bool centred = !gOgl.positionMode;
  d.Call(GlOp::Rotated, {-90, 1, 0, 0});
  if (centred) d.Call(GlOp::Translated, {0, 0, -h / 2});
  d.Call(GlOp::Cylinder, {r1, r2, h, static_cast<double>(slices), 1});
  if (centred) d.Call(GlOp::Translated, {0, 0, h / 2});
  d.Call(GlOp::Rotated, {90, 1, 0, 0});
}

void DrawDisk(GlDevice& d, double ri, double ro, int32_t slices) {
  if (gOgl.positionMode) d.Call(GlOp::Translated, {0, ro, 0});
  d.Call(GlOp::Disk, {ri, ro, static_cast<double>(slices), 1});
  if (gOgl.positionMode) d.Call(GlOp::Translated, {0, -ro, 0});
}

void DrawPartialDisk(GlDevice& d, double ri, double ro, int32_t slices, double start, double sweep) {
  if (gOgl.positionMode) d.Call(GlOp::Translated, {0, ro, 0});
  d.Call(GlOp::PartialDisk, {ri, ro, static_cast<double>(slices), 1, start, sweep});
  if (gOgl.positionMode) d.Call(GlOp::Translated, {0, -ro, 0});
}

void DrawSphere(GlDevice& d, double r, int32_t slices, int32_t stacks) {
  if (gOgl.positionMode) d.Call(GlOp::Translated, {0, r, 0});
  d.Call(GlOp::Rotated, {-90, 1, 0, 0});
  d.Call(GlOp::Sphere, {r, static_cast<double>(slices), static_cast<double>(stacks)});
  d.Call(GlOp::Rotated, {90, 1, 0, 0});
  if (gOgl.positionMode) d.Call(GlOp::Translated, {0, -r, 0});
}

void SelectTexture(GlDevice& d, uint32_t texture, double repeat) {
  gOgl.currentTexture = texture;
  gOgl.textureRepeat = repeat;
  if (texture == 0) {
    d.Call(GlOp::Disable, {gl::kTexture2D});
  } else {
    d.Call(GlOp::Enable, {gl::kTexture2D});
    d.Call(GlOp::BindTexture, {gl::kTexture2D, static_cast<double>(texture)});
  }
}

}  // namespace korv
