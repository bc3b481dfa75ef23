#include "workspace/char_source.hpp"

namespace cmatinv {

bool CharSource::fill(int count) {
    while (size_ < count) {
        // Once the stream has ended it is not asked again: at a terminal a second read
        // after Ctrl+D would wait for more input.
        if (ended_ || in_ == nullptr) {
            return false;
        }
        const int c = getc_unlocked(in_);
        if (c == EOF) {
            ended_ = true;
            error_ = std::ferror(in_) != 0;
            return false;
        }
        buffer_[(start_ + size_) % LOOKAHEAD] = c;
        ++size_;
    }
    return true;
}

int CharSource::peek(int ahead) {
    if (ahead >= LOOKAHEAD || !fill(ahead + 1)) {
        return END;
    }
    return buffer_[(start_ + ahead) % LOOKAHEAD];
}

int CharSource::get() {
    if (!fill(1)) {
        return END;
    }
    const int c = buffer_[start_];
    start_ = (start_ + 1) % LOOKAHEAD;
    --size_;
    return c;
}

void CharSource::begin_read() {
    if (prompt_out_ != nullptr) {
        std::fflush(prompt_out_);
    }
}

}  // namespace cmatinv
