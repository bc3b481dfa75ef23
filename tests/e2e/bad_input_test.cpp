// Every kind of bad input, given to the real binary: end of input at each prompt, garbage,
// numbers at the edges of the double range, broken input files, result files that cannot
// be written. One table; each row runs the program once in a fresh directory, in a new
// session without a terminal (the final key wait ends at once), with standard input read
// from a file, /dev/null or a closed descriptor, under a limit of its address space, and
// compares standard output, standard error, exit status and the files left behind.
//
// The expected texts are put together from the dialogue's fixed texts. Numbers come from
// working the arithmetic through by hand (IEEE doubles, x86: the NaN of an invalid
// operation has its sign bit set and prints as -1.#IND0e+000).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "run_support.hpp"

namespace {

using namespace e2e;

// ---------------------------------------------------------------------------------------
// The dialogue's fixed texts.

const std::string BANNER =
    "\n\n Inversion of a Complex Matrix via Gaussian Elimination with Partial Pivoting. \n"
    "\n Version 1.0,  May 17, 2002 \n"
    "\n by the cmatinv authors "
    "\n Email:  cmatinv@example.org \n";
const std::string ASK_N = "\n The input matrix has dimension n x n. \n\n Enter n \n";
const std::string ASK_METHOD = "\n\n Select data entry method:  1=keyboard  2=input file \n";
const std::string ASK_FILE = "\n Input filename.  Format is free, but no header lines allowed. \n";
const std::string FILE_ERROR = "Input file error \n";
const std::string MIN_DIM = "\n Error:  minimum dimension = 2 \n";

const std::string KEYBOARD = BANNER + ASK_N + ASK_METHOD;
const std::string FROM_FILE = BANNER + ASK_N + ASK_METHOD + ASK_FILE;

std::string field(int row, int col, char part) {
    // Appended piece by piece: GCC 12 misreports a chain of + here (-Wrestrict).
    std::string text = "[";
    text += std::to_string(row);
    text += "][";
    text += std::to_string(col);
    text += "].";
    text += part;
    text += " \n";
    return text;
}
std::string no_number(int row, int col, char part) {
    return "\n Error:  no number given for a" + field(row, col, part);
}
std::string no_number_in_file(int row, int col, char part) {
    return "\n Error:  input file holds no number for a" + field(row, col, part);
}
// The first `count` entry prompts of a 2 x 2 matrix, in the order they are asked.
std::string prompts(int count) {
    std::string text;
    for (int k = 0; k < count; ++k) {
        const int entry = k / 2;
        text += "\n Enter a" + field(entry / 2 + 1, entry % 2 + 1, k % 2 == 0 ? 'r' : 'i');
    }
    return text;
}

// A 2 x 2 matrix as entry texts "re , im".
using Matrix = std::vector<std::vector<std::string>>;

const std::string ONE = "1.00000e+000 , 0.00000e+000";
const std::string ZERO = "0.00000e+000 , 0.00000e+000";
const std::string NAN_ENTRY = "-1.#IND0e+000 , -1.#IND0e+000";
const Matrix IDENTITY = {{ONE, ZERO}, {ZERO, ONE}};
const Matrix ALL_NAN = {{NAN_ENTRY, NAN_ENTRY}, {NAN_ENTRY, NAN_ENTRY}};

std::string layout(const Matrix& m, const std::string& first, const std::string& last) {
    std::string text;
    for (const auto& row : m) {
        for (std::size_t col = 0; col < row.size(); ++col) {
            text += "(" + row[col] + (col + 1 < row.size() ? first : last);
        }
    }
    return text;
}
std::string crlf(const std::string& text) {
    std::string stored;
    for (const char c : text) {
        stored += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return stored;
}

std::string input_echo(const Matrix& m) {
    return "\n\n  Input Matrix \n\n" + layout(m, ")\t", ") \n");
}
std::string record_file(const Matrix& m) {
    return crlf(layout(m, " )\t", " )\n"));
}
std::string result_file(const Matrix& m) {
    return crlf(layout(m, ")\t", ")\n"));
}
std::string refused(const std::string& det) {
    return "\n\n Error:  determinant of input matrix  = (" + det + ")\n";
}

// Everything a run prints from the determinant of the input to the closing summary.
std::string completed(int method, const std::string& det, const Matrix& inverse,
                      const std::string& det_inverse, const Matrix& error,
                      const std::string& det_error) {
    std::string text = "\n\n Determinant of input matrix  = (" + det + ")\n";
    text += "\n\n Inverse Matrix \n\n" + layout(inverse, ")\t", ") \n");
    text += "\n\n Determinant of inverse matrix  = (" + det_inverse + ") \n";
    text +=
        "\n Error Analysis: \n Input Matrix x Inverse Matrix (should equal identity matrix). "
        "\n\n" +
        layout(error, ")\t", ")\n");
    text += "\n Determinant of error matrix  = (" + det_error + ") \n\n";
    if (method == 1) {
        text += "\n Input data written to file:    inv_data.in ";
    }
    text += "\n Output data written to file:   inv_data.out";
    text += "\n Error matrix written to file:  inv_err.out \n";
    text += "\n Calculation complete. \n Press any key to exit. \n\n";
    return text;
}

// The identity, typed: every determinant is 1 and the inverse and the product are the
// identity.
const std::string IDENTITY_RUN = completed(1, ONE, IDENTITY, ONE, IDENTITY, ONE);

// diag(2, 4), read from a file. Every step is exact: the determinant is 2 x 4 = 8; the
// pivot 2 has a zero below it (multiplier 0); the back substitution gives 1 x 2 / 2^2 = 0.5
// and 1 x 4 / 4^2 = 0.25; their product is 0.125; the error product is the identity.
const std::string DIAG_2_4_FILE = "2 0 0 0\n0 0 4 0\n";
const Matrix DIAG_2_4 = {{"2.00000e+000 , 0.00000e+000", ZERO},
                         {ZERO, "4.00000e+000 , 0.00000e+000"}};
const Matrix DIAG_2_4_INVERSE = {{"5.00000e-001 , 0.00000e+000", ZERO},
                                 {ZERO, "2.50000e-001 , 0.00000e+000"}};
const std::string DIAG_2_4_RUN = FROM_FILE + input_echo(DIAG_2_4) +
                                 completed(2, "8.00000e+000 , 0.00000e+000", DIAG_2_4_INVERSE,
                                           "1.25000e-001 , 0.00000e+000", IDENTITY, ONE);

// A run whose inverse is NaN throughout: its determinant and that of the error product
// come out 0 + 0i, since a NaN pivot counts as zero.
std::string nan_inverse_run(const std::string& det) {
    return KEYBOARD + prompts(8) + completed(1, det, ALL_NAN, ZERO, ALL_NAN, ZERO);
}

// 1 + 2^-53, exactly halfway between 1 and the next double 1 + 2^-52, then 99,945 zeros and
// a 1: 100,000 digits in all. Only the last digit decides that the value rounds up.
std::string hundred_thousand_digits() {
    const std::string half_way = "1.00000000000000011102230246251565404236316680908203125";
    const std::size_t digits = half_way.size() - 1;
    return half_way + std::string(100'000 - digits - 1, '0') + "1";
}

// The inverse and error product of [[2i, 1e308], [0, i]] (see the row that uses them).
const Matrix OVERFLOWED_INVERSE = {{"0.00000e+000 , -5.00000e-001", "1.#INF0e+000 , 0.00000e+000"},
                                   {ZERO, "0.00000e+000 , -1.00000e+000"}};
const Matrix OVERFLOWED_ERROR = {{ONE, "-1.#IND0e+000 , 1.#INF0e+000"}, {ZERO, NAN_ENTRY}};

// ---------------------------------------------------------------------------------------
// The table.

struct Stdin {
    enum Kind { BYTES, DEV_NULL, CLOSED } kind = BYTES;
    std::string bytes;
    std::string (*generate)() = nullptr;  // large input, made when the row runs
};
// A literal with its zero bytes, without the terminating one.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

Stdin typed(std::string text) {
    return {Stdin::BYTES, std::move(text), nullptr};
}
Stdin dev_null() {
    Stdin in;
    in.kind = Stdin::DEV_NULL;
    return in;
}
Stdin closed() {
    Stdin in;
    in.kind = Stdin::CLOSED;
    return in;
}
Stdin generated(std::string (*generate)()) {
    return {Stdin::BYTES, "", generate};
}

struct Given {
    enum Kind { FILE, FOLDER, LINK } kind = FILE;
    std::string name;
    std::string content;                  // a file's bytes, or a link's target
    std::string (*generate)() = nullptr;  // large content, made when the row runs
};
Given file(std::string name, std::string content) {
    return {Given::FILE, std::move(name), std::move(content), nullptr};
}
Given big_file(std::string name, std::string (*generate)()) {
    return {Given::FILE, std::move(name), "", generate};
}
Given folder(std::string name) {
    return {Given::FOLDER, std::move(name), "", nullptr};
}
Given symlink_to(std::string name, std::string target) {
    return {Given::LINK, std::move(name), std::move(target), nullptr};
}

struct Case {
    const char* name;
    Stdin in;
    std::vector<Given> given;
    std::string out;
    int status;
    // Files that the run creates or replaces, with their content. Every given file stays
    // as it was unless named here, and nothing else may appear.
    std::map<std::string, std::string> files_after;
    std::string err;
};

// Failure messages name the row, not its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const std::string OLD_RECORD = "(9.00000e+000 , 9.00000e+000 )\r\n";
const std::string OLD_INVERSE = "old inverse\r\n";
const std::string OLD_ERROR = "old error matrix\r\n";
const std::string IDENTITY_TYPED = "2\n1\n1 0\n0 0\n0 0\n1 0\n";

std::string million_zeros_then_two() {
    return std::string(1'048'575, '0') + "2";
}
std::string million_character_name() {
    return "2 2 " + std::string(1'048'576, 'a');
}
std::string hundred_thousand_digit_entry() {
    // [[x, 1], [1, 1]] with x the 100,000-digit number.
    return "2 1\n" + hundred_thousand_digits() + " 0\n1 0\n1 0\n1 0\n";
}
std::string ten_megabytes_numbers_first() {
    std::string text = DIAG_2_4_FILE;
    while (text.size() < 10'000'000) {
        text += "9 8 7 6 5 4 3 2 1 0\n";
    }
    return text;
}
std::string ten_million_digit_number() {
    return "2." + std::string(10'000'000, '0') + " 0 0 0 0 0 4 0\n";
}

// A path of 259 or 260 characters: a folder of 200 and a file name of 58 or 59.
const std::string LONG_FOLDER(200, 'd');
const std::string NAME_259 = LONG_FOLDER + "/" + std::string(58, 'f');
const std::string NAME_260 = LONG_FOLDER + "/" + std::string(59, 'f');

const Case CASES[] = {
    // End of input at every kind of prompt.
    {"EndOfInputAtDimension", typed(""), {}, BANNER + ASK_N + MIN_DIM, 1, {}, ""},
    {"StdinIsDevNull", dev_null(), {}, BANNER + ASK_N + MIN_DIM, 1, {}, ""},
    {"StdinClosed", closed(), {}, BANNER + ASK_N + MIN_DIM, 1, {}, ""},
    {"EndOfInputAtMethodStopsSilently", typed("2\n"), {}, KEYBOARD, 1, {}, ""},
    {"EndOfInputAtFileName", typed("2 2\n"), {}, FROM_FILE + FILE_ERROR, 1, {}, ""},
    // The record is created (an old one emptied) before the first prompt.
    {"EndOfInputAtFirstEntry",
     typed("2 1\n"),
     {file("inv_data.in", OLD_RECORD)},
     KEYBOARD + prompts(1) + no_number(1, 1, 'r'),
     1,
     {{"inv_data.in", ""}},
     ""},
    // The record keeps the one entry completed before input ended.
    {"EndOfInputInTheMiddleOfTheMatrix",
     typed("2 1\n1 2\n3\n"),
     {},
     KEYBOARD + prompts(4) + no_number(1, 2, 'i'),
     1,
     {{"inv_data.in", crlf("(1.00000e+000 , 2.00000e+000 )\t")}},
     ""},

    // Garbage and very long lines.
    {"BinaryGarbageAtDimension",
     typed(bytes("\0\x01\xff\xfe\x80\x7f garbage\n")),
     {},
     BANNER + ASK_N + MIN_DIM,
     1,
     {},
     ""},
    // A megabyte of leading zeros is still the dimension 2; the method read meets the end.
    {"MegabyteLineOfZerosWithoutLineEnd",
     generated(million_zeros_then_two),
     {},
     KEYBOARD,
     1,
     {},
     ""},
    {"MegabyteFileNameWithoutLineEnd",
     generated(million_character_name),
     {},
     FROM_FILE + FILE_ERROR,
     1,
     {},
     ""},

    // Numbers at the edges.
    // [[1e308, 0], [0, 1]]: the determinant is 1e308 x 1. The back substitution divides by
    // 1e308 through its square, which overflows: 1e308 / inf gives 0, so the inverse's
    // first entry is 0, not 1e-308; its determinant has a zero pivot, as has the product.
    {"LargestDecimalExponentOverflowsInTheSquares",
     typed("2 1\n1e308 0\n0 0\n0 0\n1 0\n"),
     {},
     KEYBOARD + prompts(8) +
         completed(1, "1.00000e+308 , 0.00000e+000", {{ZERO, ZERO}, {ZERO, ONE}}, ZERO,
                   {{ZERO, ZERO}, {ZERO, ONE}}, ZERO),
     0,
     {{"inv_data.in", record_file({{"1.00000e+308 , 0.00000e+000", ZERO}, {ZERO, ONE}})},
      {"inv_data.out", result_file({{ZERO, ZERO}, {ZERO, ONE}})},
      {"inv_err.out", result_file({{ZERO, ZERO}, {ZERO, ONE}})}},
     ""},
    // [[1, 0], [0, 1e309 = inf]]: the determinant is (1 + 0i)(inf + 0i) = inf + (0 x inf)i
    // = inf + NaN i, and the gate passes on the real part. The last pivot is infinite:
    // 0 / inf takes 0 x inf = NaN and 1 / inf takes inf / inf = NaN, so the whole inverse
    // is NaN.
    {"InfinityPassesTheGateAndTheRunGoesOn",
     typed("2 1\n1 0\n0 0\n0 0\n1e309 0\n"),
     {},
     nan_inverse_run("1.#INF0e+000 , -1.#IND0e+000"),
     0,
     {{"inv_data.in", record_file({{ONE, ZERO}, {ZERO, "1.#INF0e+000 , 0.00000e+000"}})},
      {"inv_data.out", result_file(ALL_NAN)},
      {"inv_err.out", result_file(ALL_NAN)}},
     ""},
    {"UnderflowBecomesZero",
     typed("2 1\n1 0\n1e-400 0\n0 0\n1 0\n"),
     {},
     KEYBOARD + prompts(8) + IDENTITY_RUN,
     0,
     {{"inv_data.in", record_file(IDENTITY)},
      {"inv_data.out", result_file(IDENTITY)},
      {"inv_err.out", result_file(IDENTITY)}},
     ""},
    {"NegativeZeroPrintsAsZero",
     typed("2 1\n1 0\n-0 0\n0 0\n1 0\n"),
     {},
     KEYBOARD + prompts(8) + IDENTITY_RUN,
     0,
     {{"inv_data.in", record_file(IDENTITY)},
      {"inv_data.out", result_file(IDENTITY)},
      {"inv_err.out", result_file(IDENTITY)}},
     ""},
    // [[x, 1], [1, 1]] with x = 1 + 2^-52 (rounded up by the last of 100,000 digits): the
    // multiplier is x / x^2 = 1 - 2^-52, the reduced last entry 1 - (1 - 2^-52) = 2^-52, and
    // the determinant x 2^-52 = 2.22045e-16. Rounded down (x = 1) it would be 0 and refused.
    // The elimination flushes 2^-52 < 1e-10 to zero; that last pivot is never tested, so the
    // back substitution divides by zero and the inverse is NaN.
    {"HundredThousandDigitsRoundCorrectly",
     generated(hundred_thousand_digit_entry),
     {},
     nan_inverse_run("2.22045e-016 , 0.00000e+000"),
     0,
     {{"inv_data.in", record_file({{ONE, ONE}, {ONE, ONE}})},
      {"inv_data.out", result_file(ALL_NAN)},
      {"inv_err.out", result_file(ALL_NAN)}},
     ""},
    // [[2i, 1e308], [0, i]]: the determinant is 2i x i = -2. The back substitution's
    // 1e308 x 2 overflows, so the inverse's upper right entry is inf + 0i instead of 5e307;
    // 0 x inf makes the determinant of the inverse NaN, and the error product's right column
    // NaN, and its determinant NaN + NaN i: two 13-character texts before ") \n\n".
    {"ErrorDeterminantOfTwoLongestTextsIsPrintedWhole",
     typed("2 1\n0 2\n1e308 0\n0 0\n0 1\n"),
     {},
     KEYBOARD + prompts(8) +
         completed(1, "-2.00000e+000 , 0.00000e+000", OVERFLOWED_INVERSE, NAN_ENTRY,
                   OVERFLOWED_ERROR, NAN_ENTRY),
     0,
     {{"inv_data.in", record_file({{"0.00000e+000 , 2.00000e+000", "1.00000e+308 , 0.00000e+000"},
                                   {ZERO, "0.00000e+000 , 1.00000e+000"}})},
      {"inv_data.out", result_file(OVERFLOWED_INVERSE)},
      {"inv_err.out", result_file(OVERFLOWED_ERROR)}},
     ""},
    {"SignWithoutDigitsIsNoNumber",
     typed("2 1\n+ 1\n"),
     {},
     KEYBOARD + prompts(1) + no_number(1, 1, 'r'),
     1,
     {{"inv_data.in", ""}},
     ""},
    {"PointWithoutDigitsIsNoNumber",
     typed("2 1\n1 . 5\n"),
     {},
     KEYBOARD + prompts(2) + no_number(1, 1, 'i'),
     1,
     {{"inv_data.in", ""}},
     ""},
    {"SignPointAndExponentWithoutDigitsIsNoNumber",
     typed("2 1\n-.e5\n"),
     {},
     KEYBOARD + prompts(1) + no_number(1, 1, 'r'),
     1,
     {{"inv_data.in", ""}},
     ""},
    {"InfIsNoNumber",
     typed("2 1\ninf\n"),
     {},
     KEYBOARD + prompts(1) + no_number(1, 1, 'r'),
     1,
     {{"inv_data.in", ""}},
     ""},
    {"NanIsNoNumber",
     typed("2 1\n1 nan\n"),
     {},
     KEYBOARD + prompts(2) + no_number(1, 1, 'i'),
     1,
     {{"inv_data.in", ""}},
     ""},
    // The 0 of "0x1p3" is a number; the x that follows is not.
    {"HexadecimalIsNoNumber",
     typed("2 1\n0x1p3 0\n"),
     {},
     KEYBOARD + prompts(2) + no_number(1, 1, 'i'),
     1,
     {{"inv_data.in", ""}},
     ""},
    {"DecimalCommaIsNoNumber",
     typed("2 1\n1,5 0\n"),
     {},
     KEYBOARD + prompts(2) + no_number(1, 1, 'i'),
     1,
     {{"inv_data.in", ""}},
     ""},

    // Input files.
    {"EmptyInputFile",
     typed("2 2 m\n"),
     {file("m", "")},
     FROM_FILE + no_number_in_file(1, 1, 'r'),
     1,
     {},
     ""},
    {"InputFileWithHeaderWord",
     typed("2 2 m\n"),
     {file("m", "matrix\n" + DIAG_2_4_FILE)},
     FROM_FILE + no_number_in_file(1, 1, 'r'),
     1,
     {},
     ""},
    {"InputFileWithCommas",
     typed("2 2 m\n"),
     {file("m", "2,0,0,0,0,0,4,0\n")},
     FROM_FILE + no_number_in_file(1, 1, 'i'),
     1,
     {},
     ""},
    {"ResultFileGivenAsInputFile",
     typed("2 2 inv_data.out\n"),
     {file("inv_data.out", result_file(IDENTITY))},
     FROM_FILE + no_number_in_file(1, 1, 'r'),
     1,
     {},
     ""},
    {"InputFileWithCrLfLineEnds",
     typed("2 2 m\n"),
     {file("m", crlf(DIAG_2_4_FILE))},
     DIAG_2_4_RUN,
     0,
     {{"inv_data.out", result_file(DIAG_2_4_INVERSE)}, {"inv_err.out", result_file(IDENTITY)}},
     ""},
    {"BinaryInputFile",
     typed("2 2 m\n"),
     {file("m", bytes("\x7f"
                      "ELF\x02\x01\x01\0\0\0"))},
     FROM_FILE + no_number_in_file(1, 1, 'r'),
     1,
     {},
     ""},
    {"InputFileIsAFolder", typed("2 2 sub\n"), {folder("sub")}, FROM_FILE + FILE_ERROR, 1, {}, ""},
    {"InputFileNameOf259Characters",
     typed("2 2 " + NAME_259 + "\n"),
     {folder(LONG_FOLDER), file(NAME_259, DIAG_2_4_FILE)},
     DIAG_2_4_RUN,
     0,
     {{"inv_data.out", result_file(DIAG_2_4_INVERSE)}, {"inv_err.out", result_file(IDENTITY)}},
     ""},
    // Refused even though the file is there: the name is not cut to another one.
    {"InputFileNameOf260CharactersIsRefused",
     typed("2 2 " + NAME_260 + "\n"),
     {folder(LONG_FOLDER), file(NAME_260, DIAG_2_4_FILE)},
     FROM_FILE + FILE_ERROR,
     1,
     {},
     ""},
    {"MissingInputFileLeavesOldResultsUntouched",
     typed("2 2 nosuchfile\n"),
     {file("inv_data.out", OLD_INVERSE), file("inv_err.out", OLD_ERROR)},
     FROM_FILE + FILE_ERROR,
     1,
     {},
     ""},
    // Only the numbers needed are read; the rest of the 10 MB never is.
    {"TenMegabyteInputFileWithTheNumbersFirst",
     typed("2 2 m\n"),
     {big_file("m", ten_megabytes_numbers_first)},
     DIAG_2_4_RUN,
     0,
     {{"inv_data.out", result_file(DIAG_2_4_INVERSE)}, {"inv_err.out", result_file(IDENTITY)}},
     ""},
    {"InputFileNumberOfTenMillionDigits",
     typed("2 2 m\n"),
     {big_file("m", ten_million_digit_number)},
     DIAG_2_4_RUN,
     0,
     {{"inv_data.out", result_file(DIAG_2_4_INVERSE)}, {"inv_err.out", result_file(IDENTITY)}},
     ""},

    // Result files that cannot be created or written: the run completes on the screen,
    // standard error names the file, and the status is 1.
    {"InverseFileBlockedByAFolder",
     typed(IDENTITY_TYPED),
     {folder("inv_data.out"), file("inv_err.out", OLD_ERROR)},
     KEYBOARD + prompts(8) + IDENTITY_RUN,
     1,
     {{"inv_data.in", record_file(IDENTITY)}, {"inv_err.out", result_file(IDENTITY)}},
     "cmatinv: cannot create inv_data.out: Is a directory\n"},
    {"ErrorFileOnAFullDevice",
     typed("2 2 m\n"),
     {file("m", DIAG_2_4_FILE), symlink_to("inv_err.out", "/dev/full")},
     DIAG_2_4_RUN,
     1,
     {{"inv_data.out", result_file(DIAG_2_4_INVERSE)}},
     "cmatinv: cannot write inv_err.out: No space left on device\n"},
    // The record is flushed after every entry, so the full device shows at the first one.
    {"RecordFileOnAFullDevice",
     typed(IDENTITY_TYPED),
     {symlink_to("inv_data.in", "/dev/full")},
     KEYBOARD + prompts(8) + IDENTITY_RUN,
     1,
     {{"inv_data.out", result_file(IDENTITY)}, {"inv_err.out", result_file(IDENTITY)}},
     "cmatinv: cannot write inv_data.in: No space left on device\n"},
    // A zero matrix is refused at the gate; the old results of an earlier run stay.
    {"ErrorStopLeavesOldResultsUntouched",
     typed("2 1\n0 0 0 0 0 0 0 0\n"),
     {folder("inv_data.in"), file("inv_data.out", OLD_INVERSE), file("inv_err.out", OLD_ERROR)},
     KEYBOARD + prompts(8) + refused(ZERO),
     1,
     {},
     "cmatinv: cannot create inv_data.in: Is a directory\n"},
};

// ---------------------------------------------------------------------------------------
// Running one row.

// Where the row's standard input comes from: a file in the capture folder, /dev/null, or
// nothing (closed).
fs::path stdin_path(const Stdin& in, const fs::path& capture_dir) {
    switch (in.kind) {
        case Stdin::BYTES: {
            const fs::path path = capture_dir / "stdin";
            write_file(path, in.generate != nullptr ? in.generate() : in.bytes);
            return path;
        }
        case Stdin::DEV_NULL:
            return "/dev/null";
        case Stdin::CLOSED:
            break;
    }
    return {};
}

void lay(const fs::path& dir, const Given& given) {
    const fs::path path = dir / given.name;
    switch (given.kind) {
        case Given::FILE:
            write_file(path, given.generate != nullptr ? given.generate() : given.content);
            break;
        case Given::FOLDER:
            fs::create_directory(path);
            break;
        case Given::LINK:
            fs::create_symlink(given.content, path);
            break;
    }
}

class BadInput : public ::testing::TestWithParam<Case> {
protected:
    TempRoot root_;
};

TEST_P(BadInput, EndsAsExpected) {
    const Case& c = GetParam();
    const fs::path run_dir = root_.run();
    for (const Given& given : c.given) {
        lay(run_dir, given);
    }
    auto expected_files = snapshot(run_dir);
    for (const auto& [name, content] : c.files_after) {
        expected_files[name] = content;
    }

    const RunResult result =
        run_binary(run_dir, stdin_path(c.in, root_.capture()), root_.capture());

    ASSERT_FALSE(result.timed_out) << "the run did not end";
    EXPECT_EQ(result.status, c.status);
    EXPECT_TRUE(result.out == c.out) << "standard output:\n"
                                     << shown(result.out) << "\nexpected:\n"
                                     << shown(c.out);
    EXPECT_EQ(result.err, c.err);
    expect_same_files(expected_files, snapshot(run_dir));
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInput, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
