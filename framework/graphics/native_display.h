#pragma once
#include <cstdint>

namespace Zephra {

// The pixel format of the display's primary surface; filled by the display
// when it initialises. The memory image converts its native copies with it.
class NativeDisplay {
public:
    virtual ~NativeDisplay() = default;

    int32_t mRGBBits = 0;
    uint32_t mRedMask = 0;
    uint32_t mGreenMask = 0;
    uint32_t mBlueMask = 0;
    int32_t mRedBits = 0;
    int32_t mGreenBits = 0;
    int32_t mBlueBits = 0;
    int32_t mRedShift = 0;
    int32_t mGreenShift = 0;
    int32_t mBlueShift = 0;

    // Fills masks, bit counts and shifts from three channel masks.
    void SetFormat(int32_t bitsPerPixel, uint32_t redMask, uint32_t greenMask, uint32_t blueMask);
};

} // namespace Zephra
