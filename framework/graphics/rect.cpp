#include "framework/graphics/rect.h"

namespace Zephra {

Rect Rect::Intersection(const Rect& o) const {
    // 64-bit sums: rectangles near INT_MAX must not wrap.
    int64_t x1 = std::max<int64_t>(mX, o.mX);
    int64_t y1 = std::max<int64_t>(mY, o.mY);
    int64_t x2 = std::min<int64_t>(int64_t(mX) + mWidth, int64_t(o.mX) + o.mWidth);
    int64_t y2 = std::min<int64_t>(int64_t(mY) + mHeight, int64_t(o.mY) + o.mHeight);
    if (x2 - x1 < 0 || y2 - y1 < 0) return Rect();
    return Rect(int(x1), int(y1), int(x2 - x1), int(y2 - y1));
}

bool Rect::Intersects(const Rect& o) const {
    return !Intersection(o).IsEmpty();
}

RectD RectD::Intersection(const RectD& o) const {
    double x1 = std::max(mX, o.mX);
    double y1 = std::max(mY, o.mY);
    double x2 = std::min(mX + mWidth, o.mX + o.mWidth);
    double y2 = std::min(mY + mHeight, o.mY + o.mHeight);
    if (x2 - x1 < 0 || y2 - y1 < 0) return RectD();
    return RectD(x1, y1, x2 - x1, y2 - y1);
}

} // namespace Zephra
