#pragma once
// The program-wide rounding rule: sliders, the spectrum, lengths and times.

#include <cmath>
#include <limits>

namespace mirvane {

// Nearest integer, halves to even (83.5 -> 84, 23.5 -> 24, 0.5 -> 0), saturated to the int
// range; NaN gives 0 so that garbage input never reaches an undefined conversion.
inline int RoundHalfEven(double v) {
    if (std::isnan(v))
        return 0;
    double r = std::floor(v);
    const double diff = v - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    if (r >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

} // namespace mirvane
