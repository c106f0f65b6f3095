// Imports from korvmissing, which is not where the loader looks: loading
// this library must fail quietly (no system dialog) with error 247.
__declspec(dllimport) int Missing(void);

__declspec(dllexport) int __stdcall Depends(void) { return Missing(); }
