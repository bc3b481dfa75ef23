#include "input/read_matrix.hpp"

#include <sys/stat.h>

#include <cstdio>

#include "input/number_reader.hpp"
#include "output/matrix_text.hpp"
#include "output/print.hpp"
#include "workspace/error_stop.hpp"

namespace cmatinv {

namespace {

// "<before>[row + 1][col + 1].<part> \n": the fields are counted from 1, as the user sees
// them.
void print_field(std::FILE* out, const char* before, int row, int col, char part) {
    char text[96];
    const int length =
        std::snprintf(text, sizeof text, "%s[%d][%d].%c \n", before, row + 1, col + 1, part);
    print(out, {text, static_cast<std::size_t>(length)});
}

[[noreturn]] void stop_input_file_error(const Workspace& ws) {
    print(ws.io.out, "Input file error \n");
    throw ErrorStop{1};
}

// Keyboard entry: every entry goes to "inv_data.in" as soon as both its parts are read,
// so the record keeps what was typed even when a later entry ends the run.
void read_from_keyboard(Workspace& ws) {
    open_result_file(ws, ws.record_file_name, ws.record_file, "inv_data.in");
    for (int row = 0; row < ws.n; ++row) {
        for (int col = 0; col < ws.n; ++col) {
            Complex& entry = ws.a[row][col];
            for (const char part : {'r', 'i'}) {
                print_field(ws.io.out, "\n Enter a", row, col, part);
                double& field = part == 'r' ? entry.r : entry.i;
                if (!read_number(ws.io.in, field)) {
                    print_field(ws.io.out, "\n Error:  no number given for a", row, col, part);
                    ws.record_file.close();
                    throw ErrorStop{1};
                }
            }
            char text[ENTRY_TEXT_MAX];
            const std::string_view tail = col < ws.n - 1 ? RECORD_LAYOUT.first : RECORD_LAYOUT.last;
            const char* end = format_entry(text, entry, tail);
            ws.record_file.write({text, static_cast<std::size_t>(end - text)});
            ws.record_file.flush();
        }
    }
    ws.record_file.close();
}

// The input file is read in binary: CR LF and LF line ends are both plain white space.
void open_input_file(Workspace& ws) {
    print(ws.io.out, "\n Input filename.  Format is free, but no header lines allowed. \n");
    // A name too long for the buffer is refused rather than cut to another name. End of
    // input leaves the name empty, and opening "" fails.
    if (!read_word(ws.io.in, ws.input_file_name, FILE_NAME_SIZE)) {
        stop_input_file_error(ws);
    }
    ws.input_file.stream.reset(std::fopen(ws.input_file_name, "rb"));
    if (!ws.input_file.stream) {
        stop_input_file_error(ws);
    }
    // A directory opens for reading on some systems but holds no text.
    struct stat status {};
    if (fstat(fileno(ws.input_file.stream.get()), &status) != 0 || S_ISDIR(status.st_mode)) {
        stop_input_file_error(ws);
    }
    ws.input_file.reader = CharSource(ws.input_file.stream.get());
}

void read_from_file(Workspace& ws) {
    open_input_file(ws);
    CharSource& in = ws.input_file.reader;
    for (int row = 0; row < ws.n; ++row) {
        for (int col = 0; col < ws.n; ++col) {
            Complex& entry = ws.a[row][col];
            for (const char part : {'r', 'i'}) {
                double& field = part == 'r' ? entry.r : entry.i;
                const bool read = read_number(in, field);
                // A failing device may cut a number short as well as end the file early.
                if (in.read_error()) {
                    stop_input_file_error(ws);
                }
                if (!read) {
                    print_field(ws.io.out, "\n Error:  input file holds no number for a", row, col,
                                part);
                    throw ErrorStop{1};
                }
            }
        }
    }
    // Whatever follows the last number needed is never read.
    ws.input_file.reader = CharSource();
    ws.input_file.stream.reset();
    print_matrix(ws.io.out, "\n\n  Input Matrix \n\n", ws.a, ws.n, SCREEN_ROW_BLANK_LAYOUT);
}

}  // namespace

void read_matrix(Workspace& ws) {
    if (ws.method == 1) {
        read_from_keyboard(ws);
    }
    if (ws.method == 2) {
        read_from_file(ws);
    }
    // Any other method ends the run without a word and before any file is opened.
    if (ws.method != 1 && ws.method != 2) {
        throw ErrorStop{1};
    }
}

}  // namespace cmatinv
