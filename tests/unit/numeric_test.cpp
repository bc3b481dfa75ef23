#include <gtest/gtest.h>
#include <stdlib.h>

#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include "numeric/back_substitute.hpp"
#include "numeric/complex_det.hpp"
#include "numeric/error_analysis.hpp"
#include "numeric/forward_eliminate.hpp"
#include "output/number_format.hpp"
#include "test_support.hpp"
#include "workspace/error_stop.hpp"
#include "workspace/workspace.hpp"

namespace cmatinv {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Row by row, the leading n x n block; everything else zero.
ComplexMatrix matrix(int n, std::initializer_list<Complex> entries) {
    ComplexMatrix m{};
    int index = 0;
    for (const Complex& z : entries) {
        m[index / n][index % n] = z;
        ++index;
    }
    return m;
}

ComplexMatrix identity() {
    ComplexMatrix m{};
    for (int p = 0; p < MAX_DIM; ++p) {
        m[p][p] = {1.0, 0.0};
    }
    return m;
}

// Equal values (so 0 == -0), or NaN in the same places.
bool same_value(double x, double y) {
    return x == y || (std::isnan(x) && std::isnan(y));
}

void expect_block(const ComplexMatrix& want, const ComplexMatrix& got, int n, const char* name) {
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const Complex w = want[row][col];
            const Complex g = got[row][col];
            EXPECT_TRUE(same_value(w.r, g.r) && same_value(w.i, g.i))
                << name << "[" << row << "][" << col << "] is (" << g.r << ", " << g.i
                << "), expected (" << w.r << ", " << w.i << ")";
        }
    }
}

Complex det_of(int n, const ComplexMatrix& m) {
    Complex det{NaN, NaN};
    complex_det(n, m, det.r, det.i);
    return det;
}

using Capture = test_support::MemoryStream;

// A workspace as the run leaves it right before the elimination: inv the identity, the
// input in a and a_copy.
struct Prepared {
    Prepared(int n, const ComplexMatrix& input) {
        clear_workspace(ws);
        ws.n = n;
        ws.a = input;
        save_input_copy(ws);
    }
    // The status of the ErrorStop thrown by the elimination, or 0 when it ends normally.
    int eliminate() {
        try {
            forward_eliminate(ws);
        } catch (const ErrorStop& stop) {
            return stop.status;
        }
        return 0;
    }

    Capture out;
    Capture err;
    Workspace ws{nullptr, out.stream(), err.stream()};
};

// ---------------------------------------------------------------- determinant

TEST(ComplexDet, ReducesTheTwoByTwoExampleToExactlyMinusOnePlusThreeI) {
    // Multiplier 1.5 - 1.5i, reduced second row (0, 1 + 2i), product (1 + i)(1 + 2i).
    const ComplexMatrix m = matrix(2, {{1, 1}, {2, 0}, {3, 0}, {4, -1}});
    const Complex det = det_of(2, m);
    EXPECT_EQ(det.r, -1.0);
    EXPECT_EQ(det.i, 3.0);
}

TEST(ComplexDet, GivesTheDiagonalProductAndExactlyOneForEveryIdentity) {
    for (int n = 1; n <= MAX_DIM; ++n) {
        const Complex det = det_of(n, identity());
        EXPECT_EQ(det.r, 1.0) << "n " << n;
        EXPECT_EQ(det.i, 0.0) << "n " << n;
    }
    // (2)(i)(3) = 6i
    const Complex det = det_of(3, matrix(3, {{2, 0}, {}, {}, {}, {0, 1}, {}, {}, {}, {3, 0}}));
    EXPECT_EQ(det.r, 0.0);
    EXPECT_EQ(det.i, 6.0);
}

// A zero pivot with a usable row below is exchanged with the first such row; each
// exchange flips the sign of the result.
TEST(ComplexDet, ExchangesPastAZeroPivotAndSignsByTheNumberOfExchanges) {
    struct Case {
        const char* what;
        int n;
        ComplexMatrix m;
        Complex want;
    };
    const Complex o{0, 0};
    const Complex l{1, 0};
    const Case cases[] = {
        {"swapped identity, one exchange", 2, matrix(2, {o, l, l, o}), {-1, 0}},
        {"reversed 3 x 3 identity, one exchange",
         3,
         matrix(3, {o, o, l, o, l, o, l, o, o}),
         {-1, 0}},
        {"reversed 4 x 4 identity, two exchanges",
         4,
         matrix(4, {o, o, o, l, o, o, l, o, o, l, o, o, l, o, o, o}),
         {1, 0}},
        {"cyclic 3 x 3 permutation, two exchanges",
         3,
         matrix(3, {o, l, o, o, o, l, l, o, o}),
         {1, 0}},
        {"zero pivot at the second step only", 3, matrix(3, {l, o, o, o, o, l, o, l, o}), {-1, 0}},
        // 0 * 0 - (2i)(3) = -6i
        {"complex entries, one exchange", 2, matrix(2, {o, {0, 2}, {3, 0}, o}), {0, -6}},
        // The first usable row, not the last: with row 1 as the pivot row the multipliers
        // are 0, 3 and -1/2 and the result is exact; row 2 (-3) would leave rounding in it.
        {"first usable row taken",
         3,
         matrix(3, {o, {2, 0}, o, {-1, 0}, l, {-1, 0}, {-3, 0}, {2, 0}, o}),
         {6, 0}},
    };
    for (const Case& c : cases) {
        const Complex det = det_of(c.n, c.m);
        EXPECT_EQ(det.r, c.want.r) << c.what;
        EXPECT_EQ(det.i, c.want.i) << c.what;
    }
}

TEST(ComplexDet, ExchangesPastATinyLeadingPivotForTheTrueDeterminant) {
    // (1e-51 + 1e-51i) * 4 - 2 * 3 = -6 + 4e-51i. The leading pivot counts as zero; the
    // exchange with the row below gives the true value instead of 0.
    const ComplexMatrix m = matrix(2, {{1e-51, 1e-51}, {2, 0}, {3, 0}, {4, 0}});
    const Complex det = det_of(2, m);
    EXPECT_EQ(det.r, -6.0);
    EXPECT_NEAR(det.i, 4e-51, 4e-51 * 1e-14);
}

TEST(ComplexDet, GivesPositiveZeroWhenAZeroPivotHasNoUsableRowBelow) {
    struct Case {
        const char* what;
        int n;
        ComplexMatrix m;
    };
    const Complex tiny{1e-51, -1e-51};
    const Case cases[] = {
        {"zero first column", 3,
         matrix(3, {{0, 0}, {1, 0}, {2, 0}, {0, 0}, {3, 0}, {4, 0}, {0, 0}, {5, 0}, {6, 1}})},
        {"first column below the threshold", 2, matrix(2, {tiny, {1, 0}, tiny, {2, 0}})},
        // After the first step the second column is zero in rows 1 and 2.
        {"second column vanishes", 3,
         matrix(3, {{1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {2, 0}, {1, 0}, {1, 0}, {3, 0}})},
        // The inverse after a zero last pivot: NaN counts as zero and no row is usable.
        {"all NaN", 2, matrix(2, {{NaN, NaN}, {NaN, NaN}, {NaN, NaN}, {NaN, NaN}})},
    };
    for (const Case& c : cases) {
        const Complex det = det_of(c.n, c.m);
        EXPECT_EQ(det.r, 0.0) << c.what;
        EXPECT_EQ(det.i, 0.0) << c.what;
        EXPECT_FALSE(std::signbit(det.r) || std::signbit(det.i)) << c.what;
    }
}

TEST(ComplexDet, TestsEachPivotPartStrictlyAgainstTheThresholdWithNaNAsBelow) {
    // diag(pivot, 1): a pivot that counts as zero has no usable row below it (a zero
    // there), so the result is 0 + 0i; any other pivot is divided into the zero below.
    struct Case {
        const char* what;
        Complex pivot;
        Complex want;
    };
    const Case cases[] = {
        {"both parts below", {1e-51, 1e-51}, {0, 0}},
        {"negative parts below", {-9.9e-51, -1e-51}, {0, 0}},
        {"real part exactly at the threshold", {1e-50, 0}, {1e-50, 0}},
        {"imaginary part exactly at the threshold", {0, -1e-50}, {0, -1e-50}},
        {"NaN parts", {NaN, NaN}, {0, 0}},
        {"NaN beside a zero", {NaN, 0}, {0, 0}},
        // Not zero, so the division by it goes ahead and spreads the NaN.
        {"NaN beside a large part", {NaN, 1}, {NaN, NaN}},
    };
    for (const Case& c : cases) {
        const Complex det = det_of(2, matrix(2, {c.pivot, {0, 0}, {0, 0}, {1, 0}}));
        EXPECT_TRUE(same_value(det.r, c.want.r) && same_value(det.i, c.want.i))
            << c.what << ": (" << det.r << ", " << det.i << ")";
    }
}

TEST(ComplexDet, NeverTestsTheLastPivot) {
    // A tested last pivot would give 0 + 0i for each of these.
    const Complex tiny = det_of(2, matrix(2, {{1, 0}, {0, 0}, {0, 0}, {1e-60, 0}}));
    EXPECT_EQ(tiny.r, 1e-60);
    EXPECT_EQ(tiny.i, 0.0);
    const Complex nan = det_of(2, matrix(2, {{1, 0}, {0, 0}, {0, 0}, {NaN, 0}}));
    EXPECT_TRUE(std::isnan(nan.r));
    // Rows (1, 2) and (2, 4): the zero last pivot only enters the product.
    const Complex zero = det_of(2, matrix(2, {{1, 0}, {2, 0}, {2, 0}, {4, 0}}));
    EXPECT_EQ(zero.r, 0.0);
    EXPECT_EQ(zero.i, 0.0);
}

TEST(ComplexDet, LeavesTheCallersMatrixUntouched) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> part(-1.0, 1.0);
    ComplexMatrix full;  // all 20 x 20 entries set, so a stray write anywhere shows
    for (auto& row : full.e) {
        for (Complex& z : row) {
            z = {part(random), part(random)};
        }
    }
    ComplexMatrix swapped = full;  // its leading block needs an exchange
    swapped[0][0] = {0, 0};
    ComplexMatrix singular = full;  // its leading block has no usable pivot
    for (int row = 0; row < 4; ++row) {
        singular[row][0] = {0, 0};
    }
    for (const ComplexMatrix* m : {&full, &swapped, &singular}) {
        for (const int n : {2, 4, MAX_DIM}) {
            const ComplexMatrix before = *m;
            det_of(n, *m);
            EXPECT_EQ(std::memcmp(&before, m, sizeof before), 0) << "n " << n;
        }
    }
}

// ---------------------------------------------------------------- elimination

TEST(ForwardEliminate, ReducesAAndAppliesEveryRowOperationToInv) {
    struct Case {
        const char* what;
        int n;
        ComplexMatrix input;
        ComplexMatrix a;    // expected on exit, below the diagonal included
        ComplexMatrix inv;  // expected on exit
    };
    const Complex o{0, 0};
    const Complex l{1, 0};
    const Complex j{0, 1};
    const Case cases[] = {
        // |i| == |1|: no exchange. Multiplier 1 / i = -i, so inv row 1 becomes (i, 1).
        {"equal magnitudes keep the top row", 2, matrix(2, {j, o, l, l}), matrix(2, {j, o, o, l}),
         matrix(2, {l, o, j, l})},
        // One exchange, then a zero multiplier.
        {"swapped identity", 2, matrix(2, {o, l, l, o}), matrix(2, {l, o, o, l}),
         matrix(2, {o, l, l, o})},
        // Column 0 has magnitudes 1, 2, 4: rows 0 and 1 are exchanged, then rows 0 and 2,
        // leaving the former rows 2, 0, 1 (inv rows e2, e0, e1). Multipliers 1/4 and 1/2
        // make rows 1 and 2 (0, 1, 0) and (0, 1, 1); their tie keeps the order at the
        // second step, whose multiplier 1 leaves inv row 2 = (e1 - e2/2) - (e0 - e2/4).
        // Had the search given 2, 1, 0, inv would end as (e2, e1 - e2/2, e0 - e1 + e2/4).
        {"successive winners", 3, matrix(3, {l, l, o, {2, 0}, l, l, {4, 0}, o, o}),
         matrix(3, {{4, 0}, o, o, o, l, o, o, o, l}),
         matrix(3, {o, o, l, l, o, {-0.25, 0}, {-1, 0}, l, {-0.25, 0}})},
        // Magnitudes 1, 4, 2: row 2 beats the first pivot but not the running maximum, so
        // only rows 0 and 1 are exchanged. The same reduction as above follows.
        {"later row below the running maximum", 3, matrix(3, {l, l, o, {4, 0}, o, o, {2, 0}, l, l}),
         matrix(3, {{4, 0}, o, o, o, l, o, o, o, l}),
         matrix(3, {o, l, o, l, {-0.25, 0}, o, {-1, 0}, {-0.25, 0}, l})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prepared run(c.n, c.input);
        ASSERT_EQ(run.eliminate(), 0);
        expect_block(c.a, run.ws.a, c.n, "a");
        expect_block(c.inv, run.ws.inv, c.n, "inv");
        EXPECT_EQ(run.out.text(), "");
    }
}

TEST(ForwardEliminate, FlushesEntriesOfAWhoseTwoPartsAreBothBelowTheThreshold) {
    // a = [(1, 1), (below, entry)]. With a zero `below` the multiplier is 0 and the entry is
    // only flushed; with `below` = 1 the entry loses 1 by a real subtraction.
    struct Case {
        const char* what;
        Complex below;
        Complex entry;
        Complex want;
    };
    const double two_m40 = std::ldexp(1.0, -40);  // ~9.1e-13
    const double two_m30 = std::ldexp(1.0, -30);  // ~9.3e-10
    const Case cases[] = {
        {"both parts below", {0, 0}, {3e-11, -5e-11}, {0, 0}},
        {"imaginary part above", {0, 0}, {3e-11, 2e-10}, {3e-11, 2e-10}},
        {"real part exactly 1e-10", {0, 0}, {1e-10, 0}, {1e-10, 0}},
        {"imaginary part exactly -1e-10", {0, 0}, {0, -1e-10}, {0, -1e-10}},
        {"NaN parts count as below", {0, 0}, {NaN, NaN}, {0, 0}},
        {"NaN beside a large part", {0, 0}, {NaN, 1}, {NaN, 1}},
        {"remainder of a subtraction below", {1, 0}, {1 + two_m40, 0}, {0, 0}},
        {"remainder of a subtraction above", {1, 0}, {1 + two_m30, 0}, {two_m30, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prepared run(2, matrix(2, {{1, 0}, {1, 0}, c.below, c.entry}));
        ASSERT_EQ(run.eliminate(), 0);
        const Complex got = run.ws.a[1][1];
        EXPECT_TRUE(same_value(got.r, c.want.r) && same_value(got.i, c.want.i))
            << "(" << got.r << ", " << got.i << ")";
    }
}

TEST(ForwardEliminate, FlushesToPositiveZero) {
    Prepared run(2, matrix(2, {{1, 0}, {0, 0}, {0, 0}, {-0.0, -0.0}}));
    ASSERT_EQ(run.eliminate(), 0);
    EXPECT_FALSE(std::signbit(run.ws.a[1][1].r));
    EXPECT_FALSE(std::signbit(run.ws.a[1][1].i));
}

TEST(ForwardEliminate, NeverFlushesInv) {
    // Multiplier 1e-12: inv[1][0] = 0 - 1e-12 stays, while a[1][0] = 1e-12 - 1e-12 is zero.
    Prepared run(2, matrix(2, {{1, 0}, {0, 0}, {1e-12, 0}, {1, 0}}));
    ASSERT_EQ(run.eliminate(), 0);
    EXPECT_EQ(run.ws.inv[1][0].r, -1e-12);
    EXPECT_EQ(run.ws.inv[1][0].i, 0.0);
}

TEST(ForwardEliminate, StopsTheRunAtAPivotWhoseMagnitudeIsBelowTheThreshold) {
    struct Case {
        const char* what;
        int n;
        ComplexMatrix input;
        bool stops;
    };
    const Complex o{0, 0};
    const Complex l{1, 0};
    const Case cases[] = {
        // The zero multiplier of the first step flushes a[1][1]; nothing below beats it.
        {"flushed middle pivot of diag(1, 1e-11, 1)", 3,
         matrix(3, {l, o, o, o, {1e-11, 0}, o, o, o, l}), true},
        // c_mag squares the parts unscaled: 1e-170 has magnitude 0, 1e-150 does not.
        {"pivot 1e-170", 2, matrix(2, {{1e-170, 0}, o, o, l}), true},
        {"pivot 1e-150", 2, matrix(2, {{1e-150, 0}, o, o, l}), false},
        {"pivot 1e-150 i", 2, matrix(2, {{0, 1e-150}, o, o, l}), false},
        // A NaN magnitude wins the search, then fails the zero test.
        {"NaN below the pivot", 2, matrix(2, {l, o, {NaN, 0}, l}), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prepared run(c.n, c.input);
        const int status = run.eliminate();
        EXPECT_EQ(status, c.stops ? 1 : 0);
        EXPECT_EQ(run.out.text(), c.stops ? "\n Error:  zero in diagonal.\n" : "");
    }
}

TEST(ForwardEliminate, HandsAFlushedLastPivotOnWithoutATest) {
    Prepared run(2, matrix(2, {{1, 0}, {0, 0}, {0, 0}, {1e-11, 0}}));
    EXPECT_EQ(run.eliminate(), 0);
    EXPECT_EQ(run.ws.a[1][1].r, 0.0);
    EXPECT_EQ(run.ws.a[1][1].i, 0.0);
    EXPECT_EQ(run.out.text(), "");
}

// ---------------------------------------------------------------- back substitution

TEST(BackSubstitute, SolvesEveryColumnOfInvAgainstTheUpperTriangle) {
    struct Case {
        const char* what;
        int n;
        ComplexMatrix a;
        ComplexMatrix inv;
        ComplexMatrix want;
    };
    const Complex o{0, 0};
    const Complex l{1, 0};
    const Complex x{NaN, NaN};  // below the diagonal: must not be read
    const Case cases[] = {
        {"identity stays", 3, identity(), identity(), identity()},
        {"complex 2 x 2", 2, matrix(2, {{0, 1}, l, o, {2, 0}}), identity(),
         matrix(2, {{0, -1}, {0, 0.5}, o, {0.5, 0}})},
        {"entries below the diagonal are ignored", 2, matrix(2, {{0, 1}, l, x, {2, 0}}), identity(),
         matrix(2, {{0, -1}, {0, 0.5}, o, {0.5, 0}})},
        // The inverse of [(2, 1, 3), (0, 4, 1), (0, 0, 8)], every value exact in binary:
        // x02 = (1 * 1 - 3 * 4) / 64.
        {"3 x 3 upper triangle", 3, matrix(3, {{2, 0}, l, {3, 0}, x, {4, 0}, l, x, x, {8, 0}}),
         identity(),
         matrix(3, {{0.5, 0},
                    {-0.125, 0},
                    {-11.0 / 64, 0},
                    o,
                    {0.25, 0},
                    {-1.0 / 32, 0},
                    o,
                    o,
                    {0.125, 0}})},
        // Right-hand sides other than the identity: each column is solved on its own.
        {"swapped right-hand sides", 2, matrix(2, {{2, 0}, l, o, {4, 0}}), matrix(2, {o, l, l, o}),
         matrix(2, {{-0.125, 0}, {0.5, 0}, {0.25, 0}, o})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Workspace ws(nullptr, nullptr, nullptr);
        ws.n = c.n;
        ws.a = c.a;
        ws.inv = c.inv;
        back_substitute(ws);
        expect_block(c.want, ws.inv, c.n, "inv");
    }
}

TEST(BackSubstitute, ZeroLastPivotMakesEveryEntryOfTheInverseNaN) {
    Workspace ws(nullptr, nullptr, nullptr);
    ws.n = 2;
    ws.a = matrix(2, {{1, 0}, {0, 0}, {0, 0}, {0, 0}});
    ws.inv = identity();
    back_substitute(ws);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 2; ++col) {
            const Complex z = ws.inv[row][col];
            EXPECT_TRUE(std::isnan(z.r) && std::isnan(z.i)) << row << "," << col;
#if defined(__x86_64__) || defined(__i386__)
            // 0 / 0 on x86 gives the NaN with the sign bit and only the quiet bit set, and
            // every later operation passes that NaN on unchanged. It prints as -1.#IND0.
            for (const double part : {z.r, z.i}) {
                EXPECT_EQ(std::bit_cast<std::uint64_t>(part), 0xFFF8000000000000u);
                char text[NUMBER_TEXT_MAX];
                const char* end = format_number(text, part);
                EXPECT_EQ(std::string_view(text, end), "-1.#IND0e+000");
            }
#endif
        }
    }
}

// ---------------------------------------------------------------- whole inversion

// Runs in a fresh temporary directory: the error analysis writes "inv_err.out".
class Inversion : public testing::Test {
private:
    test_support::InTempDir dir_;
};

using Cx = std::complex<double>;

Cx cx(Complex z) {
    return {z.r, z.i};
}

double norm1(const ComplexMatrix& m, int n) {
    double most = 0.0;
    for (int col = 0; col < n; ++col) {
        double sum = 0.0;
        for (int row = 0; row < n; ++row) {
            sum += std::abs(cx(m[row][col]));
        }
        most = std::max(most, sum);
    }
    return most;
}

// || m - I ||_1
double distance_from_identity(const ComplexMatrix& m, int n) {
    ComplexMatrix d = m;
    for (int p = 0; p < n; ++p) {
        d[p][p].r -= 1.0;
    }
    return norm1(d, n);
}

// a x b, independently of the program's own arithmetic.
ComplexMatrix product(const ComplexMatrix& a, const ComplexMatrix& b, int n) {
    ComplexMatrix c{};
    for (int p = 0; p < n; ++p) {
        for (int q = 0; q < n; ++q) {
            Cx sum = 0.0;
            for (int k = 0; k < n; ++k) {
                sum += cx(a[p][k]) * cx(b[k][q]);
            }
            c[p][q] = {sum.real(), sum.imag()};
        }
    }
    return c;
}

// Determinant by elimination with partial pivoting, independently of complex_det.
Cx reference_det(ComplexMatrix m, int n) {
    Cx det = 1.0;
    for (int p = 0; p < n; ++p) {
        int best = p;
        for (int k = p + 1; k < n; ++k) {
            if (std::abs(cx(m[k][p])) > std::abs(cx(m[best][p]))) {
                best = k;
            }
        }
        if (best != p) {
            std::swap(m.e[p], m.e[best]);
            det = -det;
        }
        det *= cx(m[p][p]);
        for (int k = p + 1; k < n; ++k) {
            const Cx mult = cx(m[k][p]) / cx(m[p][p]);
            for (int q = p; q < n; ++q) {
                const Cx v = cx(m[k][q]) - mult * cx(m[p][q]);
                m[k][q] = {v.real(), v.imag()};
            }
        }
    }
    return det;
}

// Random matrices, entries uniform in [-1, 1] in both parts, of every size. The bounds
// are the usual ones for elimination with partial pivoting, c * n * eps * ||A|| ||A^-1||,
// with room for the determinant's own elimination, which makes no pivot search; on 200
// seeds per size the worst cases reach 0.4 (inverse) and 0.9 (determinants) of n * eps *
// ||A|| ||A^-1||. A wrong index or a swapped operand misses them by orders of magnitude.
TEST_F(Inversion, InvertsRandomMatricesOfEverySizeWithinRoundingError) {
    constexpr double EPS = std::numeric_limits<double>::epsilon();
    constexpr double C = 10.0;
    constexpr double C_DET = 100.0;
    for (int n = 2; n <= MAX_DIM; ++n) {
        for (std::uint64_t seed = 1; seed <= 5; ++seed) {
            SCOPED_TRACE(testing::Message() << "n " << n << ", seed " << seed);
            std::mt19937_64 random(seed * 1000 + n);
            std::uniform_real_distribution<double> part(-1.0, 1.0);
            ComplexMatrix input{};
            for (int row = 0; row < n; ++row) {
                for (int col = 0; col < n; ++col) {
                    input[row][col] = {part(random), part(random)};
                }
            }
            Prepared run(n, input);
            Workspace& ws = run.ws;
            ASSERT_EQ(run.eliminate(), 0);
            back_substitute(ws);
            error_analysis(ws);

            const double condition = norm1(ws.a_copy, n) * norm1(ws.inv, n);
            const double bound = C * n * EPS * condition;
            EXPECT_LE(distance_from_identity(product(ws.a_copy, ws.inv, n), n), bound);
            EXPECT_LE(distance_from_identity(ws.err_mat, n), bound);

            const Cx det_a = cx(det_of(n, ws.a_copy));
            const Cx det_inv = cx(det_of(n, ws.inv));
            const Cx want = reference_det(ws.a_copy, n);
            const double det_bound = C_DET * n * EPS * condition;
            EXPECT_LE(std::abs(det_a - want), det_bound * std::abs(want));
            EXPECT_LE(std::abs(det_a * det_inv - 1.0), det_bound);
        }
    }
}

TEST_F(Inversion, TurnsAnIdentityInputIntoAnExactIdentityErrorMatrix) {
    Prepared run(5, identity());
    Workspace& ws = run.ws;
    ASSERT_EQ(run.eliminate(), 0);
    back_substitute(ws);
    error_analysis(ws);
    const ComplexMatrix want = identity();
    // The whole 20 x 20 extent: nothing outside the leading block is written.
    for (int row = 0; row < MAX_DIM; ++row) {
        for (int col = 0; col < MAX_DIM; ++col) {
            const bool inside = row < 5 && col < 5;
            const Complex w = inside ? want[row][col] : Complex{0, 0};
            EXPECT_EQ(ws.err_mat[row][col].r, w.r) << row << "," << col;
            EXPECT_EQ(ws.err_mat[row][col].i, w.i) << row << "," << col;
        }
    }
    const Complex det = det_of(5, ws.err_mat);
    EXPECT_EQ(det.r, 1.0);
    EXPECT_EQ(det.i, 0.0);
}

TEST_F(Inversion, MultipliesWithTheInputOnTheLeft) {
    // a_copy x inv swaps the columns of a_copy; inv x a_copy would swap its rows.
    Capture out;
    Workspace ws(nullptr, out.stream(), nullptr);
    clear_workspace(ws);
    ws.n = 2;
    ws.a_copy = matrix(2, {{1, 1}, {2, 0}, {3, 0}, {4, -1}});
    ws.inv = matrix(2, {{0, 0}, {1, 0}, {1, 0}, {0, 0}});
    error_analysis(ws);
    expect_block(matrix(2, {{2, 0}, {1, 1}, {4, -1}, {3, 0}}), ws.err_mat, 2, "err_mat");
}

}  // namespace
}  // namespace cmatinv
