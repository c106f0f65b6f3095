// The ready-made shapes of the OGL family, shared by the sub-commands and
// the sprites. Flat shapes are built from vertices, curved ones from the
// device's quadric. Position mode and texture state come from gOgl.
#pragma once
#include <cstdint>

namespace korv {

class GlDevice;

void DrawTriangle(GlDevice& d, double w, double h);
void DrawQuad(GlDevice& d, double w, double h);
void DrawPyramid(GlDevice& d, double w, double h, double depth);
void DrawCuboid(GlDevice& d, double w, double h, double depth);
void DrawCylinder(GlDevice& d, double r1, double r2, double h, int32_t slices);
void DrawTube(GlDevice& d, double r1, double r2, double h, int32_t slices);
void DrawDisk(GlDevice& d, double ri, double ro, int32_t slices);
void DrawPartialDisk(GlDevice& d, double ri, double ro, int32_t slices, double start, double sweep);
void DrawSphere(GlDevice& d, double r, int32_t slices, int32_t stacks);
// TEXTURE: current texture and repeat, with the bind or the disable.
void SelectTexture(GlDevice& d, uint32_t texture, double repeat);

}  // namespace korv
