#include "output/matrix_text.hpp"

#include <cstring>

namespace cmatinv {

namespace {

char* append(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

}  // namespace

char* format_entry(char* out, Complex z, std::string_view tail) {
    *out++ = '(';
    out = format_number(out, z.r);
    out = append(out, " , ");
    out = format_number(out, z.i);
    return append(out, tail);
}

std::size_t format_row(char* out, const Complex* row, int n, EntryLayout layout) {
    char* end = out;
    for (int col = 0; col < n; ++col) {
        end = format_entry(end, row[col], col < n - 1 ? layout.first : layout.last);
    }
    return static_cast<std::size_t>(end - out);
}

void print_matrix(std::FILE* out, std::string_view heading, const ComplexMatrix& m, int n,
                  EntryLayout layout) {
    if (!shown_on_screen(n)) {
        return;
    }
    std::fwrite(heading.data(), 1, heading.size(), out);
    char line[ROW_TEXT_MAX];
    for (int row = 0; row < n; ++row) {
        std::fwrite(line, 1, format_row(line, m[row], n, layout), out);
    }
}

void write_matrix(ResultFile& file, const ComplexMatrix& m, int n, EntryLayout layout) {
    char line[ROW_TEXT_MAX];
    for (int row = 0; row < n; ++row) {
        file.write({line, format_row(line, m[row], n, layout)});
    }
}

}  // namespace cmatinv
