#include "numeric/complex_det.hpp"

#include <algorithm>
#include <cmath>

#include "numeric/tolerances.hpp"

namespace cmatinv {

namespace {

// Part by part: the pivot counts as zero unless one of its parts reaches the threshold.
// Written as !(x >= t) so that a NaN part counts as below.
bool counts_as_zero(Complex pivot) {
    return !(std::fabs(pivot.r) >= DET_PIVOT_TOLERANCE) &&
           !(std::fabs(pivot.i) >= DET_PIVOT_TOLERANCE);
}

// The first row below p whose entry in column p does not count as zero, or -1.
int usable_row_below(const ComplexMatrix& w, int n, int p) {
    for (int k = p + 1; k < n; ++k) {
        if (!counts_as_zero(w[k][p])) {
            return k;
        }
    }
    return -1;
}

}  // namespace

void complex_det(int n, const ComplexMatrix& m, double& det_r, double& det_i) {
    // Only the leading n x n block is used; zeroed so that nothing indeterminate is ever read.
    ComplexMatrix w{};
    for (int p = 0; p < n; ++p) {
        for (int q = 0; q < n; ++q) {
            w[p][q] = m[p][q];
        }
    }

    // No pivot search: rows are exchanged only when a pivot counts as zero and a usable
    // row lies below it. A matrix that never meets such a pivot is reduced exactly as
    // plain elimination without exchanges would reduce it.
    int exchanges = 0;
    for (int p = 0; p < n; ++p) {
        for (int k = p + 1; k < n; ++k) {
            // Made before every multiplier, so every division is guarded; the last pivot
            // has no row below and is never tested.
            if (counts_as_zero(w[p][p])) {
                const int usable = usable_row_below(w, n, p);
                if (usable < 0) {
                    det_r = 0.0;
                    det_i = 0.0;
                    return;
                }
                std::swap_ranges(w[p], w[p] + n, w[usable]);
                ++exchanges;
            }
            const Complex mult = c_div(w[k][p], w[p][p]);
            // Every column, also those left of p, which are not read again.
            for (int q = 0; q < n; ++q) {
                const Complex t = c_mul(mult, w[p][q]);
                w[k][q].r = w[k][q].r - t.r;
                w[k][q].i = w[k][q].i - t.i;
            }
        }
    }

    Complex det = w[0][0];
    for (int p = 1; p < n; ++p) {
        det = c_mul(det, w[p][p]);
    }
    if (exchanges % 2 != 0) {
        det = {-det.r, -det.i};
    }
    det_r = det.r;
    det_i = det.i;
}

}  // namespace cmatinv
