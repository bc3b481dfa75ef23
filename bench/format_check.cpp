// Compares format_number, value by value, with the number format written the plain way: the
// C++ library's 17-digit conversion (std::to_chars, precision 16), then the half-up rounding
// from the seventh digit. Usage: format_check [count] [seed]. Prints the number of values
// checked per kind and every difference; exits 1 on any.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "output/number_format.hpp"
#include "test_matrices.hpp"

namespace {

// The reference: the conversion as the program first had it.
std::string reference_text(double value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    bool negative = (bits >> 63) != 0;
    std::string digits;
    int exponent = 0;
    if (((bits >> 52) & 0x7ff) == 0x7ff) {
        if (fraction == 0) {
            digits = "1#INF0";
        } else if (negative && fraction == (std::uint64_t{1} << 51)) {
            digits = "1#IND0";
        } else {
            digits = (fraction & (std::uint64_t{1} << 51)) != 0 ? "1#QNAN" : "1#SNAN";
        }
    } else if (value == 0.0) {
        digits = "000000";
        negative = false;
    } else {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, std::fabs(value),
                                       std::chars_format::scientific, 16)
                             .ptr;
        exponent = std::atoi(std::string(text + 19, end).c_str());
        digits = std::string(1, text[0]) + std::string(text + 2, 5);
        if (text[7] >= '5') {
            int pos = 5;
            while (pos >= 0 && digits[pos] == '9') {
                digits[pos] = '0';
                --pos;
            }
            if (pos < 0) {
                digits[0] = '1';
                ++exponent;
            } else {
                ++digits[pos];
            }
        }
    }
    char out[32];
    std::snprintf(out, sizeof out, "%s%c.%se%c%03d", negative ? "-" : "", digits[0],
                  digits.substr(1).c_str(), exponent < 0 ? '-' : '+', std::abs(exponent));
    return out;
}

long long g_checked = 0;
long long g_differences = 0;

void check(double value) {
    ++g_checked;
    char buffer[cmatinv::NUMBER_TEXT_MAX + 1];
    const std::string got(buffer, cmatinv::format_number(buffer, value));
    const std::string want = reference_text(value);
    if (got != want) {
        if (++g_differences <= 20) {
            std::printf("DIFFERENCE %a: got %s, want %s\n", value, got.c_str(), want.c_str());
        }
    }
}

double parse(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const long long count = argc > 1 ? std::atoll(argv[1]) : 10'000'000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    cmatinv::bench::SeededDoubles rng(seed);

    // 1. Any bit pattern: every exponent, subnormals, infinities, NaNs.
    long long start = g_checked;
    for (long long k = 0; k < count; ++k) {
        check(std::bit_cast<double>(rng.next_bits()));
    }
    std::printf("random bit patterns:              %lld\n", g_checked - start);

    // 2. Log-uniform over the range the exact integer path takes, and a little beyond.
    start = g_checked;
    for (long long k = 0; k < count; ++k) {
        const double value =
            std::pow(10.0, -45.0 + 65.0 * rng.unit()) * (rng.unit() < 0.5 ? -1 : 1);
        check(value);
        check(std::nextafter(value, 0.0));
    }
    std::printf("log-uniform 1e-45 .. 1e20:        %lld\n", g_checked - start);

    // 3. Where the roundings turn: near the six-digit ties d.ddddd5, near the 17-digit ties
    //    whose seventh digit is 4 or 5 followed by nines or zeros, near the edges of the
    //    window around a tie that the quick way leaves to the general way (1e-9 of a unit of
    //    the sixth digit), next to the integers of the sixth digit, and near powers of ten,
    //    each with its neighbouring doubles.
    start = g_checked;
    const char* const tails[] = {
        "5",           "50000000000", "49999999999", "4999999999999999", "5000000000000001",
        "49999999995", "50000000005", "5000000010",  "4999999990",       "5000000012",
        "4999999988",  "500000002",   "499999998",   "50000001",         "49999999",
        "0000000012",  "9999999988",  "000000002",   "999999998",        "0"};
    for (long long k = 0; k < count / 8; ++k) {
        const long long six = 100000 + static_cast<long long>(rng.unit() * 900000);
        const int exponent = -45 + static_cast<int>(rng.unit() * 66);
        for (const char* tail : tails) {
            const std::string text = std::to_string(six) + tail;
            const double value =
                parse(text + "e" + std::to_string(exponent - static_cast<int>(text.size()) + 1));
            double near = value;
            for (int step = 0; step < 3; ++step) {
                near = std::nextafter(near, 0.0);
            }
            for (int step = 0; step < 7; ++step) {
                check(near);
                near = std::nextafter(near, INFINITY);
            }
        }
    }
    for (int exponent = -330; exponent <= 310; ++exponent) {
        const double value = parse("1e" + std::to_string(exponent));
        for (const double near :
             {value, std::nextafter(value, 0.0), std::nextafter(value, INFINITY),
              parse("9.999995e" + std::to_string(exponent)),
              parse("9.9999999999999999e" + std::to_string(exponent))}) {
            check(near);
            check(-near);
        }
    }
    std::printf("near the rounding boundaries:     %lld\n", g_checked - start);

    std::printf("%lld values checked, %lld differences\n", g_checked, g_differences);
    return g_differences == 0 ? 0 : 1;
}
