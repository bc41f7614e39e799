#include "tests/support/test_font.h"

#include "framework/graphics/graphics.h"

namespace testsupport {

BoxFont::BoxFont(int charWidth, int spaceWidth, int height, int ascent)
    : mCharWidth(charWidth), mSpaceWidth(spaceWidth) {
    mHeight = height;
    mAscent = ascent;
}

int BoxFont::CharWidth(char16_t ch) {
    ++mMeasured;
    return ch == u' ' ? mSpaceWidth : mCharWidth;
}

int BoxFont::StringWidth(const std::u16string& text) {
    mMeasured += static_cast<long long>(text.size());
    int width = 0;
    for (char16_t ch : text) width += ch == u' ' ? mSpaceWidth : mCharWidth;
    return width;
}

void BoxFont::DrawString(Zephra::Graphics* g, int x, int y, const std::u16string& text,
                         const Zephra::Color& color, const Zephra::Rect& clip) {
    ++mDrawCalls;
    if (g == nullptr || g->mDestImage == nullptr || color.mAlpha == 0) return;
    int cx = x;
    for (char16_t ch : text) {
        int w = ch == u' ' ? mSpaceWidth : mCharWidth;
        if (ch != u' ') {
            Zephra::Rect box = Zephra::Rect(cx, y - mAscent, w, mHeight).Intersection(clip);
            if (!box.IsEmpty()) g->mDestImage->FillRect(box, color, g->GetDrawMode());
        }
        cx += w;
    }
}

} // namespace testsupport
