#pragma once
#include <cstdint>

// Whole rows of the memory image's normal and additive blends: a plain form
// (the per-pixel rules) and an SSE2 form proven equal to it. n source pixels
// go onto d[0..n-1]; mirrored, source pixel i lands on d[n - 1 - i].
namespace Zephra::raster {

void NormalRowReference(uint32_t* d, const uint32_t* s, int n, bool mirror);
void AdditiveRowReference(uint32_t* d, const uint32_t* s, int n, bool mirror);
// wide: eight at a time where the processor has AVX2; off, the SSE2 baseline.
void NormalRow(uint32_t* d, const uint32_t* s, int n, bool mirror, bool wide = true);
void AdditiveRow(uint32_t* d, const uint32_t* s, int n, bool mirror);

} // namespace Zephra::raster
