// The final key wait on real pseudo-terminals. Each test forks a child that takes the
// pseudo-terminal as its controlling terminal and calls wait_for_key(); the test plays the
// user at the master side. Every wait for the child is bounded: a child that does not end in
// time is killed and the test fails instead of hanging.
#include "console/key_wait.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>

#include "pty_support.hpp"

namespace cmatinv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto CHILD_TIMEOUT = 5s;
constexpr auto READY_TIMEOUT = 3s;
constexpr int SETUP_FAILED = 120;

// What the waiting child sends back through its report pipe.
struct Report {
    int key = -2;
    int handler_runs = 0;
    bool disposition_kept = false;
    int stdin_length = -1;
    char stdin_text[16] = {};
};

struct ChildEnd {
    bool in_time = false;  // false: killed after the timeout
    int status = 0;
    double cpu_seconds = 0.0;
    bool reported = false;
    Report report;
};

double seconds_of(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

std::string visible(const std::string& bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

// A pseudo-terminal in a mode unlike the line discipline's defaults, so that a wait which
// puts back "sane" settings instead of the saved ones shows. The test keeps the slave side
// open as well, to read the mode and what is left in the terminal's input after the child.
class KeyWaitOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0) << strerror(errno);
        ASSERT_TRUE(pty_support::set_unusual_mode(slave_));
        ASSERT_EQ(tcgetattr(slave_, &before_), 0);
        ASSERT_TRUE(before_.c_lflag & ICANON);
        ASSERT_TRUE(before_.c_lflag & ECHO);
    }

    void TearDown() override {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        for (const int fd : {report_fd_, master_, slave_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    // Forks the waiting child: a session of its own with the pseudo-terminal as controlling
    // terminal (none when `with_terminal` is false), the three signals at their default
    // action whatever the test runner set, standard input from /dev/null, then `prepare()`,
    // then `body()`, whose Report goes back through a pipe.
    template <typename Prepare, typename Body>
    void start_child(Prepare prepare, Body body, bool with_terminal = true) {
        int report[2];
        ASSERT_EQ(pipe2(report, O_CLOEXEC), 0);
        child_ = fork();
        ASSERT_GE(child_, 0);
        if (child_ == 0) {
            close(report[0]);
            close(master_);
            if (setsid() < 0 || (with_terminal && ioctl(slave_, TIOCSCTTY, 0) != 0)) {
                _exit(SETUP_FAILED);
            }
            close(slave_);
            for (const int sig : {SIGHUP, SIGINT, SIGTERM}) {
                signal(sig, SIG_DFL);
            }
            const int null_fd = open("/dev/null", O_RDONLY);
            if (null_fd < 0 || dup2(null_fd, STDIN_FILENO) < 0) {
                _exit(SETUP_FAILED);
            }
            close(null_fd);
            prepare();
            const Report r = body();
            const bool sent = write(report[1], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
            _exit(sent ? 0 : SETUP_FAILED);
        }
        close(report[1]);
        report_fd_ = report[0];
    }

    // The plain wait, as the program makes it; afterwards the three signals must be back at
    // their default action.
    void start_waiter() {
        start_child([] {},
                    [] {
                        Report r;
                        r.key = wait_for_key();
                        r.disposition_kept = true;
                        for (const int sig : {SIGHUP, SIGINT, SIGTERM}) {
                            struct sigaction now {};
                            sigaction(sig, nullptr, &now);
                            r.disposition_kept = r.disposition_kept &&
                                                 (now.sa_flags & SA_SIGINFO) == 0 &&
                                                 now.sa_handler == SIG_DFL;
                        }
                        return r;
                    });
    }

    // The wait has begun once the terminal is no longer canonical: the child discards typed-
    // ahead input before it changes the mode, so what the test types from now on is the key.
    bool wait_until_raw() const {
        const auto deadline = Clock::now() + READY_TIMEOUT;
        while (Clock::now() < deadline) {
            termios now{};
            if (tcgetattr(slave_, &now) == 0 && (now.c_lflag & ICANON) == 0) {
                return true;
            }
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }

    bool child_still_running() const {
        siginfo_t info{};
        return waitid(P_PID, child_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
    }

    ChildEnd finish_child(std::chrono::milliseconds timeout = CHILD_TIMEOUT) {
        ChildEnd end;
        rusage usage{};
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            const pid_t done = wait4(child_, &end.status, WNOHANG, &usage);
            if (done == child_) {
                end.in_time = true;
                break;
            }
            if (Clock::now() >= deadline) {
                kill(child_, SIGKILL);
                wait4(child_, &end.status, 0, &usage);
                break;
            }
            std::this_thread::sleep_for(2ms);
        }
        child_ = -1;
        end.cpu_seconds = seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
        end.reported = read(report_fd_, &end.report, sizeof end.report) ==
                       static_cast<ssize_t>(sizeof end.report);
        return end;
    }

    void type(const std::string& bytes) const {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Everything the terminal shows within `quiet` of the last output.
    std::string screen_output(std::chrono::milliseconds quiet) const {
        std::string shown;
        pollfd ready{master_, POLLIN, 0};
        while (poll(&ready, 1, static_cast<int>(quiet.count())) > 0 && (ready.revents & POLLIN)) {
            char chunk[256];
            const ssize_t got = read(master_, chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            shown.append(chunk, static_cast<size_t>(got));
        }
        return shown;
    }

    // Whatever the wait left in the terminal's input, up to the end of the current line: the
    // test ends the line itself, so in canonical mode a clean terminal yields just "\n".
    std::string left_in_input() const {
        if (write(master_, "\n", 1) != 1) {
            return "<write failed>";
        }
        pollfd ready{slave_, POLLIN, 0};
        if (poll(&ready, 1, 2000) <= 0) {
            return "<nothing readable>";
        }
        char line[256];
        const ssize_t got = read(slave_, line, sizeof line);
        return got < 0 ? "<read failed>" : std::string(line, static_cast<size_t>(got));
    }

    termios mode_now() const { return pty_support::mode_of(slave_); }

    int master_ = -1;
    int slave_ = -1;
    int report_fd_ = -1;
    pid_t child_ = -1;
    termios before_{};
};

void expect_normal_exit(const ChildEnd& end) {
    ASSERT_TRUE(end.in_time) << "the wait did not end in time";
    ASSERT_TRUE(WIFEXITED(end.status)) << "killed by signal " << WTERMSIG(end.status);
    ASSERT_EQ(WEXITSTATUS(end.status), 0);
    ASSERT_TRUE(end.reported);
}

// ---------------------------------------------------------------------------------------
// Keys: each ends the wait with its first byte, nothing is echoed, nothing of the key is
// left for the shell, and the terminal's mode is as before.

struct KeyCase {
    const char* name;
    std::string first;
    std::string rest;  // typed `gap` after `first`, as over a slow link
    std::chrono::milliseconds gap;
    int expected;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class KeyPress : public KeyWaitOnPty, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyPress, EndsWaitWithFirstByteAndLeavesNothingBehind) {
    const KeyCase& key = GetParam();
    start_waiter();
    ASSERT_TRUE(wait_until_raw());
    type(key.first);
    if (!key.rest.empty()) {
        std::this_thread::sleep_for(key.gap);
        type(key.rest);
    }
    const ChildEnd end = finish_child();
    expect_normal_exit(end);
    EXPECT_EQ(end.report.key, key.expected);
    EXPECT_TRUE(end.report.disposition_kept) << "a signal handler of the wait was left behind";
    EXPECT_EQ(visible(screen_output(100ms)), "") << "the key was echoed";
    pty_support::expect_same_mode(before_, mode_now());
    EXPECT_EQ(visible(left_in_input()), "\\x0a");
}

const KeyCase KEY_CASES[] = {
    {"Letter", "x", "", 0ms, 'x'},
    // Keys the line discipline would act on in the saved mode: none may be swallowed, turned
    // into a signal, held back or translated.
    {"CtrlC", "\x03", "", 0ms, 0x03},
    {"CtrlBackslash", "\x1c", "", 0ms, 0x1c},
    {"CtrlZ", "\x1a", "", 0ms, 0x1a},
    {"CtrlD", "\x04", "", 0ms, 0x04},
    {"CtrlS", "\x13", "", 0ms, 0x13},
    {"CtrlQ", "\x11", "", 0ms, 0x11},
    {"CtrlV", "\x16", "", 0ms, 0x16},
    {"Backspace", "\x7f", "", 0ms, 0x7f},
    {"EnterIsCarriageReturn", "\r", "", 0ms, '\r'},
    {"Escape", "\x1b", "", 0ms, 0x1b},
    // Extended keys and characters of several bytes.
    {"CursorUp", "\x1b[A", "", 0ms, 0x1b},
    {"Insert", "\x1b[2~", "", 0ms, 0x1b},
    {"F1", "\x1bOP", "", 0ms, 0x1b},
    {"F5", "\x1b[15~", "", 0ms, 0x1b},
    {"CursorUpSplitAcrossReads", "\x1b", "[A", 10ms, 0x1b},
    {"TwoByteUtf8", "\xc3\xa4", "", 0ms, 0xc3},
    {"ThreeByteUtf8", "\xe2\x82\xac", "", 0ms, 0xe2},
};

INSTANTIATE_TEST_SUITE_P(Keys, KeyPress, ::testing::ValuesIn(KEY_CASES),
                         [](const ::testing::TestParamInfo<KeyCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------------
// What does not end the wait.

TEST_F(KeyWaitOnPty, IgnoresAnswersTypedAheadBeforeTheWait) {
    // Two answers and a half-typed third, all in the terminal's input before the wait starts:
    // the echo shows that the line discipline has taken in the last of them.
    type("2\n1\nabc");
    const auto deadline = Clock::now() + READY_TIMEOUT;
    std::string echo;
    while (echo.find("abc") == std::string::npos && Clock::now() < deadline) {
        echo += screen_output(20ms);
    }
    ASSERT_NE(echo.find("abc"), std::string::npos) << visible(echo);

    start_waiter();
    ASSERT_TRUE(wait_until_raw());
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(child_still_running()) << "typed-ahead input ended the wait";
    type("k");
    const ChildEnd end = finish_child();
    expect_normal_exit(end);
    EXPECT_EQ(end.report.key, 'k');
    EXPECT_EQ(visible(left_in_input()), "\\x0a");
}

TEST_F(KeyWaitOnPty, ReadsTheTerminalAndLeavesStandardInputUnread) {
    int in[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(write(in[1], "3\n1\n", 4), 4);
    start_child(
        [in] {
            dup2(in[0], STDIN_FILENO);
            close(in[0]);
            close(in[1]);
        },
        [] {
            Report r;
            r.key = wait_for_key();
            r.stdin_length = static_cast<int>(read(STDIN_FILENO, r.stdin_text, 15));
            return r;
        });
    close(in[0]);
    close(in[1]);
    ASSERT_TRUE(wait_until_raw());
    type("k");
    const ChildEnd end = finish_child();
    expect_normal_exit(end);
    EXPECT_EQ(end.report.key, 'k');
    EXPECT_EQ(end.report.stdin_length, 4);
    EXPECT_EQ(std::string(end.report.stdin_text), "3\n1\n");
}

// ---------------------------------------------------------------------------------------
// Signals during the wait.

class KilledDuringWait : public KeyWaitOnPty, public ::testing::WithParamInterface<int> {};

TEST_P(KilledDuringWait, DiesOfTheSignalWithModeRestored) {
    const int sig = GetParam();
    start_waiter();
    ASSERT_TRUE(wait_until_raw());
    ASSERT_EQ(kill(child_, sig), 0);
    const ChildEnd end = finish_child();
    ASSERT_TRUE(end.in_time);
    ASSERT_TRUE(WIFSIGNALED(end.status)) << "exit status " << WEXITSTATUS(end.status);
    EXPECT_EQ(WTERMSIG(end.status), sig);
    EXPECT_FALSE(end.reported);
    pty_support::expect_same_mode(before_, mode_now());
}

INSTANTIATE_TEST_SUITE_P(Signals, KilledDuringWait, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

// A signal the caller handles or ignores does not end the wait: the caller's handler runs,
// the wait goes on in raw mode, and the caller's disposition is in place again afterwards.
struct CallerCase {
    const char* name;
    int sig;
    bool handled;  // false: ignored
};

void PrintTo(const CallerCase& c, std::ostream* os) {
    *os << c.name;
}

class CallerDisposition : public KeyWaitOnPty, public ::testing::WithParamInterface<CallerCase> {};

int g_notify_fd = -1;
volatile sig_atomic_t g_handler_runs = 0;

void counting_handler(int /*sig*/) {
    g_handler_runs = g_handler_runs + 1;
    const char mark = 'h';
    if (write(g_notify_fd, &mark, 1) != 1) {
        g_handler_runs = -100;
    }
}

TEST_P(CallerDisposition, DoesNotEndTheWait) {
    const CallerCase& c = GetParam();
    int notify[2];
    ASSERT_EQ(pipe(notify), 0);
    const auto disposition = c.handled ? counting_handler : SIG_IGN;
    start_child(
        [&] {
            close(notify[0]);
            g_notify_fd = notify[1];
            struct sigaction action {};
            action.sa_handler = disposition;  // no SA_RESTART: the read sees EINTR
            sigemptyset(&action.sa_mask);
            sigaction(c.sig, &action, nullptr);
        },
        [&] {
            Report r;
            r.key = wait_for_key();
            r.handler_runs = g_handler_runs;
            struct sigaction now {};
            sigaction(c.sig, nullptr, &now);
            r.disposition_kept = now.sa_handler == disposition;
            return r;
        });
    close(notify[1]);
    ASSERT_TRUE(wait_until_raw());
    ASSERT_EQ(kill(child_, c.sig), 0);
    if (c.handled) {
        pollfd ran{notify[0], POLLIN, 0};
        EXPECT_EQ(poll(&ran, 1, 3000), 1) << "the caller's handler did not run";
    } else {
        std::this_thread::sleep_for(100ms);
    }
    close(notify[0]);
    EXPECT_TRUE(child_still_running()) << "the signal ended the wait";
    EXPECT_TRUE(wait_until_raw()) << "the wait went on outside raw mode";
    type("k");
    const ChildEnd end = finish_child();
    expect_normal_exit(end);
    EXPECT_EQ(end.report.key, 'k');
    EXPECT_EQ(end.report.handler_runs, c.handled ? 1 : 0);
    EXPECT_TRUE(end.report.disposition_kept);
    pty_support::expect_same_mode(before_, mode_now());
}

const CallerCase CALLER_CASES[] = {
    {"HandledTerm", SIGTERM, true}, {"HandledHup", SIGHUP, true},  {"HandledInt", SIGINT, true},
    {"HandledUsr1", SIGUSR1, true}, {"IgnoredInt", SIGINT, false}, {"IgnoredTerm", SIGTERM, false},
};

INSTANTIATE_TEST_SUITE_P(Signals, CallerDisposition, ::testing::ValuesIn(CALLER_CASES),
                         [](const ::testing::TestParamInfo<CallerCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------------
// The terminal going away.

// CPU time the child may use from fork to exit; a read loop spinning on end-of-file would
// use the whole timeout.
constexpr double HANG_UP_CPU_LIMIT_SECONDS = 0.25;

TEST_F(KeyWaitOnPty, HangUpEndsTheWaitWithoutSpinning) {
    // With SIGHUP ignored (as under nohup) the closed terminal is seen by the read itself.
    start_child([] { signal(SIGHUP, SIG_IGN); },
                [] {
                    Report r;
                    r.key = wait_for_key();
                    return r;
                });
    ASSERT_TRUE(wait_until_raw());
    close(master_);
    master_ = -1;
    const ChildEnd end = finish_child(2000ms);
    expect_normal_exit(end);
    EXPECT_EQ(end.report.key, -1);
    EXPECT_LT(end.cpu_seconds, HANG_UP_CPU_LIMIT_SECONDS);
}

TEST_F(KeyWaitOnPty, HangUpWithDefaultSighupEndsTheProcessPromptly) {
    // Closing the master wakes the reader before the kernel sends SIGHUP, so the child either
    // dies of SIGHUP or sees the hang-up in its read first and returns -1; both end at once.
    start_waiter();
    ASSERT_TRUE(wait_until_raw());
    close(master_);
    master_ = -1;
    const ChildEnd end = finish_child(2000ms);
    ASSERT_TRUE(end.in_time);
    if (WIFSIGNALED(end.status)) {
        EXPECT_EQ(WTERMSIG(end.status), SIGHUP);
    } else {
        expect_normal_exit(end);
        EXPECT_EQ(end.report.key, -1);
    }
    EXPECT_LT(end.cpu_seconds, HANG_UP_CPU_LIMIT_SECONDS);
}

// No terminal to read: the wait ends at once with -1.
struct NoTerminalCase {
    const char* name;
    const char* path;  // nullptr: the default, the controlling terminal
};

void PrintTo(const NoTerminalCase& c, std::ostream* os) {
    *os << c.name;
}

class NoTerminal : public KeyWaitOnPty, public ::testing::WithParamInterface<NoTerminalCase> {};

TEST_P(NoTerminal, ReturnsMinusOneAtOnce) {
    const char* path = GetParam().path;
    start_child([] {},
                [path] {
                    Report r;
                    r.key = path == nullptr ? wait_for_key() : wait_for_key(path);
                    return r;
                },
                /*with_terminal=*/false);
    const ChildEnd end = finish_child(1000ms);
    expect_normal_exit(end);
    EXPECT_EQ(end.report.key, -1);
}

const NoTerminalCase NO_TERMINAL_CASES[] = {
    {"NoControllingTerminal", nullptr},
    {"PathIsNotATerminal", "/dev/null"},
    {"PathDoesNotExist", "/nonexistent/tty"},
};

INSTANTIATE_TEST_SUITE_P(Paths, NoTerminal, ::testing::ValuesIn(NO_TERMINAL_CASES),
                         [](const ::testing::TestParamInfo<NoTerminalCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace cmatinv
