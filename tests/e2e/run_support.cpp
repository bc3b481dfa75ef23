#include "run_support.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {

namespace {

// Twice what the program maps (about 6 MiB), too little to hold a 10 MB input beside it.
// Sanitizer builds reserve terabytes of address space up front and run without the limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool LIMIT_ADDRESS_SPACE = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool LIMIT_ADDRESS_SPACE = false;
#else
constexpr bool LIMIT_ADDRESS_SPACE = true;
#endif
#else
constexpr bool LIMIT_ADDRESS_SPACE = true;
#endif
constexpr rlim_t ADDRESS_SPACE_LIMIT = 12 * 1024 * 1024;

}  // namespace

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

Snapshot snapshot(const fs::path& dir) {
    Snapshot files;
    if (!fs::exists(dir)) {
        return files;
    }
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = fs::relative(it->path(), dir).string();
        if (it->is_symlink()) {
            files[name] = "-> " + fs::read_symlink(it->path()).string();
        } else if (it->is_directory()) {
            files[name] = "<folder>";
        } else {
            files[name] = read_file(it->path());
        }
    }
    return files;
}

std::string shown(const std::string& text) {
    return text.size() <= 4000
               ? text
               : text.substr(0, 2000) + "\n[... " + std::to_string(text.size() - 4000) +
                     " bytes ...]\n" + text.substr(text.size() - 2000);
}

void expect_same_files(const Snapshot& expected, const Snapshot& actual) {
    for (const auto& [name, content] : expected) {
        const auto found = actual.find(name);
        if (found == actual.end()) {
            ADD_FAILURE() << "missing " << name;
        } else {
            EXPECT_TRUE(found->second == content) << "content of " << name << ":\n"
                                                  << shown(found->second) << "\nexpected:\n"
                                                  << shown(content);
        }
    }
    for (const auto& [name, content] : actual) {
        EXPECT_TRUE(expected.count(name) != 0) << "unexpected " << name;
    }
}

RunResult run_binary(const fs::path& work_dir, const fs::path& stdin_path,
                     const fs::path& capture_dir) {
    const fs::path out_path = capture_dir / "stdout";
    const fs::path err_path = capture_dir / "stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();  // no controlling terminal
        const int in_fd = stdin_path.empty() ? -1 : open(stdin_path.c_str(), O_RDONLY);
        const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out_fd < 0 || err_fd < 0 || chdir(work_dir.c_str()) != 0) {
            _exit(126);
        }
        if (stdin_path.empty()) {
            close(0);
        } else if (in_fd < 0 || dup2(in_fd, 0) < 0) {
            _exit(126);
        }
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        // Nothing else stays open: a closed standard input must stay closed.
        for (const int fd : {in_fd, out_fd, err_fd}) {
            if (fd > 2) {
                close(fd);
            }
        }
        if (LIMIT_ADDRESS_SPACE) {
            const rlimit limit{ADDRESS_SPACE_LIMIT, ADDRESS_SPACE_LIMIT};
            if (setrlimit(RLIMIT_AS, &limit) != 0) {
                _exit(126);
            }
        }
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

TempRoot::TempRoot() {
    char pattern[] = "/tmp/cmatinv-e2e-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    root_ = pattern;
    fs::create_directory(run());
    fs::create_directory(capture());
}

TempRoot::~TempRoot() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

}  // namespace e2e
