#pragma once

namespace Zephra {

// A width:height pair kept in lowest terms.
class Fraction {
public:
    int mNumerator = 1;
    int mDenominator = 1;

    Fraction() = default;
    Fraction(int numerator, int denominator) { Set(numerator, denominator); }

    // Stores the pair divided by its greatest common divisor; 0:0 stays 0:0.
    void Set(int numerator, int denominator);
    bool operator==(const Fraction& o) const = default;
};

} // namespace Zephra
