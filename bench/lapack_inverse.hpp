#pragma once

#include <cstddef>

#include "workspace/complex.hpp"

namespace cmatinv::bench {

// A Fortran double complex has the layout of Complex: real part, then imaginary part.
using ZgetrfFn = void(const int* m, const int* n, Complex* a, const int* lda, int* ipiv, int* info);
using ZgetriFn = void(const int* n, Complex* a, const int* lda, const int* ipiv, Complex* work,
                      const int* lwork, int* info);
using ZgemmFn = void(const char* transa, const char* transb, const int* m, const int* n,
                     const int* k, const Complex* alpha, const Complex* a, const int* lda,
                     const Complex* b, const int* ldb, const Complex* beta, Complex* c,
                     const int* ldc, std::size_t transa_length, std::size_t transb_length);

// One LAPACK implementation: its name and its three routines, or none when it is missing.
struct LapackLibrary {
    const char* name = "";
    ZgetrfFn* zgetrf = nullptr;
    ZgetriFn* zgetri = nullptr;
    ZgemmFn* zgemm = nullptr;

    bool available() const { return zgetrf != nullptr && zgetri != nullptr && zgemm != nullptr; }
};

// The reference LAPACK and BLAS the benchmark programs are linked with.
const LapackLibrary& reference_lapack();
// OpenBLAS, loaded at run time with its own symbols bound first, so that it and the reference
// library can be measured side by side in one process; limited to one thread, as cmatinv has.
// Not available() when the library cannot be loaded.
const LapackLibrary& openblas();

// zgetrf + zgetri on a column-major copy, then the product input x inverse (zgemm), on
// fixed storage: nothing is allocated per call.
class LapackInverse {
public:
    explicit LapackInverse(const LapackLibrary& lib) : lib_(lib) {}

    // zgetrf + zgetri alone. Returns LAPACK's info: 0 on success, i > 0 when U(i,i) is
    // exactly zero.
    int invert(const ComplexMatrix& m, int n);
    // The inversion, then the product input x inverse.
    int invert_and_multiply(const ComplexMatrix& m, int n);

    Complex inverse(int row, int col) const { return inverse_[row + col * n_]; }
    Complex product(int row, int col) const { return product_[row + col * n_]; }

private:
    static constexpr int WORK_SIZE = 64 * MAX_DIM;

    const LapackLibrary& lib_;
    int n_ = 0;
    Complex input_[MAX_DIM * MAX_DIM] = {};
    Complex inverse_[MAX_DIM * MAX_DIM] = {};
    Complex product_[MAX_DIM * MAX_DIM] = {};
    Complex work_[WORK_SIZE] = {};
    int pivots_[MAX_DIM] = {};
};

}  // namespace cmatinv::bench
