#pragma once
#include <cstddef>
#include <cstdint>

// Wide loops of the memory image's transforming rasterisers, for processors
// with AVX2 (the callers check). Each gives the pixels of the plain loops in
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

} // namespace Zephra::raster
