#include "app/run.hpp"

#include <cmath>

#include "app/read_setup.hpp"
#include "input/read_matrix.hpp"
#include "numeric/back_substitute.hpp"
#include "numeric/complex_det.hpp"
#include "numeric/error_analysis.hpp"
#include "numeric/forward_eliminate.hpp"
#include "numeric/tolerances.hpp"
#include "output/matrix_text.hpp"
#include "output/print.hpp"
#include "output/write_inverse.hpp"
#include "workspace/error_stop.hpp"

namespace cmatinv {

namespace {

void print_banner(std::FILE* out) {
    print(out,
          "\n\n Inversion of a Complex Matrix via Gaussian Elimination with Partial Pivoting. \n");
    print(out, "\n Version 1.0,  May 17, 2002 \n");
    print(out, "\n by the cmatinv authors ");
    print(out, "\n Email:  cmatinv@example.org \n");
}

// `label` then "(re , im" and `tail`, the determinant in the number format. The tail is
// printed on its own: the error matrix's ") \n\n" is longer than the tails the entry
// buffer has room for, and two 13-character parts (negative, or the NaN "-1.#IND0e+000")
// would run past its end.
void print_determinant(const Workspace& ws, std::string_view label, std::string_view tail) {
    char entry[ENTRY_TEXT_MAX];
    print(ws.io.out, label);
    print(ws.io.out, {entry, format_entry(entry, {ws.det_r, ws.det_i}, "")});
    print(ws.io.out, tail);
}

// The input passes when either part of its determinant exceeds the tolerance; each test is
// strict and a NaN part never passes. The magnitude is deliberately not formed.
bool passes_determinant_gate(const Workspace& ws) {
    return std::fabs(ws.det_r) > ZERO_PIVOT_TOLERANCE || std::fabs(ws.det_i) > ZERO_PIVOT_TOLERANCE;
}

void print_summary(const Workspace& ws) {
    if (ws.method == 1) {
        print(ws.io.out, "\n Input data written to file:    inv_data.in ");
    }
    print(ws.io.out, "\n Output data written to file:   inv_data.out");
    print(ws.io.out, "\n Error matrix written to file:  inv_err.out \n");
    print(ws.io.out, "\n Calculation complete. \n Press any key to exit. \n\n");
}

}  // namespace

void invert_and_report(Workspace& ws) {
    complex_det(ws.n, ws.a, ws.det_r, ws.det_i);
    if (!passes_determinant_gate(ws)) {
        print_determinant(ws, "\n\n Error:  determinant of input matrix  = ", ")\n");
        throw ErrorStop{1};
    }
    print_determinant(ws, "\n\n Determinant of input matrix  = ", ")\n");

    forward_eliminate(ws);
    back_substitute(ws);
    write_inverse(ws);
    complex_det(ws.n, ws.inv, ws.det_r, ws.det_i);
    print_determinant(ws, "\n\n Determinant of inverse matrix  = ", ") \n");

    error_analysis(ws);
    complex_det(ws.n, ws.err_mat, ws.det_r, ws.det_i);
    print_determinant(ws, "\n Determinant of error matrix  = ", ") \n\n");
}

void run(Workspace& ws) {
    print_banner(ws.io.out);
    read_setup(ws);
    clear_workspace(ws);
    read_matrix(ws);
    save_input_copy(ws);

    invert_and_report(ws);
    print_summary(ws);
}

}  // namespace cmatinv
