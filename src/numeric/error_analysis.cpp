#include "numeric/error_analysis.hpp"

#include "output/matrix_text.hpp"

namespace cmatinv {

namespace {

constexpr std::string_view ERROR_HEADING =
    "\n Error Analysis: \n Input Matrix x Inverse Matrix (should equal identity matrix). \n\n";

// err_mat += a_copy x inv, the input on the left. Each term is added on its own, in the
// order of k, to what err_mat already holds (zero since clear_workspace). The entries of a
// row of err_mat are independent, so the term for one k is added to the whole row at once.
void add_product(Workspace& ws) {
    const int n = ws.n;
    for (int p = 0; p < n; ++p) {
        for (int k = 0; k < n; ++k) {
            add_multiple(ws.err_mat[p], ws.inv[k], ws.a_copy[p][k], n);
        }
    }
}

}  // namespace

void error_analysis(Workspace& ws) {
    add_product(ws);
    // The file is created before the screen form is printed and written after it.
    open_result_file(ws, ws.error_file_name, ws.error_file, "inv_err.out");
    print_matrix(ws.io.out, ERROR_HEADING, ws.err_mat, ws.n, PLAIN_LAYOUT);
    write_matrix(ws.error_file, ws.err_mat, ws.n, PLAIN_LAYOUT);
    // Closed as soon as it is written: a run killed during the final key wait loses nothing.
    ws.error_file.close();
}

}  // namespace cmatinv
