#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace cmatinv {

// A result file: created or emptied on open, written as text whose every "\n" is stored
// as CR LF on every platform. Any failure (create, write, flush, close) is reported once
// on the error stream with the file's name and the system's reason; from then on nothing
// is written through the stream and failed() stays true, so the run can end with status 1.
class ResultFile {
public:
    ResultFile() = default;
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;
    ~ResultFile() { close(); }

    // `name` must outlive the file (it is the workspace's name buffer).
    void open(const char* name, std::FILE* err);
    void write(std::string_view text);
    // Pushes everything written so far to the system.
    void flush();
    void close();

    bool is_open() const { return stream_ != nullptr; }
    bool failed() const { return failed_; }

private:
    void fail(const char* what);

    std::FILE* stream_ = nullptr;
    std::FILE* err_ = nullptr;
    const char* name_ = "";
    bool failed_ = false;
};

}  // namespace cmatinv
