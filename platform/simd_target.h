#pragma once

// Brackets code compiled for AVX2 inside a file built for the SSE2 baseline;
// callers pick it at run time. GCC and clang spell the region differently.
#if defined(__clang__)
#define PEMBERLY_AVX2_BEGIN \
    _Pragma("clang attribute push (__attribute__((target(\"avx2\"))), apply_to = function)")
#define PEMBERLY_AVX2_END _Pragma("clang attribute pop")
// AVX2 with fused multiply-add, for loops whose results do not hang on how a
// product is rounded (every processor with AVX2 in use has both).
#define PEMBERLY_AVX2_FMA_BEGIN \
    _Pragma("clang attribute push (__attribute__((target(\"avx2,fma\"))), apply_to = function)")
#define PEMBERLY_AVX2_FMA_END _Pragma("clang attribute pop")
#else
#define PEMBERLY_AVX2_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define PEMBERLY_AVX2_END _Pragma("GCC pop_options")
#define PEMBERLY_AVX2_FMA_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2,fma\")")
#define PEMBERLY_AVX2_FMA_END _Pragma("GCC pop_options")
#endif

namespace Zephra {

// The processor runs AVX2 code (the build's baseline is SSE2).
inline bool CpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// Asks for the line at `at` to be owned for writing (PREFETCHW; a no-op on
// processors without it). It never faults, so `at` may lie past the pixels:
// rows whose lines another core (the display) has just read run faster when
// a few lines ahead are on their way.
inline void PrefetchForWrite(const void* at) { asm volatile("prefetchw (%0)" : : "r"(at)); }

} // namespace Zephra
