#include "input/number_reader.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace cmatinv {
namespace {

// A CharSource over `text`, and what a series of reads left unread.
class TextSource {
public:
    explicit TextSource(std::string_view text, std::FILE* prompt_out = nullptr)
        : file_(std::tmpfile()) {
        std::fwrite(text.data(), 1, text.size(), file_);
        std::rewind(file_);
        source_ = CharSource(file_, prompt_out);
    }
    ~TextSource() { std::fclose(file_); }
    TextSource(const TextSource&) = delete;
    TextSource& operator=(const TextSource&) = delete;

    CharSource& in() { return source_; }

    std::string rest() {
        std::string text;
        for (int c = source_.get(); c != CharSource::END; c = source_.get()) {
            text += static_cast<char>(c);
        }
        return text;
    }

private:
    std::FILE* file_;
    CharSource source_;
};

// Same bits, so that -0.0 differs from 0.0 and a rounding slip of one unit shows.
void expect_same_double(double expected, double actual, std::string_view text) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(expected), std::bit_cast<std::uint64_t>(actual))
        << "read of \"" << text.substr(0, 60) << "\": expected " << std::hexfloat << expected
        << ", got " << actual;
}

constexpr double UNCHANGED = 7.25;
constexpr double INF = std::numeric_limits<double>::infinity();

// ---- the number grammar ----

struct GrammarCase {
    const char* text;
    bool taken;
    double value;  // when taken
    const char* rest;
};

TEST(ReadNumber, TakesTheLongestCompleteNumberAndLeavesTheRest) {
    const GrammarCase cases[] = {
        {"42", true, 42.0, ""},
        {"5.", true, 5.0, ""},
        {".5", true, 0.5, ""},
        {"-.5e-3", true, -0.0005, ""},
        {"+1E+2", true, 100.0, ""},
        {"5.e3", true, 5000.0, ""},
        {"007", true, 7.0, ""},
        {"1e+05x", true, 1e5, "x"},
        {"12abc", true, 12.0, "abc"},
        {"1.5.2", true, 1.5, ".2"},
        {" \t\r\n\v\f\n  3 4", true, 3.0, " 4"},
        // An exponent letter, with or without a sign, that no digit follows is not taken.
        {"1e+x", true, 1.0, "e+x"},
        {"1e", true, 1.0, "e"},
        {"1E-", true, 1.0, "E-"},
        {"2e5e5", true, 2e5, "e5"},
        // No number begins: nothing but white space is taken.
        {"-", false, 0, "-"},
        {".", false, 0, "."},
        {"-.x", false, 0, "-.x"},
        {"+.e1", false, 0, "+.e1"},
        {"--1", false, 0, "--1"},
        {"e5", false, 0, "e5"},
        {"  inf", false, 0, "inf"},
        {"nan", false, 0, "nan"},
        {"-inf", false, 0, "-inf"},
        {"", false, 0, ""},
        {"(1.0", false, 0, "(1.0"},
        // Neither hex floats nor a decimal comma belong to a number.
        {"0x1p3", true, 0.0, "x1p3"},
        {"1,5", true, 1.0, ",5"},
    };
    for (const GrammarCase& c : cases) {
        TextSource source(c.text);
        double value = UNCHANGED;
        EXPECT_EQ(c.taken, read_number(source.in(), value)) << c.text;
        expect_same_double(c.taken ? c.value : UNCHANGED, value, c.text);
        EXPECT_EQ(c.rest, source.rest()) << c.text;
    }
}

// ---- correct rounding and the ends of the double range ----

struct RoundingCase {
    std::string text;
    double value;
};

TEST(ReadNumber, RoundsCorrectlyAtTheEdgesOfTheDoubleRange) {
    const double largest_subnormal = std::nextafter(DBL_MIN, 0.0);
    const RoundingCase cases[] = {
        {"0.1", 0.1},
        {"-0", -0.0},
        {"-0.000e-5", -0.0},
        {"0e99999999", 0.0},
        // 2^53 + 1 lies halfway between two doubles: the tie goes to the even one.
        {"9007199254740993", 9007199254740992.0},
        {"9007199254740993.0000000000000000000000001", 9007199254740994.0},
        // The smallest normal double is 2.2250738585072013830...e-308, the largest
        // subnormal 2.2250738585072008890...e-308; their midpoint is 2.22507385850720113605e-308.
        {"2.2250738585072011e-308", largest_subnormal},
        {"2.2250738585072012e-308", DBL_MIN},
        {"4.9406564584124654e-324", DBL_TRUE_MIN},
        // Half the smallest subnormal is 2^-1075 = 2.4703282292062327209e-324.
        {"2.4703282292062328e-324", DBL_TRUE_MIN},
        {"2.4703282292062327e-324", 0.0},
        {"-2.4703282292062327e-324", -0.0},
        {"1.7976931348623157e308", DBL_MAX},
        // Past the midpoint between DBL_MAX and 2^1024 (1.797693134862315807937e308).
        {"1.7976931348623159e308", INF},
        {"1e309", INF},
        {"-1e309", -INF},
        {"1e-400", 0.0},
        {"-1e-400", -0.0},
        {"1e999999999999999999", INF},
        {"-1e-999999999999999999999999", -0.0},
    };
    for (const RoundingCase& c : cases) {
        TextSource source(c.text);
        double value = UNCHANGED;
        EXPECT_TRUE(read_number(source.in(), value)) << c.text;
        expect_same_double(c.value, value, c.text);
        EXPECT_EQ("", source.rest()) << c.text;
    }
}

TEST(ReadNumber, HugeDigitStringsKeepCorrectRounding) {
    const std::string zeros(100'000, '0');
    const std::string megabyte(1'000'000, '0');
    std::string one_then_zeros = "1";  // appended, not concatenated: GCC 12 misreports + here
    one_then_zeros.append(99'999, '0').append("e-99999");
    const RoundingCase cases[] = {
        // 10^99999 x 10^-99999.
        {one_then_zeros, 1.0},
        // Within 10^-100000 of 0.1, far closer than half a unit of 0.1.
        {"0.1" + zeros + "1", 0.1},
        // Leading zeros after the point count into the exponent.
        {"0." + zeros + "1e100001", 1.0},
        {"-0." + zeros + "25e100001", -2.5},
        // The 2^53 + 1 tie, decided only by a digit a megabyte further on.
        {"9007199254740993." + megabyte, 9007199254740992.0},
        {"9007199254740993." + megabyte + "1", 9007199254740994.0},
        // The same with the deciding digit among the integer digits.
        {"9007199254740993" + std::string(2000, '0') + "1e-2001", 9007199254740994.0},
        {"9007199254740993" + std::string(2000, '0') + "0e-2001", 9007199254740992.0},
        // A megabyte of threes after the point is 1/3 to within 10^-1000000.
        {"0." + std::string(1'000'000, '3'), 1.0 / 3.0},
        // A megabyte of integer digits overflows.
        {std::string(1'000'000, '9'), INF},
    };
    for (const RoundingCase& c : cases) {
        TextSource source(c.text + " next");
        double value = UNCHANGED;
        EXPECT_TRUE(read_number(source.in(), value)) << c.text.substr(0, 40);
        expect_same_double(c.value, value, c.text);
        EXPECT_EQ(" next", source.rest()) << c.text.substr(0, 40);
    }
}

TEST(ReadNumber, DoesNotDependOnTheLocale) {
    // A locale with a decimal comma, when the system has one.
    const char* const saved = std::setlocale(LC_NUMERIC, nullptr);
    const std::string restore = saved != nullptr ? saved : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    TextSource source("2.5 3,5");
    double first = 0.0;
    double second = 0.0;
    EXPECT_TRUE(read_number(source.in(), first));
    EXPECT_TRUE(read_number(source.in(), second));
    std::setlocale(LC_NUMERIC, restore.c_str());
    EXPECT_EQ(2.5, first);
    EXPECT_EQ(3.0, second);
}

// ---- integers for the dimension and the method ----

struct IntegerCase {
    std::string text;
    bool taken;
    int value;  // when taken
    const char* rest;
};

TEST(ReadInteger, TakesSignAndDigitsAndClampsToThirtyTwoBits) {
    const int unchanged = -77;
    const IntegerCase cases[] = {
        {"42", true, 42, ""},
        {"\n\n  12\n", true, 12, "\n"},
        {"-5", true, -5, ""},
        {"+7 ", true, 7, " "},
        {"3.5", true, 3, ".5"},
        {"2147483647", true, 2147483647, ""},
        {"2147483648", true, 2147483647, ""},
        {"99999999999", true, 2147483647, ""},
        {"-2147483648", true, -2147483647 - 1, ""},
        {"-2147483649", true, -2147483647 - 1, ""},
        {"-99999999999", true, -2147483647 - 1, ""},
        {std::string(1000, '9') + "x", true, 2147483647, "x"},
        // Leading zeros are no reason to clamp.
        {"00000000000000000000005", true, 5, ""},
        {"abc", false, unchanged, "abc"},
        {"  -x", false, unchanged, "-x"},
        {"+", false, unchanged, "+"},
        {"", false, unchanged, ""},
        {".5", false, unchanged, ".5"},
    };
    for (const IntegerCase& c : cases) {
        TextSource source(c.text);
        int value = unchanged;
        EXPECT_EQ(c.taken, read_integer(source.in(), value)) << c.text.substr(0, 40);
        EXPECT_EQ(c.value, value) << c.text.substr(0, 40);
        EXPECT_EQ(c.rest, source.rest()) << c.text.substr(0, 40);
    }
}

TEST(ReadInteger, AnswersTypedAheadOnOneLineServeTheNextReads) {
    TextSource source("4 2\n");
    int n = 0;
    int method = 0;
    EXPECT_TRUE(read_integer(source.in(), n));
    EXPECT_TRUE(read_integer(source.in(), method));
    EXPECT_EQ(4, n);
    EXPECT_EQ(2, method);
    EXPECT_EQ("\n", source.rest());
}

// ---- the file-name word ----

TEST(ReadWord, TakesOneWordUpToWhiteSpace) {
    struct Case {
        std::string text;
        const char* word;
        const char* rest;
    };
    const Case cases[] = {
        {"  m.txt rest", "m.txt", " rest"},
        {"\n\tdir/m.txt\r\nnext", "dir/m.txt", "\r\nnext"},
        {"a,b;(c)", "a,b;(c)", ""},
        {"", "", ""},
        {" \n ", "", ""},
    };
    for (const Case& c : cases) {
        TextSource source(c.text);
        char buffer[260];
        std::memset(buffer, 'X', sizeof buffer);
        EXPECT_TRUE(read_word(source.in(), buffer, sizeof buffer)) << c.text;
        EXPECT_STREQ(c.word, buffer) << c.text;
        EXPECT_EQ(c.rest, source.rest()) << c.text;
    }
}

TEST(ReadWord, RefusesAWordLongerThanTheBufferAfterTakingAllOfIt) {
    char buffer[260];
    const std::string fits(259, 'f');
    TextSource fitting(fits + " next");
    EXPECT_TRUE(read_word(fitting.in(), buffer, sizeof buffer));
    EXPECT_EQ(fits, buffer);
    EXPECT_EQ(" next", fitting.rest());

    TextSource too_long(std::string(260, 'g') + " next");
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_FALSE(read_word(too_long.in(), buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(" next", too_long.rest());

    TextSource far_too_long(std::string(100'000, 'h') + "\nnext");
    EXPECT_FALSE(read_word(far_too_long.in(), buffer, sizeof buffer));
    EXPECT_EQ("\nnext", far_too_long.rest());
}

// ---- every read shows the prompt first ----

TEST(Reads, ShowWhatWasPrintedBeforeTheyWait) {
    char* shown = nullptr;
    std::size_t shown_size = 0;
    std::FILE* out = open_memstream(&shown, &shown_size);
    ASSERT_NE(nullptr, out);
    TextSource source("1 2.5 name", out);
    int integer = 0;
    double number = 0.0;
    char word[16];

    std::fputs("first", out);
    read_integer(source.in(), integer);
    EXPECT_EQ("first", std::string(shown, shown_size));
    std::fputs(" second", out);
    read_number(source.in(), number);
    EXPECT_EQ("first second", std::string(shown, shown_size));
    std::fputs(" third", out);
    read_word(source.in(), word, sizeof word);
    EXPECT_EQ("first second third", std::string(shown, shown_size));

    std::fclose(out);
    std::free(shown);
}

}  // namespace
}  // namespace cmatinv
