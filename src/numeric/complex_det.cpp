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
    // Only the leading n x n block is written and read, so the copy is not cleared first: that
    // would cost more than the whole reduction of a small matrix.
    ComplexMatrix w;
    for (int p = 0; p < n; ++p) {
        for (int q = 0; q < n; ++q) {
            w[p][q] = m[p][q];
        }
    }

    // No pivot search: rows are exchanged only when a pivot counts as zero and a usable
    // row lies below it. A matrix that never meets such a pivot is reduced exactly as
    // plain elimination without exchanges would reduce it.
    //
    // The pivot is tested before the first multiplier of its column, so every division is
    // guarded; after a possible exchange it no longer counts as zero, and row p does not
    // change while the rows below it are eliminated, so one test, and one divisor, serve the
    // whole column. The last pivot has no row below and is never tested.
    int exchanges = 0;
    for (int p = 0; p + 1 < n; ++p) {
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
        const Complex pivot = w[p][p];
        const double divisor = c_square_sum(pivot);
        for (int k = p + 1; k < n; ++k) {
            const Complex mult = c_div_by(w[k][p], pivot, divisor);
            // Only the columns right of p are updated: nothing reads columns 0 .. p of the
            // rows below again (later pivots, multipliers and exchanges look at columns
            // beyond p, the product at the diagonal), so their values could not change the
            // result.
            subtract_multiple(w[k] + p + 1, w[p] + p + 1, mult, n - p - 1);
        }
    }

    // n >= 1, so the copy above has filled w[0][0].
    // cppcheck-suppress uninitvar
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
