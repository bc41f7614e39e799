#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Wide loops of the memory image's transforming rasterisers, for processors
// with AVX2 and fused multiply-add (the callers check). Each gives the pixels of the plain loops in
// memory_image_transform.cpp once blended; the tests compare whole drawings
// made both ways.
namespace Zephra::raster {

// Alpha-weighted bilinear samples of n pixels (a multiple of 8) from 16.16
// texel-centre positions (U + k·dU, V + k·dV), read from bits + origin with
// rows stride pixels apart. Every position lies between the first and the last
// texel centre of the readable window on both axes, so a sample reads its right
// or lower neighbour only when its fraction there is not zero; positions and
// pixel offsets fit 31 bits. A sample whose alphas are all 0 comes out as 0.
void BilinearRowAvx2(const uint32_t* bits, int stride, ptrdiff_t origin, int32_t U, int32_t V, int32_t dU,
                     int32_t dV, int n, uint32_t* out);

// The filtered stretch, first across and then down (the plain loop sums down
// first: the integer sums are the same). Sums are kept in doubles, where they
// are exact: below 2^32 for alpha, 2^41 for the colours.
//
// Across one source row: destination column i takes the source pixels first[i]
// and first[i] + 1 of row (columns readable pixels; the second may be past
// them when its weight is 0) with the weights w0 | w1 << 16, w0 + w1 = 4096.
// AcrossTaps holds them as the loop reads them, made once for all the rows of
// a stretch from first and pairs (n columns, a multiple of 8).
struct AcrossTaps {
    std::vector<int32_t> base;      // per eight columns, the first pixel they read
    std::vector<uint8_t> near;      // per eight columns: all within eight pixels of it
    std::vector<int32_t> offsets;   // per column, from its eight's base, in the loop's lane order
    std::vector<int32_t> weights;   // w0 | w1 << 16, in the same order
};
void PrepareAcross(const int32_t* first, const int32_t* pairs, int n, AcrossTaps& taps);
// Writes Σ w·α and Σ w·α·c per channel for the n columns of taps; scratch
// holds 4 · (columns + 8) words.
void StretchAcrossAvx2(const uint32_t* row, int columns, const AcrossTaps& taps, int n, int32_t* scratch, double* a,
                       double* r, double* g, double* b);

// Down: each of n pixels (a multiple of 8) sums weight · the across-sums of
// count source rows and is resolved as the plain loop resolves it: alpha
// (A + 2^23) >> 24, each channel floor((C + floor(A / 2)) / A), 0 where A is 0.
struct AcrossSums {
    const double* a;
    const double* r;
    const double* g;
    const double* b;
    double weight;
};
void StretchDownAvx2(const AcrossSums* rows, int count, int n, uint32_t* out);
// The same n pixels (any n; the sums hold n rounded up to 8) blended normally
// onto dest as they are made: NormalRow's pixels.
void StretchDownOverAvx2(const AcrossSums* rows, int count, int n, uint32_t* dest);

} // namespace Zephra::raster
