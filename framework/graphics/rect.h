#pragma once
#include <algorithm>
#include <cstdint>

namespace Zephra {

struct Point {
    int mX = 0;
    int mY = 0;
};

struct FPoint {
    float mX = 0;
    float mY = 0;
};

// Integer rectangle. An intersection that leaves nothing is all zero.
class Rect {
public:
    int mX = 0;
    int mY = 0;
    int mWidth = 0;
    int mHeight = 0;

    Rect() = default;
    Rect(int x, int y, int w, int h) : mX(x), mY(y), mWidth(w), mHeight(h) {}

    Rect Intersection(const Rect& o) const;
    bool Intersects(const Rect& o) const;
    bool Contains(int x, int y) const {
        return x >= mX && x < mX + mWidth && y >= mY && y < mY + mHeight;
    }
    bool IsEmpty() const { return mWidth <= 0 || mHeight <= 0; }
    bool operator==(const Rect& o) const = default;
};

class RectD {
public:
    double mX = 0;
    double mY = 0;
    double mWidth = 0;
    double mHeight = 0;

    RectD() = default;
    RectD(double x, double y, double w, double h) : mX(x), mY(y), mWidth(w), mHeight(h) {}

    RectD Intersection(const RectD& o) const;
    bool operator==(const RectD& o) const = default;
};

} // namespace Zephra
