#include "workspace/workspace.hpp"

#include <cstring>

namespace cmatinv {

void clear_workspace(Workspace& ws) {
    for (int row = 0; row < MAX_DIM; ++row) {
        for (int col = 0; col < MAX_DIM; ++col) {
            ws.a[row][col] = {0.0, 0.0};
            ws.a_copy[row][col] = {0.0, 0.0};
            ws.inv[row][col] = {0.0, 0.0};
            ws.err_mat[row][col] = {0.0, 0.0};
        }
        ws.inv[row][row] = {1.0, 0.0};
    }
}

void save_input_copy(Workspace& ws) {
    for (int row = 0; row < ws.n; ++row) {
        for (int col = 0; col < ws.n; ++col) {
            ws.a_copy[row][col] = ws.a[row][col];
        }
    }
}

void set_file_name(char (&buffer)[FILE_NAME_SIZE], const char* name) {
    std::strncpy(buffer, name, FILE_NAME_SIZE - 1);
    buffer[FILE_NAME_SIZE - 1] = '\0';
}

void open_result_file(Workspace& ws, char (&buffer)[FILE_NAME_SIZE], ResultFile& file,
                      const char* name) {
    set_file_name(buffer, name);
    file.open(buffer, ws.io.err);
}

int completed_run_status(const Workspace& ws) {
    const bool failed =
        ws.record_file.failed() || ws.inverse_file.failed() || ws.error_file.failed();
    return failed ? 1 : 0;
}

}  // namespace cmatinv
