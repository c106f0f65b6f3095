// Windows only: keeps the thread's last error across work the program did
// not ask for (drawing the text screen, pumping messages), so that
// %WINERROR still reports the program's own last call.
#pragma once
#include <windows.h>

namespace korv {

class KeepLastError {
 public:
  KeepLastError() : saved_(GetLastError()) {}
  ~KeepLastError() { SetLastError(saved_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  DWORD saved_;
};

}  // namespace korv
