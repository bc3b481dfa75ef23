#include "output/write_inverse.hpp"

#include "output/matrix_text.hpp"

namespace cmatinv {

void write_inverse(Workspace& ws) {
    // The file is created before the screen form is printed and written after it.
    open_result_file(ws, ws.inverse_file_name, ws.inverse_file, "inv_data.out");
    print_matrix(ws.io.out, "\n\n Inverse Matrix \n\n", ws.inv, ws.n, SCREEN_ROW_BLANK_LAYOUT);
    write_matrix(ws.inverse_file, ws.inv, ws.n, PLAIN_LAYOUT);
    // Closed as soon as it is written: a run killed during the final key wait loses nothing.
    ws.inverse_file.close();
}

}  // namespace cmatinv
