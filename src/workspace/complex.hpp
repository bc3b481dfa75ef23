#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace cmatinv {

constexpr int MAX_DIM = 20;

// One matrix entry: real part r, imaginary part i.
struct Complex {
    double r;
    double i;
};

// MAX_DIM x MAX_DIM entries, row by row; only the leading n x n block is used.
struct ComplexMatrix {
    Complex e[MAX_DIM][MAX_DIM];

    Complex* operator[](int row) { return e[row]; }
    const Complex* operator[](int row) const { return e[row]; }
};

// The C library's pow(x, 2.0), called for the values the fast path of square() leaves to it.
double square_by_pow(double x);

// pow(x, 2.0), bit for bit, for every x. The C library's pow is not always the correctly
// rounded square: glibc documents it as within about 0.52 of a unit in the last place (ulp)
// of the exact value, so where the exact square lies within a few hundredths of an ulp of
// the midpoint between two doubles it may round the other way, and there it differs from
// x * x. The product x * x is the exact square rounded to nearest; Dekker's product
// (Veltkamp's split, no fused multiply-add) gives its rounding error exactly. Where that error
// is at most 0.45 ulp, the other neighbour lies at least 0.55 ulp from the exact square,
// beyond pow's error, so pow too returns x * x. Everything else goes to pow: errors above
// 0.45 ulp (about one value in ten), and values whose square or split could overflow,
// underflow or lose bits (|x| outside [2^-450, 2^451), zero, infinities, NaNs).
inline double square(double x) {
    constexpr std::uint64_t EXPONENT_MASK = 0x7ffULL << 52;
    constexpr std::uint64_t FRACTION_MASK = (1ULL << 52) - 1;
    constexpr std::uint64_t LOWEST_BIASED = 1023 - 450;
    constexpr std::uint64_t BIASED_SPAN = 900;
    constexpr double SPLITTER = 134217729.0;  // 2^27 + 1
    constexpr double SAFE_ERROR = 0.45 * 0x1p-52;

    const std::uint64_t biased = (std::bit_cast<std::uint64_t>(x) >> 52) & 0x7ff;
    if (biased - LOWEST_BIASED <= BIASED_SPAN) {
        const double product = x * x;
        const double split = SPLITTER * x;
        const double hi = split - (split - x);
        const double lo = x - hi;
        const double error = ((hi * hi - product) + 2.0 * (hi * lo)) + lo * lo;
        const std::uint64_t product_bits = std::bit_cast<std::uint64_t>(product);
        // 2^e for the product's binary exponent e; one ulp of the product is 2^(e - 52).
        const double scale = std::bit_cast<double>(product_bits & EXPONENT_MASK);
        // Below a power of two the doubles lie twice as close; only an exact square (which
        // a power-of-two product always is, since x is then a power of two) is taken there.
        const bool off_binade_edge = (product_bits & FRACTION_MASK) != 0 || error == 0.0;
        if (std::fabs(error) <= scale * SAFE_ERROR && off_binade_edge) {
            return product;
        }
    }
    return square_by_pow(x);
}

// The sum of the squares of the parts: the divisor of c_div, the square of c_mag.
inline double c_square_sum(Complex z) {
    return square(z.r) + square(z.i);
}

// The squares go through pow(x, 2.0) (see square) and nothing scales them: a part below
// about 1e-162 squares to zero, which the zero-pivot tests rely on.
inline double c_mag(Complex z) {
    return std::sqrt(c_square_sum(z));
}

// x / y where d = c_square_sum(y): the numerator is formed first, then divided by d. Lets a
// caller that divides many values by one y form d once; the result is the same double.
inline Complex c_div_by(Complex x, Complex y, double d) {
    return {(x.r * y.r + x.i * y.i) / d, (x.i * y.r - x.r * y.i) / d};
}

// No test of the divisor: a zero divisor yields non-finite parts, and the callers that
// must not divide by zero test the pivot first.
inline Complex c_div(Complex x, Complex y) {
    return c_div_by(x, y, c_square_sum(y));
}

// Each part is formed exactly as written, product by product, so that the printed digits do
// not depend on the compiler: the build forbids contraction into fused multiply-add.
inline Complex c_mul(Complex x, Complex y) {
    return {x.r * y.r - x.i * y.i, x.r * y.i + x.i * y.r};
}

// Row operations over `count` consecutive entries. Every entry gets exactly the operations
// of the scalar formulas above, in the same order; the entries are independent, so the
// processor may take several at once (one IEEE operation per vector lane, never fused).
//
// row[q] = row[q] - c_mul(m, other[q])
void subtract_multiple(Complex* row, const Complex* other, Complex m, int count);
// The same, then an entry whose parts are both below `tolerance` in magnitude (a NaN part
// counts as below) becomes positive zero.
void subtract_multiple_and_flush(Complex* row, const Complex* other, Complex m, int count,
                                 double tolerance);
// row[q] = c_mul(m, other[q]) + row[q]
void add_multiple(Complex* row, const Complex* other, Complex m, int count);
// row[q] = c_div_by(row[q], y, d), d = c_square_sum(y)
void divide_row(Complex* row, Complex y, double d, int count);
// row[q] and other[q] trade places, bits unchanged.
void exchange_rows(Complex* row, Complex* other, int count);

// One implementation of the row operations; exposed so that tests can hold every one that
// this processor can run against the plain loops.
struct RowKernels {
    const char* name;
    void (*subtract_multiple)(Complex*, const Complex*, Complex, int);
    void (*subtract_multiple_and_flush)(Complex*, const Complex*, Complex, int, double);
    void (*add_multiple)(Complex*, const Complex*, Complex, int);
    void (*divide_row)(Complex*, Complex, double, int);
    void (*exchange_rows)(Complex*, Complex*, int);
};

// Every implementation this processor can run, the plain loops first; the list ends with
// nullptr. The stages use the last, the widest.
const RowKernels* const* supported_row_kernels();
const RowKernels& active_row_kernels();

}  // namespace cmatinv
