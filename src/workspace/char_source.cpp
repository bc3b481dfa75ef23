#include "workspace/char_source.hpp"

namespace cmatinv {

void CharSource::mark_end() {
    ended_ = true;
    error_ = std::ferror(in_) != 0;
}

bool CharSource::fill(int count) {
    while (size_ < count) {
        // Once the stream has ended it is not asked again: at a terminal a second read
        // after Ctrl+D would wait for more input.
        if (ended_ || in_ == nullptr) {
            return false;
        }
        const int c = getc_unlocked(in_);
        if (c == EOF) {
            mark_end();
            return false;
        }
        buffer_[(start_ + size_) % LOOKAHEAD] = c;
        ++size_;
    }
    return true;
}

int CharSource::peek_further(int ahead) {
    if (ahead >= LOOKAHEAD || !fill(ahead + 1)) {
        return END;
    }
    return buffer_[(start_ + ahead) % LOOKAHEAD];
}

void CharSource::begin_read() {
    if (prompt_out_ != nullptr) {
        std::fflush(prompt_out_);
    }
}

}  // namespace cmatinv
