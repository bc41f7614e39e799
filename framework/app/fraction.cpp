#include "framework/app/fraction.h"

#include <cstdlib>
#include <numeric>

namespace Zephra {

void Fraction::Set(int numerator, int denominator) {
    // std::gcd of INT_MIN overflows; widen first.
    long long g = std::gcd(std::llabs(numerator), std::llabs(denominator));
    if (g == 0) {
        mNumerator = numerator;
        mDenominator = denominator;
        return;
    }
    mNumerator = static_cast<int>(numerator / g);
    mDenominator = static_cast<int>(denominator / g);
}

} // namespace Zephra
