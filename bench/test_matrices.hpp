#pragma once

#include <cstdint>

#include "workspace/complex.hpp"

namespace cmatinv::bench {

// A fixed, seeded stream of doubles, the same on every machine and with every standard
// library (std::uniform_real_distribution is not specified bit for bit).
class SeededDoubles {
public:
    explicit SeededDoubles(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next_bits() {
        // splitmix64
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1), 53 random bits.
    double unit() { return static_cast<double>(next_bits() >> 11) * 0x1.0p-53; }
    // Uniform in [-1, 1).
    double symmetric() { return 2.0 * unit() - 1.0; }

private:
    std::uint64_t state_;
};

// The benchmark matrix of dimension n: both parts of every entry uniform in [-1, 1).
inline ComplexMatrix random_matrix(int n, std::uint64_t seed = 2002) {
    SeededDoubles rng(seed + static_cast<std::uint64_t>(n));
    ComplexMatrix m{};
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const double re = rng.symmetric();
            m[row][col] = {re, rng.symmetric()};
        }
    }
    return m;
}

}  // namespace cmatinv::bench
