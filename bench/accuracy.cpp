// Accuracy of cmatinv's inversion against LAPACK (zgetrf + zgetri), on the kinds of test
// matrices LAPACK's own test programs use, for n = 2 .. 20. For each matrix and each method
// it reports the residual ratio
//
//     ||I - A X||_1 / (n ||A||_1 ||X||_1 eps),  eps = 2^-53,
//
// which stays of order one for a backward stable inversion. Matrices that cmatinv's absolute
// tolerances refuse (the determinant gate, a zero pivot) are counted as refused.
//
// Usage: accuracy [--data FILE] [--check]
//   --data FILE  every matrix as one line: kind, n, sample, status, both ratios (for the plot)
//   --check      exit 1 when a matrix of the well-scaled kinds is refused, its inverse is
//                not finite, or its ratio reaches 100 (a loose bound: the worst seen is
//                far below it)
// Outliers (above twice LAPACK's ratio and above 1) are listed one by one.
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include "lapack_inverse.hpp"
#include "numeric/back_substitute.hpp"
#include "numeric/complex_det.hpp"
#include "numeric/forward_eliminate.hpp"
#include "numeric/tolerances.hpp"
#include "test_matrices.hpp"
#include "workspace/error_stop.hpp"
#include "workspace/workspace.hpp"

namespace cmatinv::bench {
namespace {

using Z = std::complex<double>;
using Dense = std::vector<Z>;  // n x n, row by row

constexpr double EPS = 0x1p-53;
constexpr int SAMPLES = 3;
constexpr double CHECK_BOUND = 100.0;

// As LAPACK's tests scale them: the safe minimum over the precision, and its reciprocal.
const double SMALL = 0x1p-1022 / EPS;
const double LARGE = 1.0 / SMALL;

struct Kind {
    const char* name;
    bool well_scaled;  // expected to be admitted, and checked by --check
};

enum KindIndex {
    DIAGONAL,
    UPPER_TRIANGULAR,
    LOWER_TRIANGULAR,
    RANDOM_COND_2,
    ZERO_FIRST_COLUMN,
    ZERO_LAST_COLUMN,
    ZERO_MIDDLE_COLUMN,
    RANDOM_COND_SQRT,
    RANDOM_COND_HIGH,
    NEAR_UNDERFLOW,
    NEAR_OVERFLOW,
    KIND_COUNT
};

const Kind KINDS[KIND_COUNT] = {
    {"diagonal, cond 2", true},
    {"upper triangular", true},
    {"lower triangular", true},
    {"random, cond 2", true},
    {"zero first column", false},
    {"zero last column", false},
    {"zero middle column", false},
    {"random, cond sqrt(0.1/eps)", true},
    {"random, cond 0.1/eps", false},
    {"cond 2, scaled near underflow", false},
    {"cond 2, scaled near overflow", false},
};

class Generator {
public:
    explicit Generator(std::uint64_t seed) : rng_(seed) {}

    Z gaussian() {
        // Box-Muller: two independent normal parts.
        const double radius = std::sqrt(-2.0 * std::log(1.0 - rng_.unit()));
        const double angle = 2.0 * std::numbers::pi * rng_.unit();
        return {radius * std::cos(angle), radius * std::sin(angle)};
    }

    Z phase() {
        const double angle = 2.0 * std::numbers::pi * rng_.unit();
        return {std::cos(angle), std::sin(angle)};
    }

    double unit() { return rng_.unit(); }

    // A random unitary matrix: Gram-Schmidt, done twice, on the columns of a Gaussian one.
    Dense unitary(int n) {
        Dense q(static_cast<std::size_t>(n * n));
        for (Z& z : q) {
            z = gaussian();
        }
        for (int col = 0; col < n; ++col) {
            for (int pass = 0; pass < 2; ++pass) {
                for (int prev = 0; prev < col; ++prev) {
                    Z dot = 0.0;
                    for (int row = 0; row < n; ++row) {
                        dot += std::conj(q[row * n + prev]) * q[row * n + col];
                    }
                    for (int row = 0; row < n; ++row) {
                        q[row * n + col] -= dot * q[row * n + prev];
                    }
                }
            }
            double norm = 0.0;
            for (int row = 0; row < n; ++row) {
                norm += std::norm(q[row * n + col]);
            }
            norm = std::sqrt(norm);
            for (int row = 0; row < n; ++row) {
                q[row * n + col] /= norm;
            }
        }
        return q;
    }

    // U diag(sigma) V^H with random unitary U and V, sigma falling geometrically from 1 to
    // 1/cond, as LAPACK's generator does in its mode 3.
    Dense with_condition(int n, double cond) {
        const Dense u = unitary(n);
        const Dense v = unitary(n);
        Dense a(static_cast<std::size_t>(n * n));
        for (int k = 0; k < n; ++k) {
            const double sigma = std::pow(cond, -static_cast<double>(k) / (n - 1));
            for (int row = 0; row < n; ++row) {
                for (int col = 0; col < n; ++col) {
                    a[row * n + col] += u[row * n + k] * sigma * std::conj(v[col * n + k]);
                }
            }
        }
        return a;
    }

private:
    SeededDoubles rng_;
};

Dense make_matrix(KindIndex kind, int n, Generator& g) {
    Dense a(static_cast<std::size_t>(n * n));
    switch (kind) {
        case DIAGONAL:
            for (int k = 0; k < n; ++k) {
                a[k * n + k] = std::pow(2.0, -static_cast<double>(k) / (n - 1)) * g.phase();
            }
            return a;
        case UPPER_TRIANGULAR:
        case LOWER_TRIANGULAR:
            // Diagonal of modulus 1 to 2, the other triangle small enough (entries below 1/n)
            // to keep the condition moderate.
            for (int row = 0; row < n; ++row) {
                for (int col = 0; col < n; ++col) {
                    const bool inside = kind == UPPER_TRIANGULAR ? col > row : col < row;
                    if (row == col) {
                        a[row * n + col] = (1.0 + g.unit()) * g.phase();
                    } else if (inside) {
                        a[row * n + col] = g.unit() / n * g.phase();
                    }
                }
            }
            return a;
        case RANDOM_COND_2:
            return g.with_condition(n, 2.0);
        case ZERO_FIRST_COLUMN:
        case ZERO_LAST_COLUMN:
        case ZERO_MIDDLE_COLUMN: {
            a = g.with_condition(n, 2.0);
            const int col = kind == ZERO_FIRST_COLUMN  ? 0
                            : kind == ZERO_LAST_COLUMN ? n - 1
                                                       : n / 2;
            for (int row = 0; row < n; ++row) {
                a[row * n + col] = 0.0;
            }
            return a;
        }
        case RANDOM_COND_SQRT:
            return g.with_condition(n, std::sqrt(0.1 / EPS));
        case RANDOM_COND_HIGH:
            return g.with_condition(n, 0.1 / EPS);
        case NEAR_UNDERFLOW:
        case NEAR_OVERFLOW: {
            a = g.with_condition(n, 2.0);
            const double scale = kind == NEAR_UNDERFLOW ? SMALL : LARGE;
            for (Z& z : a) {
                z *= scale;
            }
            return a;
        }
        case KIND_COUNT:
            break;
    }
    return a;
}

double norm1(const Dense& a, int n) {
    double best = 0.0;
    for (int col = 0; col < n; ++col) {
        double sum = 0.0;
        for (int row = 0; row < n; ++row) {
            sum += std::abs(a[row * n + col]);
        }
        best = std::max(best, sum);
    }
    return best;
}

// ||I - A X||_1 / (n ||A||_1 ||X||_1 eps), the product and the difference in double precision,
// as LAPACK's own test forms it. NaN when X is not finite.
double residual_ratio(const Dense& a, const Dense& x, int n) {
    Dense r(static_cast<std::size_t>(n * n));
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            Z sum = 0.0;
            for (int k = 0; k < n; ++k) {
                sum += a[row * n + k] * x[k * n + col];
            }
            r[row * n + col] = (row == col ? 1.0 : 0.0) - sum;
        }
    }
    const double ax = norm1(a, n) * norm1(x, n);
    if (!std::isfinite(ax) || !std::isfinite(norm1(r, n))) {
        return NAN;
    }
    return norm1(r, n) / (n * ax * EPS);
}

enum class Status { ADMITTED, REFUSED_BY_GATE, REFUSED_ZERO_PIVOT };

const char* status_name(Status s) {
    switch (s) {
        case Status::ADMITTED:
            return "admitted";
        case Status::REFUSED_BY_GATE:
            return "refused-determinant";
        case Status::REFUSED_ZERO_PIVOT:
            return "refused-zero-pivot";
    }
    return "";
}

// cmatinv's stages on a workspace of their own: the determinant gate, the elimination and the
// back substitution, exactly as a run calls them.
Status invert_with_cmatinv(const Dense& a, int n, Dense& x, std::FILE* sink) {
    static Workspace ws(nullptr, sink, sink);
    ws.n = n;
    clear_workspace(ws);
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            ws.a[row][col] = {a[row * n + col].real(), a[row * n + col].imag()};
        }
    }
    save_input_copy(ws);
    complex_det(ws.n, ws.a, ws.det_r, ws.det_i);
    if (!(std::fabs(ws.det_r) > ZERO_PIVOT_TOLERANCE ||
          std::fabs(ws.det_i) > ZERO_PIVOT_TOLERANCE)) {
        return Status::REFUSED_BY_GATE;
    }
    try {
        forward_eliminate(ws);
    } catch (const ErrorStop&) {
        return Status::REFUSED_ZERO_PIVOT;
    }
    back_substitute(ws);
    x.assign(static_cast<std::size_t>(n * n), 0.0);
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            x[row * n + col] = {ws.inv[row][col].r, ws.inv[row][col].i};
        }
    }
    return Status::ADMITTED;
}

// LAPACK's inverse, or false when zgetrf finds an exactly zero pivot.
bool invert_with_lapack(const Dense& a, int n, Dense& x) {
    static LapackInverse lapack(reference_lapack());
    ComplexMatrix m{};
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            m[row][col] = {a[row * n + col].real(), a[row * n + col].imag()};
        }
    }
    if (lapack.invert_and_multiply(m, n) != 0) {
        return false;
    }
    x.assign(static_cast<std::size_t>(n * n), 0.0);
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const Complex z = lapack.inverse(row, col);
            x[row * n + col] = {z.r, z.i};
        }
    }
    return true;
}

struct Summary {
    int admitted = 0;
    int refused_by_gate = 0;
    int refused_zero_pivot = 0;
    int not_finite = 0;  // admitted, but the inverse holds infinities or NaNs
    int lapack_singular = 0;
    int lapack_inverted = 0;
    double worst_cmatinv = 0.0;
    double worst_lapack = 0.0;    // over every matrix LAPACK inverted
    double worst_quotient = 0.0;  // cmatinv's ratio over LAPACK's, same matrix
    int over_30 = 0;
    // Above twice LAPACK's ratio and above 1: below 1 both sit at the rounding floor, where
    // their quotient says nothing.
    int outliers = 0;
};

}  // namespace
}  // namespace cmatinv::bench

int main(int argc, char** argv) {
    using namespace cmatinv::bench;
    const char* data_path = nullptr;
    bool check = false;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--data") == 0 && k + 1 < argc) {
            data_path = argv[++k];
        } else if (std::strcmp(argv[k], "--check") == 0) {
            check = true;
        } else {
            std::fprintf(stderr, "usage: accuracy [--data FILE] [--check]\n");
            return 2;
        }
    }
    std::FILE* data = data_path != nullptr ? std::fopen(data_path, "w") : nullptr;
    if (data_path != nullptr && data == nullptr) {
        std::perror(data_path);
        return 2;
    }
    if (data != nullptr) {
        std::fprintf(data, "# kind\tn\tsample\tstatus\tcmatinv\tlapack\n");
    }
    std::FILE* sink = std::fopen("/dev/null", "w");

    Summary summaries[KIND_COUNT];
    bool failed = false;
    Generator g(20020517);
    for (int kind = 0; kind < KIND_COUNT; ++kind) {
        Summary& s = summaries[kind];
        for (int n = 2; n <= cmatinv::MAX_DIM; ++n) {
            for (int sample = 0; sample < SAMPLES; ++sample) {
                const Dense a = make_matrix(static_cast<KindIndex>(kind), n, g);
                Dense x_cm;
                Dense x_la;
                const Status status = invert_with_cmatinv(a, n, x_cm, sink);
                const bool lapack_ok = invert_with_lapack(a, n, x_la);
                const double r_cm = status == Status::ADMITTED ? residual_ratio(a, x_cm, n) : NAN;
                const double r_la = lapack_ok ? residual_ratio(a, x_la, n) : NAN;
                if (data != nullptr) {
                    std::fprintf(data, "%d\t%d\t%d\t%s\t%.6g\t%.6g\n", kind, n, sample,
                                 status_name(status), r_cm, r_la);
                }
                s.lapack_singular += lapack_ok ? 0 : 1;
                if (std::isfinite(r_la)) {
                    ++s.lapack_inverted;
                    s.worst_lapack = std::max(s.worst_lapack, r_la);
                }
                if (status != Status::ADMITTED) {
                    ++(status == Status::REFUSED_BY_GATE ? s.refused_by_gate
                                                         : s.refused_zero_pivot);
                    if (check && KINDS[kind].well_scaled) {
                        std::printf("CHECK: %s, n = %d, sample %d: %s\n", KINDS[kind].name, n,
                                    sample, status_name(status));
                        failed = true;
                    }
                    continue;
                }
                ++s.admitted;
                if (!std::isfinite(r_cm)) {
                    ++s.not_finite;
                    if (check && KINDS[kind].well_scaled) {
                        std::printf("CHECK: %s, n = %d, sample %d: inverse not finite\n",
                                    KINDS[kind].name, n, sample);
                        failed = true;
                    }
                    continue;
                }
                s.worst_cmatinv = std::max(s.worst_cmatinv, r_cm);
                s.over_30 += r_cm >= 30.0 ? 1 : 0;
                if (std::isfinite(r_la) && r_la > 0.0) {
                    s.worst_quotient = std::max(s.worst_quotient, r_cm / r_la);
                }
                if (std::isfinite(r_la) && r_cm > 2.0 * r_la && r_cm > 1.0) {
                    ++s.outliers;
                    std::printf("outlier: %s, n = %d, sample %d: cmatinv %.3g, LAPACK %.3g\n",
                                KINDS[kind].name, n, sample, r_cm, r_la);
                }
                if (check && KINDS[kind].well_scaled && !(r_cm < CHECK_BOUND)) {
                    std::printf("CHECK: %s, n = %d, sample %d: ratio %.3g\n", KINDS[kind].name, n,
                                sample, r_cm);
                    failed = true;
                }
            }
        }
    }

    std::printf(
        "Residual ratio ||I - A X||_1 / (n ||A||_1 ||X||_1 eps), n = 2 .. 20, %d matrices "
        "of each kind and n\n\n",
        SAMPLES);
    std::printf("| %-29s | %8s | %13s | %10s | %13s | %12s | %13s | %5s | %8s |\n", "kind",
                "admitted", "refused (D/P)", "not finite", "worst cmatinv", "worst LAPACK",
                "worst cm / LA", ">= 30", "outliers");
    std::printf(
        "|-------------------------------|---------:|--------------:|-----------:|"
        "--------------:|-------------:|--------------:|------:|---------:|\n");
    for (int kind = 0; kind < KIND_COUNT; ++kind) {
        const Summary& s = summaries[kind];
        const auto cell = [](int count, double value, char(&text)[16]) {
            std::snprintf(text, sizeof text, count == 0 ? "-" : "%.3g", value);
            return text;
        };
        char refused[16];
        std::snprintf(refused, sizeof refused, "%d / %d", s.refused_by_gate, s.refused_zero_pivot);
        char worst_cm[16];
        char worst_la[16];
        char quotient[16];
        const int finite = s.admitted - s.not_finite;
        std::printf("| %-29s | %8d | %13s | %10d | %13s | %12s | %13s | %5d | %8d |\n",
                    KINDS[kind].name, s.admitted, refused, s.not_finite,
                    cell(finite, s.worst_cmatinv, worst_cm),
                    cell(s.lapack_inverted, s.worst_lapack, worst_la),
                    cell(finite, s.worst_quotient, quotient), s.over_30, s.outliers);
    }
    std::printf(
        "\nRefused: D by the determinant gate, P by the zero-pivot test of the elimination."
        "\n");
    std::printf("\nLAPACK found %d of the %d zero-column matrices exactly singular.\n",
                summaries[ZERO_FIRST_COLUMN].lapack_singular +
                    summaries[ZERO_LAST_COLUMN].lapack_singular +
                    summaries[ZERO_MIDDLE_COLUMN].lapack_singular,
                3 * (cmatinv::MAX_DIM - 1) * SAMPLES);
    if (data != nullptr) {
        std::fclose(data);
    }
    std::fclose(sink);
    return failed ? 1 : 0;
}
