// A library for the end-to-end tests of EXTERNAL. Every export is reached
// by its plain name (the library is linked with --kill-at).
//
// SumS<n> (stdcall) and SumC<n> (cdecl) take n int arguments and return
// base + 1*a1 + 2*a2 + ... + n*an with 32-bit wrap-around; base is 1000000
// for stdcall and 2000000 for cdecl, so a result shows the convention, the
// count and the order of the arguments that arrived.
#include <stdint.h>
#include <string.h>

#define EXPORT __declspec(dllexport)

static int Weighted(int base, int n, const int* v) {
  uint32_t sum = (uint32_t)base;
  for (int i = 0; i < n; ++i) sum += (uint32_t)(i + 1) * (uint32_t)v[i];
  return (int)sum;
}

EXPORT int __stdcall SumS0(void) {
  return 1000000;
}

EXPORT int __stdcall SumS1(int a1) {
  const int v[] = {a1};
  return Weighted(1000000, 1, v);
}

EXPORT int __stdcall SumS2(int a1, int a2) {
  const int v[] = {a1, a2};
  return Weighted(1000000, 2, v);
}

EXPORT int __stdcall SumS3(int a1, int a2, int a3) {
  const int v[] = {a1, a2, a3};
  return Weighted(1000000, 3, v);
}

EXPORT int __stdcall SumS4(int a1, int a2, int a3, int a4) {
  const int v[] = {a1, a2, a3, a4};
  return Weighted(1000000, 4, v);
}

EXPORT int __stdcall SumS5(int a1, int a2, int a3, int a4, int a5) {
  const int v[] = {a1, a2, a3, a4, a5};
  return Weighted(1000000, 5, v);
}

EXPORT int __stdcall SumS6(int a1, int a2, int a3, int a4, int a5, int a6) {
  const int v[] = {a1, a2, a3, a4, a5, a6};
  return Weighted(1000000, 6, v);
}

EXPORT int __stdcall SumS7(int a1, int a2, int a3, int a4, int a5, int a6, int a7) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7};
  return Weighted(1000000, 7, v);
}

EXPORT int __stdcall SumS8(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8};
  return Weighted(1000000, 8, v);
}

EXPORT int __stdcall SumS9(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9};
  return Weighted(1000000, 9, v);
}

EXPORT int __stdcall SumS10(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10};
  return Weighted(1000000, 10, v);
}

EXPORT int __stdcall SumS11(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11};
  return Weighted(1000000, 11, v);
}

EXPORT int __stdcall SumS12(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12};
  return Weighted(1000000, 12, v);
}

EXPORT int __stdcall SumS13(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12, int a13) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13};
  return Weighted(1000000, 13, v);
}

EXPORT int __stdcall SumS14(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12, int a13, int a14) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14};
  return Weighted(1000000, 14, v);
}

EXPORT int __stdcall SumS15(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12, int a13, int a14, int a15) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15};
  return Weighted(1000000, 15, v);
}

EXPORT int __cdecl SumC0(void) {
  return 2000000;
}

EXPORT int __cdecl SumC1(int a1) {
  const int v[] = {a1};
  return Weighted(2000000, 1, v);
}

EXPORT int __cdecl SumC2(int a1, int a2) {
  const int v[] = {a1, a2};
  return Weighted(2000000, 2, v);
}

EXPORT int __cdecl SumC3(int a1, int a2, int a3) {
  const int v[] = {a1, a2, a3};
  return Weighted(2000000, 3, v);
}

EXPORT int __cdecl SumC4(int a1, int a2, int a3, int a4) {
  const int v[] = {a1, a2, a3, a4};
  return Weighted(2000000, 4, v);
}

EXPORT int __cdecl SumC5(int a1, int a2, int a3, int a4, int a5) {
  const int v[] = {a1, a2, a3, a4, a5};
  return Weighted(2000000, 5, v);
}

EXPORT int __cdecl SumC6(int a1, int a2, int a3, int a4, int a5, int a6) {
  const int v[] = {a1, a2, a3, a4, a5, a6};
  return Weighted(2000000, 6, v);
}

EXPORT int __cdecl SumC7(int a1, int a2, int a3, int a4, int a5, int a6, int a7) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7};
  return Weighted(2000000, 7, v);
}

EXPORT int __cdecl SumC8(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8};
  return Weighted(2000000, 8, v);
}

EXPORT int __cdecl SumC9(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9};
  return Weighted(2000000, 9, v);
}

EXPORT int __cdecl SumC10(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10};
  return Weighted(2000000, 10, v);
}

EXPORT int __cdecl SumC11(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11};
  return Weighted(2000000, 11, v);
}

EXPORT int __cdecl SumC12(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12};
  return Weighted(2000000, 12, v);
}

EXPORT int __cdecl SumC13(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12, int a13) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13};
  return Weighted(2000000, 13, v);
}

EXPORT int __cdecl SumC14(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12, int a13, int a14) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14};
  return Weighted(2000000, 14, v);
}

EXPORT int __cdecl SumC15(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12, int a13, int a14, int a15) {
  const int v[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15};
  return Weighted(2000000, 15, v);
}

// Writes value through the pointer p; returns 1, or 0 for a null pointer.
EXPORT int __stdcall StoreInt(int* p, int value) {
  if (!p) return 0;
  *p = value;
  return 1;
}

// Upper-cases the text in place and returns its length: the callee may
// change a quoted argument, the program's own text stays as it was.
EXPORT int __stdcall UpperInPlace(char* s) {
  if (!s) return -1;
  int n = 0;
  for (; s[n]; ++n)
    if (s[n] >= 'a' && s[n] <= 'z') s[n] = (char)(s[n] - 'a' + 'A');
  return n;
}

// Writes count bytes 'x' from s on, past a short text's end into the slack
// of its private copy, and returns the length of the original text.
EXPORT int __stdcall Overwrite(char* s, int count) {
  int n = (int)strlen(s);
  memset(s, 'x', (size_t)count);
  return n;
}

// Returns a float and a double (left in the x87 unit): EAX is not the
// result, the x87 register is.
EXPORT double __stdcall HalfOf(int a) { return a / 2.0; }
EXPORT float __cdecl ThirdOf(int a) { return (float)a / 3.0f; }

// Changes the x87 control word (rounding toward zero, single precision) and
// sets the direction flag before it returns: the caller must undo both.
EXPORT int __stdcall Meddle(void) {
  unsigned short cw = 0x0C7F;  // chop, 24-bit precision, all exceptions masked
  __asm__ __volatile__("fldcw %0" : : "m"(cw));
  __asm__ __volatile__("std");
  return 7;
}

// Pops 60 bytes of parameters, whatever the caller passed (a callee that
// expects all 15 arguments).
EXPORT int __stdcall Takes15(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8,
                             int a9, int a10, int a11, int a12, int a13, int a14, int a15) {
  return a1 + a2 + a3 + a4 + a5 + a6 + a7 + a8 + a9 + a10 + a11 + a12 + a13 + a14 + a15;
}

// Reads the int at address p (0 for a null pointer).
EXPORT int __stdcall ReadInt(const int* p) { return p ? *p : 0; }

// Sums the bytes of a zero-terminated text.
EXPORT int __stdcall ByteSum(const unsigned char* s) {
  int sum = 0;
  while (*s) sum += *s++;
  return sum;
}

// The processor state a callee finds on entry: x87 control word, MXCSR,
// and the number of x87 registers in use (0 for a clean call).
EXPORT int __stdcall ControlWord(void) {
  unsigned short cw;
  __asm__ __volatile__("fnstcw %0" : "=m"(cw));
  return cw;
}

EXPORT int __stdcall Mxcsr(void) {
  unsigned int v;
  __asm__ __volatile__("stmxcsr %0" : "=m"(v));
  return (int)v;
}

EXPORT int __stdcall FpuDepth(void) {
  unsigned short env[14];  // 28-byte protected-mode environment
  __asm__ __volatile__("fnstenv %0" : "=m"(env));
  __asm__ __volatile__("fldenv %0" : : "m"(env));
  int used = 0;
  for (int i = 0; i < 8; ++i)
    if (((env[4] >> (2 * i)) & 3) != 3) ++used;
  return used;
}

// Sets MXCSR to round toward zero with flush-to-zero, and returns 9.
EXPORT int __stdcall MeddleSse(void) {
  unsigned int v = 0x1F80 | 0x6000 | 0x8000;
  __asm__ __volatile__("ldmxcsr %0" : : "m"(v));
  return 9;
}
