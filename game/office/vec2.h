#pragma once
#include <cmath>

// A point or direction on the office floor.
struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;

    float Length() const { return std::sqrt(x * x + y * y); }
    Vec2 operator/(float s) const { return {x / s, y / s}; }
    // A vector of length 0 stays as it is.
    Vec2 Normalized() const {
        const float length = Length();
        return length == 0.0f ? *this : *this / length;
    }
};
