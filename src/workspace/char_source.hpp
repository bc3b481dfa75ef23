#pragma once

#include <cstdio>

namespace cmatinv {

// A character stream with a few characters of look-ahead over a FILE*. The number reader
// needs to look past a sign, a point or an exponent letter before it knows whether they
// belong to the number; whatever it does not take stays here, unread, for the next read.
class CharSource {
public:
    static constexpr int END = EOF;

    CharSource() = default;
    // `prompt_out`, when given, is flushed before every read, so a prompt is always on
    // the screen before the program waits for its answer.
    explicit CharSource(std::FILE* in, std::FILE* prompt_out = nullptr)
        : in_(in), prompt_out_(prompt_out) {}

    // The character `ahead` places past the next one (0: the next), or END.
    int peek(int ahead = 0);
    int get();
    // Called at the start of each read: shows what was printed so far.
    void begin_read();
    // True once the underlying stream reported an error (not a plain end of input).
    bool read_error() const { return error_; }

    static constexpr int LOOKAHEAD = 4;

private:
    bool fill(int count);

    std::FILE* in_ = nullptr;
    std::FILE* prompt_out_ = nullptr;
    int buffer_[LOOKAHEAD] = {};
    int start_ = 0;
    int size_ = 0;
    bool ended_ = false;
    bool error_ = false;
};

}  // namespace cmatinv
