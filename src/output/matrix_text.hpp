#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "output/number_format.hpp"
#include "workspace/complex.hpp"
#include "workspace/result_file.hpp"

namespace cmatinv {

// What follows the imaginary part of an entry: in the first n - 1 columns, and in the last.
struct EntryLayout {
    std::string_view first;
    std::string_view last;
};

// The record file of a typed matrix has a blank before ")".
constexpr EntryLayout RECORD_LAYOUT{" )\t", " )\n"};
// The input echo and the inverse on the screen end each row with a blank.
constexpr EntryLayout SCREEN_ROW_BLANK_LAYOUT{")\t", ") \n"};
// The error matrix on the screen and both result files end each row bare.
constexpr EntryLayout PLAIN_LAYOUT{")\t", ")\n"};

// Matrices are shown on the screen only up to this dimension; files always get them whole.
constexpr int SCREEN_MAX_DIM = 6;

constexpr std::size_t ENTRY_TEXT_MAX = 1 + NUMBER_TEXT_MAX + 3 + NUMBER_TEXT_MAX + 3;
constexpr std::size_t ROW_TEXT_MAX = ENTRY_TEXT_MAX * MAX_DIM;

inline bool shown_on_screen(int n) {
    return n <= SCREEN_MAX_DIM;
}

// "(" r " , " i tail. Returns the end of the text.
char* format_entry(char* out, Complex z, std::string_view tail);
// One matrix row of `n` entries; returns its length (at most ROW_TEXT_MAX).
std::size_t format_row(char* out, const Complex* row, int n, EntryLayout layout);

// The screen form: nothing at all unless shown_on_screen(n); then the heading and the rows.
void print_matrix(std::FILE* out, std::string_view heading, const ComplexMatrix& m, int n,
                  EntryLayout layout);
// The file form: the n rows, always.
void write_matrix(ResultFile& file, const ComplexMatrix& m, int n, EntryLayout layout);

}  // namespace cmatinv
