// The three reads every answer goes through, over arbitrary bytes.
//
// Input: byte 0 picks up to four reads (two bits each: 0 number, 1 integer, 2 word, 3
// number); byte 1 picks the word buffer size (4 to 259); the rest is the text read.
// For every read an independent scan of the same grammar says how many bytes the read must
// take and whether it succeeds; a number must agree bit for bit with strtod in the C locale
// (which the process never leaves), an integer with strtoll clamped to 32 bits, a word with
// the bytes themselves. Afterwards what is left in the stream must be exactly the text past
// the bytes taken.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "input/number_reader.hpp"
#include "workspace/char_source.hpp"

namespace {

using cmatinv::CharSource;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

bool is_space(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool is_sign(unsigned char c) {
    return c == '+' || c == '-';
}

// The text under scan, with a read position. Past the end every character is "none".
struct Text {
    const std::string& s;
    std::size_t pos;

    int at(std::size_t k) const { return k < s.size() ? static_cast<unsigned char>(s[k]) : -1; }
    bool digit_at(std::size_t k) const { return k < s.size() && is_digit(s[k]); }
    void skip_space() {
        while (pos < s.size() && is_space(s[pos])) {
            ++pos;
        }
    }
};

// Length of the number that begins at `t.pos`, 0 when none does.
std::size_t number_length(const Text& t) {
    std::size_t k = t.pos;
    if (t.at(k) >= 0 && is_sign(static_cast<unsigned char>(t.at(k)))) {
        ++k;
    }
    const std::size_t int_start = k;
    while (t.digit_at(k)) {
        ++k;
    }
    const bool has_int = k > int_start;
    if (t.at(k) == '.') {
        std::size_t j = k + 1;
        while (t.digit_at(j)) {
            ++j;
        }
        const bool has_fraction = j > k + 1;
        if (!has_int && !has_fraction) {
            return 0;
        }
        k = j;
    } else if (!has_int) {
        return 0;
    }
    if (t.at(k) == 'e' || t.at(k) == 'E') {
        std::size_t j = k + 1;
        if (t.at(j) >= 0 && is_sign(static_cast<unsigned char>(t.at(j)))) {
            ++j;
        }
        if (t.digit_at(j)) {
            while (t.digit_at(j)) {
                ++j;
            }
            k = j;
        }
    }
    return k - t.pos;
}

std::size_t integer_length(const Text& t) {
    std::size_t k = t.pos;
    if (t.at(k) >= 0 && is_sign(static_cast<unsigned char>(t.at(k)))) {
        ++k;
    }
    if (!t.digit_at(k)) {
        return 0;
    }
    while (t.digit_at(k)) {
        ++k;
    }
    return k - t.pos;
}

void check_number(CharSource& in, Text& t) {
    const double untouched = 12345.678;
    double value = untouched;
    const bool ok = cmatinv::read_number(in, value);
    t.skip_space();
    const std::size_t length = number_length(t);
    if (ok != (length > 0)) {
        fail("read_number success");
    }
    if (!ok) {
        if (std::memcmp(&value, &untouched, sizeof value) != 0) {
            fail("read_number changed the value of a failed read");
        }
        return;
    }
    const std::string token = t.s.substr(t.pos, length);
    t.pos += length;
    const double expected = std::strtod(token.c_str(), nullptr);
    if (std::memcmp(&value, &expected, sizeof value) != 0) {
        std::fprintf(stderr, "text %.200s: read %a, strtod %a\n", token.c_str(), value, expected);
        fail("read_number value");
    }
}

void check_integer(CharSource& in, Text& t) {
    const int untouched = 777;
    int value = untouched;
    const bool ok = cmatinv::read_integer(in, value);
    t.skip_space();
    const std::size_t length = integer_length(t);
    if (ok != (length > 0)) {
        fail("read_integer success");
    }
    if (!ok) {
        if (value != untouched) {
            fail("read_integer changed the value of a failed read");
        }
        return;
    }
    const std::string token = t.s.substr(t.pos, length);
    t.pos += length;
    long long wide = std::strtoll(token.c_str(), nullptr, 10);  // saturates at its own range
    if (wide > INT_MAX) {
        wide = INT_MAX;
    } else if (wide < INT_MIN) {
        wide = INT_MIN;
    }
    if (value != wide) {
        fail("read_integer value");
    }
}

void check_word(CharSource& in, Text& t, std::size_t size) {
    // Exactly `size` bytes on the heap, so a write past the end is caught.
    const std::unique_ptr<char[]> buffer(new char[size]);
    std::memset(buffer.get(), 'X', size);
    const bool fits = cmatinv::read_word(in, buffer.get(), size);
    t.skip_space();
    std::size_t length = 0;
    while (t.pos + length < t.s.size() && !is_space(t.s[t.pos + length])) {
        ++length;
    }
    const std::string word = t.s.substr(t.pos, length);
    t.pos += length;
    if (fits != (length < size)) {
        fail("read_word fit");
    }
    if (!fits) {
        if (buffer[0] != '\0') {
            fail("read_word kept part of a word that did not fit");
        }
        return;
    }
    if (std::memcmp(buffer.get(), word.data(), length) != 0 || buffer[length] != '\0') {
        fail("read_word text");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const unsigned ops = data[0];
    const std::size_t word_size = static_cast<std::size_t>(data[1]) % 256 + 4;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    // fmemopen refuses an empty buffer; an empty stream is /dev/null.
    std::FILE* stream = text.empty() ? std::fopen("/dev/null", "rb")
                                     : fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    if (stream == nullptr) {
        fail("cannot open the stream");
    }
    CharSource in(stream);
    Text t{text, 0};
    for (int k = 0; k < 4; ++k) {
        switch ((ops >> (2 * k)) & 3U) {
            case 1:
                check_integer(in, t);
                break;
            case 2:
                check_word(in, t, word_size);
                break;
            default:
                check_number(in, t);
                break;
        }
    }
    // Consumed plus left over is the whole input.
    std::string rest;
    for (int c = in.get(); c != CharSource::END; c = in.get()) {
        rest.push_back(static_cast<char>(c));
    }
    if (rest != text.substr(t.pos)) {
        fail("the text left over is not the text past what was taken");
    }
    std::fclose(stream);
    return 0;
}
