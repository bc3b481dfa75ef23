#include "numeric/back_substitute.hpp"

namespace cmatinv {

// Each column of inv is solved on its own against the upper triangle of a; nothing below
// the diagonal of a is read. No divisor is tested: every pivot but the last passed the
// elimination's zero test, and a zero last pivot makes the whole inverse non-finite.
//
// The columns are independent, so they are solved side by side, a whole row of inv at a
// time from the last row up: every entry still gets its own sequence, the products for
// k = s + 1 .. n - 1 subtracted one by one as soon as each is formed (not summed on their
// own first), then the division by a[s][s].
void back_substitute(Workspace& ws) {
    const int n = ws.n;
    for (int s = n - 1; s >= 0; --s) {
        for (int k = s + 1; k < n; ++k) {
            subtract_multiple(ws.inv[s], ws.inv[k], ws.a[s][k], n);
        }
        const Complex diagonal = ws.a[s][s];
        divide_row(ws.inv[s], diagonal, c_square_sum(diagonal), n);
    }
}

}  // namespace cmatinv
