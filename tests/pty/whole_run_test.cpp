// The whole program on a pseudo-terminal that is its controlling terminal: the test plays the
// user at the master side, types the dialogue, and checks that the program waits for one key
// at the end, ends with status 0 on it and leaves the terminal's mode as it found it. Without
// a controlling terminal a complete run must end at once. Every run happens in a fresh
// directory, and every wait is bounded: a program that does not end in time is killed and the
// test fails instead of hanging.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "pty_support.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto STEP_TIMEOUT = 5s;      // for one prompt or the start of the key wait
constexpr auto EXIT_TIMEOUT = 5s;      // from the key (or the end of input) to the exit
constexpr auto STILL_WAITING = 300ms;  // how long the program must keep waiting for the key
constexpr int EXEC_FAILED = 127;

const std::string FINAL_PROMPT = "\n Calculation complete. \n Press any key to exit. \n\n";

// The 2 by 2 identity as "inv_data.out" must hold it: two lines of two entries, CR LF ends.
const std::string IDENTITY_FILE =
    "(1.00000e+000 , 0.00000e+000)\t(0.00000e+000 , 0.00000e+000)\r\n"
    "(0.00000e+000 , 0.00000e+000)\t(1.00000e+000 , 0.00000e+000)\r\n";

// The terminal's output is translated: every "\n" arrives as "\r\n".
std::string on_terminal(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (c == '\n') {
            shown += '\r';
        }
        shown += c;
    }
    return shown;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Exit {
    bool in_time = false;  // false: killed after the timeout
    int status = 0;
};

// The program in a fresh directory; `child_` is killed and reaped if a test leaves it running.
class WholeRun : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/cmatinv-pty-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }

    void TearDown() override {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // In the child: the run directory, the signals at their default action whatever the test
    // runner set, then the program.
    [[noreturn]] void exec_program() const {
        if (chdir(dir_.c_str()) != 0) {
            _exit(EXEC_FAILED);
        }
        for (const int sig : {SIGHUP, SIGINT, SIGTERM, SIGPIPE}) {
            signal(sig, SIG_DFL);
        }
        execl(CMATINV_BINARY, "cmatinv", static_cast<char*>(nullptr));
        _exit(EXEC_FAILED);
    }

    bool still_running() const {
        siginfo_t info{};
        return waitid(P_PID, child_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
    }

    Exit finish(std::chrono::milliseconds timeout) {
        Exit end;
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            if (waitpid(child_, &end.status, WNOHANG) == child_) {
                end.in_time = true;
                break;
            }
            if (Clock::now() >= deadline) {
                kill(child_, SIGKILL);
                waitpid(child_, &end.status, 0);
                break;
            }
            std::this_thread::sleep_for(2ms);
        }
        child_ = -1;
        return end;
    }

    fs::path dir_;
    pid_t child_ = -1;
};

void expect_exit_zero(const Exit& end) {
    ASSERT_TRUE(end.in_time) << "the program did not end in time";
    ASSERT_TRUE(WIFEXITED(end.status)) << "killed by signal " << WTERMSIG(end.status);
    EXPECT_EQ(WEXITSTATUS(end.status), 0);
}

// The program's controlling terminal is a pseudo-terminal in a mode unlike the line
// discipline's defaults, so that a wait which puts back "sane" settings instead of the saved
// ones shows. The test keeps the slave side open too, to read the mode at any time.
class WholeRunOnPty : public WholeRun {
protected:
    void SetUp() override {
        WholeRun::SetUp();
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0) << strerror(errno);
        ASSERT_TRUE(pty_support::set_unusual_mode(slave_));
        ASSERT_EQ(tcgetattr(slave_, &before_), 0);
        ASSERT_TRUE(before_.c_lflag & ICANON);
    }

    void TearDown() override {
        WholeRun::TearDown();  // the child first: it must not outlive the terminal
        for (const int fd : {master_, slave_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    // The program with the pseudo-terminal as controlling terminal and as its standard input,
    // output and error.
    void start() {
        child_ = fork();
        ASSERT_GE(child_, 0);
        if (child_ == 0) {
            close(master_);
            if (setsid() < 0 || ioctl(slave_, TIOCSCTTY, 0) != 0) {
                _exit(EXEC_FAILED);
            }
            for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
                if (dup2(slave_, fd) < 0) {
                    _exit(EXEC_FAILED);
                }
            }
            close(slave_);
            exec_program();
        }
    }

    void type(const std::string& bytes) const {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads what the terminal shows into `screen_` until `done()` holds or `timeout` has
    // passed; reading also keeps the program from blocking on a full terminal.
    bool show_until(const std::function<bool()>& done,
                    std::chrono::milliseconds timeout = STEP_TIMEOUT) {
        const auto deadline = Clock::now() + timeout;
        while (!done()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= 0ms) {
                return false;
            }
            pollfd ready{master_, POLLIN, 0};
            if (poll(&ready, 1, static_cast<int>(std::min(left, 10ms).count())) > 0 &&
                (ready.revents & POLLIN) != 0) {
                char chunk[512];
                const ssize_t got = read(master_, chunk, sizeof chunk);
                if (got > 0) {
                    screen_.append(chunk, static_cast<size_t>(got));
                }
            }
        }
        return true;
    }

    bool shown(const std::string& text) const {
        return screen_.find(on_terminal(text)) != std::string::npos;
    }

    // Types `answer` once the screen shows `prompt` (beyond what was there before).
    void answer(const std::string& prompt, const std::string& answer) {
        const size_t from = screen_.size();
        const std::string wanted = on_terminal(prompt);
        ASSERT_TRUE(show_until([&] { return screen_.find(wanted, from) != std::string::npos; }))
            << "no prompt " << prompt << "; the screen shows:\n"
            << screen_;
        type(answer);
    }

    // The key wait has begun once the final prompt is shown and the terminal is no longer
    // canonical.
    void wait_for_key_wait() {
        ASSERT_TRUE(show_until([&] {
            termios now{};
            return shown(FINAL_PROMPT) && tcgetattr(slave_, &now) == 0 &&
                   (now.c_lflag & ICANON) == 0;
        })) << "the key wait did not begin; the screen shows:\n"
            << screen_;
    }

    termios mode_now() const { return pty_support::mode_of(slave_); }

    int master_ = -1;
    int slave_ = -1;
    termios before_{};
    std::string screen_;
};

TEST_F(WholeRunOnPty, WaitsForAKeyAfterATypedRunThenEndsWithModeRestored) {
    start();
    answer("Enter n \n", "2\n");
    answer("2=input file \n", "1\n");
    const char* const values[] = {"1", "0", "0", "0", "0", "0", "1", "0"};
    int field = 0;
    for (int row = 1; row <= 2; ++row) {
        for (int col = 1; col <= 2; ++col) {
            for (const char part : {'r', 'i'}) {
                char prompt[64];
                std::snprintf(prompt, sizeof prompt, "Enter a[%d][%d].%c \n", row, col, part);
                answer(prompt, std::string(values[field++]) + "\n");
            }
        }
    }
    wait_for_key_wait();
    EXPECT_TRUE(
        shown("\n\n Inverse Matrix \n\n"
              "(1.00000e+000 , 0.00000e+000)\t(0.00000e+000 , 0.00000e+000) \n"
              "(0.00000e+000 , 0.00000e+000)\t(1.00000e+000 , 0.00000e+000) \n"))
        << screen_;

    std::this_thread::sleep_for(STILL_WAITING);
    ASSERT_TRUE(still_running()) << "the program ended without a key";
    // The result files are complete while the program waits.
    EXPECT_EQ(read_file(dir_ / "inv_data.out"), IDENTITY_FILE);
    EXPECT_EQ(read_file(dir_ / "inv_err.out"), IDENTITY_FILE);
    EXPECT_EQ(read_file(dir_ / "inv_data.in"),
              "(1.00000e+000 , 0.00000e+000 )\t(0.00000e+000 , 0.00000e+000 )\r\n"
              "(0.00000e+000 , 0.00000e+000 )\t(1.00000e+000 , 0.00000e+000 )\r\n");

    type("x");
    expect_exit_zero(finish(EXIT_TIMEOUT));
    pty_support::expect_same_mode(before_, mode_now());
    show_until([] { return false; }, 200ms);  // whatever is still on its way
    const std::string ending = on_terminal(FINAL_PROMPT);
    ASSERT_GE(screen_.size(), ending.size());
    EXPECT_EQ(screen_.substr(screen_.size() - ending.size()), ending)
        << "something was shown after the final prompt";
}

TEST_F(WholeRunOnPty, ExtraLinesTypedAheadDoNotEndTheWait) {
    start();
    type("2 1 1 0 0 0 0 0 1 0\nx\n\n3 4\n");
    wait_for_key_wait();
    std::this_thread::sleep_for(STILL_WAITING);
    ASSERT_TRUE(still_running()) << "typed-ahead lines ended the wait";
    EXPECT_EQ(read_file(dir_ / "inv_data.out"), IDENTITY_FILE);

    type("q");
    expect_exit_zero(finish(EXIT_TIMEOUT));
    pty_support::expect_same_mode(before_, mode_now());
}

// A script: no controlling terminal, the dialogue from a pipe that stays open with nothing
// more in it, so a wait that fell back to standard input would block. The run must end at
// once with status 0.
TEST_F(WholeRun, EndsAtOnceWithoutAControllingTerminal) {
    int in[2];
    int out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    const std::string typed = "2\n1\n1 0 0 0\n0 0 1 0\n";
    ASSERT_EQ(write(in[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));

    child_ = fork();
    ASSERT_GE(child_, 0);
    if (child_ == 0) {
        if (setsid() < 0 || dup2(in[0], STDIN_FILENO) < 0 || dup2(out[1], STDOUT_FILENO) < 0 ||
            dup2(out[1], STDERR_FILENO) < 0) {
            _exit(EXEC_FAILED);
        }
        for (const int fd : {in[0], in[1], out[0], out[1]}) {
            close(fd);
        }
        exec_program();
    }
    close(in[0]);
    close(out[1]);

    // The output fits in the pipe, so the program never blocks on it before the end.
    const Exit end = finish(EXIT_TIMEOUT);
    close(in[1]);
    std::string printed;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = read(out[0], chunk, sizeof chunk)) > 0) {
        printed.append(chunk, static_cast<size_t>(got));
    }
    close(out[0]);

    expect_exit_zero(end);
    ASSERT_GE(printed.size(), FINAL_PROMPT.size());
    EXPECT_EQ(printed.substr(printed.size() - FINAL_PROMPT.size()), FINAL_PROMPT);
    EXPECT_EQ(read_file(dir_ / "inv_data.out"), IDENTITY_FILE);
}

}  // namespace
