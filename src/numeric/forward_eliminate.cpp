#include "numeric/forward_eliminate.hpp"

#include <cmath>
#include <cstdio>

#include "numeric/tolerances.hpp"
#include "workspace/error_stop.hpp"

namespace cmatinv {

namespace {

// Every row below p that beats the running maximum is exchanged with row p at once, so
// later rows are compared with the entry that now stands at p. The test is written
// !(best >= mag): a NaN magnitude, on either side, always causes an exchange, and an
// equal magnitude never does, so the topmost of equal rows wins.
void search_pivot(Workspace& ws, int p) {
    const int n = ws.n;
    double best = c_mag(ws.a[p][p]);
    for (int j = p + 1; j < n; ++j) {
        const double mag = c_mag(ws.a[j][p]);
        if (!(best >= mag)) {
            best = mag;
            exchange_rows(ws.a[p], ws.a[j], n);
            exchange_rows(ws.inv[p], ws.inv[j], n);
        }
    }
}

void eliminate_below(Workspace& ws, int p) {
    const int n = ws.n;
    if (p + 1 >= n) {
        return;  // the last pivot has no row below it and is never tested
    }
    // The pivot row does not change while the rows below it are eliminated, so its magnitude
    // and the divisor of every multiplier are the same for each of them: formed once.
    const Complex pivot = ws.a[p][p];
    const double divisor = c_square_sum(pivot);
    // c_mag squares without scaling, so a pivot below about 1e-162 has magnitude 0; a NaN
    // magnitude counts as zero too.
    if (!(std::sqrt(divisor) >= ZERO_PIVOT_TOLERANCE)) {
        std::fputs("\n Error:  zero in diagonal.\n", ws.io.out);
        throw ErrorStop{1};
    }
    for (int k = p + 1; k < n; ++k) {
        const Complex mult = c_div_by(ws.a[k][p], pivot, divisor);
        // One multiplier serves both rows: the row of inv is updated first, then that of a.
        subtract_multiple(ws.inv[k], ws.inv[p], mult, n);
        // Entries whose parts both fall below the threshold are set to (positive) zero. The
        // flush acts on a only, on every entry from column p on, also on one that a zero
        // multiplier left unchanged.
        subtract_multiple_and_flush(ws.a[k] + p, ws.a[p] + p, mult, n - p, FLUSH_TOLERANCE);
    }
}

}  // namespace

void forward_eliminate(Workspace& ws) {
    for (int p = 0; p < ws.n; ++p) {
        search_pivot(ws, p);
        eliminate_below(ws, p);
    }
}

}  // namespace cmatinv
