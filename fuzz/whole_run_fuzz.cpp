// A whole run in this process, over arbitrary answers and an arbitrary input file.
//
// Input: what comes before the first "\n#file\n" is standard input; what follows it (if
// the marker is there) is written to the file "m" in the run directory, which the answers
// may name. The run directory is a fresh temporary folder that the process enters once;
// every file is removed before each run, so one run does not see the files of another.
// Answers naming a path with "/" are skipped: they could reach devices that never end
// (/dev/zero) or wait (/dev/tty).
//
// Checked after every run: an error end has status 1 and prints no closing summary; a
// completed run ends with the closing summary, reports no result-file failure, and leaves
// "inv_data.out" and "inv_err.out" of n CR LF lines each (and "inv_data.in" too for keyboard
// entry).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "app/run.hpp"
#include "workspace/error_stop.hpp"

namespace {

constexpr std::string_view FILE_MARKER = "\n#file\n";
constexpr std::string_view SUMMARY_END = "\n Calculation complete. \n Press any key to exit. \n\n";
const char* const RUN_FILES[] = {"m", "inv_data.in", "inv_data.out", "inv_err.out"};

char g_run_dir[] = "/tmp/cmatinv-fuzz-XXXXXX";

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void remove_run_files() {
    for (const char* name : RUN_FILES) {
        unlink(name);
    }
}

void leave_run_dir() {
    remove_run_files();
    if (chdir("/") == 0) {
        rmdir(g_run_dir);
    }
}

std::string read_file(const char* name) {
    std::string text;
    std::FILE* f = std::fopen(name, "rb");
    if (f == nullptr) {
        return "<missing>";
    }
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        text.append(chunk, got);
    }
    std::fclose(f);
    return text;
}

// n lines, each of n entries, each line ending in CR LF.
void check_result_file(const char* name, int n) {
    const std::string text = read_file(name);
    int lines = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            fail("a result file does not end with CR LF");
        }
        int entries = 0;
        for (std::size_t k = start; k < end; ++k) {
            entries += text[k] == '(' ? 1 : 0;
        }
        if (entries != n) {
            fail("a result file line does not hold n entries");
        }
        ++lines;
        start = end + 2;
    }
    if (lines != n) {
        fail("a result file does not hold n lines");
    }
}

void write_input_file(std::string_view content) {
    std::FILE* f = std::fopen("m", "wb");
    if (f == nullptr || std::fwrite(content.data(), 1, content.size(), f) != content.size() ||
        std::fclose(f) != 0) {
        fail("cannot write the input file");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    if (mkdtemp(g_run_dir) == nullptr || chdir(g_run_dir) != 0) {
        fail("cannot enter a temporary run directory");
    }
    std::atexit(leave_run_dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t marker = all.find(FILE_MARKER);
    const std::string answers(all.substr(0, marker));
    if (answers.find('/') != std::string::npos) {
        return 0;
    }
    remove_run_files();
    if (marker != std::string_view::npos) {
        write_input_file(all.substr(marker + FILE_MARKER.size()));
    }

    std::FILE* in = answers.empty()
                        ? std::fopen("/dev/null", "rb")
                        : fmemopen(const_cast<char*>(answers.data()), answers.size(), "rb");
    char* out_text = nullptr;
    std::size_t out_size = 0;
    std::FILE* out = open_memstream(&out_text, &out_size);
    char* err_text = nullptr;
    std::size_t err_size = 0;
    std::FILE* err = open_memstream(&err_text, &err_size);
    if (in == nullptr || out == nullptr || err == nullptr) {
        fail("cannot open the console streams");
    }

    int status = 0;
    int n = 0;
    int method = 0;
    {
        // About 26 kB: on the heap, as main keeps it for the whole run.
        const auto ws = std::make_unique<cmatinv::Workspace>(in, out, err);
        try {
            cmatinv::run(*ws);
            n = ws->n;
            method = ws->method;
            status = cmatinv::completed_run_status(*ws);
        } catch (const cmatinv::ErrorStop& stop) {
            status = stop.status;
            if (status != 1) {
                fail("an error end with a status other than 1");
            }
            status = -1;
        }
    }  // every file of the run is closed here
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
    const std::string_view printed(out_text, out_size);
    const bool summary = printed.size() >= SUMMARY_END.size() &&
                         printed.substr(printed.size() - SUMMARY_END.size()) == SUMMARY_END;
    if (status == -1) {
        if (printed.find("Calculation complete") != std::string_view::npos) {
            fail("an error end printed the closing summary");
        }
    } else {
        if (!summary) {
            fail("a completed run does not end with the closing summary");
        }
        if (status != 0 || err_size != 0) {
            fail("a result file failed in a writable directory");
        }
        if (n < 2 || n > 20 || (method != 1 && method != 2)) {
            fail("a completed run with a dimension or method out of range");
        }
        check_result_file("inv_data.out", n);
        check_result_file("inv_err.out", n);
        if (method == 1) {
            check_result_file("inv_data.in", n);
        }
    }
    std::free(out_text);
    std::free(err_text);
    return 0;
}
