#include "lapack_inverse.hpp"

#include <dlfcn.h>

extern "C" {
cmatinv::bench::ZgetrfFn zgetrf_;
cmatinv::bench::ZgetriFn zgetri_;
cmatinv::bench::ZgemmFn zgemm_;
}

namespace cmatinv::bench {

const LapackLibrary& reference_lapack() {
    static const LapackLibrary lib{"LAPACK", zgetrf_, zgetri_, zgemm_};
    return lib;
}

namespace {

LapackLibrary load_openblas() {
    LapackLibrary lib;
    lib.name = "OpenBLAS";
    // RTLD_DEEPBIND: OpenBLAS's calls between its own routines must not land in the
    // reference library that this program is linked with.
    void* handle = dlopen(CMATINV_OPENBLAS_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
    if (handle == nullptr) {
        return lib;
    }
    using SetThreadsFn = void(int);
    if (auto* set_threads =
            reinterpret_cast<SetThreadsFn*>(dlsym(handle, "openblas_set_num_threads"))) {
        set_threads(1);
    }
    lib.zgetrf = reinterpret_cast<ZgetrfFn*>(dlsym(handle, "zgetrf_"));
    lib.zgetri = reinterpret_cast<ZgetriFn*>(dlsym(handle, "zgetri_"));
    lib.zgemm = reinterpret_cast<ZgemmFn*>(dlsym(handle, "zgemm_"));
    return lib;
}

}  // namespace

const LapackLibrary& openblas() {
    static const LapackLibrary lib = load_openblas();
    return lib;
}

int LapackInverse::invert(const ComplexMatrix& m, int n) {
    n_ = n;
    for (int col = 0; col < n; ++col) {
        for (int row = 0; row < n; ++row) {
            input_[row + col * n] = m[row][col];
            inverse_[row + col * n] = m[row][col];
        }
    }
    int info = 0;
    lib_.zgetrf(&n, &n, inverse_, &n, pivots_, &info);
    if (info != 0) {
        return info;
    }
    const int lwork = WORK_SIZE;
    lib_.zgetri(&n, inverse_, &n, pivots_, work_, &lwork, &info);
    return info;
}

int LapackInverse::invert_and_multiply(const ComplexMatrix& m, int n) {
    const int info = invert(m, n);
    if (info != 0) {
        return info;
    }
    const Complex one{1.0, 0.0};
    const Complex zero{0.0, 0.0};
    lib_.zgemm("N", "N", &n, &n, &n, &one, input_, &n, inverse_, &n, &zero, product_, &n, 1, 1);
    return 0;
}

}  // namespace cmatinv::bench
