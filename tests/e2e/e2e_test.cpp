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
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path CASES_DIR = CMATINV_E2E_CASES;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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

// What the run directory holds: relative name -> content ("<dir>" for a folder, "-> target"
// for a symbolic link, which is never followed).
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    if (!fs::exists(dir)) {
        return files;
    }
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = fs::relative(it->path(), dir).string();
        if (it->is_symlink()) {
            files[name] = "-> " + fs::read_symlink(it->path()).string();
        } else if (it->is_directory()) {
            files[name] = "<dir>";
        } else {
            files[name] = read_file(it->path());
        }
    }
    return files;
}

struct RunResult {
    int status = -1;
    bool timed_out = false;
    std::string out;
    std::string err;
};

RunResult run_binary(const fs::path& work_dir, const fs::path& stdin_path,
                     const fs::path& capture_dir) {
    const fs::path out_path = capture_dir / "stdout";
    const fs::path err_path = capture_dir / "stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();  // no controlling terminal
        const int in = open(stdin_path.c_str(), O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(work_dir.c_str()) != 0) {
            _exit(126);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execl(CMATINV_BINARY, "cmatinv", static_cast<char*>(nullptr));
        _exit(127);
    }
    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int wstatus = 0;
    while (waitpid(pid, &wstatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            result.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/cmatinv-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directory(root_ / "run");
        fs::create_directory(root_ / "capture");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    fs::path root_;
};

TEST_P(EndToEnd, MatchesExpectedOutputAndFiles) {
    const fs::path case_dir = CASES_DIR / GetParam();
    const fs::path run_dir = root_ / "run";
    if (fs::exists(case_dir / "given")) {
        fs::copy(case_dir / "given", run_dir,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
    const auto given = snapshot(run_dir);
    const fs::path stdin_path =
        fs::exists(case_dir / "stdin") ? case_dir / "stdin" : fs::path("/dev/null");

    const RunResult result = run_binary(run_dir, stdin_path, root_ / "capture");

    ASSERT_FALSE(result.timed_out) << "the run did not end";
    EXPECT_EQ(result.status, std::stoi(read_file(case_dir / "expect/status")));
    EXPECT_EQ(result.out, read_file(case_dir / "expect/stdout"));
    const std::string expected_err =
        fs::exists(case_dir / "expect/stderr") ? read_file(case_dir / "expect/stderr") : "";
    EXPECT_EQ(result.err, expected_err);

    auto expected_files = given;
    for (const auto& [name, content] : snapshot(case_dir / "expect/files")) {
        expected_files[name] = content;
    }
    const auto actual_files = snapshot(run_dir);
    for (const auto& [name, content] : expected_files) {
        const auto found = actual_files.find(name);
        if (found == actual_files.end()) {
            ADD_FAILURE() << "missing file " << name;
        } else {
            EXPECT_EQ(found->second, content) << "content of " << name;
        }
    }
    for (const auto& [name, content] : actual_files) {
        EXPECT_TRUE(expected_files.count(name) != 0) << "unexpected file " << name;
    }
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
