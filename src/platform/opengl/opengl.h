// OpenGL: the OGL function and its sub-commands, %OGLERROR, the model
// table and sprites. The GL calls go through the GlDevice seam.
#pragma once
#include <cstdint>

namespace korv {

constexpr int32_t kSelectBufferWords = 512;

// The OpenGL state of the run.
struct TOglState {
  uint32_t window = 0;  // the window INIT set up; 0: not initialised
  uint32_t dc = 0;      // its device context, kept for SHOW and the fonts
  uint32_t currentTexture = 0;
  double textureRepeat = 1.0;
  bool positionMode = true;  // shapes stand on y = 0
  uint32_t selectBuffer[kSelectBufferWords] = {};
};
extern TOglState gOgl;

// Per-run reset: state to the defaults, the model table emptied.
void ResetOpenGl();
// Binds OGL and %OGLERROR.
void RegisterOpenGl();
// The Windows device (gl_device_win32.cpp).
void InstallWin32OpenGl();

}  // namespace korv
