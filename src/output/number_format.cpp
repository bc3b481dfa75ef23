#include "output/number_format.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace cmatinv {

namespace {

constexpr std::uint64_t SIGN_BIT = std::uint64_t{1} << 63;
constexpr std::uint64_t QUIET_BIT = std::uint64_t{1} << 51;
constexpr std::uint64_t FRACTION_MASK = (std::uint64_t{1} << 52) - 1;
constexpr std::uint64_t EXPONENT_ALL_ONES = 0x7ff;

// The six characters that stand for an infinity or a NaN; they are never rounded.
const char* special_digits(std::uint64_t bits) {
    const std::uint64_t fraction = bits & FRACTION_MASK;
    if (fraction == 0) {
        return "1#INF0";
    }
    if ((bits & SIGN_BIT) != 0 && fraction == QUIET_BIT) {
        return "1#IND0";
    }
    return (fraction & QUIET_BIT) != 0 ? "1#QNAN" : "1#SNAN";
}

// Six significant digits of a finite nonzero magnitude, and its decimal exponent. The
// magnitude is first rounded to 17 significant digits and only then to six, from the
// seventh digit of that 17-digit form, half up. This double rounding is deliberate: the
// double nearest 0.1234565 lies just below it, but its 17 digits read 12345650000000000,
// so it prints as 1.23457e-001.
int six_digits(double magnitude, char (&digits)[6]) {
    // "d.dddddddddddddddde+XX": 17 significant digits. Where the 17-digit rounding meets
    // an exact tie, to_chars rounds to even instead of up; that changes only the 17th
    // digit (an even digit plus one never carries), which the six-digit rounding never
    // reads.
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 16);
    int exponent = 0;
    std::from_chars(text + 20, result.ptr, exponent);
    if (text[19] == '-') {
        exponent = -exponent;
    }
    digits[0] = text[0];
    std::memcpy(digits + 1, text + 2, 5);
    if (text[7] >= '5') {
        int pos = 5;
        while (pos >= 0 && digits[pos] == '9') {
            digits[pos] = '0';
            --pos;
        }
        if (pos < 0) {
            digits[0] = '1';  // 999999 carried out of the first digit: 100000, one decade up
            ++exponent;
        } else {
            ++digits[pos];
        }
    }
    return exponent;
}

}  // namespace

char* format_number(char* out, double value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const std::uint64_t exponent_field = (bits >> 52) & EXPONENT_ALL_ONES;
    bool negative = (bits & SIGN_BIT) != 0;
    char digits[6];
    int exponent = 0;
    if (exponent_field == EXPONENT_ALL_ONES) {
        std::memcpy(digits, special_digits(bits), 6);
    } else if ((bits & ~SIGN_BIT) == 0) {
        std::memcpy(digits, "000000", 6);
        negative = false;  // zero has no sign: -0 prints as 0.00000e+000
    } else {
        exponent = six_digits(std::fabs(value), digits);
    }

    if (negative) {
        *out++ = '-';
    }
    *out++ = digits[0];
    *out++ = '.';
    std::memcpy(out, digits + 1, 5);
    out += 5;
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    *out++ = static_cast<char>('0' + magnitude / 100);
    *out++ = static_cast<char>('0' + magnitude / 10 % 10);
    *out++ = static_cast<char>('0' + magnitude % 10);
    return out;
}

}  // namespace cmatinv
