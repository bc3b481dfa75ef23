#pragma once

#include <cstdio>
#include <memory>

#include "workspace/char_source.hpp"
#include "workspace/complex.hpp"
#include "workspace/result_file.hpp"

namespace cmatinv {

// Room for a file name of 259 characters and its terminating zero.
constexpr int FILE_NAME_SIZE = 260;

// The console of a run: answers come from `in`, prompts and reports go to `out`, and
// the one-line reasons of result-file failures go to `err`. Injected, so that tests can
// run whole dialogues through in-memory streams.
struct ConsoleIo {
    CharSource in;
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The input file: the stream and the reader over it.
struct InputFile {
    FilePtr stream;
    CharSource reader;
};

// The whole state of one run. Fixed size: nothing is allocated while the run proceeds.
struct Workspace {
    Workspace(std::FILE* in, std::FILE* out, std::FILE* err) : io{CharSource(in, out), out, err} {}

    ConsoleIo io;

    int n = 0;
    int method = 0;

    ComplexMatrix a{};
    ComplexMatrix a_copy{};
    ComplexMatrix inv{};
    ComplexMatrix err_mat{};

    double det_r = 0.0;
    double det_i = 0.0;

    char record_file_name[FILE_NAME_SIZE] = {};
    ResultFile record_file;
    char input_file_name[FILE_NAME_SIZE] = {};
    InputFile input_file;
    char inverse_file_name[FILE_NAME_SIZE] = {};
    ResultFile inverse_file;
    char error_file_name[FILE_NAME_SIZE] = {};
    ResultFile error_file;
};

// Zeroes all four matrices over their full extent and makes `inv` the identity.
void clear_workspace(Workspace& ws);
// Keeps the input matrix in `a_copy` before the elimination overwrites `a`.
void save_input_copy(Workspace& ws);
// Copies a fixed file name into a name buffer, right before the file is opened.
void set_file_name(char (&buffer)[FILE_NAME_SIZE], const char* name);
// Creates the result file `name` in the file slot (`buffer`, `file`).
void open_result_file(Workspace& ws, char (&buffer)[FILE_NAME_SIZE], ResultFile& file,
                      const char* name);
// 1 when any result file could not be written, else 0: the status of a completed run.
int completed_run_status(const Workspace& ws);

}  // namespace cmatinv
