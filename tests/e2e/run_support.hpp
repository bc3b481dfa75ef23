// Running the real binary for the end-to-end tests: a fresh directory, a new session
// without a controlling terminal (so the final key wait ends at once), captured output and
// a snapshot of every file left behind.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace e2e {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path);
void write_file(const fs::path& path, const std::string& content);

// What a directory holds: relative name -> content ("<folder>" for a folder, "-> target"
// for a symbolic link, which is never followed).
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const fs::path& dir);

// A short view of a long text for failure messages.
std::string shown(const std::string& text);

// Adds a test failure for every file missing from `actual`, differing from `expected`,
// or not expected at all.
void expect_same_files(const Snapshot& expected, const Snapshot& actual);

struct RunResult {
    int status = -1;
    bool timed_out = false;
    std::string out;
    std::string err;
};

// Runs the program in `work_dir` with standard input read from `stdin_path`, or closed
// when `stdin_path` is empty; standard output and error are kept in `capture_dir`. Outside
// sanitizer builds the address space is limited to 12 MiB, so huge inputs must be read in
// bounded memory. A run still going after 60 s is killed and reported as timed out.
RunResult run_binary(const fs::path& work_dir, const fs::path& stdin_path,
                     const fs::path& capture_dir);

// A fresh directory under /tmp with the folders "run" and "capture", removed at the end.
class TempRoot {
public:
    TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;
    ~TempRoot();

    fs::path run() const { return root_ / "run"; }
    fs::path capture() const { return root_ / "capture"; }

private:
    fs::path root_;
};

}  // namespace e2e
