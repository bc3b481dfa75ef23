#include "workspace/result_file.hpp"

#include <cerrno>
#include <cstring>

namespace cmatinv {

void ResultFile::open(const char* name, std::FILE* err) {
    close();
    name_ = name;
    err_ = err;
    failed_ = false;
    // Binary mode: the CR LF line ends are written here, not by the platform.
    stream_ = std::fopen(name, "wb");
    if (stream_ == nullptr) {
        fail("cannot create");
    }
}

void ResultFile::write(std::string_view text) {
    if (stream_ == nullptr) {
        return;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t line_end = text.find('\n', start);
        const std::size_t stop = line_end == std::string_view::npos ? text.size() : line_end;
        if (std::fwrite(text.data() + start, 1, stop - start, stream_) != stop - start ||
            (line_end != std::string_view::npos && std::fwrite("\r\n", 1, 2, stream_) != 2)) {
            fail("cannot write");
            return;
        }
        start = stop + 1;
    }
}

void ResultFile::flush() {
    if (stream_ != nullptr && std::fflush(stream_) != 0) {
        fail("cannot write");
    }
}

void ResultFile::close() {
    if (stream_ == nullptr) {
        return;
    }
    std::FILE* stream = stream_;
    stream_ = nullptr;
    // fclose flushes the buffer; a full disk shows up here at the latest.
    if (std::fclose(stream) != 0) {
        stream_ = nullptr;
        fail("cannot write");
    }
}

void ResultFile::fail(const char* what) {
    const int reason = errno;
    if (stream_ != nullptr) {
        std::FILE* stream = stream_;
        stream_ = nullptr;
        std::fclose(stream);
    }
    if (!failed_ && err_ != nullptr) {
        std::fprintf(err_, "cmatinv: %s %s: %s\n", what, name_, std::strerror(reason));
        std::fflush(err_);
    }
    failed_ = true;
}

}  // namespace cmatinv
