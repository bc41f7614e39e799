#pragma once
#include "framework/graphics/rect.h"

namespace Zephra {

// Row-major 3x3 transform; rows 0 and 1 map a point, row 2 stays (0, 0, 1)
// for the affine transforms the game builds.
class Matrix3x3 {
public:
    float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

    Matrix3x3() = default;
    void LoadIdentity();
    FPoint TransformPoint(const FPoint& p) const;
    // this * other
    Matrix3x3 Multiply(const Matrix3x3& other) const;
    Matrix3x3 operator*(const Matrix3x3& other) const { return Multiply(other); }
    // Each of these applies the new transform after the current one: M = T * M.
    void Translate(float tx, float ty);
    void Rotate(float radians);
    void Scale(float sx, float sy);
};

} // namespace Zephra
