#pragma once
#include <cstdint>

namespace Zephra {

class Color {
public:
    int mRed = 0;
    int mGreen = 0;
    int mBlue = 0;
    int mAlpha = 255;

    static const Color White;
    static const Color Black;

    Color() = default;
    Color(int r, int g, int b, int a = 255) : mRed(r), mGreen(g), mBlue(b), mAlpha(a) {}
    // Packed 0xAARRGGBB.
    explicit Color(uint32_t packed)
        : mRed((packed >> 16) & 0xFF), mGreen((packed >> 8) & 0xFF), mBlue(packed & 0xFF),
          mAlpha((packed >> 24) & 0xFF) {}

    int GetRed() const { return mRed; }
    int GetGreen() const { return mGreen; }
    int GetBlue() const { return mBlue; }
    int GetAlpha() const { return mAlpha; }
    uint32_t ToInt() const {
        return (static_cast<uint32_t>(mAlpha & 0xFF) << 24) | ((mRed & 0xFF) << 16) |
               ((mGreen & 0xFF) << 8) | (mBlue & 0xFF);
    }
    bool operator==(const Color& o) const = default;
};

} // namespace Zephra
