#pragma once
#include <string>
#include "framework/graphics/font.h"

namespace testsupport {

// A font with fixed metrics for layout tests: every character is charWidth
// pixels wide (a space spaceWidth), drawn as a filled box of the font's height
// from baseline - ascent, in the given colour and the Graphics' draw mode,
// clipped to the clip rectangle. Spaces draw nothing.
class BoxFont : public Zephra::Font {
public:
    explicit BoxFont(int charWidth = 6, int spaceWidth = 4, int height = 10, int ascent = 8);

    int StringWidth(const std::u16string& text) override;
    int CharWidth(char16_t ch) override;
    void DrawString(Zephra::Graphics* g, int x, int y, const std::u16string& text,
                    const Zephra::Color& color, const Zephra::Rect& clip) override;

    int mCharWidth;
    int mSpaceWidth;
    int mDrawCalls = 0;   // DrawString calls so far
    long long mMeasured = 0;   // characters measured so far (StringWidth and CharWidth)
};

} // namespace testsupport
