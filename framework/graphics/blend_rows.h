#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "framework/graphics/color.h"

// Whole rows of the memory image's normal and additive blends and of the tint:
// a plain form (the per-pixel rules) and SSE2 and AVX2 forms proven equal to
// it. n source pixels go onto d[0..n-1]; mirrored, source pixel i lands on
// d[n - 1 - i].
namespace Zephra::raster {

// The loops the memory image's rasterisers take. The game runs the widest the
// processor has (Avx2: AVX2 with fused multiply-add); tests step down to prove
// each the same as the plain reference.
enum class Loops { Reference, Sse2, Avx2 };
void SetWidestLoops(Loops widest);
// The setting, capped by what the processor has.
Loops WidestLoops();

void NormalRowReference(uint32_t* d, const uint32_t* s, int n, bool mirror);
void AdditiveRowReference(uint32_t* d, const uint32_t* s, int n, bool mirror);
void NormalRow(uint32_t* d, const uint32_t* s, int n, bool mirror);
void AdditiveRow(uint32_t* d, const uint32_t* s, int n, bool mirror);

// memcpy for the short runs of a sprite row, kept the library's: a copy whose
// size the compiler can bound becomes a string move at a fraction of its speed.
inline void CopyRun(void* d, const void* s, size_t bytes) {
    static void* (*volatile const copy)(void*, const void*, size_t) = std::memcpy;
    copy(d, s, bytes);
}

// Every byte of a premultiplied source (MemoryImage::GetPremultipliedData)
// added to the destination's with saturation: the additive blend of the
// source it was made from.
void AddPremultipliedRowReference(uint32_t* d, const uint32_t* p, int n, bool mirror);
void AddPremultipliedRow(uint32_t* d, const uint32_t* p, int n, bool mirror);

// s[i] = blend::Colorize(s[i], tint) for a tint clamped to 0..255.
void TintRowReference(uint32_t* s, int n, const Color& tint);
void TintRow(uint32_t* s, int n, const Color& tint);

// n source pixels, tinted in place unless the tint is white, then blended onto
// d by the draw mode (1 additive, any other value normal).
void BlendRow(uint32_t* d, uint32_t* s, int n, const Color& tint, int drawMode);

} // namespace Zephra::raster
