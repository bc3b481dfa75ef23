#pragma once

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

// The three complex operations every stage uses. Each part is formed exactly as written,
// product by product, so that the printed digits do not depend on the compiler: the
// build forbids contraction into fused multiply-add.
double c_mag(Complex z);
Complex c_div(Complex x, Complex y);

inline Complex c_mul(Complex x, Complex y) {
    return {x.r * y.r - x.i * y.i, x.r * y.i + x.i * y.r};
}

}  // namespace cmatinv
