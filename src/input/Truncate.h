#pragma once
#include <cmath>

// Float to int toward zero, as a cast does, but defined for every input: NaN gives 0 and
// values beyond any screen are held at a bound far outside it, so sums with a coordinate
// can't overflow.
inline int TruncateToInt(double value) {
    constexpr double kBound = 1 << 24;
    if (std::isnan(value)) return 0;
    if (value > kBound) return static_cast<int>(kBound);
    if (value < -kBound) return -static_cast<int>(kBound);
    return static_cast<int>(value);
}
