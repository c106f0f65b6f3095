// A library that is built but never placed beside the programs: korvdep
// imports from it, so loading korvdep fails for a missing dependency.
__declspec(dllexport) int Missing(void) { return 1; }
