#include "numeric/back_substitute.hpp"

namespace cmatinv {

// Each column of inv is solved on its own against the upper triangle of a; nothing below
// the diagonal of a is read. No divisor is tested: every pivot but the last passed the
// elimination's zero test, and a zero last pivot makes the whole inverse non-finite.
void back_substitute(Workspace& ws) {
    const int n = ws.n;
    for (int q = 0; q < n; ++q) {
        ws.inv[n - 1][q] = c_div(ws.inv[n - 1][q], ws.a[n - 1][n - 1]);
        for (int s = n - 2; s >= 0; --s) {
            // Each product is subtracted as soon as it is formed; the products are not
            // summed on their own first.
            for (int k = s + 1; k < n; ++k) {
                const Complex t = c_mul(ws.inv[k][q], ws.a[s][k]);
                ws.inv[s][q].r = ws.inv[s][q].r - t.r;
                ws.inv[s][q].i = ws.inv[s][q].i - t.i;
            }
            ws.inv[s][q] = c_div(ws.inv[s][q], ws.a[s][s]);
        }
    }
}

}  // namespace cmatinv
