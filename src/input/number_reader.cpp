#include "input/number_reader.hpp"

#include <charconv>
#include <climits>
#include <limits>
#include <system_error>

namespace cmatinv {

namespace {

// The white space of the "C" locale, whatever locale the user has.
bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

bool is_sign(int c) {
    return c == '+' || c == '-';
}

void skip_space(CharSource& in) {
    while (is_space(in.peek())) {
        in.get();
    }
}

// A double is decided by at most 767 significant decimal digits: the exact midpoint between
// two neighbouring doubles never has more. Keeping 800 and remembering whether any nonzero
// digit was dropped (the sticky digit) rounds exactly like the whole text would.
constexpr int KEPT_DIGITS = 800;

// Digit and exponent counts saturate here, far beyond any exponent that still matters.
constexpr long long COUNT_LIMIT = 1'000'000'000'000'000LL;

// Every value with a decimal exponent beyond this overflows or underflows whatever its
// (at most 801) digits are; the text handed to the converter keeps a short exponent.
constexpr long long EXPONENT_LIMIT = 100'000;

long long saturating_add(long long a, long long b) {
    const long long sum = a + b;  // both operands lie within +-2 * COUNT_LIMIT
    if (sum > COUNT_LIMIT) {
        return COUNT_LIMIT;
    }
    if (sum < -COUNT_LIMIT) {
        return -COUNT_LIMIT;
    }
    return sum;
}

// The significant digits of a number as they are read: value = digits x 10^exponent.
struct Significand {
    char digits[KEPT_DIGITS + 1];  // room for the sticky digit
    int count = 0;
    bool sticky = false;
    long long exponent = 0;

    void add_integer_digit(int c) {
        if (count == 0 && c == '0') {
            return;  // a leading zero
        }
        if (count < KEPT_DIGITS) {
            digits[count++] = static_cast<char>(c);
            return;
        }
        // A dropped integer digit still scales the value by ten.
        exponent = saturating_add(exponent, 1);
        sticky = sticky || c != '0';
    }

    void add_fraction_digit(int c) {
        if (count == 0 && c == '0') {
            exponent = saturating_add(exponent, -1);  // a leading zero after the point
            return;
        }
        if (count < KEPT_DIGITS) {
            digits[count++] = static_cast<char>(c);
            exponent = saturating_add(exponent, -1);
            return;
        }
        sticky = sticky || c != '0';
    }
};

// Writes the decimal value of `exponent` at `out`; returns the end.
char* write_exponent(char* out, long long exponent) {
    if (exponent < 0) {
        *out++ = '-';
        exponent = -exponent;
    }
    char reversed[24];
    int length = 0;
    do {
        reversed[length++] = static_cast<char>('0' + exponent % 10);
        exponent /= 10;
    } while (exponent != 0);
    while (length > 0) {
        *out++ = reversed[--length];
    }
    return out;
}

double convert(bool negative, Significand& s, long long written_exponent) {
    const double zero = negative ? -0.0 : 0.0;
    if (s.count == 0) {
        return zero;  // only zeros, whatever the exponent
    }
    if (s.sticky) {
        // Stands for the dropped nonzero digits: the text stays strictly between the kept
        // digits and the next value on their grid, as the whole number was.
        s.digits[s.count++] = '1';
        s.exponent = saturating_add(s.exponent, -1);
    } else {
        while (s.digits[s.count - 1] == '0') {
            --s.count;
            s.exponent = saturating_add(s.exponent, 1);
        }
    }
    long long exponent = saturating_add(s.exponent, written_exponent);
    if (exponent > EXPONENT_LIMIT) {
        exponent = EXPONENT_LIMIT;
    } else if (exponent < -EXPONENT_LIMIT) {
        exponent = -EXPONENT_LIMIT;
    }

    // "-" digits "e" exponent: fixed room, nothing allocated.
    char text[1 + KEPT_DIGITS + 1 + 1 + 24];
    char* end = text;
    if (negative) {
        *end++ = '-';
    }
    for (int k = 0; k < s.count; ++k) {
        *end++ = s.digits[k];
    }
    *end++ = 'e';
    end = write_exponent(end, exponent);

    // from_chars rounds correctly and ignores the locale.
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(text, end, value);
    if (result.ec == std::errc::result_out_of_range) {
        // The value lies in [10^(m-1), 10^m): a positive m overflowed, any other underflowed.
        const long long magnitude = exponent + s.count;
        const double inf = std::numeric_limits<double>::infinity();
        return magnitude > 0 ? (negative ? -inf : inf) : zero;
    }
    return value;
}

}  // namespace

bool read_integer(CharSource& in, int& value) {
    in.begin_read();
    skip_space(in);
    const int digits_at = is_sign(in.peek()) ? 1 : 0;
    if (!is_digit(in.peek(digits_at))) {
        return false;  // a lone sign stays unread
    }
    const bool negative = digits_at == 1 && in.get() == '-';
    // Stops growing once past the 32-bit range; the remaining digits are still taken.
    long long magnitude = 0;
    while (is_digit(in.peek())) {
        const int digit = in.get() - '0';
        if (magnitude <= INT_MAX) {
            magnitude = magnitude * 10 + digit;
        }
    }
    if (negative) {
        value =
            magnitude > -static_cast<long long>(INT_MIN) ? INT_MIN : static_cast<int>(-magnitude);
    } else {
        value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    }
    return true;
}

bool read_number(CharSource& in, double& value) {
    in.begin_read();
    skip_space(in);
    // Decide before taking anything: a sign or a point that no digit follows is no number
    // and stays unread.
    const int mantissa_at = is_sign(in.peek()) ? 1 : 0;
    const bool starts_with_digit = is_digit(in.peek(mantissa_at));
    const bool starts_with_point =
        in.peek(mantissa_at) == '.' && is_digit(in.peek(mantissa_at + 1));
    if (!starts_with_digit && !starts_with_point) {
        return false;
    }
    const bool negative = mantissa_at == 1 && in.get() == '-';

    Significand s;
    while (is_digit(in.peek())) {
        s.add_integer_digit(in.get());
    }
    if (in.peek() == '.') {
        in.get();
        while (is_digit(in.peek())) {
            s.add_fraction_digit(in.get());
        }
    }

    // The exponent belongs to the number only when a digit completes it ("1e+x" is 1).
    long long written_exponent = 0;
    if (in.peek() == 'e' || in.peek() == 'E') {
        const int exponent_digits_at = is_sign(in.peek(1)) ? 2 : 1;
        if (is_digit(in.peek(exponent_digits_at))) {
            in.get();
            const bool exponent_negative = exponent_digits_at == 2 && in.get() == '-';
            while (is_digit(in.peek())) {
                const int digit = in.get() - '0';
                if (written_exponent < COUNT_LIMIT / 10) {
                    written_exponent = written_exponent * 10 + digit;
                }
            }
            if (exponent_negative) {
                written_exponent = -written_exponent;
            }
        }
    }

    value = convert(negative, s, written_exponent);
    return true;
}

bool read_word(CharSource& in, char* buffer, std::size_t size) {
    in.begin_read();
    skip_space(in);
    std::size_t length = 0;
    bool fits = true;
    // The whole word is taken even when it does not fit, so nothing of it is left over
    // for a later read.
    while (in.peek() != CharSource::END && !is_space(in.peek())) {
        const int c = in.get();
        if (length + 1 < size) {
            buffer[length++] = static_cast<char>(c);
        } else {
            fits = false;
        }
    }
    if (!fits) {
        length = 0;
    }
    if (size > 0) {
        buffer[length] = '\0';
    }
    return fits;
}

}  // namespace cmatinv
