#include "framework/graphics/matrix3x3.h"
#include <cmath>

namespace Zephra {

void Matrix3x3::LoadIdentity() {
    *this = Matrix3x3();
}

FPoint Matrix3x3::TransformPoint(const FPoint& p) const {
    FPoint r;
    r.mX = m[0] * p.mX + m[1] * p.mY + m[2];
    r.mY = m[3] * p.mX + m[4] * p.mY + m[5];
    return r;
}

Matrix3x3 Matrix3x3::Multiply(const Matrix3x3& other) const {
    Matrix3x3 r;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            r.m[row * 3 + col] = m[row * 3] * other.m[col] + m[row * 3 + 1] * other.m[3 + col] +
                                 m[row * 3 + 2] * other.m[6 + col];
        }
    }
    return r;
}

void Matrix3x3::Translate(float tx, float ty) {
    Matrix3x3 t;
    t.m[2] = tx;
    t.m[5] = ty;
    *this = t.Multiply(*this);
}

// The rotation the blitters share: a point (u, v) goes to (u·cos + v·sin, v·cos − u·sin),
// which on a y-down screen turns counter-clockwise for a positive angle.
void Matrix3x3::Rotate(float radians) {
    const double c = std::cos(double(radians));
    const double s = std::sin(double(radians));
    Matrix3x3 r;
    r.m[0] = float(c);
    r.m[1] = float(s);
    r.m[3] = float(-s);
    r.m[4] = float(c);
    *this = r.Multiply(*this);
}

void Matrix3x3::Scale(float sx, float sy) {
    Matrix3x3 s;
    s.m[0] = sx;
    s.m[4] = sy;
    *this = s.Multiply(*this);
}

} // namespace Zephra
