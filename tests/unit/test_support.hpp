// Small fixtures shared by the unit tests: console output kept in memory, a fresh working
// directory for stages that create files, and reading a file whole.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace test_support {

// A FILE* whose output is kept in memory, for a stage's console or error stream.
class MemoryStream {
public:
    MemoryStream() : stream_(open_memstream(&buffer_, &size_)) {}
    ~MemoryStream() {
        std::fclose(stream_);
        std::free(buffer_);
    }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::FILE* stream() const { return stream_; }
    // Everything written so far.
    std::string text() {
        std::fflush(stream_);
        return {buffer_, size_};
    }

private:
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_;
};

// A fresh directory under the system's temporary directory that the test works in: made
// the current directory on construction, left and removed with everything in it on
// destruction, so stages that create files in the current directory leave nothing behind.
class InTempDir {
public:
    InTempDir() : home_(std::filesystem::current_path()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "cmatinv-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a temporary directory";
            return;
        }
        dir_ = pattern;
        std::filesystem::current_path(dir_);
    }
    ~InTempDir() {
        std::filesystem::current_path(home_);
        if (!dir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
        }
    }
    InTempDir(const InTempDir&) = delete;
    InTempDir& operator=(const InTempDir&) = delete;

    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path home_;
    std::filesystem::path dir_;
};

inline std::string file_content(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace test_support
