#include "framework/graphics/native_display.h"
#include <bit>

namespace Zephra {

namespace {
// A channel is one contiguous run of mask bits.
void Channel(uint32_t mask, int32_t& bits, int32_t& shift) {
    bits = std::popcount(mask);
    shift = mask == 0 ? 0 : std::countr_zero(mask);
}
} // namespace

void NativeDisplay::SetFormat(int32_t bitsPerPixel, uint32_t redMask, uint32_t greenMask,
                              uint32_t blueMask) {
    mRGBBits = bitsPerPixel;
    mRedMask = redMask;
    mGreenMask = greenMask;
    mBlueMask = blueMask;
    Channel(redMask, mRedBits, mRedShift);
    Channel(greenMask, mGreenBits, mGreenShift);
    Channel(blueMask, mBlueBits, mBlueShift);
}

} // namespace Zephra
