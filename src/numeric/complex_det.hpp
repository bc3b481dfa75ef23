#pragma once

#include "workspace/complex.hpp"

namespace cmatinv {

// The determinant of the leading n x n block of `m` (1 <= n <= MAX_DIM), by elimination
// on a private copy; `m` is not changed. A pivot that counts as zero, with no usable row
// below it to exchange with, gives 0 + 0i.
void complex_det(int n, const ComplexMatrix& m, double& det_r, double& det_i);

}  // namespace cmatinv
