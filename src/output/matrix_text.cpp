#include "output/matrix_text.hpp"

#include <cstring>

namespace cmatinv {

namespace {

// Room for the headings of the screen forms; a longer one is written on its own.
constexpr std::size_t HEADING_MAX = 128;

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
    // The whole screen form in one write: a shown matrix has at most SCREEN_MAX_DIM rows.
    constexpr std::size_t SCREEN_ROW_MAX = ENTRY_TEXT_MAX * SCREEN_MAX_DIM;
    char text[HEADING_MAX + SCREEN_ROW_MAX * SCREEN_MAX_DIM];
    if (heading.size() > HEADING_MAX) {
        std::fwrite(heading.data(), 1, heading.size(), out);
        heading = {};
    }
    char* end = append(text, heading);
    for (int row = 0; row < n; ++row) {
        end += format_row(end, m[row], n, layout);
    }
    std::fwrite(text, 1, static_cast<std::size_t>(end - text), out);
}

void write_matrix(ResultFile& file, const ComplexMatrix& m, int n, EntryLayout layout) {
    char line[ROW_TEXT_MAX];
    for (int row = 0; row < n; ++row) {
        file.write({line, format_row(line, m[row], n, layout)});
    }
}

}  // namespace cmatinv
