#include "workspace/complex.hpp"

#include <cmath>

namespace cmatinv {

// The squares go through pow(x, 2.0) and nothing scales them: a part below about 1e-162
// squares to zero, which the zero-pivot tests rely on.
double c_mag(Complex z) {
    return std::sqrt(std::pow(z.r, 2.0) + std::pow(z.i, 2.0));
}

// No test of the divisor: a zero divisor yields non-finite parts, and the callers that
// must not divide by zero test the pivot first.
Complex c_div(Complex x, Complex y) {
    const double d = std::pow(y.r, 2.0) + std::pow(y.i, 2.0);
    return {(x.r * y.r + x.i * y.i) / d, (x.i * y.r - x.r * y.i) / d};
}

}  // namespace cmatinv
