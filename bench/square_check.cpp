// Compares square(x), the fast path for squares, bit for bit with the C library's
// pow(x, 2.0). Usage: square_check [count] [seed]. Draws `count` values from each of four
// kinds: random bit patterns, random significands over the exponents of the fast path and
// past its edges, runs of consecutive doubles from random starting points, and scaled
// integers (exact squares) with their neighbours. Exits 1 on any difference; also counts the
// values for which pow and x * x differ, the cases the fast path must leave to pow.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "test_matrices.hpp"
#include "workspace/complex.hpp"

namespace {

long long g_checked = 0;
long long g_differences = 0;
long long g_pow_differs_from_product = 0;

void check(double x) {
    ++g_checked;
    const double want = std::pow(x, 2.0);
    const double got = cmatinv::square(x);
    volatile double factor = x;
    const double product = factor * factor;
    if (std::bit_cast<std::uint64_t>(want) != std::bit_cast<std::uint64_t>(product) &&
        !(std::isnan(want) && std::isnan(product))) {
        ++g_pow_differs_from_product;
    }
    if (std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(want)) {
        if (++g_differences <= 20) {
            std::printf("DIFFERENCE %a: square %a, pow %a\n", x, got, want);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const long long count = argc > 1 ? std::atoll(argv[1]) : 100'000'000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    cmatinv::bench::SeededDoubles rng(seed);

    for (long long k = 0; k < count; ++k) {
        check(std::bit_cast<double>(rng.next_bits()));
    }
    std::printf("random bit patterns:                      %lld\n", g_checked);

    // Significand random, binary exponent uniform in -470 .. 470 (the fast path takes
    // -450 .. 450), either sign.
    long long start = g_checked;
    for (long long k = 0; k < count; ++k) {
        const std::uint64_t bits = rng.next_bits();
        const std::uint64_t biased = 1023 - 470 + bits % 941;
        check(std::bit_cast<double>((bits & 0x800fffffffffffffULL) | biased << 52));
    }
    std::printf("exponents -470 .. 470:                    %lld\n", g_checked - start);

    // Runs of consecutive doubles: every neighbour of a random value, at moderate exponents.
    start = g_checked;
    for (long long k = 0; k < count / 64; ++k) {
        const std::uint64_t bits = rng.next_bits();
        const std::uint64_t biased = 1023 - 200 + bits % 401;
        double x = std::bit_cast<double>((bits & 0x000fffffffffffffULL) | biased << 52);
        for (int step = 0; step < 64; ++step) {
            check(x);
            x = std::nextafter(x, INFINITY);
        }
    }
    std::printf("runs of 64 consecutive doubles:           %lld\n", g_checked - start);

    // Small integers and halves and their neighbours: exact squares and their surroundings.
    start = g_checked;
    for (long long k = 0; k < count / 3; ++k) {
        const double x = std::ldexp(static_cast<double>(rng.next_bits() % 100'000'000),
                                    -static_cast<int>(rng.next_bits() % 60));
        check(x);
        check(std::nextafter(x, 0.0));
        check(std::nextafter(x, INFINITY));
    }
    std::printf("scaled integers and neighbours:           %lld\n", g_checked - start);

    std::printf("%lld values checked, %lld differences; pow differs from x * x for %lld of them\n",
                g_checked, g_differences, g_pow_differs_from_product);
    return g_differences == 0 ? 0 : 1;
}
