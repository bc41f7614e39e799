#pragma once
#include <string>
#include "framework/graphics/color.h"
#include "framework/graphics/rect.h"

namespace Zephra {

class Graphics;

// Text-drawing interface of bitmap and system fonts.
class Font {
public:
    int mAscent = 0;
    int mHeight = 0;
    int mLineSpacingOffset = 0;

    virtual ~Font() = default;
    virtual int GetAscent() { return mAscent; }
    virtual int GetHeight() { return mHeight; }
    virtual int GetLineSpacing() { return mHeight + mLineSpacingOffset; }
    virtual int StringWidth(const std::u16string& text) = 0;
    virtual int CharWidth(char16_t ch) = 0;
    // Draws with the baseline at y, in the colour and draw mode of g,
    // clipped to clip.
    virtual void DrawString(Graphics* g, int x, int y, const std::u16string& text, const Color& color,
                            const Rect& clip) = 0;
};

} // namespace Zephra
