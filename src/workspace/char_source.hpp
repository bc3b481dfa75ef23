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

    // The character `ahead` places past the next one (0: the next), or END. Every character
    // of an input file passes here, so the common cases are inline: with nothing held back
    // here, the next characters are those waiting in the stream's own buffer, which the C
    // library's getc_unlocked reads the same way; otherwise one more character is taken.
    int peek(int ahead = 0) {
        if (size_ == 0 && ahead < LOOKAHEAD && buffered(ahead + 1)) {
            return buffered_char(ahead);
        }
        if (ahead < size_) {
            return buffer_[(start_ + ahead) % LOOKAHEAD];
        }
        if (ahead == size_ && ahead < LOOKAHEAD && !ended_ && in_ != nullptr) {
            const int c = getc_unlocked(in_);
            if (c != EOF) {
                buffer_[(start_ + size_) % LOOKAHEAD] = c;
                ++size_;
                return c;
            }
            mark_end();
            return END;
        }
        return peek_further(ahead);
    }

    int get() {
        if (size_ == 0 && buffered(1)) {
            return take_buffered();
        }
        if (size_ == 0 && peek() == END) {
            return END;
        }
        const int c = buffer_[start_];
        start_ = (start_ + 1) % LOOKAHEAD;
        --size_;
        return c;
    }

    // Called at the start of each read: shows what was printed so far.
    void begin_read();
    // True once the underlying stream reported an error (not a plain end of input).
    bool read_error() const { return error_; }

    static constexpr int LOOKAHEAD = 4;

private:
    // The stream's own buffer, where the C library shows it: whether it holds at least
    // `count` unread characters, the character `ahead` places on, and taking the next one.
#if defined(__GLIBC__)
    bool buffered(int count) const {
        return in_ != nullptr && in_->_IO_read_end - in_->_IO_read_ptr >= count;
    }
    int buffered_char(int ahead) const {
        return static_cast<unsigned char>(in_->_IO_read_ptr[ahead]);
    }
    int take_buffered() {
        return static_cast<unsigned char>(*in_->_IO_read_ptr++);
    }
#else
    bool buffered(int) const {
        return false;
    }
    int buffered_char(int) const {
        return END;
    }
    int take_buffered() {
        return END;
    }
#endif
    int peek_further(int ahead);
    bool fill(int count);
    void mark_end();

    std::FILE* in_ = nullptr;
    std::FILE* prompt_out_ = nullptr;
    int buffer_[LOOKAHEAD] = {};
    int start_ = 0;
    int size_ = 0;
    bool ended_ = false;
    bool error_ = false;
};

}  // namespace cmatinv
