// The number format and the matrix text layout shared by every printed or written matrix.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

#include "output/matrix_text.hpp"
#include "output/number_format.hpp"

namespace cmatinv {
namespace {

std::string text_of(double value) {
    char buffer[NUMBER_TEXT_MAX + 1] = {};
    return {buffer, format_number(buffer, value)};
}

double from_bits(std::uint64_t bits) {
    return std::bit_cast<double>(bits);
}

struct FormatCase {
    const char* what;
    double value;
    const char* text;
};

const FormatCase FORMAT_CASES[] = {
    {"one", 1.0, "1.00000e+000"},
    {"negative small", -0.0025, "-2.50000e-003"},
    {"zero", 0.0, "0.00000e+000"},
    {"negative zero has no sign", -0.0, "0.00000e+000"},
    {"positive infinity", std::numeric_limits<double>::infinity(), "1.#INF0e+000"},
    {"negative infinity", -std::numeric_limits<double>::infinity(), "-1.#INF0e+000"},
    {"indefinite NaN of an invalid operation", from_bits(0xFFF8000000000000), "-1.#IND0e+000"},
    {"quiet NaN, sign clear", from_bits(0x7FF8000000000000), "1.#QNANe+000"},
    {"quiet NaN with payload, sign set", from_bits(0xFFF8000000000001), "-1.#QNANe+000"},
    {"signalling NaN, sign clear", from_bits(0x7FF0000000000001), "1.#SNANe+000"},
    {"signalling NaN, sign set", from_bits(0xFFF4000000000000), "-1.#SNANe+000"},
    {"tie at the seventh digit rounds up", 1234565.0, "1.23457e+006"},
    {"below the tie stays", 1234564.0, "1.23456e+006"},
    {"carry raises the exponent", 999999.5, "1.00000e+006"},
    {"largest double", DBL_MAX, "1.79769e+308"},
    {"smallest normal", DBL_MIN, "2.22507e-308"},
    {"smallest subnormal", from_bits(1), "4.94066e-324"},
    {"17 digits round up into the seventh: 0.1234565", 0.1234565, "1.23457e-001"},
    {"17 digits round up into the seventh: 1.000065", 1.000065, "1.00007e+000"},
    {"17 digits 1.4999999999999999e-1 carry to 1.5", 0.15, "1.50000e-001"},
    {"17 digits 2.0000049999999998 stay below the tie", 2.000005, "2.00000e+000"},
    {"17 digits 1.9999994999999999 round up from the seventh", 1.9999995, "2.00000e+000"},
    {"17 digits 9.9999950000000002 carry a decade", 9.999995, "1.00000e+001"},
    {"two-digit exponent takes three", 1e100, "1.00000e+100"},
    {"negative three-digit exponent", -1e-100, "-1.00000e-100"},
    {"one-digit exponent", 2.5e-5, "2.50000e-005"},
    {"ordinary fraction", -0.5, "-5.00000e-001"},
};

TEST(NumberFormat, RendersEveryKindOfValue) {
    for (const FormatCase& c : FORMAT_CASES) {
        EXPECT_EQ(text_of(c.value), c.text) << c.what;
    }
}

TEST(NumberFormat, TakesTwelveCharactersOrThirteenWithAMinus) {
    for (const FormatCase& c : FORMAT_CASES) {
        const std::string text = text_of(c.value);
        EXPECT_EQ(text.size(), text[0] == '-' ? 13U : 12U) << c.what;
    }
}

TEST(NumberFormat, IgnoresTheUsersLocale) {
    // A locale with a decimal comma must not change the point; skipped where none exists.
    const char* const names[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"};
    const char* set = nullptr;
    for (const char* name : names) {
        if ((set = std::setlocale(LC_ALL, name)) != nullptr) {
            break;
        }
    }
    const std::string text = text_of(1.5);
    std::setlocale(LC_ALL, "C");
    if (set == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    EXPECT_EQ(text, "1.50000e+000");
}

struct EntryCase {
    const char* what;
    Complex z;
    std::string_view tail;
    const char* text;
};

TEST(MatrixText, WritesEntriesWithTheSitesTail) {
    const EntryCase cases[] = {
        {"record file, first columns",
         {1.0, 2.0},
         RECORD_LAYOUT.first,
         "(1.00000e+000 , 2.00000e+000 )\t"},
        {"record file, last column",
         {1.0, 2.0},
         RECORD_LAYOUT.last,
         "(1.00000e+000 , 2.00000e+000 )\n"},
        {"screen with blank, last column",
         {-0.5, 2.0},
         SCREEN_ROW_BLANK_LAYOUT.last,
         "(-5.00000e-001 , 2.00000e+000) \n"},
        {"plain, first columns", {1.0, 1.0}, PLAIN_LAYOUT.first, "(1.00000e+000 , 1.00000e+000)\t"},
        {"plain, negative parts",
         {-1.0, -1.0},
         PLAIN_LAYOUT.last,
         "(-1.00000e+000 , -1.00000e+000)\n"},
    };
    for (const EntryCase& c : cases) {
        char buffer[ENTRY_TEXT_MAX];
        EXPECT_EQ(std::string(buffer, format_entry(buffer, c.z, c.tail)), c.text) << c.what;
    }
}

TEST(MatrixText, RowHasATabBetweenEntriesAndTheLastColumnsTail) {
    const Complex row[] = {{1.0, 0.0}, {-0.5, 2.0}};
    char buffer[ROW_TEXT_MAX];
    EXPECT_EQ(std::string(buffer, format_row(buffer, row, 2, SCREEN_ROW_BLANK_LAYOUT)),
              "(1.00000e+000 , 0.00000e+000)\t(-5.00000e-001 , 2.00000e+000) \n");
}

TEST(MatrixText, WidestRowFitsItsBuffer) {
    Complex row[MAX_DIM];
    for (Complex& z : row) {
        z = {-DBL_MAX, -DBL_MIN};
    }
    char buffer[ROW_TEXT_MAX];
    EXPECT_EQ(format_row(buffer, row, MAX_DIM, RECORD_LAYOUT), ROW_TEXT_MAX);
}

TEST(MatrixText, ScreenFormOnlyUpToSix) {
    ComplexMatrix m{};
    for (const int n : {6, 7}) {
        char* text = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        print_matrix(out, "\nHeading\n", m, n, PLAIN_LAYOUT);
        std::fclose(out);
        const std::string printed(text, size);
        std::free(text);
        if (n == 6) {
            EXPECT_EQ(printed.rfind("\nHeading\n", 0), 0U);
            EXPECT_EQ(printed.size(), 9 + 6 * (6 * 29 + 5 * 1 + 1));
        } else {
            EXPECT_EQ(printed, "");
        }
    }
}

}  // namespace
}  // namespace cmatinv
