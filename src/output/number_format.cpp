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

// A finite nonzero magnitude rounded to 17 significant digits: digits17 (10^16 to 10^17 - 1)
// times 10^(exponent - 16), so that exponent is the decimal exponent of the first digit.
struct SeventeenDigits {
    std::uint64_t digits17;
    int exponent;
};

// Six significant digits before the half-up rounding carries them (100000 to 1000000), and the
// decimal exponent of the first digit.
struct SixDigits {
    std::uint64_t six;
    int exponent;
};

// The general way: the C++ library's correctly rounded decimal conversion. Where the 17-digit
// rounding meets an exact tie, to_chars rounds to even instead of up; that changes only the
// 17th digit (an even digit plus one never carries), which the six-digit rounding never reads.
SeventeenDigits seventeen_digits_by_to_chars(double magnitude) {
    // "d.dddddddddddddddde+XX"
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 16);
    int exponent = 0;
    std::from_chars(text + 20, result.ptr, exponent);
    if (text[19] == '-') {
        exponent = -exponent;
    }
    std::uint64_t digits = static_cast<std::uint64_t>(text[0] - '0');
    for (int k = 2; k < 18; ++k) {
        digits = digits * 10 + static_cast<std::uint64_t>(text[k] - '0');
    }
    return {digits, exponent};
}

// 10^k for k = -40 .. 55, each the double nearest to it.
constexpr int LOWEST_POWER_OF_TEN = -40;
constexpr double POWERS_OF_TEN[] = {
    1e-40, 1e-39, 1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33, 1e-32, 1e-31, 1e-30, 1e-29,
    1e-28, 1e-27, 1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17,
    1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,
    1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,   1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,
    1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30,  1e31,
    1e32,  1e33,  1e34,  1e35,  1e36,  1e37,  1e38,  1e39,  1e40,  1e41,  1e42,  1e43,
    1e44,  1e45,  1e46,  1e47,  1e48,  1e49,  1e50,  1e51,  1e52,  1e53,  1e54,  1e55};
constexpr int HIGHEST_POWER_OF_TEN =
    LOWEST_POWER_OF_TEN + static_cast<int>(sizeof POWERS_OF_TEN / sizeof POWERS_OF_TEN[0]) - 1;

// Most values, from 1e-50 to 1e45: the six digits from one multiplication. The scaled
// value y = magnitude x 10^(5 - E), 10^5 <= y < 10^6, comes out within 2.3e-10 of the exact one
// (the power of ten and the product are each within 2^-53 relative), and the 17-digit form
// moves the exact one by at most 5e-12. So the rounding half up of y gives the six digits
// whenever y's fraction lies further than 1e-9 from one half; next to an integer it does too,
// since the true value then rounds to that integer (and a carry past 999999 is the caller's).
// The rest, about two values in a billion, and the magnitudes outside that range, take the
// general way.
bool six_digits_quickly(double magnitude, int biased, SixDigits& out) {
    constexpr double MARGIN = 1e-9;
    int exponent = (biased - 1023) * 78913 >> 18;  // E or E - 1
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int k = 5 - exponent;
        if (k < LOWEST_POWER_OF_TEN || k > HIGHEST_POWER_OF_TEN) {
            return false;
        }
        const double y = magnitude * POWERS_OF_TEN[k - LOWEST_POWER_OF_TEN];
        if (y >= 1e6) {
            ++exponent;
            continue;
        }
        if (!(y >= 1e5)) {
            return false;  // the estimate was off after all; the general way decides
        }
        // y < 2^20: the conversion truncates to the integer part, and the fraction is exact.
        const auto whole = static_cast<std::uint64_t>(y);
        const double fraction = y - static_cast<double>(whole);
        if (std::fabs(fraction - 0.5) < MARGIN) {
            return false;
        }
        out = {whole + (fraction > 0.5 ? 1 : 0), exponent};
        return true;
    }
    return false;
}

// Six significant digits of a finite nonzero magnitude, and its decimal exponent. The
// magnitude is first rounded to 17 significant digits and only then to six, from the
// seventh digit of that 17-digit form, half up. This double rounding is deliberate: the
// double nearest 0.1234565 lies just below it, but its 17 digits read 12345650000000000,
// so it prints as 1.23457e-001.
int six_digits(std::uint64_t magnitude_bits, std::uint32_t& six) {
    SixDigits d{};
    const double magnitude = std::bit_cast<double>(magnitude_bits);
    if (!six_digits_quickly(magnitude, static_cast<int>(magnitude_bits >> 52), d)) {
        const SeventeenDigits d17 = seventeen_digits_by_to_chars(magnitude);
        constexpr std::uint64_t TEN_11 = 100'000'000'000ULL;
        // The seventh digit is 5 or more exactly when the last eleven digits are 5 x 10^10 or
        // more.
        d = {d17.digits17 / TEN_11 + (d17.digits17 % TEN_11 >= 5 * (TEN_11 / 10) ? 1 : 0),
             d17.exponent};
    }
    six = static_cast<std::uint32_t>(d.six);
    if (six == 1'000'000) {
        six = 100'000;  // 999999 carried out of the first digit: one decade up
        ++d.exponent;
    }
    return d.exponent;
}

// "00" to "99".
constexpr char TWO_DIGITS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

void write_two_digits(char* out, std::uint32_t value) {
    std::memcpy(out, TWO_DIGITS + std::size_t{2} * value, 2);
}

// "d.ddddd" straight into the output: staging the digits in a small array and copying them on
// would read back bytes just written in pieces, which processors cannot forward and stall on.
char* write_mantissa(char* out, std::uint32_t six) {
    out[0] = static_cast<char>('0' + six / 100000);
    out[1] = '.';
    const std::uint32_t rest = six % 100000;
    write_two_digits(out + 2, rest / 1000);
    write_two_digits(out + 4, rest / 10 % 100);
    out[6] = static_cast<char>('0' + rest % 10);
    return out + 7;
}

// The same layout for the six characters of zero and of the special values.
char* write_mantissa(char* out, const char* digits) {
    out[0] = digits[0];
    out[1] = '.';
    std::memcpy(out + 2, digits + 1, 5);
    return out + 7;
}

}  // namespace

char* format_number(char* out, double value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const std::uint64_t exponent_field = (bits >> 52) & EXPONENT_ALL_ONES;
    const bool negative = (bits & SIGN_BIT) != 0;
    int exponent = 0;
    if (exponent_field == EXPONENT_ALL_ONES) {
        if (negative) {
            *out++ = '-';
        }
        out = write_mantissa(out, special_digits(bits));
    } else if ((bits & ~SIGN_BIT) == 0) {
        out = write_mantissa(out, "000000");  // zero has no sign: -0 prints as 0.00000e+000
    } else {
        std::uint32_t six = 0;
        exponent = six_digits(bits & ~SIGN_BIT, six);
        if (negative) {
            *out++ = '-';
        }
        out = write_mantissa(out, six);
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const auto magnitude = static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent);
    *out++ = static_cast<char>('0' + magnitude / 100);
    write_two_digits(out, magnitude % 100);
    return out + 2;
}

}  // namespace cmatinv
