// Times cmatinv's numerical stages and the whole computation of a run against LAPACK
// (zgetrf + zgetri + zgemm) from the reference library and from OpenBLAS, on the same
// seeded matrices, in one process, and prints the medians side by side.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/run.hpp"
#include "lapack_inverse.hpp"
#include "numeric/back_substitute.hpp"
#include "numeric/complex_det.hpp"
#include "numeric/error_analysis.hpp"
#include "numeric/forward_eliminate.hpp"
#include "output/matrix_text.hpp"
#include "output/write_inverse.hpp"
#include "test_matrices.hpp"
#include "workspace/error_stop.hpp"
#include "workspace/workspace.hpp"

// The result files go to memory: the stages open them by their fixed names, and this program
// is linked with --wrap=fopen, so that a run's output costs what the formatting and the stream
// cost, not what a file system costs.
namespace {
constexpr std::size_t RESULT_BUFFER_SIZE = 64 * 1024;
char g_result_buffer[RESULT_BUFFER_SIZE];
}  // namespace

extern "C" std::FILE* __real_fopen(const char* name, const char* mode);
extern "C" std::FILE* __wrap_fopen(const char* name, const char* mode) {
    if (std::strcmp(name, "inv_data.out") == 0 || std::strcmp(name, "inv_err.out") == 0) {
        return fmemopen(g_result_buffer, RESULT_BUFFER_SIZE, "w");
    }
    return __real_fopen(name, mode);
}

namespace cmatinv::bench {
namespace {

constexpr int DIMENSIONS[] = {2, 6, 12, 20};

// Standard output of the stages: an in-memory stream, rewound before every run.
std::FILE* screen() {
    static char buffer[256 * 1024];
    static std::FILE* stream = fmemopen(buffer, sizeof buffer, "w");
    return stream;
}

struct Fixture {
    explicit Fixture(int size) : ws(nullptr, screen(), screen()), m(random_matrix(size)) {
        ws.n = size;
        clear_workspace(ws);
    }

    // The state a run has right after save_input_copy: a and a_copy hold the input, inv
    // is the identity and err_mat zero (only the leading block is ever read).
    void start_run() {
        const int n = ws.n;
        for (int row = 0; row < n; ++row) {
            for (int col = 0; col < n; ++col) {
                ws.a[row][col] = m[row][col];
                ws.a_copy[row][col] = m[row][col];
                ws.inv[row][col] = {row == col ? 1.0 : 0.0, 0.0};
                ws.err_mat[row][col] = {0.0, 0.0};
            }
        }
    }

    // For the stages that print: the screen stream starts over.
    void start_run_with_output() {
        start_run();
        std::rewind(ws.io.out);
    }

    Workspace ws;
    ComplexMatrix m;
};

void BM_Inversion(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        f.start_run();
        forward_eliminate(f.ws);
        back_substitute(f.ws);
        benchmark::DoNotOptimize(f.ws.inv);
    }
}

void BM_ErrorAnalysis(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    f.start_run();
    forward_eliminate(f.ws);
    back_substitute(f.ws);
    const ComplexMatrix inverse = f.ws.inv;
    for (auto _ : state) {
        f.start_run_with_output();
        f.ws.inv = inverse;
        error_analysis(f.ws);
        benchmark::DoNotOptimize(f.ws.err_mat);
    }
}

void BM_ComplexDet(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        complex_det(f.ws.n, f.m, f.ws.det_r, f.ws.det_i);
        benchmark::DoNotOptimize(f.ws.det_r);
        benchmark::DoNotOptimize(f.ws.det_i);
    }
}

// Everything a run does from the determinant of the input to that of the error matrix,
// with every report and matrix text written (to memory).
void BM_WholeCompute(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    Workspace& ws = f.ws;
    for (auto _ : state) {
        f.start_run_with_output();
        try {
            invert_and_report(ws);
        } catch (const ErrorStop&) {
            state.SkipWithError("the benchmark matrix is refused");
            break;
        }
        std::fflush(ws.io.out);
    }
}

void run_library(benchmark::State& state, const LapackLibrary& lib, bool with_product) {
    if (!lib.available()) {
        state.SkipWithError("library not found");
        return;
    }
    const int n = static_cast<int>(state.range(0));
    const ComplexMatrix m = random_matrix(n);
    const auto work = std::make_unique<LapackInverse>(lib);
    for (auto _ : state) {
        const int info = with_product ? work->invert_and_multiply(m, n) : work->invert(m, n);
        if (info != 0) {
            state.SkipWithError("LAPACK found the matrix singular");
            break;
        }
        benchmark::DoNotOptimize(*work);
    }
}

// zgetrf + zgetri, the counterpart of the inversion.
void BM_LapackInversion(benchmark::State& state) {
    run_library(state, reference_lapack(), false);
}

void BM_OpenBlasInversion(benchmark::State& state) {
    run_library(state, openblas(), false);
}

// zgetrf + zgetri + zgemm (input x inverse), the counterpart of the whole computation.
void BM_Lapack(benchmark::State& state) {
    run_library(state, reference_lapack(), true);
}

void BM_OpenBlas(benchmark::State& state) {
    run_library(state, openblas(), true);
}

// Collects the medians and prints them, with the ratios, after the usual table.
class SideBySideReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median" && !run.error_occurred) {
                medians_[run.run_name.function_name][std::stoi(run.run_name.args)] =
                    run.GetAdjustedRealTime();
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf(
            "\nMedians, ns. inversion = forward_eliminate + back_substitute; whole = everything "
            "from the\ndeterminant of the input to that of the error matrix, every text written "
            "(to memory).\nLAPACK and OpenBLAS: inv = zgetrf + zgetri, +prod = and zgemm "
            "(input x inverse).\n\n");
        std::printf("%4s %10s %10s %10s %10s | %10s %10s %10s %10s\n", "n", "inversion", "err_anal",
                    "det", "whole", "LA inv", "LA +prod", "OB inv", "OB +prod");
        for (const int n : DIMENSIONS) {
            std::printf("%4d %10.1f %10.1f %10.1f %10.1f | %10.1f %10.1f %10.1f %10.1f\n", n,
                        median("BM_Inversion", n), median("BM_ErrorAnalysis", n),
                        median("BM_ComplexDet", n), median("BM_WholeCompute", n),
                        median("BM_LapackInversion", n), median("BM_Lapack", n),
                        median("BM_OpenBlasInversion", n), median("BM_OpenBlas", n));
        }
        std::printf("\nRatios, cmatinv / library (below 1: cmatinv is faster)\n");
        std::printf("%4s %14s %14s %14s %14s\n", "n", "inv / LA inv", "inv / OB inv",
                    "whole / LA+p", "whole / OB+p");
        for (const int n : DIMENSIONS) {
            const double inversion = median("BM_Inversion", n);
            const double whole = median("BM_WholeCompute", n);
            std::printf("%4d %14.3f %14.3f %14.3f %14.3f\n", n,
                        inversion / median("BM_LapackInversion", n),
                        inversion / median("BM_OpenBlasInversion", n),
                        whole / median("BM_Lapack", n), whole / median("BM_OpenBlas", n));
        }
        std::fflush(stdout);
    }

private:
    double median(const std::string& name, int n) const {
        const auto by_name = medians_.find(name);
        if (by_name == medians_.end()) {
            return 0.0 / 0.0;
        }
        const auto by_n = by_name->second.find(n);
        return by_n == by_name->second.end() ? 0.0 / 0.0 : by_n->second;
    }

    std::map<std::string, std::map<int, double>> medians_;
};

void register_all() {
    // Side by side: for each dimension every contender in turn.
    for (const int n : DIMENSIONS) {
        for (const auto& [name, fn] :
             std::initializer_list<std::pair<const char*, void (*)(benchmark::State&)>>{
                 {"BM_Inversion", BM_Inversion},
                 {"BM_ErrorAnalysis", BM_ErrorAnalysis},
                 {"BM_ComplexDet", BM_ComplexDet},
                 {"BM_WholeCompute", BM_WholeCompute},
                 {"BM_LapackInversion", BM_LapackInversion},
                 {"BM_Lapack", BM_Lapack},
                 {"BM_OpenBlasInversion", BM_OpenBlasInversion},
                 {"BM_OpenBlas", BM_OpenBlas}}) {
            benchmark::RegisterBenchmark(name, fn)->Arg(n)->Unit(benchmark::kNanosecond);
        }
    }
}

bool given(int argc, char** argv, std::string_view flag) {
    for (int k = 1; k < argc; ++k) {
        if (std::string_view(argv[k]).substr(0, flag.size()) == flag) {
            return true;
        }
    }
    return false;
}

}  // namespace
}  // namespace cmatinv::bench

int main(int argc, char** argv) {
    using namespace cmatinv::bench;
    // Medians of several repetitions unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    std::string min_time = "--benchmark_min_time=0.05";
    if (!given(argc, argv, "--benchmark_repetitions")) {
        args.push_back(repetitions.data());
    }
    if (!given(argc, argv, "--benchmark_report_aggregates_only")) {
        args.push_back(aggregates.data());
    }
    if (!given(argc, argv, "--benchmark_min_time")) {
        args.push_back(min_time.data());
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }
    register_all();
    SideBySideReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
