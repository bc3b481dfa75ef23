#include "workspace/complex.hpp"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(CMATINV_PLAIN_KERNELS)
#include <immintrin.h>
#define CMATINV_HAS_VECTOR_KERNELS 1
#endif

namespace cmatinv {

double square_by_pow(double x) {
    return std::pow(x, 2.0);
}

namespace {

void subtract_multiple_plain(Complex* row, const Complex* other, Complex m, int count) {
    for (int q = 0; q < count; ++q) {
        const Complex t = c_mul(m, other[q]);
        row[q].r = row[q].r - t.r;
        row[q].i = row[q].i - t.i;
    }
}

// Both parts strictly below the tolerance, written !(x >= t) so that a NaN part counts as below.
void flush_tiny(Complex& z, double tolerance) {
    if (!(std::fabs(z.r) >= tolerance) && !(std::fabs(z.i) >= tolerance)) {
        z = {0.0, 0.0};
    }
}

void subtract_multiple_and_flush_plain(Complex* row, const Complex* other, Complex m, int count,
                                       double tolerance) {
    for (int q = 0; q < count; ++q) {
        const Complex t = c_mul(m, other[q]);
        row[q].r = row[q].r - t.r;
        row[q].i = row[q].i - t.i;
        flush_tiny(row[q], tolerance);
    }
}

void add_multiple_plain(Complex* row, const Complex* other, Complex m, int count) {
    for (int q = 0; q < count; ++q) {
        const Complex t = c_mul(m, other[q]);
        row[q].r = t.r + row[q].r;
        row[q].i = t.i + row[q].i;
    }
}

void divide_row_plain(Complex* row, Complex y, double d, int count) {
    for (int q = 0; q < count; ++q) {
        row[q] = c_div_by(row[q], y, d);
    }
}

void exchange_rows_plain(Complex* row, Complex* other, int count) {
    for (int q = 0; q < count; ++q) {
        const Complex held = row[q];
        row[q] = other[q];
        other[q] = held;
    }
}

constexpr RowKernels PLAIN_KERNELS{"plain",
                                   subtract_multiple_plain,
                                   subtract_multiple_and_flush_plain,
                                   add_multiple_plain,
                                   divide_row_plain,
                                   exchange_rows_plain};

// Every implementation this processor can run, the plain loops first, the widest last; the
// list ends with nullptr.
struct Supported {
    const RowKernels* list[4];
};

#ifdef CMATINV_HAS_VECTOR_KERNELS

// Two entries per 256-bit register, laid out as in memory: (r0, i0, r1, i1). Each lane gets
// one IEEE multiplication, addition or subtraction, exactly those of the scalar formulas;
// AVX2 is asked for without FMA, and the build forbids contracting anyway.
//
// c_mul(m, x) for m broadcast: m.r * (x.r, x.i) and m.i * (x.i, x.r), then addsub, whose
// even lanes subtract and odd lanes add: (m.r x.r - m.i x.i, m.r x.i + m.i x.r). The 128-bit
// forms below do the same for a single entry.
#define CMATINV_AVX2 __attribute__((target("avx2")))

CMATINV_AVX2 inline __m256d mul_pair(__m256d mr, __m256d mi, __m256d x) {
    const __m256d swapped = _mm256_permute_pd(x, 0b0101);
    return _mm256_addsub_pd(_mm256_mul_pd(mr, x), _mm256_mul_pd(mi, swapped));
}

CMATINV_AVX2 inline __m128d mul_one(__m128d mr, __m128d mi, __m128d x) {
    const __m128d swapped = _mm_permute_pd(x, 0b01);
    return _mm_addsub_pd(_mm_mul_pd(mr, x), _mm_mul_pd(mi, swapped));
}

CMATINV_AVX2 void subtract_multiple_avx2(Complex* row, const Complex* other, Complex m, int count) {
    const __m256d mr = _mm256_set1_pd(m.r);
    const __m256d mi = _mm256_set1_pd(m.i);
    int q = 0;
    for (; q + 2 <= count; q += 2) {
        const __m256d t = mul_pair(mr, mi, _mm256_loadu_pd(&other[q].r));
        _mm256_storeu_pd(&row[q].r, _mm256_sub_pd(_mm256_loadu_pd(&row[q].r), t));
    }
    if (q < count) {
        const __m128d t = mul_one(_mm256_castpd256_pd128(mr), _mm256_castpd256_pd128(mi),
                                  _mm_loadu_pd(&other[q].r));
        _mm_storeu_pd(&row[q].r, _mm_sub_pd(_mm_loadu_pd(&row[q].r), t));
    }
}

// An entry becomes +0 + 0i when both its lanes test below: !(|z| >= tolerance) is the
// unordered "not greater or equal" compare, true for NaN.
CMATINV_AVX2 inline __m256d flush_pair(__m256d z, __m256d tolerance, __m256d sign_mask) {
    const __m256d below = _mm256_cmp_pd(_mm256_andnot_pd(sign_mask, z), tolerance, _CMP_NGE_UQ);
    const __m256d both = _mm256_and_pd(below, _mm256_permute_pd(below, 0b0101));
    return _mm256_andnot_pd(both, z);
}

CMATINV_AVX2 inline __m128d flush_one(__m128d z, __m128d tolerance, __m128d sign_mask) {
    const __m128d below = _mm_cmp_pd(_mm_andnot_pd(sign_mask, z), tolerance, _CMP_NGE_UQ);
    const __m128d both = _mm_and_pd(below, _mm_permute_pd(below, 0b01));
    return _mm_andnot_pd(both, z);
}

CMATINV_AVX2 void subtract_multiple_and_flush_avx2(Complex* row, const Complex* other, Complex m,
                                                   int count, double tolerance) {
    const __m256d mr = _mm256_set1_pd(m.r);
    const __m256d mi = _mm256_set1_pd(m.i);
    const __m256d tol = _mm256_set1_pd(tolerance);
    const __m256d sign = _mm256_set1_pd(-0.0);
    int q = 0;
    for (; q + 2 <= count; q += 2) {
        const __m256d t = mul_pair(mr, mi, _mm256_loadu_pd(&other[q].r));
        const __m256d z = _mm256_sub_pd(_mm256_loadu_pd(&row[q].r), t);
        _mm256_storeu_pd(&row[q].r, flush_pair(z, tol, sign));
    }
    if (q < count) {
        const __m128d t = mul_one(_mm256_castpd256_pd128(mr), _mm256_castpd256_pd128(mi),
                                  _mm_loadu_pd(&other[q].r));
        const __m128d z = _mm_sub_pd(_mm_loadu_pd(&row[q].r), t);
        _mm_storeu_pd(&row[q].r,
                      flush_one(z, _mm256_castpd256_pd128(tol), _mm256_castpd256_pd128(sign)));
    }
}

CMATINV_AVX2 void add_multiple_avx2(Complex* row, const Complex* other, Complex m, int count) {
    const __m256d mr = _mm256_set1_pd(m.r);
    const __m256d mi = _mm256_set1_pd(m.i);
    int q = 0;
    for (; q + 2 <= count; q += 2) {
        const __m256d t = mul_pair(mr, mi, _mm256_loadu_pd(&other[q].r));
        _mm256_storeu_pd(&row[q].r, _mm256_add_pd(t, _mm256_loadu_pd(&row[q].r)));
    }
    if (q < count) {
        const __m128d t = mul_one(_mm256_castpd256_pd128(mr), _mm256_castpd256_pd128(mi),
                                  _mm_loadu_pd(&other[q].r));
        _mm_storeu_pd(&row[q].r, _mm_add_pd(t, _mm_loadu_pd(&row[q].r)));
    }
}

// c_div_by(x, y, d): a = (x.r y.r, x.i y.r), b = (x.i y.i, x.r y.i); the real part is
// a + b, the imaginary part a - b (a true subtraction, not the addition of a negated
// value, whose NaN would carry the other sign), each then divided by d.
CMATINV_AVX2 void divide_row_avx2(Complex* row, Complex y, double d, int count) {
    const __m256d yr = _mm256_set1_pd(y.r);
    const __m256d yi = _mm256_set1_pd(y.i);
    const __m256d dd = _mm256_set1_pd(d);
    int q = 0;
    for (; q + 2 <= count; q += 2) {
        const __m256d x = _mm256_loadu_pd(&row[q].r);
        const __m256d a = _mm256_mul_pd(x, yr);
        const __m256d b = _mm256_mul_pd(_mm256_permute_pd(x, 0b0101), yi);
        const __m256d numerator = _mm256_blend_pd(_mm256_add_pd(a, b), _mm256_sub_pd(a, b), 0b1010);
        _mm256_storeu_pd(&row[q].r, _mm256_div_pd(numerator, dd));
    }
    if (q < count) {
        row[q] = c_div_by(row[q], y, d);
    }
}

CMATINV_AVX2 void exchange_rows_avx2(Complex* row, Complex* other, int count) {
    int q = 0;
    for (; q + 2 <= count; q += 2) {
        const __m256d held = _mm256_loadu_pd(&row[q].r);
        _mm256_storeu_pd(&row[q].r, _mm256_loadu_pd(&other[q].r));
        _mm256_storeu_pd(&other[q].r, held);
    }
    if (q < count) {
        const __m128d held = _mm_loadu_pd(&row[q].r);
        _mm_storeu_pd(&row[q].r, _mm_loadu_pd(&other[q].r));
        _mm_storeu_pd(&other[q].r, held);
    }
}

#undef CMATINV_AVX2

constexpr RowKernels AVX2_KERNELS{
    "avx2",          subtract_multiple_avx2, subtract_multiple_and_flush_avx2, add_multiple_avx2,
    divide_row_avx2, exchange_rows_avx2};

// Four entries per 512-bit register. AVX-512 has no addsub without fusing, so the product's
// parts are a subtraction in every lane followed by an addition that replaces the odd lanes:
// still one rounded operation per part. A row's last one to three entries go through the
// 256-bit forms.
#define CMATINV_AVX512 __attribute__((target("avx512f")))

constexpr __mmask8 ODD_LANES = 0xaa;

CMATINV_AVX512 inline __m512d mul_quad(__m512d mr, __m512d mi, __m512d x) {
    const __m512d a = _mm512_mul_pd(mr, x);
    const __m512d b = _mm512_mul_pd(mi, _mm512_mask_permute_pd(x, 0xff, x, 0x55));
    return _mm512_mask_add_pd(_mm512_sub_pd(a, b), ODD_LANES, a, b);
}

CMATINV_AVX512 void subtract_multiple_avx512(Complex* row, const Complex* other, Complex m,
                                             int count) {
    const __m512d mr = _mm512_set1_pd(m.r);
    const __m512d mi = _mm512_set1_pd(m.i);
    int q = 0;
    for (; q + 4 <= count; q += 4) {
        const __m512d t = mul_quad(mr, mi, _mm512_loadu_pd(&other[q].r));
        _mm512_storeu_pd(&row[q].r, _mm512_sub_pd(_mm512_loadu_pd(&row[q].r), t));
    }
    if (q < count) {
        subtract_multiple_avx2(row + q, other + q, m, count - q);
    }
}

// Entries whose two lanes both test below become +0 + 0i.
CMATINV_AVX512 inline __m512d flush_quad(__m512d z, __m512d tolerance) {
    const __mmask8 below = _mm512_cmp_pd_mask(_mm512_abs_pd(z), tolerance, _CMP_NGE_UQ);
    const auto both_even = static_cast<unsigned>(below & (below >> 1) & 0x55);
    return _mm512_maskz_mov_pd(static_cast<__mmask8>(~(both_even | both_even << 1)), z);
}

CMATINV_AVX512 void subtract_multiple_and_flush_avx512(Complex* row, const Complex* other,
                                                       Complex m, int count, double tolerance) {
    const __m512d mr = _mm512_set1_pd(m.r);
    const __m512d mi = _mm512_set1_pd(m.i);
    const __m512d tol = _mm512_set1_pd(tolerance);
    int q = 0;
    for (; q + 4 <= count; q += 4) {
        const __m512d t = mul_quad(mr, mi, _mm512_loadu_pd(&other[q].r));
        const __m512d z = _mm512_sub_pd(_mm512_loadu_pd(&row[q].r), t);
        _mm512_storeu_pd(&row[q].r, flush_quad(z, tol));
    }
    if (q < count) {
        subtract_multiple_and_flush_avx2(row + q, other + q, m, count - q, tolerance);
    }
}

CMATINV_AVX512 void add_multiple_avx512(Complex* row, const Complex* other, Complex m, int count) {
    const __m512d mr = _mm512_set1_pd(m.r);
    const __m512d mi = _mm512_set1_pd(m.i);
    int q = 0;
    for (; q + 4 <= count; q += 4) {
        const __m512d t = mul_quad(mr, mi, _mm512_loadu_pd(&other[q].r));
        _mm512_storeu_pd(&row[q].r, _mm512_add_pd(t, _mm512_loadu_pd(&row[q].r)));
    }
    if (q < count) {
        add_multiple_avx2(row + q, other + q, m, count - q);
    }
}

CMATINV_AVX512 inline __m512d divide_quad(__m512d x, __m512d yr, __m512d yi, __m512d d) {
    const __m512d a = _mm512_mul_pd(x, yr);
    const __m512d b = _mm512_mul_pd(_mm512_mask_permute_pd(x, 0xff, x, 0x55), yi);
    const __m512d numerator = _mm512_mask_sub_pd(_mm512_add_pd(a, b), ODD_LANES, a, b);
    return _mm512_div_pd(numerator, d);
}

CMATINV_AVX512 void divide_row_avx512(Complex* row, Complex y, double d, int count) {
    const __m512d yr = _mm512_set1_pd(y.r);
    const __m512d yi = _mm512_set1_pd(y.i);
    const __m512d dd = _mm512_set1_pd(d);
    int q = 0;
    for (; q + 4 <= count; q += 4) {
        _mm512_storeu_pd(&row[q].r, divide_quad(_mm512_loadu_pd(&row[q].r), yr, yi, dd));
    }
    if (q < count) {
        divide_row_avx2(row + q, y, d, count - q);
    }
}

CMATINV_AVX512 void exchange_rows_avx512(Complex* row, Complex* other, int count) {
    int q = 0;
    for (; q + 4 <= count; q += 4) {
        const __m512d held = _mm512_loadu_pd(&row[q].r);
        _mm512_storeu_pd(&row[q].r, _mm512_loadu_pd(&other[q].r));
        _mm512_storeu_pd(&other[q].r, held);
    }
    if (q < count) {
        exchange_rows_avx2(row + q, other + q, count - q);
    }
}

#undef CMATINV_AVX512

constexpr RowKernels AVX512_KERNELS{"avx512",
                                    subtract_multiple_avx512,
                                    subtract_multiple_and_flush_avx512,
                                    add_multiple_avx512,
                                    divide_row_avx512,
                                    exchange_rows_avx512};

Supported detect_supported() {
    Supported supported{{&PLAIN_KERNELS, nullptr, nullptr, nullptr}};
    int count = 1;
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        supported.list[count++] = &AVX2_KERNELS;
    }
    // The 512-bit forms finish a row with the 256-bit ones.
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f")) {
        supported.list[count++] = &AVX512_KERNELS;
    }
    return supported;
}

#else

Supported detect_supported() {
    return {{&PLAIN_KERNELS, nullptr, nullptr, nullptr}};
}

#endif

const Supported g_supported = detect_supported();

const RowKernels& widest(const Supported& supported) {
    int last = 0;
    while (supported.list[last + 1] != nullptr) {
        ++last;
    }
    return *supported.list[last];
}

const RowKernels& g_kernels = widest(g_supported);

}  // namespace

const RowKernels* const* supported_row_kernels() {
    return g_supported.list;
}

const RowKernels& active_row_kernels() {
    return g_kernels;
}

void subtract_multiple(Complex* row, const Complex* other, Complex m, int count) {
    g_kernels.subtract_multiple(row, other, m, count);
}

void subtract_multiple_and_flush(Complex* row, const Complex* other, Complex m, int count,
                                 double tolerance) {
    g_kernels.subtract_multiple_and_flush(row, other, m, count, tolerance);
}

void add_multiple(Complex* row, const Complex* other, Complex m, int count) {
    g_kernels.add_multiple(row, other, m, count);
}

void divide_row(Complex* row, Complex y, double d, int count) {
    g_kernels.divide_row(row, y, d, count);
}

void exchange_rows(Complex* row, Complex* other, int count) {
    g_kernels.exchange_rows(row, other, count);
}

}  // namespace cmatinv
