// The fast ways of the complex arithmetic: the squares that skip pow where its result is
// certain, and the row operations that take several entries at once. Both must give exactly
// the bits of the plain computation they stand for.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "workspace/complex.hpp"

namespace cmatinv {
namespace {

bool same_bits(double x, double y) {
    return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
}

double product_of(double x) {
    volatile double factor = x;
    return factor * factor;
}

TEST(Square, IsTheLibraryPowWhereThatDiffersFromTheProduct) {
    // Parts, across the exponents the fast way covers, for which the C library's
    // pow(x, 2.0) is not x * x: the exact square lies so close to the midpoint between two
    // doubles that pow rounds it the other way.
    const double parts[] = {0x1.c527ce96ba981p-440, 0x1.d0031e0fa6ac6p-300, 0x1.096e4a972b7b5p-106,
                            0x1.7eca765e93facp-100, 0x1.984f37ac40ce3p-20,  0x1.c70de4240ee4fp-15,
                            0x1.64c2c19eeab37p-1,   0x1.f71a2b7b6463cp+0,   0x1.92c1011d4dce4p+1,
                            0x1.fdd176dc523dbp+30,  0x1.7b54e6bbe9e32p+200, 0x1.da542a379ef68p+440};
    for (const double x : parts) {
        const double pow_square = std::pow(x, 2.0);
        ASSERT_FALSE(same_bits(pow_square, product_of(x)))
            << std::hexfloat << x << ": this C library squares it exactly; nothing to show";
        EXPECT_TRUE(same_bits(square(x), pow_square)) << std::hexfloat << x;
        EXPECT_TRUE(same_bits(square(-x), std::pow(-x, 2.0))) << std::hexfloat << -x;
    }
}

TEST(Square, IsTheLibraryPowForRandomSignificandsAtEveryScale) {
    // About one random value in six hundred has a square that pow rounds away from the
    // product; the count shows that the sample reached them.
    int differing_products = 0;
    std::uint64_t seed = 2002;
    for (const int exponent : {-449, -200, -60, -1, 0, 1, 52, 300, 450}) {
        for (int k = 0; k < 20000; ++k) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            const double x = std::ldexp(1.0 + static_cast<double>(seed >> 12) * 0x1p-52, exponent);
            const double pow_square = std::pow(x, 2.0);
            differing_products += same_bits(pow_square, product_of(x)) ? 0 : 1;
            ASSERT_TRUE(same_bits(square(x), pow_square)) << std::hexfloat << x;
        }
    }
    EXPECT_GT(differing_products, 0);
}

TEST(Square, IsTheLibraryPowAtTheEdgesOfTheFastWay) {
    const double inf = std::numeric_limits<double>::infinity();
    const double edges[] = {0.0,
                            -0.0,
                            inf,
                            -inf,
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::denorm_min(),
                            DBL_MIN,
                            DBL_MAX,
                            1.0,
                            3.0,
                            0.1,
                            1e-170,  // squares to zero: the zero-pivot tests rely on it
                            1e-150,
                            1e160,  // squares to infinity
                            std::ldexp(1.0, -450),
                            std::ldexp(1.0, 451),
                            std::ldexp(1.0, -538),
                            std::ldexp(1.5, 511)};
    for (const double edge : edges) {
        for (const double x : {edge, std::nextafter(edge, 0.0), std::nextafter(edge, inf),
                               std::nextafter(edge, -inf)}) {
            const double pow_square = std::pow(x, 2.0);
            EXPECT_TRUE(same_bits(square(x), pow_square) ||
                        (std::isnan(square(x)) && std::isnan(pow_square)))
                << std::hexfloat << x;
        }
    }
    EXPECT_EQ(c_mag({1e-170, 0.0}), 0.0);
    EXPECT_GT(c_mag({1e-150, 0.0}), 0.0);
}

// The NaN an invalid operation produces at run time (sign set, quiet bit only): the only NaN
// a run ever holds, since no input is a NaN. A NaN folded by the compiler may carry other bits.
double invalid_operation_nan() {
    volatile double zero = 0.0;
    return zero / zero;
}

// Rows of every kind of value: ordinary, tiny (the flush), huge (products overflow), zero of
// both signs, infinities and the NaN of invalid operations.
constexpr int ROW_ROOM = MAX_DIM + 4;

void fill_row(Complex (&row)[ROW_ROOM], std::uint64_t seed) {
    const double specials[] = {0.0,
                               -0.0,
                               1e-11,
                               -3e-11,
                               1e-10,
                               1e300,
                               -1e300,
                               1e-170,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               invalid_operation_nan()};
    for (Complex& z : row) {
        double parts[2];
        for (double& part : parts) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            const auto pick = static_cast<int>(seed >> 59);  // 0 .. 31
            if (pick < 11) {
                part = specials[pick];
            } else {
                part =
                    (static_cast<double>(seed >> 11) * 0x1p-53 - 0.5) * std::ldexp(1.0, pick - 20);
            }
        }
        z = {parts[0], parts[1]};
    }
}

TEST(RowKernels, EveryImplementationGivesThePlainLoopsBitsAndStaysInsideTheRow) {
    const RowKernels& plain = *supported_row_kernels()[0];
    const Complex multipliers[] = {{0.5, -2.0},
                                   {0.0, 0.0},
                                   {1e300, 1e300},
                                   {-1e-200, 3.0},
                                   {invalid_operation_nan(), 1.0},
                                   {std::numeric_limits<double>::infinity(), 0.0}};
    int checked = 0;
    for (const RowKernels* const* k = supported_row_kernels() + 1; *k != nullptr; ++k) {
        const RowKernels& vector = **k;
        for (int count = 0; count <= MAX_DIM; ++count) {
            for (int offset = 0; offset < 2; ++offset) {
                for (std::uint64_t seed = 1; seed <= 6; ++seed) {
                    Complex row[ROW_ROOM];
                    Complex other[ROW_ROOM];
                    fill_row(row, seed * 977 + static_cast<std::uint64_t>(count));
                    fill_row(other, seed * 1999 + 7);
                    for (const Complex m : multipliers) {
                        SCOPED_TRACE(testing::Message()
                                     << vector.name << ", count " << count << ", offset " << offset
                                     << ", seed " << seed << ", m " << m.r << "," << m.i);
                        const auto run = [&](auto operation) {
                            Complex want[ROW_ROOM];
                            Complex got[ROW_ROOM];
                            std::memcpy(want, row, sizeof row);
                            std::memcpy(got, row, sizeof row);
                            operation(plain, want + offset);
                            operation(vector, got + offset);
                            // Bit for bit, and nothing written past the row's end.
                            EXPECT_EQ(std::memcmp(want, got, sizeof want), 0);
                            EXPECT_EQ(std::memcmp(got + offset + count, row + offset + count,
                                                  sizeof(Complex) * (ROW_ROOM - offset - count)),
                                      0);
                            ++checked;
                        };
                        const Complex* source = other + offset;
                        run([&](const RowKernels& impl, Complex* r) {
                            impl.subtract_multiple(r, source, m, count);
                        });
                        run([&](const RowKernels& impl, Complex* r) {
                            impl.subtract_multiple_and_flush(r, source, m, count, 1e-10);
                        });
                        run([&](const RowKernels& impl, Complex* r) {
                            impl.add_multiple(r, source, m, count);
                        });
                        run([&](const RowKernels& impl, Complex* r) {
                            impl.divide_row(r, m, c_square_sum(m), count);
                        });
                        // The other row of an exchange: both rows end up as the plain loop
                        // leaves them, and neither is touched past its end.
                        Complex other_want[ROW_ROOM];
                        Complex other_got[ROW_ROOM];
                        std::memcpy(other_want, other, sizeof other);
                        std::memcpy(other_got, other, sizeof other);
                        run([&](const RowKernels& impl, Complex* r) {
                            Complex* partner = (&impl == &plain ? other_want : other_got) + offset;
                            impl.exchange_rows(r, partner, count);
                        });
                        EXPECT_EQ(std::memcmp(other_want, other_got, sizeof other_want), 0);
                        EXPECT_EQ(std::memcmp(other_got + offset + count, other + offset + count,
                                              sizeof(Complex) * (ROW_ROOM - offset - count)),
                                  0);
                    }
                }
            }
        }
    }
    if (checked == 0) {
        GTEST_SKIP() << "this processor runs only the plain loops";
    }
}

}  // namespace
}  // namespace cmatinv
