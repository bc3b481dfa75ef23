#include "workspace/workspace.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "workspace/complex.hpp"

namespace cmatinv {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

bool same_bits(Complex x, Complex y) {
    return std::memcmp(&x, &y, sizeof(Complex)) == 0;
}

// ---- complex arithmetic ----

enum class Op { Mag, Div, Mul };

Complex apply(Op op, Complex x, Complex y) {
    switch (op) {
        case Op::Mag:
            return {c_mag(x), 0.0};
        case Op::Div:
            return c_div(x, y);
        case Op::Mul:
            return c_mul(x, y);
    }
    return {NaN, NaN};
}

// A NaN in `want` stands for "any non-finite value"; otherwise the part must be exact.
void expect_part(const char* what, const char* part, double want, double got) {
    if (std::isnan(want)) {
        EXPECT_FALSE(std::isfinite(got)) << what << ": " << part << " = " << got;
    } else {
        EXPECT_EQ(want, got) << what << ": " << part;
    }
}

TEST(ComplexArithmetic, GivesTheExactResultsOfItsFormulas) {
    struct Case {
        const char* what;
        Op op;
        Complex x;
        Complex y;
        Complex want;  // for c_mag only `r` is meaningful
    };
    const Case cases[] = {
        {"|3 + 4i|", Op::Mag, {3, 4}, {}, {5, 0}},
        {"|0|", Op::Mag, {0, 0}, {}, {0, 0}},
        {"|-3 - 4i| (signs squared away)", Op::Mag, {-3, -4}, {}, {5, 0}},
        // 1e-170 squares to zero: nothing rescales the parts.
        {"|1e-170| underflows", Op::Mag, {1e-170, 0}, {}, {0, 0}},
        {"|1e-150| does not", Op::Mag, {1e-150, 0}, {}, {1e-150, 0}},
        {"1 / i", Op::Div, {1, 0}, {0, 1}, {0, -1}},
        // (1 + 2i)(3 - 4i) / 25 = (11 + 2i) / 25; 11/25 and 2/25 are single roundings.
        {"(1 + 2i) / (3 + 4i)", Op::Div, {1, 2}, {3, 4}, {0.44, 0.08}},
        {"(3 + 0i) / (1 + i)", Op::Div, {3, 0}, {1, 1}, {1.5, -1.5}},
        {"1 / 0", Op::Div, {1, 0}, {0, 0}, {NaN, NaN}},
        {"(1 + 2i) / 0", Op::Div, {1, 2}, {0, 0}, {NaN, NaN}},
        {"(1 + 2i)(3 + 4i)", Op::Mul, {1, 2}, {3, 4}, {-5, 10}},
        {"(3 + 4i)(1 + 2i), operands swapped", Op::Mul, {3, 4}, {1, 2}, {-5, 10}},
        {"(1 + i)(1 + 2i)", Op::Mul, {1, 1}, {1, 2}, {-1, 3}},
    };
    for (const Case& c : cases) {
        const Complex got = apply(c.op, c.x, c.y);
        expect_part(c.what, "r", c.want.r, got.r);
        if (c.op != Op::Mag) {
            expect_part(c.what, "i", c.want.i, got.i);
        }
    }
}

// ---- clear_workspace / save_input_copy ----

void fill(ComplexMatrix& m, double base) {
    for (int row = 0; row < MAX_DIM; ++row) {
        for (int col = 0; col < MAX_DIM; ++col) {
            m[row][col] = {base + row, -base - col};
        }
    }
}

TEST(ComplexArithmetic, SquaresThroughTheLibraryPowNotAMultiplication) {
    // For these parts the C library's pow(x, 2.0) and x * x differ in the last bit; the
    // squares must come from pow in every build type, never folded into a multiplication.
    const double parts[] = {0x1.c70de4240ee4fp-15, 0x1.096e4a972b7b5p-106};
    for (const double x : parts) {
        volatile double factor = x;
        const double product = factor * factor;
        const double square = std::pow(x, 2.0);
        ASSERT_NE(square, product) << "this C library squares exactly; nothing to show";
        EXPECT_EQ(c_mag({x, 0.0}), std::sqrt(square));
        const Complex quotient = c_div({x, 0.0}, {x, 0.0});
        EXPECT_EQ(quotient.r, (x * x) / square);
    }
}

TEST(ClearWorkspace, ZeroesEveryMatrixAndMakesInvTheFullIdentityWhateverN) {
    for (const int n : {0, 2, 20}) {
        Workspace ws(nullptr, nullptr, nullptr);
        ws.n = n;
        fill(ws.a, 1);
        fill(ws.a_copy, 2);
        fill(ws.inv, 3);
        fill(ws.err_mat, NaN);
        ws.a[5][5] = {-0.0, -0.0};  // must become positive zero, bit for bit
        clear_workspace(ws);
        const Complex zero{0.0, 0.0};
        const Complex one{1.0, 0.0};
        for (int row = 0; row < MAX_DIM; ++row) {
            for (int col = 0; col < MAX_DIM; ++col) {
                SCOPED_TRACE(testing::Message() << "n " << n << " at " << row << "," << col);
                EXPECT_TRUE(same_bits(ws.a[row][col], zero));
                EXPECT_TRUE(same_bits(ws.a_copy[row][col], zero));
                EXPECT_TRUE(same_bits(ws.err_mat[row][col], zero));
                EXPECT_TRUE(same_bits(ws.inv[row][col], row == col ? one : zero));
            }
        }
        EXPECT_EQ(ws.n, n);
    }
}

TEST(SaveInputCopy, CopiesExactlyTheLeadingBlockBitForBit) {
    for (const int n : {2, 3, 20}) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        Workspace ws(nullptr, nullptr, nullptr);
        clear_workspace(ws);
        ws.n = n;
        fill(ws.a, 10);
        // Entries whose bits a careless copy (through arithmetic) would change.
        ws.a[0][1] = {-0.0, NaN};
        ws.a[1][0] = {std::numeric_limits<double>::infinity(), -NaN};
        const ComplexMatrix before = ws.a;
        save_input_copy(ws);
        for (int row = 0; row < MAX_DIM; ++row) {
            for (int col = 0; col < MAX_DIM; ++col) {
                const bool inside = row < n && col < n;
                const Complex want = inside ? ws.a[row][col] : Complex{0.0, 0.0};
                EXPECT_TRUE(same_bits(ws.a_copy[row][col], want)) << row << "," << col;
            }
        }
        EXPECT_EQ(std::memcmp(&before, &ws.a, sizeof before), 0) << "a must not change";
    }
}

}  // namespace
}  // namespace cmatinv
