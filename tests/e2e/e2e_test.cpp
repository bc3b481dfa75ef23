// Whole runs of the real binary, compared byte for byte with expected text kept next to
// this file. Each folder under cases/ is one run:
//   stdin            what is typed or piped (absent: standard input is /dev/null)
//   given/           files (and links, and folders) laid into the fresh run directory
//   expect/status    the exit status
//   expect/stdout    everything printed on standard output
//   expect/stderr    everything printed on standard error (absent: must be empty)
//   expect/files/    files the run directory must hold afterwards, byte for byte
// Afterwards the run directory holds exactly the given files, unchanged unless
// expect/files names them, plus the files of expect/files: nothing else.
// The program runs in a new session without a controlling terminal, so the final key
// wait ends at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "run_support.hpp"

namespace {

using namespace e2e;

const fs::path CASES_DIR = CMATINV_E2E_CASES;

std::vector<std::string> case_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(CASES_DIR)) {
        if (entry.is_directory()) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {
protected:
    TempRoot root_;
};

TEST_P(EndToEnd, MatchesExpectedOutputAndFiles) {
    const fs::path case_dir = CASES_DIR / GetParam();
    const fs::path run_dir = root_.run();
    if (fs::exists(case_dir / "given")) {
        fs::copy(case_dir / "given", run_dir,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
    Snapshot expected_files = snapshot(run_dir);
    for (const auto& [name, content] : snapshot(case_dir / "expect/files")) {
        expected_files[name] = content;
    }
    const fs::path stdin_path =
        fs::exists(case_dir / "stdin") ? case_dir / "stdin" : fs::path("/dev/null");

    const RunResult result = run_binary(run_dir, stdin_path, root_.capture());

    ASSERT_FALSE(result.timed_out) << "the run did not end";
    EXPECT_EQ(result.status, std::stoi(read_file(case_dir / "expect/status")));
    EXPECT_EQ(result.out, read_file(case_dir / "expect/stdout"));
    const std::string expected_err =
        fs::exists(case_dir / "expect/stderr") ? read_file(case_dir / "expect/stderr") : "";
    EXPECT_EQ(result.err, expected_err);
    expect_same_files(expected_files, snapshot(run_dir));
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(case_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) {
                                     return std::isalnum(static_cast<unsigned char>(c)) == 0;
                                 },
                                 '_');
                             return name;
                         });

}  // namespace
