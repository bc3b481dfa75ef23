#include "numeric/forward_eliminate.hpp"

#include <algorithm>
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
            std::swap_ranges(ws.a[p], ws.a[p] + n, ws.a[j]);
            std::swap_ranges(ws.inv[p], ws.inv[p] + n, ws.inv[j]);
        }
    }
}

// An entry of the reduced matrix whose parts both fall below the threshold is set to
// (positive) zero. A NaN part counts as below.
void flush_tiny(Complex& z) {
    if (!(std::fabs(z.r) >= FLUSH_TOLERANCE) && !(std::fabs(z.i) >= FLUSH_TOLERANCE)) {
        z = {0.0, 0.0};
    }
}

void eliminate_below(Workspace& ws, int p) {
    const int n = ws.n;
    for (int k = p + 1; k < n; ++k) {
        // c_mag squares without scaling, so a pivot below about 1e-162 has magnitude 0;
        // a NaN magnitude counts as zero too.
        if (!(c_mag(ws.a[p][p]) >= ZERO_PIVOT_TOLERANCE)) {
            std::fputs("\n Error:  zero in diagonal.\n", ws.io.out);
            throw ErrorStop{1};
        }
        const Complex mult = c_div(ws.a[k][p], ws.a[p][p]);
        // One multiplier serves both rows: the row of inv is updated first, then that of a.
        for (int q = 0; q < n; ++q) {
            const Complex t = c_mul(mult, ws.inv[p][q]);
            ws.inv[k][q].r = ws.inv[k][q].r - t.r;
            ws.inv[k][q].i = ws.inv[k][q].i - t.i;
        }
        // The flush acts on a only, on every entry from column p on, also on one that a
        // zero multiplier left unchanged.
        for (int q = p; q < n; ++q) {
            const Complex t = c_mul(mult, ws.a[p][q]);
            ws.a[k][q].r = ws.a[k][q].r - t.r;
            ws.a[k][q].i = ws.a[k][q].i - t.i;
            flush_tiny(ws.a[k][q]);
        }
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
